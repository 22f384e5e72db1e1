// Exact fixed-point numerics: quantisation, overflow handling and conversions.
#include "numeric/fxp.h"

#include "numeric/numbertext.h"
#include "numeric/rational.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace FXP {

namespace {

// Beyond this a scaling exponent is a typo, and honouring it would only burn memory.
constexpr int kMaxFixedExponent = 16384;

// An IEEE binary format: its precision and the weights of its extreme bits.
struct BinaryFormat {
  int fPrecision;      // significand bits, hidden bit included
  int fMinLsbExponent; // weight of the smallest subnormal
  int fMaxExponent;    // weight of the top bit of the largest finite value
};

constexpr BinaryFormat kDoubleFormat{53, -1074, 1023};
constexpr BinaryFormat kSingleFormat{24, -149, 127};

BigInt powerOfTwo(unsigned aExponent) {
  BigInt power = 0;
  boost::multiprecision::bit_set(power, aExponent);
  return power;
}

Rational scaledByPowerOfTwo(const Rational& aValue, long aExponent) {
  return aValue * Rational::powerOfTwo(aExponent);
}

// Every finite double is a dyadic rational; this is it exactly, in lowest terms, so that the usual scale 1
// and bias 0 keep a literal's denominator 1.
Rational exactRational(double aValue) {
  if (aValue == 0)
    return Rational(0);
  int exponent = 0;
  double fraction = std::frexp(aValue, &exponent);
  auto significand = static_cast<int64_t>(std::ldexp(fraction, 53));
  long scale = static_cast<long>(exponent) - 53;
  for (; significand % 2 == 0; significand /= 2)
    ++scale;
  return scaledByPowerOfTwo(Rational(significand), scale);
}

Rational scaleOf(const DataType& aType) {
  return scaledByPowerOfTwo(exactRational(aType.slopeAdjustment()), aType.fixedExponent());
}

// aNumerator / aDenominator (aDenominator > 0) split as quotient + remainder / aDenominator
// with 0 <= remainder < aDenominator.
void divideFloor(const BigInt& aNumerator, const BigInt& aDenominator, BigInt& aQuotient, BigInt& aRemainder) {
  boost::multiprecision::divide_qr(aNumerator, aDenominator, aQuotient, aRemainder);
  if (aRemainder >= 0)
    return;
  aQuotient -= 1;
  aRemainder += aDenominator;
}

// Which neighbour a value between floor and floor + 1 lies nearer to.
int compareWithHalf(const BigInt& aRemainder, const BigInt& aDenominator) {
  BigInt distanceToCeiling = aDenominator - aRemainder;
  return aRemainder.compare(distanceToCeiling);
}

bool roundsUp(MathMode::Rounding aRounding, const BigInt& aFloor, const BigInt& aRemainder,
              const BigInt& aDenominator) {
  if (aRemainder == 0)
    return false;
  int half = compareWithHalf(aRemainder, aDenominator);
  switch (aRounding) {
  case MathMode::FLOOR:
  case MathMode::SIMPLEST:
    return false;
  case MathMode::CEILING:
    return true;
  case MathMode::ZERO:
    return aFloor < 0;
  case MathMode::NEAREST:
    return half >= 0;
  case MathMode::CONVERGENT:
    return half > 0 || (half == 0 && boost::multiprecision::bit_test(aFloor, 0));
  case MathMode::NEAREST_OB:
    return half > 0 || (half == 0 && aFloor >= 0);
  }
  throw std::invalid_argument("unknown rounding mode " + std::to_string(aRounding));
}

BigInt roundToInteger(const Rational& aValue, MathMode::Rounding aRounding) {
  const BigInt& denominator = aValue.denominator();
  // An integer already: a long one would cost a long division by 1.
  if (denominator == 1)
    return aValue.numerator();
  BigInt quotient, remainder;
  divideFloor(aValue.numerator(), denominator, quotient, remainder);
  if (roundsUp(aRounding, quotient, remainder, denominator))
    quotient += 1;
  return quotient;
}

BigInt wrapToWord(const BigInt& aValue, bool aIsSigned, int aWordLength) {
  BigInt modulus = powerOfTwo(static_cast<unsigned>(aWordLength));
  BigInt wrapped = aValue % modulus;
  if (wrapped < 0)
    wrapped += modulus;
  if (aIsSigned && boost::multiprecision::bit_test(wrapped, aWordLength - 1))
    wrapped -= modulus;
  return wrapped;
}

BigInt saturateToWord(const BigInt& aValue, bool aIsSigned, int aWordLength) {
  int magnitudeBits = aIsSigned ? aWordLength - 1 : aWordLength;
  BigInt maximum = powerOfTwo(static_cast<unsigned>(magnitudeBits)) - 1;
  BigInt minimum = aIsSigned ? BigInt(-maximum - 1) : BigInt(0);
  if (aValue > maximum)
    return maximum;
  if (aValue < minimum)
    return minimum;
  return aValue;
}

BigInt fitToWord(const BigInt& aValue, const DataType& aType, MathMode::Overflow aOverflow) {
  switch (aOverflow) {
  case MathMode::WRAP:
    return wrapToWord(aValue, aType.isSigned(), aType.wordLength());
  case MathMode::SATURATE:
    return saturateToWord(aValue, aType.isSigned(), aType.wordLength());
  }
  throw std::invalid_argument("unknown overflow rule " + std::to_string(aOverflow));
}

// floor(log2(aValue)) for aValue > 0.
long binaryExponent(const BigInt& aNumerator, const BigInt& aDenominator) {
  long exponent = static_cast<long>(boost::multiprecision::msb(aNumerator)) -
                  static_cast<long>(boost::multiprecision::msb(aDenominator));
  bool belowPower = exponent >= 0 ? aNumerator < (aDenominator << static_cast<unsigned>(exponent))
                                  : (aNumerator << static_cast<unsigned>(-exponent)) < aDenominator;
  return belowPower ? exponent - 1 : exponent;
}

// The value of aFormat nearest to aValue, ties to even, as a double (exact for
// both formats); infinity beyond the largest finite value.
double nearestBinary(const Rational& aValue, const BinaryFormat& aFormat) {
  if (aValue.sign() == 0)
    return 0.0;
  Rational magnitude = aValue.magnitude();
  double sign = aValue.sign() < 0 ? -1.0 : 1.0;
  const BigInt& numerator = magnitude.numerator();
  const BigInt& denominator = magnitude.denominator();
  long exponent = binaryExponent(numerator, denominator);
  if (exponent > aFormat.fMaxExponent)
    return sign * std::numeric_limits<double>::infinity();
  if (exponent < aFormat.fMinLsbExponent - 1)
    return sign * 0.0;
  long lsbExponent = std::max<long>(exponent - (aFormat.fPrecision - 1), aFormat.fMinLsbExponent);
  Rational scaled = scaledByPowerOfTwo(magnitude, -lsbExponent);
  BigInt significand = roundToInteger(scaled, MathMode::CONVERGENT);
  if (significand == 0)
    return sign * 0.0;
  long topExponent = static_cast<long>(boost::multiprecision::msb(significand)) + lsbExponent;
  if (topExponent > aFormat.fMaxExponent)
    return sign * std::numeric_limits<double>::infinity();
  return sign * std::ldexp(significand.convert_to<double>(), static_cast<int>(lsbExponent));
}

template <typename Bits, typename Float> BigInt encodingOf(Float aValue) {
  Bits bits;
  std::memcpy(&bits, &aValue, sizeof bits);
  return BigInt(bits);
}

double floatingFromText(const NumberText& aNumber, const BinaryFormat& aFormat) {
  double sign = aNumber.fNegative ? -1.0 : 1.0;
  switch (aNumber.fKind) {
  case NumberText::Kind::INFINITE:
    return sign * std::numeric_limits<double>::infinity();
  case NumberText::Kind::NOT_A_NUMBER:
    return std::copysign(std::numeric_limits<double>::quiet_NaN(), sign);
  case NumberText::Kind::FINITE:
    return std::copysign(nearestBinary(aNumber.value(), aFormat), sign);
  }
  throw std::invalid_argument("unknown number kind");
}

BigInt floatingStored(const DataType& aType, const NumberText& aNumber) {
  if (aType.isDouble())
    return encodingOf<uint64_t>(floatingFromText(aNumber, kDoubleFormat));
  return encodingOf<uint32_t>(static_cast<float>(floatingFromText(aNumber, kSingleFormat)));
}

BigInt fixedStored(const DataType& aType, const NumberText& aNumber, const char* aText, const MathMode& aMode) {
  if (aNumber.fKind != NumberText::Kind::FINITE)
    throw NumberFormatError("invalid number '" + std::string(aText) + "': a fixed-point type holds only finite values");
  Rational onGrid = (aNumber.value() - exactRational(aType.bias())) / scaleOf(aType);
  return fitToWord(roundToInteger(onGrid, aMode.rounding()), aType, aMode.overflow());
}

// A dyadic rational written out in full: its denominator 2^k divides 10^k.
std::string exactDecimal(const Rational& aValue) {
  Rational lowest = aValue.reduced();
  unsigned fractionDigits = boost::multiprecision::msb(lowest.denominator());
  BigInt digits =
      boost::multiprecision::abs(lowest.numerator()) * boost::multiprecision::pow(BigInt(5), fractionDigits);
  std::string text = digits.str();
  if (text.size() <= fractionDigits)
    text.insert(0, fractionDigits + 1 - text.size(), '0');
  if (fractionDigits > 0)
    text.insert(text.size() - fractionDigits, ".");
  return (aValue.sign() < 0 ? "-" : "") + text;
}

// The shortest text that reads back as the same value of its own format.
template <typename Float> std::string shortestDecimal(Float aValue) {
  if (std::isnan(aValue))
    return "nan";
  char buffer[64];
  std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, aValue);
  return std::string(buffer, result.ptr);
}

