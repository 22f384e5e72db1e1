// The core-domain type checker: cheap, deterministic typing rules per operator class.
#include "ir/typechecker.h"

#include <vector>

#include "ir/node.h"
#include "ir/strings.h"

namespace CG {

TypeChecker::~TypeChecker() = default;

CoreDomainTypeChecker::CoreDomainTypeChecker(CG_Ctx* aCtx, TypeFactory* aFactory)
    : fOwnFactory(aCtx), fFactory(aFactory != nullptr ? aFactory : &fOwnFactory) {}

namespace {

Type* operandType(Expr* aExpr, int aIndex) {
  if (aIndex >= aExpr->numInputs() || aExpr->input(aIndex) == nullptr) {
    return nullptr;
  }
  return aExpr->input(aIndex)->type();
}

// The type an operand counts as in arithmetic: qualifiers dropped, enums as their base.
Type* arithmeticView(Type* aType) {
  if (aType == nullptr) {
    return nullptr;
  }
  Type* type = aType->unqualified();
  if (EnumType::isa(type) && EnumType::cast(type)->baseType() != nullptr) {
    return EnumType::cast(type)->baseType()->unqualified();
  }
  return type;
}

// Rank of a scalar type in the usual conversions; -1 for non-arithmetic types.
int scalarRank(const Type* aType) {
  if (DoubleType::isa(aType)) {
    return 5;
  }
  if (SingleType::isa(aType)) {
    return 4;
  }
  if (FixptType::isa(aType)) {
    return 3;
  }
  if (IntegerType::isa(aType)) {
    return 2;
  }
  if (CharType::isa(aType)) {
    return 1;
  }
  if (BoolType::isa(aType)) {
    return 0;
  }
  return -1;
}

bool isMatrix(const Type* aType) {
  return StaticMatrixType::isa(aType) || DynamicMatrixType::isa(aType);
}

bool isArithmetic(const Type* aType) {
  return scalarRank(aType) >= 0 || ComplexType::isa(aType) || isMatrix(aType);
}

Type* matrixElement(Type* aType) {
  if (StaticMatrixType::isa(aType)) {
    return StaticMatrixType::cast(aType)->baseType();
  }
  if (DynamicMatrixType::isa(aType)) {
    return DynamicMatrixType::cast(aType)->baseType();
  }
  return aType;
}

bool sameShape(const Type* aLeft, const Type* aRight) {
  if (StaticMatrixType::isa(aLeft) && StaticMatrixType::isa(aRight)) {
    const StaticMatrixType* left = StaticMatrixType::cast(aLeft);
    const StaticMatrixType* right = StaticMatrixType::cast(aRight);
    if (left->numDims() != right->numDims() || left->isRowMajor() != right->isRowMajor()) {
      return false;
    }
    for (int i = 0; i < left->numDims(); ++i) {
      if (left->dim(i) != right->dim(i)) {
        return false;
      }
    }
    return true;
  }
  if (DynamicMatrixType::isa(aLeft) && DynamicMatrixType::isa(aRight)) {
    const DynamicMatrixType* left = DynamicMatrixType::cast(aLeft);
    const DynamicMatrixType* right = DynamicMatrixType::cast(aRight);
    if (left->numDims() != right->numDims() || left->isRowMajor() != right->isRowMajor()) {
      return false;
    }
    for (int i = 0; i < left->numDims(); ++i) {
      if (left->isVariableDim(i) != right->isVariableDim(i) || left->dimBound(i) != right->dimBound(i)) {
        return false;
      }
    }
    return true;
  }
  return false;
}

} // namespace

Type* CoreDomainTypeChecker::commonArithmeticType(Type* aLeft, Type* aRight) {
  Type* left = arithmeticView(aLeft);
  Type* right = arithmeticView(aRight);
  if (left == nullptr || right == nullptr || !isArithmetic(left) || !isArithmetic(right)) {
    return nullptr;
  }
  if (left == right || left->equals(right)) {
    return left;
  }
  if (isMatrix(left) || isMatrix(right)) {
    return commonMatrixType(left, right);
  }
  if (ComplexType::isa(left) || ComplexType::isa(right)) {
    Type* leftBase = ComplexType::isa(left) ? ComplexType::cast(left)->baseType() : left;
    Type* rightBase = ComplexType::isa(right) ? ComplexType::cast(right)->baseType() : right;
    Type* base = commonScalarType(arithmeticView(leftBase), arithmeticView(rightBase));
    return base != nullptr ? fFactory->complexType(base) : nullptr;
  }
  return commonScalarType(left, right);
}

Type* CoreDomainTypeChecker::commonScalarType(Type* aLeft, Type* aRight) {
  if (aLeft == nullptr || aRight == nullptr) {
    return nullptr;
  }
  if (aLeft == aRight || aLeft->equals(aRight)) {
    return aLeft;
  }
  int leftRank = scalarRank(aLeft);
  int rightRank = scalarRank(aRight);
  if (leftRank < 0 || rightRank < 0) {
    return nullptr;
  }
  if (leftRank != rightRank) {
    return leftRank > rightRank ? aLeft : aRight;
  }
  if (!IntegerType::isa(aLeft)) {
    return nullptr;
  }
  const IntegerType* left = IntegerType::cast(aLeft);
  const IntegerType* right = IntegerType::cast(aRight);
  if (left->numBits() != right->numBits()) {
    return left->numBits() > right->numBits() ? aLeft : aRight;
  }
  if (left->isSigned() != right->isSigned()) {
    return left->isSigned() ? aRight : aLeft;
  }
  return aLeft;
}

Type* CoreDomainTypeChecker::commonMatrixType(Type* aLeft, Type* aRight) {
  if (isMatrix(aLeft) && isMatrix(aRight) && !sameShape(aLeft, aRight)) {
    return nullptr;
  }
  Type* shape = isMatrix(aLeft) ? aLeft : aRight;
  Type* element = commonArithmeticType(matrixElement(aLeft), matrixElement(aRight));
  if (element == nullptr) {
    return nullptr;
  }
  Type* shapeElement = matrixElement(shape);
  if (shapeElement == element || shapeElement->equals(element)) {
    return shape;
  }
  if (StaticMatrixType::isa(shape)) {
    const StaticMatrixType* matrix = StaticMatrixType::cast(shape);
    std::vector<SymbolicSize*> dims;
    for (int i = 0; i < matrix->numDims(); ++i) {
      dims.push_back(matrix->dim(i));
    }
    return fFactory->matrixType(element, dims, matrix->isRowMajor());
  }
  const DynamicMatrixType* matrix = DynamicMatrixType::cast(shape);
  std::vector<std::pair<bool, SymbolicSize*>> dims;
  for (int i = 0; i < matrix->numDims(); ++i) {
    dims.emplace_back(matrix->isVariableDim(i), matrix->dimBound(i));
  }
  return fFactory->dynamicMatrixType(element, dims, matrix->isRowMajor());
}

Type* CoreDomainTypeChecker::pointerTo(Type* aBase) {
  return aBase != nullptr ? fFactory->pointerType(aBase) : nullptr;
}

Type* CoreDomainTypeChecker::callResultType(Expr* aCallee) {
  Type* type = aCallee != nullptr ? aCallee->type() : nullptr;
  if (type != nullptr && PointerType::isa(type->unqualified())) {
    type = PointerType::cast(type->unqualified())->baseType();
  }
  if (type == nullptr || !FcnType::isa(type->unqualified())) {
    return nullptr;
  }
  const FcnType* fcnType = FcnType::cast(type->unqualified());
  if (fcnType->numOutputs() == 0) {
    return fFactory->voidType();
  }
  return fcnType->output(0);
}

Type* CoreDomainTypeChecker::elementType(Type* aContainer) {
  if (aContainer == nullptr) {
    return nullptr;
  }
  Type* container = aContainer->unqualified();
  if (isMatrix(container)) {
    return matrixElement(container);
  }
  if (PointerType::isa(container)) {
    return PointerType::cast(container)->baseType();
  }
  if (ReferenceType::isa(container)) {
    return elementType(ReferenceType::cast(container)->baseType());
  }
  return nullptr;
}

Type* CoreDomainTypeChecker::fieldType(Expr* aExpr) {
  Type* base = operandType(aExpr, 0);
  Expr* name = aExpr->numInputs() > 1 ? aExpr->input(1) : nullptr;
  const char* field = ConstExpr::isa(name) ? cg_const_string_value(ConstExpr::cast(name)->constant()) : nullptr;
  if (base == nullptr || field == nullptr) {
    return nullptr;
  }
  Type* aggregate = base->unqualified();
  if (ReferenceType::isa(aggregate)) {
    aggregate = ReferenceType::cast(aggregate)->baseType()->unqualified();
  }
  if (AggregateType::isa(aggregate)) {
    const AggregateType* type = AggregateType::cast(aggregate);
    for (int i = 0; i < type->numFields(); ++i) {
      if (cg_strcmp(type->fieldName(i), field) == 0) {
        return type->fieldType(i);
      }
    }
    return nullptr;
  }
  if (ClassType::isa(aggregate)) {
    const ClassType* type = ClassType::cast(aggregate);
    for (int i = 0; i < type->numMembers(); ++i) {
      if (cg_strcmp(type->memberName(i), field) == 0) {
        return type->memberType(i);
      }
    }
  }
  return nullptr;
}

Type* CoreDomainTypeChecker::binaryArithmeticType(Expr* aExpr) {
  Type* left = operandType(aExpr, 0);
  if (aExpr->numInputs() == 1) {
    return left != nullptr ? left->unqualified() : nullptr;
  }
  Type* right = operandType(aExpr, 1);
  bool pointerArithmetic = aExpr->opcode() == OP::PLUS || aExpr->opcode() == OP::MINUS;
  if (pointerArithmetic && left != nullptr && PointerType::isa(left->unqualified()) &&
      IntegerType::isa(arithmeticView(right))) {
    return left->unqualified();
  }
  return commonArithmeticType(left, right);
}

Type* CoreDomainTypeChecker::expectedType(Expr* aExpr) {
  if (aExpr == nullptr) {
    return nullptr;
  }
  if (VarExpr::isa(aExpr)) {
    Var* var = VarExpr::cast(aExpr)->var();
    return var != nullptr ? var->type() : nullptr;
  }
  if (ConstExpr::isa(aExpr)) {
    Const* constant = ConstExpr::cast(aExpr)->constant();
    return constant != nullptr ? constant->type() : nullptr;
  }
  if (CallExpr::isa(aExpr)) {
    return callResultType(CallExpr::cast(aExpr)->callee());
  }
  if (MultiOutputCallExpr::isa(aExpr)) {
    return fFactory->voidType();
  }
  int op = aExpr->opcode();
  if (isComparisonOp(op) || isLogicalOp(op)) {
    return fFactory->boolType();
  }
  if (isAssignmentOp(op) || isShiftOp(op)) {
    Type* left = operandType(aExpr, 0);
    return left != nullptr ? left->unqualified() : nullptr;
  }
  if (isArithmeticOp(op)) {
    return binaryArithmeticType(aExpr);
  }
  return typeOfOperator(aExpr);
}

Type* CoreDomainTypeChecker::typeOfOperator(Expr* aExpr) {
  switch (aExpr->opcode()) {
  case OP::DEREF:
  case OP::MREF:
  case OP::DMREF:
  case OP::PMREF:
    return elementType(operandType(aExpr, 0));
  case OP::SREF:
    return fieldType(aExpr);
  case OP::POINTER_PLUS:
    return operandType(aExpr, 0);
  case OP::REAL:
  case OP::IMAG: {
    Type* operand = arithmeticView(operandType(aExpr, 0));
    return ComplexType::isa(operand) ? ComplexType::cast(operand)->baseType() : operand;
  }
  case OP::CONJUGATE:
    return operandType(aExpr, 0);
  case OP::ADDRESS_OF:
    return pointerTo(operandType(aExpr, 0));
  case OP::NEW:
    return NewExpr::isa(aExpr) ? pointerTo(NewExpr::cast(aExpr)->allocatedType()) : nullptr;
  case OP::CONDITIONAL: {
    Type* whenTrue = operandType(aExpr, 1);
    Type* whenFalse = operandType(aExpr, 2);
    if (whenTrue != nullptr && whenFalse != nullptr && whenTrue->unqualified()->equals(whenFalse->unqualified())) {
      return whenTrue->unqualified();
    }
    return commonArithmeticType(whenTrue, whenFalse);
  }
  default:
    return nullptr;
  }
}

} // namespace CG
