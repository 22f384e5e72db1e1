// Number texts: the exact value of a decimal, hexadecimal, octal or binary literal.
#ifndef QUILL_NUMERIC_NUMBERTEXT_H
#define QUILL_NUMERIC_NUMBERTEXT_H

#include "numeric/rational.h"

namespace FXP {

struct NumberText {
  enum class Kind { FINITE, INFINITE, NOT_A_NUMBER };

  Kind fKind = Kind::FINITE;
  // Kept apart from the magnitude so that "-0" and "-nan" keep their sign.
  bool fNegative = false;
  Rational fMagnitude;

  Rational value() const { return fNegative ? Rational(-fMagnitude) : fMagnitude; }
};

// Grammar, without spaces:
//   [sign] ( "inf" | "infinity" | "nan" )                      case-insensitive
//   [sign] digits ["." digits] [("e"|"E") [sign] digits] [suffix]  (digits on one side of "." may be absent)
//   [sign] "0x"|"0o"|"0b" [sign] digits [suffix]                prefix in either case; one sign at most
//   suffix: ("s"|"u"|"S"|"U") [width in 1..1024]
// Throws NumberFormatError naming the text, the problem and its offset.
NumberText parseNumberText(const char* aText);

} // namespace FXP

#endif
