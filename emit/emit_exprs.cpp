// Expression emission: every expression kind, with its type written only where the type checker would not
// infer it.
#include "emit/emitter.h"

#include "emit/listenerset.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "ir/typechecker.h"

#include <cstdio>

namespace CG {

static const char* const kExprSource = "emit/emit_exprs";

//===-- Types of expressions ----------------------------------------------------------------------------===//

bool QulEmitter::shouldNotInferTypes() {
  return fShouldNotInferTypes;
}

bool QulEmitter::typeIsInferred(Expr* aExpr) {
  if (shouldNotInferTypes())
    return false;
  if (!aExpr)
    abortEmission("aExpr == NULL", __LINE__);
  Type* type = aExpr->type();
  if (!type || CastExpr::isa(aExpr))
    return false;
  Type* expected = fTypeChecker->expectedType(aExpr);
  return expected && cg_type_equals_type(type, expected);
}

// output-type ::= '[' type ']'    (only where the type is not inferred)
void QulEmitter::emitOutputType(Expr* aExpr) {
  if (!aExpr)
    abortEmission("aExpr == NULL", __LINE__);
  if (typeIsInferred(aExpr))
    return;
  emitString("[");
  emitString(typeExpr(aExpr->type()));
  emitString("]");
}

//===-- Inputs ------------------------------------------------------------------------------------------===//

void QulEmitter::emitExprInputsAsOpenList(Expr* aExpr, int aFrom, int aTo) {
  for (int i = aFrom; i <= aTo; ++i) {
    if (i > aFrom)
      emitString(",");
    emitExpr(aExpr->input(i));
  }
}

// input-list ::= '(' inputs [annotations] ')'
void QulEmitter::emitExprInputsAsList(Expr* aExpr, int aFrom, int aTo) {
  emitString("(");
  emitExprInputsAsOpenList(aExpr, aFrom, aTo);
  emitListenerStrings(aExpr);
  emitString(")");
}

//===-- Dispatch ----------------------------------------------------------------------------------------===//

void QulEmitter::emitExpr(Expr* aExpr) {
  if (!aExpr)
    return;
  ensureStackRoom();
  switch (aExpr->opcode()) {
  case OP::CALL:
    emitCallExpr(CallExpr::cast(aExpr));
    return;
  case OP::MULTICALL:
    emitMultiOutputCallExpr(MultiOutputCallExpr::cast(aExpr));
    return;
  case OP::DEREF:
    emitDerefExpr(DerefExpr::cast(aExpr));
    return;
  case OP::CHECK:
    emitCheckExpr(CheckExpr::cast(aExpr));
    return;
  case OP::MCAT:
    emitMatrixCatExpr(aExpr);
    return;
  case OP::CONST:
    emitConstExpr(ConstExpr::cast(aExpr));
    return;
  case OP::VAR:
    emitVarExpr(VarExpr::cast(aExpr));
    return;
  case OP::SIZEOF:
    emitSizeofExpr(aExpr);
    return;
  case OP::SYMBOLIC_SIZE:
    emitSymbolicSizeExpr(aExpr);
    return;
  case OP::NEW:
    emitNewExpr(aExpr);
    return;
  default:
    break;
  }
  // operator-expr ::= name [output-type] input-list
  char* name = getQulName(CG::OP(aExpr->opcode()));
  if (name && *name) {
    emitString(name);
    emitOutputType(aExpr);
    emitExprInputsAsList(aExpr, 0, aExpr->numInputs() - 1);
    return;
  }
  if (fThrowExceptionOnError)
    TheLogger::instance().throwInternalException("QulEmitter::emitExpr::UnknownOp", "Unknown operator in expression");
  emitString("!!Unknown Expr: ");
  emitString(aExpr->opName());
  emitString("!!");
  emitNewline();
}

//===-- Calls -------------------------------------------------------------------------------------------===//

// call ::= callee input-list | 'call' [output-type] '(' callee ',' inputs ')'
void QulEmitter::emitCallExpr(CallExpr* aCall) {
  int last = aCall->numInputs() - 1;
  if (typeIsInferred(aCall->callee())) {
    emitExpr(aCall->callee());
    emitExprInputsAsList(aCall, 1, last);
    return;
  }
  emitString("call");
  emitOutputType(aCall);
  emitExprInputsAsList(aCall, 0, last);
}

// multicall ::= callee '(' input-list ', ' output-list ')' | 'multicall' [output-type] input-list
void QulEmitter::emitMultiOutputCallExpr(MultiOutputCallExpr* aCall) {
  int last = aCall->numInputs() - 1;
  if (!typeIsInferred(aCall->callee())) {
    emitString("multicall");
    emitOutputType(aCall);
    emitExprInputsAsList(aCall, 0, last);
    return;
  }
  int numCallInputs = aCall->numCallInputs();
  emitExpr(aCall->callee());
  emitString("(");
  emitExprInputsAsList(aCall, 1, numCallInputs);
  emitString(", ");
  emitExprInputsAsList(aCall, numCallInputs + 1, last);
  emitString(")");
}

//===-- Names and constants -----------------------------------------------------------------------------===//

// deref ::= '@' [output-type] (name | '(' expr ')')
void QulEmitter::emitDerefExpr(DerefExpr* aDeref) {
  emitString("@");
  emitOutputType(aDeref);
  Expr* operand = aDeref->pointer();
  bool bare = (VarExpr::isa(operand) || ConstExpr::isa(operand)) && typeIsInferred(aDeref) && typeIsInferred(operand);
  if (!bare)
    emitString("(");
  emitExpr(operand);
  if (!bare)
    emitString(")");
}

// var-expr ::= name | 'varexpr' output-type '(' name ')'
void QulEmitter::emitVarExpr(VarExpr* aVarExpr) {
  char* name = getQulName(aVarExpr->var());
  if (typeIsInferred(aVarExpr)) {
    emitString(name);
    return;
  }
  emitString("varexpr");
  emitOutputType(aVarExpr);
  emitString("(");
  emitString(name);
  emitString(")");
}

// const-expr ::= immediate-const | name | 'constexpr' output-type '(' name ')'
void QulEmitter::emitConstExpr(ConstExpr* aConstExpr) {
  Const* constant = aConstExpr->constant();
  if (!constant)
    abortEmission("aConst == NULL", __LINE__);
  if (isImmediateConst(constant)) {
    emitImmediateConstExprArgs(aConstExpr);
    return;
  }
  bool typed = !typeIsInferred(aConstExpr);
  if (typed) {
    emitString("constexpr");
    emitOutputType(aConstExpr);
    emitString("(");
  }
  emitString(getQulName(constant));
  if (typed)
    emitString(")");
}

// immediate-const ::= literal | 'const' [output-type] '(' type ',' literal ')'
void QulEmitter::emitImmediateConstExprArgs(ConstExpr* aConstExpr) {
  if (!aConstExpr)
    abortEmission("aConstExpr == NULL", __LINE__);
  Const* constant = aConstExpr->constant();
  if (!constant)
    abortEmission("aConst == NULL", __LINE__);
  Type* type = constant->type();
  if (!fShouldEmitLongFormConsts && (IntegerType::isa(type) || StringType::isa(type))) {
    emitConstLiteral(constant);
    return;
  }
  emitString("const");
  emitOutputType(aConstExpr);
  char* typeText = typeExpr(type);
  emitString("(");
  emitString(typeText);
  emitString(",");
  if (BoolType::isa(type)) {
    emitString(BoolConst::isTrue(constant) ? "true" : "false");
    emitString(")");
    return;
  }
  emitConstLiteral(constant);
  emitString(")");
}

//===-- Other expressions -------------------------------------------------------------------------------===//

// mcat ::= name [output-type] '(' dimension ',' inputs ')'
void QulEmitter::emitMatrixCatExpr(Expr* aExpr) {
  emitString(getQulName(CG::OP(aExpr->opcode())));
  emitOutputType(aExpr);
  char open[24];
  std::snprintf(open, sizeof open, "(%d,", MatrixCatExpr::cast(aExpr)->dimension());
  emitString(open);
  emitExprInputsAsOpenList(aExpr, 0, aExpr->numInputs() - 1);
  emitString(")");
}

// sizeof ::= 'sizeof' [output-type] '(' type ')'
void QulEmitter::emitSizeofExpr(Expr* aExpr) {
  emitString("sizeof");
  emitOutputType(aExpr);
  emitString("(");
  emitString(typeExpr(SizeofExpr::cast(aExpr)->sizedType()));
  emitString(")");
}

// new ::= 'new' [output-type] '(' type ')'
void QulEmitter::emitNewExpr(Expr* aExpr) {
  CG_Obj* operand = aExpr->numAux() > 0 ? aExpr->aux(0) : nullptr;
  emitString("new");
  emitOutputType(aExpr);
  emitString("(");
  emitString(typeExpr(Type::isa(operand) ? Type::cast(operand) : nullptr));
  emitString(")");
}

// symbolic-expr ::= 'symbolicexpr(' size ')'
void QulEmitter::emitSymbolicSizeExpr(Expr* aExpr) {
  SymbolicSize* size = SymbolicSizeExpr::cast(aExpr)->size();
  if (!size)
    abortEmission("aSize == NULL", __LINE__);
  int kind = size->kind();
  if (kind != SymbolicSize::SYMBOLIC_ID_SIZE && kind != SymbolicSize::SIZE64_SIZE)
    client_assertion_failed(kExprSource, __LINE__,
                            "SymbolicSize::SYMBOLIC_ID_SIZE == kind || SymbolicSize::SIZE64_SIZE == kind");
  emitString("symbolicexpr(");
  emitString(sizeText(size));
  emitString(")");
}

//===-- Checks ------------------------------------------------------------------------------------------===//

void QulEmitter::emitCheckConstant(CG_Obj* aConst) {
  emitString(", ");
  emitConstLiteral(Const::cast(aConst));
}

void QulEmitter::emitCheckInputConstants(CheckExpr* aCheck, int aFrom, int aTo) {
  for (int i = aFrom; i <= aTo; ++i) {
    Expr* input = aCheck->input(i);
    emitCheckConstant(ConstExpr::isa(input) ? ConstExpr::cast(input)->constant() : nullptr);
  }
}

void QulEmitter::emitCheckAuxConstants(CheckExpr* aCheck, int aFrom, int aTo) {
  for (int i = aFrom; i <= aTo; ++i)
    emitCheckConstant(aCheck->aux(i));
}

// check ::= 'check' [output-type] '(' expr ', ' name (', ' item)* ')'
void QulEmitter::emitCheckExpr(CheckExpr* aCheck) {
  emitString("check");
  emitOutputType(aCheck);
  emitString("(");
  emitExpr(aCheck->input(0));
  emitString(", ");
  emitString(aCheck->checkName());
  // Kinds 9 to 11 have no name in the IR; a check built with one still prints its items.
  switch (aCheck->checkKind()) {
  case CheckExpr::CHECK_NONE:
    emitCheckInputConstants(aCheck, 1, 5);
    break;
  case CheckExpr::CHECK_OVERFLOW:
  case CheckExpr::CHECK_NULL_POINTER:
  case CheckExpr::CHECK_RANGE:
  case CheckExpr::CHECK_CAST_RANGE:
    emitCheckInputConstants(aCheck, 1, 1);
    break;
  case CheckExpr::CHECK_DIVIDE_BY_ZERO:
    emitCheckAuxConstants(aCheck, 1, 4);
    break;
  case CheckExpr::CHECK_ARRAY_BOUNDS:
    emitCheckAuxConstants(aCheck, 1, 6);
    break;
  case CheckExpr::CHECK_ASSERTION:
  case 10:
  case 11:
    break;
  case CheckExpr::CHECK_DYNAMIC_BOUNDS:
    emitDynamicBounds(aCheck);
    break;
  case 9:
    emitCheckInputConstants(aCheck, 1, 2);
    emitCheckAuxConstants(aCheck, 1, 4);
    break;
  default:
    if (fThrowExceptionOnError)
      TheLogger::instance().throwInternalException("QulEmitter::checkExpr::UnknownCheckNode", "Unknown check node");
    emitString("!!Unknown check node!!");
    emitNewline();
    break;
  }
  emitString(")");
}

// dynamic-bounds ::= ', (' low ', ' high ')'
void QulEmitter::emitDynamicBounds(CheckExpr* aCheck) {
  DynamicBoundsCheckExpr* dCheck = DynamicBoundsCheckExpr::isa(aCheck) ? DynamicBoundsCheckExpr::cast(aCheck) : nullptr;
  if (!dCheck)
    client_assertion_failed(kExprSource, __LINE__, "dCheck");
  emitString(", (");
  emitExpr(dCheck->lowBound());
  emitString(", ");
  emitExpr(dCheck->highBound());
  emitString(")");
}

} // namespace CG