Rational exactValueOf(const DataType& aType, const BigInt& aStored) {
  return Rational(aStored) * scaleOf(aType) + exactRational(aType.bias());
}

void checkWordLength(int aWordLength) {
  if (aWordLength < 1 || aWordLength > DataType::kMaxWordLength)
    throw InvalidTypeError("word length " + std::to_string(aWordLength) + " is outside 1.." +
                           std::to_string(DataType::kMaxWordLength));
}

} // namespace

bool readShortDecimal(const char* aText, long long* aValue) {
  constexpr int kMaxDigits = 18;
  const char* cursor = aText;
  bool negative = *cursor == '-';
  if (negative)
    ++cursor;
  long long magnitude = 0;
  int digits = 0;
  for (; *cursor >= '0' && *cursor <= '9'; ++cursor, ++digits) {
    if (digits == kMaxDigits)
      return false;
    magnitude = magnitude * 10 + (*cursor - '0');
  }
  if (digits == 0 || *cursor != '\0')
    return false;
  *aValue = negative ? -magnitude : magnitude;
  return true;
}

// ---- DataType ----

DataType::DataType(Kind aKind, bool aIsSigned, int aWordLength, double aSlopeAdjustment, int aFixedExponent,
                   double aBias)
    : fKind(aKind), fIsSigned(aIsSigned), fWordLength(aWordLength), fFixedExponent(aFixedExponent),
      fSlopeAdjustment(aSlopeAdjustment), fBias(aBias) {}

