// Number texts: scanning literals into exact rationals.
#include "numeric/numbertext.h"

#include <cctype>
#include <cstdint>
#include <map>
#include <string>

namespace FXP {

namespace {

// Beyond this a decimal exponent only costs time: no type reaches that far.
constexpr long kMaxDecimalExponent = 100000;

int digitValue(char aChar) {
  if (aChar >= '0' && aChar <= '9')
    return aChar - '0';
  char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(aChar)));
  if (lower >= 'a' && lower <= 'f')
    return lower - 'a' + 10;
  return -1;
}

bool isSign(char aChar) {
  return aChar == '+' || aChar == '-';
}

class NumberScanner {
public:
  explicit NumberScanner(const char* aText) : fText(aText) {}

  NumberText scan();

private:
  [[noreturn]] void fail(const std::string& aProblem) const;
  char peek(size_t aAhead = 0) const;
  bool acceptSpecial(NumberText& aNumber);
  int acceptRadixPrefix();
  BigInt scanDigits(int aRadix, size_t& aCount);
  long scanSmallNumber(long aLimit, const char* aWhat);
  void scanRadixLiteral(NumberText& aNumber, int aRadix, bool aHasSign);
  void scanDecimal(NumberText& aNumber);
  void scanSuffix();
  bool acceptFloatSuffix();

  const char* fText;
  size_t fPos = 0;
};

void NumberScanner::fail(const std::string& aProblem) const {
  throw NumberFormatError("invalid number '" + std::string(fText) + "': " + aProblem + " at offset " +
                          std::to_string(fPos));
}

char NumberScanner::peek(size_t aAhead) const {
  for (size_t i = 0; i < aAhead; ++i)
    if (fText[fPos + i] == '\0')
      return '\0';
  return fText[fPos + aAhead];
}

NumberText NumberScanner::scan() {
  NumberText number;
  bool hasSign = isSign(peek());
  number.fNegative = peek() == '-';
  if (hasSign)
    ++fPos;
  if (acceptSpecial(number))
    return number;
  int radix = acceptRadixPrefix();
  if (radix == 10)
    scanDecimal(number);
  else
    scanRadixLiteral(number, radix, hasSign);
  if (radix != 10 || !acceptFloatSuffix())
    scanSuffix();
  if (peek() != '\0')
    fail(std::string("unexpected character '") + peek() + "'");
  return number;
}

bool NumberScanner::acceptSpecial(NumberText& aNumber) {
  std::string rest(fText + fPos);
  for (char& c : rest)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (rest == "inf" || rest == "infinity") {
    aNumber.fKind = NumberText::Kind::INFINITE;
    return true;
  }
  if (rest == "nan") {
    aNumber.fKind = NumberText::Kind::NOT_A_NUMBER;
    return true;
  }
  return false;
}

int NumberScanner::acceptRadixPrefix() {
  if (peek() != '0')
    return 10;
  int radix = 10;
  switch (peek(1)) {
  case 'x':
  case 'X':
    radix = 16;
    break;
  case 'o':
  case 'O':
    radix = 8;
    break;
  case 'b':
  case 'B':
    radix = 2;
    break;
  default:
    return 10;
  }
  fPos += 2;
  return radix;
}

// The value of aCount digits, each below aRadix. Short runs are gathered into a machine word and added to the
// wide value a word at a time; a long run is split in halves, so that the wide steps are few multiplications
// of balanced size (which the wide integers do in less than quadratic time) instead of one step per word,
// each costing the length of the value so far.
// The splits of one level have one or two lengths, so aScales keeps each power of the radix made once.
BigInt digitsValue(const char* aDigits, size_t aCount, int aRadix, std::map<size_t, BigInt>& aScales) {
  constexpr size_t kSplitAbove = 2000;
  if (aCount > kSplitAbove) {
    size_t lowCount = aCount / 2;
    BigInt high = digitsValue(aDigits, aCount - lowCount, aRadix, aScales);
    auto scale = aScales.find(lowCount);
    if (scale == aScales.end())
      scale = aScales.emplace(lowCount, boost::multiprecision::pow(BigInt(aRadix), static_cast<unsigned>(lowCount)))
                  .first;
    return high * scale->second + digitsValue(aDigits + aCount - lowCount, lowCount, aRadix, aScales);
  }
  constexpr uint64_t kChunkLimit = uint64_t{1} << 57;
  BigInt value = 0;
  uint64_t chunk = 0;
  uint64_t chunkScale = 1;
  for (size_t i = 0; i < aCount; ++i) {
    chunk = chunk * aRadix + digitValue(aDigits[i]);
    chunkScale *= aRadix;
    if (chunkScale >= kChunkLimit) {
      value = value * chunkScale + chunk;
      chunk = 0;
      chunkScale = 1;
    }
  }
  return chunkScale > 1 ? value * chunkScale + chunk : value;
}

