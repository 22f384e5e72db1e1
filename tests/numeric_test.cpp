// Fixed-point numerics: parsing, rounding, overflow and conversions of DataValue.
#include "numeric/fxp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

using namespace FXP;

namespace {

DataValue parse(const DataType& aType, const std::string& aText, const MathMode& aMode = MathMode::nearestSaturate()) {
  return DataValue::fromString(aType, aText.c_str(), aMode);
}

uint64_t bitsOf(double aValue) {
  uint64_t bits;
  std::memcpy(&bits, &aValue, sizeof bits);
  return bits;
}

uint32_t bitsOf(float aValue) {
  uint32_t bits;
  std::memcpy(&bits, &aValue, sizeof bits);
  return bits;
}

// aMultiple * 2^-1080 written out in decimal: aMultiple * 5^1080 / 10^1080.
std::string sixtyFourthsOfMinSubnormal(int aMultiple) {
  BigInt numerator = aMultiple * boost::multiprecision::pow(BigInt(5), 1080);
  std::string digits = numerator.str();
  return "0." + std::string(1080 - digits.size(), '0') + digits;
}

} // namespace

TEST(Rounding, HalvesAndNegativesPerMode) {
  struct Row {
    const char* text;
    int64_t floor, ceiling, zero, nearest, convergent, nearestOb, simplest;
  };
  const Row rows[] = {
      {"2.5", 2, 3, 2, 3, 2, 3, 2},         {"-2.5", -3, -2, -2, -2, -2, -3, -3}, {"3.5", 3, 4, 3, 4, 4, 4, 3},
      {"-3.5", -4, -3, -3, -3, -4, -4, -4}, {"2.4", 2, 3, 2, 2, 2, 2, 2},         {"-2.6", -3, -2, -2, -3, -3, -3, -3},
      {"-0.5", -1, 0, 0, 0, 0, -1, -1},     {"7", 7, 7, 7, 7, 7, 7, 7},           {"-1e-30", -1, 0, 0, 0, 0, 0, -1},
      {"0.5", 0, 1, 0, 1, 0, 1, 0},
  };
  const MathMode::Rounding modes[] = {MathMode::FLOOR,      MathMode::CEILING,    MathMode::ZERO,    MathMode::NEAREST,
                                      MathMode::CONVERGENT, MathMode::NEAREST_OB, MathMode::SIMPLEST};
  DataType s8 = DataType::intT(true, 8);
  for (const Row& row : rows) {
    const int64_t expected[] = {row.floor,      row.ceiling,   row.zero,    row.nearest,
                                row.convergent, row.nearestOb, row.simplest};
    for (int i = 0; i < 7; ++i)
      EXPECT_EQ(parse(s8, row.text, MathMode(modes[i], MathMode::SATURATE)).toInt64(), expected[i])
          << row.text << " in mode " << modes[i];
  }
}