DataType DataType::intT(bool aIsSigned, int aWordLength) {
  return fixptT(aIsSigned, aWordLength, 1.0, 0, 0.0);
}

DataType DataType::fixptT(bool aIsSigned, int aWordLength, double aSlopeAdjustment, int aFixedExponent, double aBias) {
  checkWordLength(aWordLength);
  if (!std::isfinite(aSlopeAdjustment) || aSlopeAdjustment <= 0)
    throw InvalidTypeError("slope adjustment " + shortestDecimal(aSlopeAdjustment) +
                           " is not a finite positive number");
  if (aFixedExponent < -kMaxFixedExponent || aFixedExponent > kMaxFixedExponent)
    throw InvalidTypeError("fixed exponent " + std::to_string(aFixedExponent) + " is outside -" +
                           std::to_string(kMaxFixedExponent) + ".." + std::to_string(kMaxFixedExponent));
  if (!std::isfinite(aBias))
    throw InvalidTypeError("bias " + shortestDecimal(aBias) + " is not finite");
  return DataType(Kind::FIXED, aIsSigned, aWordLength, aSlopeAdjustment, aFixedExponent, aBias);
}

DataType DataType::doubleT() {
  return DataType(Kind::DOUBLE, true, 64, 1.0, 0, 0.0);
}

DataType DataType::singleT() {
  return DataType(Kind::SINGLE, true, 32, 1.0, 0, 0.0);
}

DataType DataType::boolT() {
  return intT(false, 1);
}

