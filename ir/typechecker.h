// Type checkers: the type an expression is expected to have, from its operator and operands.
#pragma once

#include "ir/typefactory.h"

namespace CG {

class Expr;

class TypeChecker {
public:
  virtual ~TypeChecker();
  // The type aExpr should have given its operands' types; null when the checker cannot tell.
  virtual Type* expectedType(Expr* aExpr) = 0;
};

// Rules of the core domain:
// - variable and constant expressions: the symbol's own type;
// - calls: the callee's first output type (void when it has none; void for multi-output calls);
// - comparisons and logical operators: bool;
// - arithmetic and bit operators: the common arithmetic type of the operands (see
//   commonArithmeticType); shifts and rotations: the left operand's type;
// - assignments (plain and compound): the left side's type;
// - dereference: the pointee; matrix references: the element type; struct references: the field type;
// - re/im: the complex base type; conjugate: the operand's type; addressOf: pointer to the operand's
//   type; new: pointer to the allocated type; conditional: the type of its two values when they
//   agree, else their common arithmetic type;
// - casts (their type is given by their maker) and every other operator: null.
class CoreDomainTypeChecker : public TypeChecker {
public:
  explicit CoreDomainTypeChecker(CG_Ctx* aCtx, TypeFactory* aFactory = nullptr);

  Type* expectedType(Expr* aExpr) override;

  // The type both operands convert to, qualifiers dropped; null when there is none or when an
  // operand is not arithmetic (scalar, complex or matrix; enums count as their base type).
  //  equal types: that type;
  //  matrix with scalar or with a matrix of the same shape: the matrix over the common element type;
  //  complex with anything numeric: complex over the common base type;
  //  scalars rank double > single > fixed point > integer > char > bool, and the higher rank wins;
  //  two integers: the wider, and at equal width the unsigned one (the left one when both agree);
  //  two different fixed-point types, and anything else: null.
  Type* commonArithmeticType(Type* aLeft, Type* aRight);

private:
  Type* typeOfOperator(Expr* aExpr);
  Type* callResultType(Expr* aCallee);
  Type* elementType(Type* aContainer);
  Type* fieldType(Expr* aExpr);
  Type* binaryArithmeticType(Expr* aExpr);
  Type* commonScalarType(Type* aLeft, Type* aRight);
  Type* commonMatrixType(Type* aLeft, Type* aRight);
  Type* pointerTo(Type* aBase);

  TypeFactory fOwnFactory;
  TypeFactory* fFactory;
};

} // namespace CG