BigInt NumberScanner::scanDigits(int aRadix, size_t& aCount) {
  size_t start = fPos;
  for (int digit = digitValue(peek()); digit >= 0 && digit < aRadix; digit = digitValue(peek()))
    ++fPos;
  aCount += fPos - start;
  std::map<size_t, BigInt> scales;
  return digitsValue(fText + start, fPos - start, aRadix, scales);
}

long NumberScanner::scanSmallNumber(long aLimit, const char* aWhat) {
  size_t start = fPos;
  long value = 0;
  for (; std::isdigit(static_cast<unsigned char>(peek())); ++fPos) {
    value = value * 10 + (peek() - '0');
    if (value > aLimit) {
      fPos = start;
      fail(std::string(aWhat) + " exceeds " + std::to_string(aLimit));
    }
  }
  if (fPos == start)
    fail(std::string("expected the digits of the ") + aWhat);
  return value;
}

void NumberScanner::scanRadixLiteral(NumberText& aNumber, int aRadix, bool aHasSign) {
  if (isSign(peek())) {
    if (aHasSign)
      fail("a second sign");
    aNumber.fNegative = peek() == '-';
    ++fPos;
  }
  size_t count = 0;
  aNumber.fMagnitude = scanDigits(aRadix, count);
  if (digitValue(peek()) >= aRadix)
    fail(std::string("digit '") + peek() + "' is not valid in base " + std::to_string(aRadix));
  if (count == 0)
    fail("expected a base " + std::to_string(aRadix) + " digit");
}

void NumberScanner::scanDecimal(NumberText& aNumber) {
  size_t digitCount = 0;
  BigInt mantissa = scanDigits(10, digitCount);
  size_t fractionCount = 0;
  if (peek() == '.') {
    ++fPos;
    size_t beforeFraction = digitCount;
    BigInt fraction = scanDigits(10, digitCount);
    fractionCount = digitCount - beforeFraction;
    mantissa = mantissa * boost::multiprecision::pow(BigInt(10), static_cast<unsigned>(fractionCount)) + fraction;
  }
  if (digitCount == 0)
    fail("expected a decimal digit");
  long exponent = 0;
  if (peek() == 'e' || peek() == 'E') {
    ++fPos;
    bool negativeExponent = peek() == '-';
    if (isSign(peek()))
      ++fPos;
    exponent = scanSmallNumber(kMaxDecimalExponent, "exponent");
    if (negativeExponent)
      exponent = -exponent;
  }
  aNumber.fMagnitude = Rational(mantissa) * Rational::powerOfTen(exponent - static_cast<long>(fractionCount));
}

void NumberScanner::scanSuffix() {
  char marker = peek();
  if (marker != 's' && marker != 'S' && marker != 'u' && marker != 'U')
    return;
  ++fPos;
  if (!std::isdigit(static_cast<unsigned char>(peek())))
    return;
  size_t widthStart = fPos;
  long width = scanSmallNumber(DataType::kMaxWordLength, "width suffix");
  if (width >= 1)
    return;
  fPos = widthStart;
  fail("width suffix 0 is below 1");
}

// The suffix of a C float literal ("1.5f", "1e5L"), which float texts may carry: it leaves the value as it is.
bool NumberScanner::acceptFloatSuffix() {
  char marker = peek();
  if (marker != 'f' && marker != 'F' && marker != 'l' && marker != 'L')
    return false;
  ++fPos;
  return true;
}

} // namespace

NumberText parseNumberText(const char* aText) {
  if (!aText)
    throw NumberFormatError("invalid number: no text given");
  return NumberScanner(aText).scan();
}

} // namespace FXP
