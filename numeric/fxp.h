// Exact fixed-point numerics: data types, math modes and values held as wide integers.
#ifndef QUILL_NUMERIC_FXP_H
#define QUILL_NUMERIC_FXP_H

#include <boost/multiprecision/cpp_int.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace FXP {

using BigInt = boost::multiprecision::cpp_int;

// Thrown for a number text that does not parse; the message quotes the text.
class NumberFormatError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Thrown for a type no value can have: a word length, slope adjustment, fixed exponent or bias out of range.
class InvalidTypeError : public std::invalid_argument {
public:
  using std::invalid_argument::invalid_argument;
};

// A fixed-point type (real value = stored * slopeAdjustment * 2^fixedExponent + bias)
// or one of the IEEE binary floating types.
class DataType {
public:
  static constexpr int kMaxWordLength = 1024;

  static DataType intT(bool aIsSigned, int aWordLength);
  static DataType fixptT(bool aIsSigned, int aWordLength, double aSlopeAdjustment, int aFixedExponent, double aBias);
  static DataType doubleT();
  static DataType singleT();
  static DataType boolT();

  bool isSigned() const { return fIsSigned; }
  int wordLength() const { return fWordLength; }
  double slopeAdjustment() const { return fSlopeAdjustment; }
  int fixedExponent() const { return fFixedExponent; }
  double bias() const { return fBias; }
  bool isDouble() const { return fKind == Kind::DOUBLE; }
  bool isSingle() const { return fKind == Kind::SINGLE; }
  bool isFloating() const { return fKind != Kind::FIXED; }
  bool isInteger() const;

  bool operator==(const DataType& aOther) const;
  bool operator!=(const DataType& aOther) const { return !(*this == aOther); }

private:
  enum class Kind { FIXED, DOUBLE, SINGLE };

  DataType(Kind aKind, bool aIsSigned, int aWordLength, double aSlopeAdjustment, int aFixedExponent, double aBias);

  // Integers before doubles: no padding between them, and a value holding a type stays small.
  Kind fKind;
  bool fIsSigned;
  int fWordLength;
  int fFixedExponent;
  double fSlopeAdjustment;
  double fBias;
};

// How an exact value is brought onto a type's grid and into its range.
class MathMode {
public:
  enum Rounding {
    FLOOR,      // toward minus infinity
    CEILING,    // toward plus infinity
    ZERO,       // toward zero
    NEAREST,    // nearest; halves toward plus infinity
    CONVERGENT, // nearest; halves to the even neighbour
    NEAREST_OB, // nearest; halves away from zero
    SIMPLEST,   // the cheapest on two's complement hardware: an arithmetic shift, i.e. FLOOR
  };
  enum Overflow { WRAP, SATURATE };

  MathMode(Rounding aRounding, Overflow aOverflow) : fRounding(aRounding), fOverflow(aOverflow) {}

  Rounding rounding() const { return fRounding; }
  Overflow overflow() const { return fOverflow; }

  static const MathMode& floorWrap();
  static const MathMode& nearestSaturate();
  static const MathMode& nearestWrap();
  static const MathMode& zeroWrap();

  bool operator==(const MathMode& aOther) const {
    return fRounding == aOther.fRounding && fOverflow == aOther.fOverflow;
  }

private:
  Rounding fRounding;
  Overflow fOverflow;
};

// Plain decimal digits with an optional minus, short enough for a 64-bit integer: the common literal, read
// without going through exact rationals. False for anything else, which the full number reader takes.
bool readShortDecimal(const char* aText, long long* aValue);

// A value of a DataType. Fixed-point values keep their stored integer; floating
// values keep their IEEE encoding as an unsigned stored integer.
class DataValue {
public:
  enum class Fits { NO, YES, UNDECIDED };

  // Parses decimal ("-1.25e3"), hexadecimal ("0x1F", "0x-1F"), octal ("0o17") or
  // binary ("0b101") text with an optional width suffix ("s16", "u8", "s", "u").
  // Floating types also take "inf" and "nan". The exact value is rounded and
  // fitted to aType with aMode; floating targets always round to nearest, ties
  // to even. Throws NumberFormatError on malformed text.
  static DataValue fromString(const DataType& aType, const char* aText, const MathMode& aMode);
  // The value whose stored integer is aStored, which must lie in aType's range.
  static DataValue fromStoredInteger(const DataType& aType, BigInt aStored) {
    return DataValue(aType, std::move(aStored));
  }

  const DataType& type() const { return fType; }
  const BigInt& storedInteger() const { return fStored; }

  // The real value correctly rounded to the nearest double.
  double toDouble() const;
  // UNDECIDED only for a floating NaN.
  Fits fitsInDouble() const;
  // Radix 10 gives the exact real value ("0.375", "-1.5", "42"); radix 16, 8
  // and 2 give the stored integer of an integer type ("0x1F", "0x-1F", "0o17", "0b101").
  std::string toString(int aRadix = 10) const;
  // The stored integer wrapped to 64 bits two's complement.
  int64_t toInt64() const;
  // The stored integer in two's complement, little endian, sign-extended to
  // wordLength/8 bytes rounded up.
  std::vector<uint8_t> compactBytes() const;
  bool isNegative() const;
  bool isZero() const;

  // Same type and same representation: NaNs of one encoding are equal, -0.0 and 0.0 are not.
  bool operator==(const DataValue& aOther) const { return fType == aOther.fType && fStored == aOther.fStored; }
  bool operator!=(const DataValue& aOther) const { return !(*this == aOther); }

private:
  DataValue(const DataType& aType, BigInt aStored) : fType(aType), fStored(std::move(aStored)) {}

  double floatingValue() const;
  std::string radixTenString() const;
  std::string radixString(int aRadix) const;

  DataType fType;
  BigInt fStored;
};

} // namespace FXP

#endif
