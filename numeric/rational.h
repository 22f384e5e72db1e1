// Exact rationals over wide integers, the arithmetic behind number conversions.
#ifndef QUILL_NUMERIC_RATIONAL_H
#define QUILL_NUMERIC_RATIONAL_H

#include "numeric/fxp.h"

namespace FXP {

// numerator / denominator with a positive denominator; not kept in lowest terms,
// since the conversions here are short chains where reducing costs more than it saves.
class Rational {
public:
  Rational(BigInt aNumerator = 0, BigInt aDenominator = 1);

  static Rational powerOfTwo(long aExponent);
  static Rational powerOfTen(long aExponent);

  const BigInt& numerator() const { return fNumerator; }
  const BigInt& denominator() const { return fDenominator; }
  int sign() const { return fNumerator.sign(); }
  Rational magnitude() const { return Rational(boost::multiprecision::abs(fNumerator), fDenominator); }
  Rational reduced() const;

  Rational operator-() const { return Rational(-fNumerator, fDenominator); }
  friend Rational operator+(const Rational& aLeft, const Rational& aRight);
  friend Rational operator-(const Rational& aLeft, const Rational& aRight);
  friend Rational operator*(const Rational& aLeft, const Rational& aRight);
  friend Rational operator/(const Rational& aLeft, const Rational& aRight);
  friend int compare(const Rational& aLeft, const Rational& aRight);
  friend bool operator==(const Rational& aLeft, const Rational& aRight) { return compare(aLeft, aRight) == 0; }
  friend bool operator!=(const Rational& aLeft, const Rational& aRight) { return compare(aLeft, aRight) != 0; }
  friend bool operator<(const Rational& aLeft, const Rational& aRight) { return compare(aLeft, aRight) < 0; }

private:
  BigInt fNumerator;
  BigInt fDenominator;
};

} // namespace FXP

#endif