bool DataType::isInteger() const {
  return fKind == Kind::FIXED && fSlopeAdjustment == 1.0 && fFixedExponent == 0 && fBias == 0.0;
}

bool DataType::operator==(const DataType& aOther) const {
  return fKind == aOther.fKind && fIsSigned == aOther.fIsSigned && fWordLength == aOther.fWordLength &&
         fSlopeAdjustment == aOther.fSlopeAdjustment && fFixedExponent == aOther.fFixedExponent &&
         fBias == aOther.fBias;
}

// ---- MathMode ----

const MathMode& MathMode::floorWrap() {
  static const MathMode mode(FLOOR, WRAP);
  return mode;
}

const MathMode& MathMode::nearestSaturate() {
  static const MathMode mode(NEAREST, SATURATE);
  return mode;
}

const MathMode& MathMode::nearestWrap() {
  static const MathMode mode(NEAREST, WRAP);
  return mode;
}

const MathMode& MathMode::zeroWrap() {
  static const MathMode mode(ZERO, WRAP);
  return mode;
}

// ---- DataValue ----

DataValue DataValue::fromString(const DataType& aType, const char* aText, const MathMode& aMode) {
  long long integer = 0;
  if (aText != nullptr && aType.isInteger() && readShortDecimal(aText, &integer))
    return DataValue(aType, fitToWord(BigInt(integer), aType, aMode.overflow()));
  NumberText number = parseNumberText(aText);
  if (aType.isFloating())
    return DataValue(aType, floatingStored(aType, number));
  return DataValue(aType, fixedStored(aType, number, aText, aMode));
}

double DataValue::floatingValue() const {
  if (fType.isDouble()) {
    auto bits = fStored.convert_to<uint64_t>();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  auto bits = fStored.convert_to<uint32_t>();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

double DataValue::toDouble() const {
  if (fType.isFloating())
    return floatingValue();
  return nearestBinary(exactValueOf(fType, fStored), kDoubleFormat);
}

DataValue::Fits DataValue::fitsInDouble() const {
  if (fType.isFloating())
    return std::isnan(floatingValue()) ? Fits::UNDECIDED : Fits::YES;
  double nearest = toDouble();
  if (std::isinf(nearest) || exactRational(nearest) != exactValueOf(fType, fStored))
    return Fits::NO;
  return Fits::YES;
}

std::string DataValue::toString(int aRadix) const {
  if (aRadix == 10)
    return radixTenString();
  if (aRadix != 16 && aRadix != 8 && aRadix != 2)
    throw std::invalid_argument("radix " + std::to_string(aRadix) + " is not one of 2, 8, 10, 16");
  if (!fType.isInteger())
    throw std::invalid_argument("radix " + std::to_string(aRadix) + " text is only for integer types");
  return radixString(aRadix);
}

std::string DataValue::radixTenString() const {
  if (fType.isDouble())
    return shortestDecimal(floatingValue());
  if (fType.isSingle())
    return shortestDecimal(static_cast<float>(floatingValue()));
  return exactDecimal(exactValueOf(fType, fStored));
}

std::string DataValue::radixString(int aRadix) const {
  static const char kDigits[] = "0123456789ABCDEF";
  BigInt rest = boost::multiprecision::abs(fStored);
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[static_cast<int>(rest % aRadix)]);
    rest /= aRadix;
  } while (rest != 0);
  const char* prefix = aRadix == 16 ? "0x" : aRadix == 8 ? "0o" : "0b";
  return prefix + std::string(fStored < 0 ? "-" : "") + digits;
}

int64_t DataValue::toInt64() const {
  return wrapToWord(fStored, true, 64).convert_to<int64_t>();
}

std::vector<uint8_t> DataValue::compactBytes() const {
  int byteCount = (fType.wordLength() + 7) / 8;
  BigInt bits = wrapToWord(fStored, false, byteCount * 8);
  std::vector<uint8_t> bytes;
  for (int i = 0; i < byteCount; ++i, bits >>= 8)
    bytes.push_back(static_cast<uint8_t>(bits & 0xFF));
  return bytes;
}

bool DataValue::isNegative() const {
  if (fType.isFloating())
    return floatingValue() < 0;
  return exactValueOf(fType, fStored).sign() < 0;
}

bool DataValue::isZero() const {
  if (fType.isFloating())
    return floatingValue() == 0;
  return exactValueOf(fType, fStored).sign() == 0;
}

} // namespace FXP