TEST(Overflow, WrapAndSaturateAtTheBoundaries) {
  struct Row {
    DataType type;
    const char* text;
    const char* wrapped;
    const char* saturated;
  };
  const std::string twoTo128Minus1 = "340282366920938463463374607431768211455";
  const Row rows[] = {
      {DataType::intT(true, 8), "127", "127", "127"},
      {DataType::intT(true, 8), "128", "-128", "127"},
      {DataType::intT(true, 8), "-128", "-128", "-128"},
      {DataType::intT(true, 8), "-129", "127", "-128"},
      {DataType::intT(true, 8), "256", "0", "127"},
      {DataType::intT(false, 8), "255", "255", "255"},
      {DataType::intT(false, 8), "300", "44", "255"},
      {DataType::intT(false, 8), "-1", "255", "0"},
      {DataType::intT(true, 1), "1", "-1", "0"},
      // 18 digits are read directly, 19 and more through exact rationals: both must agree.
      {DataType::intT(true, 32), "999999999999999999", "-1486618625", "2147483647"},
      {DataType::intT(true, 32), "-999999999999999999", "1486618625", "-2147483648"},
      {DataType::intT(true, 64), "-9223372036854775809", "9223372036854775807", "-9223372036854775808"},
      {DataType::intT(true, 8), "0000000000000000000000300", "44", "127"},
      {DataType::boolT(), "2", "0", "1"},
      {DataType::intT(false, 64), "18446744073709551616", "0", "18446744073709551615"},
      {DataType::intT(true, 100), "0x8000000000000000000000000", "-633825300114114700748351602688",
       "633825300114114700748351602687"},
      {DataType::intT(false, 128), "-1", twoTo128Minus1.c_str(), "0"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(parse(row.type, row.text, MathMode::floorWrap()).toString(), row.wrapped) << row.text;
    EXPECT_EQ(parse(row.type, row.text, MathMode::nearestSaturate()).toString(), row.saturated) << row.text;
  }
}

TEST(Parse, RadixSignAndSuffixForms) {
  const std::pair<const char*, int64_t> rows[] = {
      {"0x1F", 31}, {"0X1f", 31},    {"0x-1F", -31}, {"-0x1F", -31}, {"+0x1F", 31}, {"0o17", 15}, {"0o-17", -15},
      {"0b101", 5}, {"0b-101", -5},  {"0B11", 3},    {"017", 17},    {"+0", 0},     {"-0", 0},    {"42s32", 42},
      {"-7u", -7},  {"0x10s16", 16}, {"1.5e1s", 15}, {"25e-1", 3},   {".5e1", 5},   {"5.", 5},
      // The suffix of a C float text changes nothing.
      {"4.0f", 4},  {"15L", 15},     {"0F", 0},      {"1.5e1l", 15},
  };
  DataType s32 = DataType::intT(true, 32);
  for (const auto& [text, expected] : rows)
    EXPECT_EQ(parse(s32, text).toInt64(), expected) << text;
}

TEST(Parse, MalformedTextIsReportedWithTheText) {
  const char* rows[] = {"",    "abc", "1.2.3", "0x",     "0x1G",  "0o8", "0b102",    "--1", "-0x-1", "1e",   "1e+",
                        "12 ", " 12", "1u0",   "1s1025", "0x1.8", ".",   "1e999999", "inf", "nan",   "1_000",
                        "1.5ff", "1fs8", "0b1f"};
  DataType s32 = DataType::intT(true, 32);
  for (const char* text : rows) {
    try {
      parse(s32, text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const NumberFormatError& error) {
      EXPECT_NE(std::string(error.what()).find("'" + std::string(text) + "'"), std::string::npos) << error.what();
    }
  }
  EXPECT_THROW(DataValue::fromString(s32, nullptr, MathMode::floorWrap()), NumberFormatError);
}

TEST(Parse, HugeDecimalTextsStayExact) {
  const std::string digits = "123456789012345678901234567890123456789012345678901234567890";
  DataType s200 = DataType::intT(true, 200);
  EXPECT_EQ(parse(s200, digits).toString(), digits);
  EXPECT_EQ(parse(s200, "-" + digits).toString(), "-" + digits);
  EXPECT_EQ(parse(s200, "1" + std::string(40, '0') + ".5e-40", MathMode(MathMode::CEILING, MathMode::WRAP)).toString(),
            "2");

  DataValue tenTo300 = parse(DataType::intT(true, 1024), "-1e300");
  EXPECT_EQ(tenTo300.toString(), "-1" + std::string(300, '0'));
  EXPECT_EQ(parse(DataType::intT(true, 1024), "-1").compactBytes(), std::vector<uint8_t>(128, 0xFF));
}

// Digits are read a machine word at a time and long runs are split in halves: every length, around the word
// and the split, must give the value the wide integers read from the same text.
TEST(Parse, LongDigitRunsStayExact) {
  std::mt19937 generator(20261206);
  DataType s1024 = DataType::intT(true, 1024);
  const BigInt modulus = BigInt(1) << 1024;
  for (int radix : {10, 16, 8}) {
    for (int length : {1, 17, 18, 19, 20, 40, 2000, 2001, 5003}) {
      std::string digits;
      for (int i = 0; i < length; ++i)
        digits += "0123456789abcdef"[std::uniform_int_distribution<int>(i == 0 ? 1 : 0, radix - 1)(generator)];
      const std::string prefix = radix == 16 ? "0x" : radix == 8 ? "0o" : "";
      BigInt expected = BigInt((radix == 16 ? "0x" : radix == 8 ? "0" : "") + digits) % modulus;
      if (boost::multiprecision::bit_test(expected, 1023))
        expected -= modulus;
      EXPECT_EQ(parse(s1024, prefix + digits, MathMode::floorWrap()).toString(), expected.str())
          << "radix " << radix << ", " << length << " digits";
    }
  }
  const std::string longFraction = "0.1" + std::string(5000, '3');
  EXPECT_EQ(bitsOf(parse(DataType::doubleT(), longFraction).toDouble()),
            bitsOf(std::strtod(longFraction.c_str(), nullptr)));
}

TEST(FixedPoint, FractionsQuantiseOntoTheGrid) {
  struct Row {
    DataType type;
    const char* text;
    MathMode mode;
    const char* expected;
  };
  DataType q3 = DataType::fixptT(true, 8, 1.0, -3, 0.0);
  DataType biased = DataType::fixptT(false, 8, 1.0, -2, 10.0);
  const Row rows[] = {
      {q3, "0.375", MathMode::floorWrap(), "0.375"},
      {q3, "0.3", MathMode::floorWrap(), "0.25"},
      {q3, "0.3125", MathMode::nearestWrap(), "0.375"},
      {q3, "0.3125", MathMode(MathMode::CONVERGENT, MathMode::WRAP), "0.25"},
      {q3, "-1.5", MathMode::floorWrap(), "-1.5"},
      {q3, "-0.0625", MathMode::nearestSaturate(), "0"},
      {q3, "-0.0625", MathMode(MathMode::NEAREST_OB, MathMode::WRAP), "-0.125"},
      {q3, "100", MathMode::nearestSaturate(), "15.875"},
      {q3, "16", MathMode::floorWrap(), "-16"},
      {biased, "10.75", MathMode::floorWrap(), "10.75"},
      {biased, "9", MathMode::nearestSaturate(), "10"},
      {biased, "9", MathMode::floorWrap(), "73"},
      {DataType::fixptT(true, 16, 1.25, -4, 0.0), "1", MathMode::nearestWrap(), "1.015625"},
      {DataType::fixptT(true, 8, 1.0, 4, 0.0), "100", MathMode::floorWrap(), "96"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(parse(row.type, row.text, row.mode).toString(), row.expected) << row.text;

  DataValue threeEighths = parse(q3, "0.375");
  EXPECT_EQ(threeEighths.storedInteger(), 3);
  EXPECT_EQ(threeEighths.toDouble(), 0.375);
}

TEST(FloatingTarget, DecimalTextsMatchTheCLibrary) {
  const char* rows[] = {"0.1",
                        "-0.1",
                        "1e23",
                        "8.98846567431158e307",
                        "2.2250738585072011e-308",
                        "4.9e-324",
                        "2.4703282292062327e-324",
                        "2.4703282292062328e-324",
                        "1.7976931348623157e308",
                        "1.7976931348623158e308",
                        "1.7976931348623159e308",
                        "1e400",
                        "-1e400",
                        "1e-400",
                        "9007199254740993",
                        "9007199254740995",
                        "123456789012345678901234567890",
                        "0x1FFFFFFFFFFFFF1",
                        "-0x20000000000001",
                        "-0"};
  for (const char* text : rows) {
    EXPECT_EQ(parse(DataType::doubleT(), text).toInt64(), static_cast<int64_t>(bitsOf(std::strtod(text, nullptr))))
        << text;
    EXPECT_EQ(parse(DataType::singleT(), text).toInt64(), bitsOf(std::strtof(text, nullptr))) << text;
  }
}

TEST(FloatingTarget, RandomDecimalTextsMatchTheCLibrary) {
  std::mt19937 generator(20240611);
  std::uniform_int_distribution<int> digitCount(1, 25), digit(0, 9), exponent(-345, 310);
  for (int trial = 0; trial < 3000; ++trial) {
    std::string text = trial % 2 ? "-" : "";
    int count = digitCount(generator);
    for (int i = 0; i < count; ++i)
      text += static_cast<char>('0' + digit(generator));
    text.insert(text.size() - count / 2, ".");
    text += "e" + std::to_string(exponent(generator) - count / 2);
    ASSERT_EQ(bitsOf(parse(DataType::doubleT(), text).toDouble()), bitsOf(std::strtod(text.c_str(), nullptr))) << text;
    ASSERT_EQ(parse(DataType::singleT(), text).toInt64(), bitsOf(std::strtof(text.c_str(), nullptr))) << text;
  }
}

TEST(Conversion, ToDoubleRoundsAndFitsTells) {
  struct Row {
    DataType type;
    std::string text;
    double nearest;
    DataValue::Fits fits;
  };
  using Fits = DataValue::Fits;
  DataType tiny = DataType::fixptT(true, 8, 1.0, -1080, 0.0);
  const Row rows[] = {
      {DataType::intT(false, 64), "18446744073709551615", 18446744073709551616.0, Fits::NO},
      {DataType::intT(true, 64), "9007199254740993", 9007199254740992.0, Fits::NO},
      {DataType::intT(true, 64), "9007199254740995", 9007199254740996.0, Fits::NO},
      {DataType::intT(true, 64), "-9007199254740994", -9007199254740994.0, Fits::YES},
      {DataType::intT(false, 1024), "0x8" + std::string(255, '0'), std::ldexp(1.0, 1023), Fits::YES},
      {DataType::fixptT(false, 8, 1.0, 1024, 0.0), "0x1" + std::string(256, '0'), HUGE_VAL, Fits::NO},
      {tiny, sixtyFourthsOfMinSubnormal(64), std::ldexp(1.0, -1074), Fits::YES},
      {tiny, sixtyFourthsOfMinSubnormal(33), std::ldexp(1.0, -1074), Fits::NO},
      {tiny, sixtyFourthsOfMinSubnormal(32), 0.0, Fits::NO},
      {tiny, sixtyFourthsOfMinSubnormal(96), std::ldexp(1.0, -1073), Fits::NO},
      {DataType::fixptT(true, 8, 1.0, -3, 0.0), "-0.375", -0.375, Fits::YES},
      {DataType::doubleT(), "0.1", 0.1, Fits::YES},
      {DataType::singleT(), "0.1", static_cast<double>(0.1f), Fits::YES},
  };
  for (const Row& row : rows) {
    DataValue value = parse(row.type, row.text);
    EXPECT_EQ(value.toDouble(), row.nearest) << row.text;
    EXPECT_EQ(value.fitsInDouble(), row.fits) << row.text;
  }
  DataValue notANumber = parse(DataType::doubleT(), "nan");
  EXPECT_TRUE(std::isnan(notANumber.toDouble()));
  EXPECT_EQ(notANumber.fitsInDouble(), Fits::UNDECIDED);
}

TEST(Conversion, TextBytesAndPredicates) {
  DataValue minus31 = parse(DataType::intT(true, 16), "-31");
  EXPECT_EQ(minus31.toString(16), "0x-1F");
  EXPECT_EQ(minus31.toString(8), "0o-37");
  EXPECT_EQ(minus31.toString(2), "0b-11111");
  EXPECT_EQ(parse(DataType::intT(true, 16), minus31.toString(16)), minus31);
  EXPECT_THROW(minus31.toString(7), std::invalid_argument);
  EXPECT_THROW(parse(DataType::fixptT(true, 8, 1.0, -3, 0.0), "1").toString(16), std::invalid_argument);

  EXPECT_EQ(parse(DataType::doubleT(), "0.1").toString(), "0.1");
  EXPECT_EQ(parse(DataType::singleT(), "0.1").toString(), "0.1");
  EXPECT_EQ(parse(DataType::doubleT(), "-0").toString(), "-0");

  EXPECT_EQ(parse(DataType::intT(true, 12), "-2").compactBytes(), (std::vector<uint8_t>{0xFE, 0xFF}));
  EXPECT_EQ(parse(DataType::intT(false, 16), "0x1234").compactBytes(), (std::vector<uint8_t>{0x34, 0x12}));
  EXPECT_EQ(parse(DataType::doubleT(), "1").compactBytes(), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  EXPECT_EQ(parse(DataType::intT(false, 64), "0xFFFFFFFFFFFFFFFF").toInt64(), -1);

  DataType biased = DataType::fixptT(false, 8, 1.0, 0, -5.0);
  EXPECT_TRUE(parse(biased, "-3").isNegative());
  EXPECT_FALSE(parse(biased, "-5").isZero());
  EXPECT_TRUE(parse(biased, "0").isZero());
  EXPECT_FALSE(parse(DataType::doubleT(), "-0").isNegative());
  EXPECT_TRUE(parse(DataType::doubleT(), "-0").isZero());
  EXPECT_NE(parse(DataType::doubleT(), "-0"), parse(DataType::doubleT(), "0"));
}

TEST(Types, ConstructionChecksAndIdentity) {
  EXPECT_THROW(DataType::intT(true, 0), std::invalid_argument);
  EXPECT_THROW(DataType::intT(true, 1025), std::invalid_argument);
  EXPECT_THROW(DataType::fixptT(true, 8, 0.0, 0, 0.0), std::invalid_argument);
  EXPECT_EQ(DataType::intT(true, 1024).wordLength(), 1024);
  EXPECT_EQ(DataType::boolT(), DataType::intT(false, 1));
  EXPECT_TRUE(DataType::intT(true, 8).isInteger());
  EXPECT_FALSE(DataType::fixptT(true, 8, 1.0, -3, 0.0).isInteger());
  EXPECT_TRUE(DataType::singleT().isFloating());
  EXPECT_FALSE(DataType::doubleT().isInteger());
  EXPECT_NE(DataType::doubleT(), DataType::intT(true, 64));
}
