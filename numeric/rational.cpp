// Exact rationals over wide integers.
#include "numeric/rational.h"

#include <cstdlib>

namespace FXP {

Rational::Rational(BigInt aNumerator, BigInt aDenominator)
    : fNumerator(std::move(aNumerator)), fDenominator(std::move(aDenominator)) {
  if (fDenominator == 0)
    throw std::domain_error("rational with a zero denominator");
  if (fDenominator > 0)
    return;
  fNumerator = -fNumerator;
  fDenominator = -fDenominator;
}

Rational Rational::powerOfTwo(long aExponent) {
  BigInt power = BigInt(1) << static_cast<unsigned>(std::labs(aExponent));
  return aExponent >= 0 ? Rational(power) : Rational(1, power);
}

Rational Rational::powerOfTen(long aExponent) {
  BigInt power = boost::multiprecision::pow(BigInt(10), static_cast<unsigned>(std::labs(aExponent)));
  return aExponent >= 0 ? Rational(power) : Rational(1, power);
}

Rational Rational::reduced() const {
  BigInt divisor = boost::multiprecision::gcd(fNumerator, fDenominator);
  return Rational(fNumerator / divisor, fDenominator / divisor);
}

Rational operator+(const Rational& aLeft, const Rational& aRight) {
  return Rational(aLeft.fNumerator * aRight.fDenominator + aRight.fNumerator * aLeft.fDenominator,
                  aLeft.fDenominator * aRight.fDenominator);
}

Rational operator-(const Rational& aLeft, const Rational& aRight) {
  return aLeft + -aRight;
}

Rational operator*(const Rational& aLeft, const Rational& aRight) {
  return Rational(aLeft.fNumerator * aRight.fNumerator, aLeft.fDenominator * aRight.fDenominator);
}

Rational operator/(const Rational& aLeft, const Rational& aRight) {
  return Rational(aLeft.fNumerator * aRight.fDenominator, aLeft.fDenominator * aRight.fNumerator);
}

int compare(const Rational& aLeft, const Rational& aRight) {
  BigInt left = aLeft.fNumerator * aRight.fDenominator;
  return left.compare(aRight.fNumerator * aLeft.fDenominator);
}

} // namespace FXP
