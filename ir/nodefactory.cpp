// The node factory: builds typed expressions and unconnected statements in a graph.
#include "ir/nodefactory.h"

#include <unordered_map>

#include "ir/ctx.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/typechecker.h"

namespace CG {

NodeFactory::NodeFactory(Fcn* aFcn, MemPool* aPool, TypeChecker* aChecker)
    : fCfg(nullptr), fCtx(nullptr), fPool(aPool), fChecker(aChecker) {
  CG_ASSERT_MSG(aFcn != nullptr, "ir/nodefactory.cpp", "NodeFactory: null function");
  fCfg = aFcn->cfg() != nullptr ? aFcn->cfg() : aFcn->createCfg();
  fCtx = aFcn->ctx();
  if (fPool == nullptr) {
    fPool = fCtx->pool();
  }
}

NodeFactory::NodeFactory(Cfg* aCfg, TypeChecker* aChecker)
    : fCfg(aCfg), fCtx(nullptr), fPool(nullptr), fChecker(aChecker) {
  CG_ASSERT_MSG(aCfg != nullptr, "ir/nodefactory.cpp", "NodeFactory: null graph");
  fCtx = aCfg->ctx();
  fPool = fCtx->pool();
}

TypeChecker* NodeFactory::typeChecker() const {
  if (fChecker == nullptr) {
    fChecker = &fDefaultChecker.emplace(fCtx);
  }
  return fChecker;
}

// ---- Helpers ---------------------------------------------------------------------------------

CG_NodeDef* NodeFactory::def(int aOp) const {
  CG_NodeDef* found = fCtx->nodeDef(aOp);
  if (found == nullptr) {
    TheLogger::instance().throwInternalException("CG/NodeFactory/opcode", "no node definition for opcode %d", aOp);
  }
  return found;
}

MemPool* NodeFactory::nodePool() const {
  return fCtx->pool();
}

Node::Shape NodeFactory::exprShape(CG_NodeDef* aDef, size_t aNumInputs, int aNumAux) const {
  int count = static_cast<int>(aNumInputs);
  bool fits = aDef->isVariadic() ? count >= aDef->numInputs() : count == aDef->numInputs();
  if (!fits) {
    TheLogger::instance().throwInternalException("CG/NodeFactory/arity", "'%s' takes %s%d operand(s), got %d",
                                                 aDef->name(), aDef->isVariadic() ? "at least " : "", aDef->numInputs(),
                                                 count);
  }
  Node::Shape shape;
  shape.numInputs = count;
  shape.numAux = aNumAux;
  return shape;
}

void NodeFactory::checkOperand(const Node* aNode, const Expr* aOperand, int aIndex) const {
  if (aOperand == nullptr) {
    return;
  }
  if (aOperand->cfg() != fCfg) {
    TheLogger::instance().throwInternalException("CG/NodeFactory/graph",
                                                 "'%s' operand %d ('%s') belongs to another graph", aNode->opName(),
                                                 aIndex, aOperand->opName());
  }
  if (aOperand->parent() != nullptr) {
    TheLogger::instance().throwInternalException(
        "CG/NodeFactory/shared", "'%s' operand %d ('%s') is already an operand of '%s'", aNode->opName(), aIndex,
        aOperand->opName(), aOperand->parent()->opName());
  }
}

void NodeFactory::setInputs(Node* aNode, ExprArray aInputs, int aFirst) {
  for (size_t i = 0; i < aInputs.size(); ++i) {
    int index = aFirst + static_cast<int>(i);
    checkOperand(aNode, aInputs[i], index);
    aNode->setInput(index, aInputs[i]);
  }
}

// An expression always has a type: the one asked for, else the one the checker expects, else the untyped
// type, which a later inference may still replace and which prints like any other type.
template <class T> T* NodeFactory::typed(T* aExpr, Type* aType) {
  Type* type = aType != nullptr ? aType : typeChecker()->expectedType(aExpr);
  aExpr->setType(type != nullptr ? type : TypeFactory(aExpr->ctx()).untypedType());
  return aExpr;
}

// ---- Expressions -----------------------------------------------------------------------------

VarExpr* NodeFactory::varExpr(Var* aVar) {
  CG_ASSERT_MSG(aVar != nullptr, "ir/nodefactory.cpp", "varExpr: null variable");
  VarExpr* expr = make<VarExpr>(def(OP::VAR), Node::Kind::VAR_EXPR, exprShape(def(OP::VAR), 0, 1));
  expr->setAux(0, aVar);
  return typed(expr, nullptr);
}

ConstExpr* NodeFactory::constExpr(Const* aConst) {
  CG_ASSERT_MSG(aConst != nullptr, "ir/nodefactory.cpp", "constExpr: null constant");
  ConstExpr* expr = make<ConstExpr>(def(OP::CONST), Node::Kind::CONST_EXPR, exprShape(def(OP::CONST), 0, 1));
  expr->setAux(0, aConst);
  return typed(expr, nullptr);
}

Expr* NodeFactory::expr(int aOp, ExprArray aInputs, Type* aType) {
  return expr(def(aOp), aInputs, aType);
}

Expr* NodeFactory::expr(CG_NodeDef* aDef, ExprArray aInputs, Type* aType) {
  CG_ASSERT_MSG(aDef != nullptr, "ir/nodefactory.cpp", "expr: null definition");
  if (aDef->isStmt()) {
    TheLogger::instance().throwInternalException("CG/NodeFactory/kind", "'%s' is a statement, not an expression",
                                                 aDef->name());
  }
  switch (aDef->opcode()) {
  case OP::CALL:
    return typed(callExpr(aInputs.empty() ? nullptr : aInputs[0], aInputs.from(1)), aType);
  case OP::DEREF:
    return derefExpr(aInputs.empty() ? nullptr : aInputs[0], aType);
  case OP::CAST:
    return castExpr(aInputs.empty() ? nullptr : aInputs[0], aType);
  case OP::CHECK:
    return checkExpr(CheckExpr::CHECK_NONE, aInputs, {}, aType);
  case OP::MCAT:
    return matrixCatExpr(0, aInputs, aType);
  case OP::VAR:
  case OP::CONST:
  case OP::MULTICALL:
  case OP::SIZEOF:
  case OP::NEW:
  case OP::SYMBOLIC_SIZE:
    TheLogger::instance().throwInternalException("CG/NodeFactory/kind",
                                                 "'%s' expressions need their own maker (aux operands)", aDef->name());
  default:
    break;
  }
  Expr* node = make<TypedExpr>(aDef, Node::Kind::EXPR, exprShape(aDef, aInputs.size(), 0));
  setInputs(node, aInputs);
  return typed(node, aType);
}

CallExpr* NodeFactory::callExpr(Expr* aCallee, ExprArray aArgs, int aNumOutputs) {
  CG_ASSERT_MSG(aCallee != nullptr, "ir/nodefactory.cpp", "callExpr: null callee");
  CallExpr* call = make<CallExpr>(def(OP::CALL), Node::Kind::CALL_EXPR, exprShape(def(OP::CALL), aArgs.size() + 1, 0));
  call->setNumOutputs(aNumOutputs);
  setInputs(call, {aCallee});
  setInputs(call, aArgs, 1);
  return typed(call, nullptr);
}

MultiOutputCallExpr* NodeFactory::multiOutputCallExpr(Expr* aCallee, ExprArray aInputs, ExprArray aOutputs,
                                                      int aFlags) {
  CG_ASSERT_MSG(aCallee != nullptr, "ir/nodefactory.cpp", "multiOutputCallExpr: null callee");
  CG_NodeDef* multicall = def(OP::MULTICALL);
  MultiOutputCallExpr* call = make<MultiOutputCallExpr>(multicall, Node::Kind::MULTI_OUTPUT_CALL_EXPR,
                                                        exprShape(multicall, 1 + aInputs.size() + aOutputs.size(), 0));
  call->setCallLayout(static_cast<int>(aInputs.size()), aFlags);
  setInputs(call, {aCallee});
  setInputs(call, aInputs, 1);
  setInputs(call, aOutputs, 1 + static_cast<int>(aInputs.size()));
  return typed(call, nullptr);
}

DerefExpr* NodeFactory::derefExpr(Expr* aPointer, Type* aType) {
  CG_ASSERT_MSG(aPointer != nullptr, "ir/nodefactory.cpp", "derefExpr: null operand");
  DerefExpr* deref = make<DerefExpr>(def(OP::DEREF), Node::Kind::DEREF_EXPR, exprShape(def(OP::DEREF), 1, 0));
  setInputs(deref, {aPointer});
  return typed(deref, aType);
}

CastExpr* NodeFactory::castExpr(Expr* aOperand, Type* aType) {
  CG_ASSERT_MSG(aOperand != nullptr, "ir/nodefactory.cpp", "castExpr: null operand");
  CastExpr* cast = make<CastExpr>(def(OP::CAST), Node::Kind::CAST_EXPR, exprShape(def(OP::CAST), 1, 0));
  setInputs(cast, {aOperand});
  return typed(cast, aType);
}

CheckExpr* NodeFactory::checkExpr(int aCheckKind, ExprArray aInputs, const std::vector<Const*>& aAux,
                                  Type* aType) {
  if (CheckExpr::checkKindName(aCheckKind) == nullptr) {
    TheLogger::instance().throwInternalException("CG/NodeFactory/check", "unknown check kind %d", aCheckKind);
  }
  if (aAux.size() > CheckExpr::kNumAux - 1) {
    TheLogger::instance().throwInternalException(
        "CG/NodeFactory/check", "a check takes at most %d aux constants, got %zu", CheckExpr::kNumAux - 1, aAux.size());
  }
  CG_NodeDef* check = def(OP::CHECK);
  bool dynamicBounds = aCheckKind == CheckExpr::CHECK_DYNAMIC_BOUNDS;
  if (dynamicBounds && aInputs.size() != 3) {
    TheLogger::instance().throwInternalException("CG/NodeFactory/check",
                                                 "a dynamic bounds check takes 3 operands, got %zu", aInputs.size());
  }
  Node::Shape shape = exprShape(check, aInputs.size(), CheckExpr::kNumAux);
  CheckExpr* node = dynamicBounds ? make<DynamicBoundsCheckExpr>(check, Node::Kind::DYNAMIC_BOUNDS_CHECK_EXPR, shape)
                                  : make<CheckExpr>(check, Node::Kind::CHECK_EXPR, shape);
  node->setCheckKind(aCheckKind);
  setInputs(node, aInputs);
  for (size_t i = 0; i < aAux.size(); ++i) {
    node->setAux(1 + static_cast<int>(i), aAux[i]);
  }
  if (aType == nullptr && !aInputs.empty() && aInputs[0] != nullptr) {
    aType = aInputs[0]->type();
  }
  return typed(node, aType);
}

DynamicBoundsCheckExpr* NodeFactory::dynamicBoundsCheckExpr(Expr* aIndex, Expr* aLow, Expr* aHigh) {
  return DynamicBoundsCheckExpr::cast(checkExpr(CheckExpr::CHECK_DYNAMIC_BOUNDS, {aIndex, aLow, aHigh}));
}

MatrixCatExpr* NodeFactory::matrixCatExpr(int aDimension, ExprArray aInputs, Type* aType) {
  CG_NodeDef* mcat = def(OP::MCAT);
  MatrixCatExpr* cat = make<MatrixCatExpr>(mcat, Node::Kind::MATRIX_CAT_EXPR, exprShape(mcat, aInputs.size(), 0));
  cat->setDimension(aDimension);
  setInputs(cat, aInputs);
  return typed(cat, aType);
}

SizeofExpr* NodeFactory::sizeofExpr(Type* aType) {
  CG_ASSERT_MSG(aType != nullptr, "ir/nodefactory.cpp", "sizeofExpr: null type");
  SizeofExpr* size = make<SizeofExpr>(def(OP::SIZEOF), Node::Kind::SIZEOF_EXPR, exprShape(def(OP::SIZEOF), 0, 1));
  size->setAux(0, aType);
  return typed(size, nullptr);
}

NewExpr* NodeFactory::newExpr(Type* aType) {
  CG_ASSERT_MSG(aType != nullptr, "ir/nodefactory.cpp", "newExpr: null type");
  NewExpr* allocation = make<NewExpr>(def(OP::NEW), Node::Kind::NEW_EXPR, exprShape(def(OP::NEW), 0, 1));
  allocation->setAux(0, aType);
  return typed(allocation, nullptr);
}

SymbolicSizeExpr* NodeFactory::symbolicSizeExpr(SymbolicSize* aSize) {
  CG_ASSERT_MSG(aSize != nullptr, "ir/nodefactory.cpp", "symbolicSizeExpr: null size");
  CG_NodeDef* sizeDef = def(OP::SYMBOLIC_SIZE);
  SymbolicSizeExpr* size = make<SymbolicSizeExpr>(sizeDef, Node::Kind::SYMBOLIC_SIZE_EXPR, exprShape(sizeDef, 0, 1));
  size->setAux(0, aSize);
  return typed(size, nullptr);
}

Expr* NodeFactory::srefExpr(Expr* aBase, const char* aField, Type* aType) {
  CG_ASSERT_MSG(aBase != nullptr, "ir/nodefactory.cpp", "srefExpr: null base");
  return expr(OP::SREF, {aBase, constExpr(cg_const_create_from_string(fCtx, aField))}, aType);
}

Expr* NodeFactory::assignExpr(Expr* aLhs, Expr* aRhs) {
  return expr(OP::ASSIGN, {aLhs, aRhs});
}

// A node of the source's kind and shape, with the kind's own layout fields copied and nothing else.
Expr* NodeFactory::blankCopyOf(Expr* aSource, const Node::Shape& aShape) {
  CG_NodeDef* sourceDef = aSource->def();
  Expr* copy = nullptr;
  switch (aSource->kind()) {
  case Node::Kind::EXPR:
    copy = make<TypedExpr>(sourceDef, aSource->kind(), aShape);
    break;
  case Node::Kind::VAR_EXPR:
    copy = make<VarExpr>(sourceDef, aSource->kind(), aShape);
    break;
  case Node::Kind::CONST_EXPR:
    copy = make<ConstExpr>(sourceDef, aSource->kind(), aShape);
    break;
  case Node::Kind::CALL_EXPR: {
    CallExpr* call = make<CallExpr>(sourceDef, aSource->kind(), aShape);
    call->setNumOutputs(CallExpr::cast(aSource)->numOutputs());
    copy = call;
    break;
  }
  case Node::Kind::MULTI_OUTPUT_CALL_EXPR: {
    MultiOutputCallExpr* call = make<MultiOutputCallExpr>(sourceDef, aSource->kind(), aShape);
    const MultiOutputCallExpr* source = MultiOutputCallExpr::cast(aSource);
    call->setCallLayout(source->numCallInputs(), source->callFlags());
    copy = call;
    break;
  }
  case Node::Kind::DEREF_EXPR:
    copy = make<DerefExpr>(sourceDef, aSource->kind(), aShape);
    break;
  case Node::Kind::CAST_EXPR:
    copy = make<CastExpr>(sourceDef, aSource->kind(), aShape);
    break;
  case Node::Kind::CHECK_EXPR:
  case Node::Kind::DYNAMIC_BOUNDS_CHECK_EXPR: {
    CheckExpr* check = aSource->kind() == Node::Kind::CHECK_EXPR
                           ? make<CheckExpr>(sourceDef, aSource->kind(), aShape)
                           : make<DynamicBoundsCheckExpr>(sourceDef, aSource->kind(), aShape);
    check->setCheckKind(CheckExpr::cast(aSource)->checkKind());
    copy = check;
    break;
  }
  case Node::Kind::MATRIX_CAT_EXPR: {
    MatrixCatExpr* cat = make<MatrixCatExpr>(sourceDef, aSource->kind(), aShape);
    cat->setDimension(MatrixCatExpr::cast(aSource)->dimension());
    copy = cat;
    break;
  }
  case Node::Kind::SIZEOF_EXPR:
    copy = make<SizeofExpr>(sourceDef, aSource->kind(), aShape);
    break;
  case Node::Kind::NEW_EXPR:
    copy = make<NewExpr>(sourceDef, aSource->kind(), aShape);
    break;
  case Node::Kind::SYMBOLIC_SIZE_EXPR:
    copy = make<SymbolicSizeExpr>(sourceDef, aSource->kind(), aShape);
    break;
  case Node::Kind::CUSTOM_STMT:
  case Node::Kind::EXPR_STMT:
  case Node::Kind::COMMENT_STMT:
  case Node::Kind::LITERAL_TEXT_STMT:
  case Node::Kind::INIT_STMT:
  case Node::Kind::PARALLEL_VAR_CLASSIFIER_STMT:
  case Node::Kind::OVERFLOW_STMT:
  case Node::Kind::DIV_BY_ZERO_STMT:
  case Node::Kind::DELETE_STMT:
  case Node::Kind::MERGE_STMT:
  case Node::Kind::FOR_ENTRY_STMT:
  case Node::Kind::PARALLEL_FOR_ENTRY_STMT:
  case Node::Kind::IF_STMT:
  case Node::Kind::SWITCH_STMT:
  case Node::Kind::FOR_EXIT_STMT:
  case Node::Kind::START_STMT:
  case Node::Kind::END_STMT:
    TheLogger::instance().throwInternalException("CG/NodeFactory/clone", "cannot clone statement '%s' as an expression",
                                                 aSource->opName());
  }
  return copy;
}

Expr* NodeFactory::copyNode(Expr* aSource) {
  Node::Shape shape;
  shape.numInputs = aSource->numInputs();
  shape.numAux = aSource->numAux();
  Expr* copy = blankCopyOf(aSource, shape);
  for (int i = 0; i < shape.numAux; ++i) {
    copy->setAux(i, aSource->aux(i));
  }
  copy->setType(aSource->type());
  copy->setBreakpointOnOverflow(aSource->breakpointOnOverflow());
  copy->setRoundingMode(aSource->roundingMode());
  copy->setOverflowMode(aSource->overflowMode());
  copy->setEffects(aSource->effects());
  copy->copyFlagsFrom(aSource);
  return copy;
}

Expr* NodeFactory::cloneExpr(Expr* aExpr) {
  if (aExpr == nullptr) {
    return nullptr;
  }
  std::unordered_map<Expr*, Expr*> copies;
  Expr* rootCopy = nullptr;
  forEachExprPostOrder(aExpr, [&](Expr* aSource) {
    Expr* copy = copyNode(aSource);
    for (int i = 0; i < aSource->numInputs(); ++i) {
      Expr* operand = aSource->input(i);
      if (operand != nullptr) {
        copy->setInput(i, copies.at(operand));
      }
    }
    copies.emplace(aSource, copy);
    rootCopy = copy;
  });
  return rootCopy;
}

// ---- Statements ------------------------------------------------------------------------------

template <class T> T* NodeFactory::seseStmt(int aOp, Node::Kind aKind, ExprArray aInputs) {
  CG_NodeDef* stmtDef = def(aOp);
  Node::Shape shape = exprShape(stmtDef, aInputs.size(), 0);
  shape.numInPorts = 1;
  shape.numOutPorts = 1;
  T* stmt = make<T>(stmtDef, aKind, shape);
  setInputs(stmt, aInputs);
  return stmt;
}

ExprStmt* NodeFactory::exprStmt(Expr* aExpr) {
  CG_ASSERT_MSG(aExpr != nullptr, "ir/nodefactory.cpp", "exprStmt: null expression");
  return seseStmt<ExprStmt>(OP::EXPR_STMT, Node::Kind::EXPR_STMT, {aExpr});
}

CommentStmt* NodeFactory::commentStmt(const char* aText) {
  CommentStmt* comment = seseStmt<CommentStmt>(OP::COMMENT, Node::Kind::COMMENT_STMT, {});
  comment->setText(fCtx->cgString(aText != nullptr ? aText : ""));
  return comment;
}

LiteralTextStmt* NodeFactory::literalTextStmt(const char* aText) {
  LiteralTextStmt* literal = seseStmt<LiteralTextStmt>(OP::LITERAL_TEXT, Node::Kind::LITERAL_TEXT_STMT, {});
  literal->setText(fCtx->cgString(aText != nullptr ? aText : ""));
  return literal;
}

InitStmt* NodeFactory::initStmt(VarExpr* aLhs, ConstExpr* aRhs) {
  CG_ASSERT_MSG(aLhs != nullptr && aRhs != nullptr, "ir/nodefactory.cpp", "initStmt: null operand");
  return seseStmt<InitStmt>(OP::INIT, Node::Kind::INIT_STMT, {aLhs, aRhs});
}

ParallelVarClassifierStmt* NodeFactory::parallelVarClassifier(Expr* aVar, Expr* aClassification) {
  return seseStmt<ParallelVarClassifierStmt>(OP::PARALLEL_VAR_CLASSIFIER, Node::Kind::PARALLEL_VAR_CLASSIFIER_STMT,
                                             {aVar, aClassification});
}

OverflowStmt* NodeFactory::overflowStmt() {
  return seseStmt<OverflowStmt>(OP::OVERFLOW_STMT, Node::Kind::OVERFLOW_STMT, {});
}

DivByZeroStmt* NodeFactory::divdeByZeroStmt() {
  return seseStmt<DivByZeroStmt>(OP::DIV_BY_ZERO_STMT, Node::Kind::DIV_BY_ZERO_STMT, {});
}

DeleteStmt* NodeFactory::deleteStmt(Expr* aPointer) {
  CG_ASSERT_MSG(aPointer != nullptr, "ir/nodefactory.cpp", "deleteStmt: null operand");
  return seseStmt<DeleteStmt>(OP::DELETE, Node::Kind::DELETE_STMT, {aPointer});
}

SeseStmt* NodeFactory::stmt(CG_NodeDef* aDef, ExprArray aInputs) {
  CG_ASSERT_MSG(aDef != nullptr, "ir/nodefactory.cpp", "stmt: null definition");
  if (!aDef->isStmt()) {
    TheLogger::instance().throwInternalException("CG/NodeFactory/kind", "'%s' is an expression, not a statement",
                                                 aDef->name());
  }
  switch (aDef->opcode()) {
  case OP::EXPR_STMT:
    return seseStmt<ExprStmt>(OP::EXPR_STMT, Node::Kind::EXPR_STMT, aInputs);
  case OP::COMMENT:
    return commentStmt("");
  case OP::LITERAL_TEXT:
    return literalTextStmt("");
  case OP::INIT:
    return seseStmt<InitStmt>(OP::INIT, Node::Kind::INIT_STMT, aInputs);
  case OP::PARALLEL_VAR_CLASSIFIER:
    return seseStmt<ParallelVarClassifierStmt>(OP::PARALLEL_VAR_CLASSIFIER, Node::Kind::PARALLEL_VAR_CLASSIFIER_STMT,
                                               aInputs);
  case OP::OVERFLOW_STMT:
    return overflowStmt();
  case OP::DIV_BY_ZERO_STMT:
    return divdeByZeroStmt();
  case OP::DELETE:
    return seseStmt<DeleteStmt>(OP::DELETE, Node::Kind::DELETE_STMT, aInputs);
  case OP::START:
  case OP::END:
  case OP::MERGE:
  case OP::IF:
  case OP::SWITCH:
  case OP::FOR_ENTRY:
  case OP::FOR_EXIT:
  case OP::PARFOR_ENTRY:
  case OP::PARFOR_EXIT:
    TheLogger::instance().throwInternalException("CG/NodeFactory/kind",
                                                 "'%s' is a control statement; use its own maker", aDef->name());
  default:
    break;
  }
  Node::Shape shape = exprShape(aDef, aInputs.size(), 0);
  shape.numInPorts = 1;
  shape.numOutPorts = 1;
  CustomStmt* custom = make<CustomStmt>(aDef, Node::Kind::CUSTOM_STMT, shape);
  setInputs(custom, aInputs);
  return custom;
}

MergeStmt* NodeFactory::mergeStmt(int aNumInPorts) {
  // A merge without in-ports is one that nothing reaches (yet).
  if (aNumInPorts < 0) {
    TheLogger::instance().throwInternalException("CG/NodeFactory/merge", "a merge cannot have %d in-ports",
                                                 aNumInPorts);
  }
  Node::Shape shape;
  shape.numInPorts = aNumInPorts;
  shape.numOutPorts = 1;
  return make<MergeStmt>(def(OP::MERGE), Node::Kind::MERGE_STMT, shape);
}

IfStmt* NodeFactory::ifStmt(Expr* aCondition) {
  CG_ASSERT_MSG(aCondition != nullptr, "ir/nodefactory.cpp", "ifStmt: null condition");
  Node::Shape shape;
  shape.numInputs = 1;
  shape.numInPorts = 1;
  shape.numOutPorts = 2;
  IfStmt* branch = make<IfStmt>(def(OP::IF), Node::Kind::IF_STMT, shape);
  setInputs(branch, {aCondition});
  return branch;
}

SwitchStmt* NodeFactory::switchStmt(Expr* aValue, ExprArray aCaseValues) {
  CG_ASSERT_MSG(aValue != nullptr, "ir/nodefactory.cpp", "switchStmt: null value");
  Node::Shape shape;
  shape.numInputs = 1 + static_cast<int>(aCaseValues.size());
  shape.numInPorts = 1;
  shape.numOutPorts = static_cast<int>(aCaseValues.size()) + 1;
  SwitchStmt* branch = make<SwitchStmt>(def(OP::SWITCH), Node::Kind::SWITCH_STMT, shape);
  setInputs(branch, {aValue});
  setInputs(branch, aCaseValues, 1);
  return branch;
}

template <class T>
T* NodeFactory::loopEntry(int aOp, Node::Kind aKind, Expr* aIndex, Expr* aStart, Expr* aStep, Expr* aEnd) {
  CG_ASSERT_MSG(aIndex != nullptr, "ir/nodefactory.cpp", "loop entry: null index");
  Node::Shape shape;
  shape.numInputs = 4;
  shape.numInPorts = 2;
  shape.numOutPorts = 1;
  T* entry = make<T>(def(aOp), aKind, shape);
  setInputs(entry, {aIndex, aStart, aStep, aEnd});
  return entry;
}

ForEntryStmt* NodeFactory::forEntryStmt(Expr* aIndex, Expr* aStart, Expr* aStep, Expr* aEnd) {
  return loopEntry<ForEntryStmt>(OP::FOR_ENTRY, Node::Kind::FOR_ENTRY_STMT, aIndex, aStart, aStep, aEnd);
}

ParallelForEntryStmt* NodeFactory::parallelForEntryStmt(Expr* aIndex, Expr* aStart, Expr* aStep, Expr* aEnd) {
  return loopEntry<ParallelForEntryStmt>(OP::PARFOR_ENTRY, Node::Kind::PARALLEL_FOR_ENTRY_STMT, aIndex, aStart, aStep,
                                         aEnd);
}

AbstractForExitStmt* NodeFactory::forExitStmt(AbstractForEntryStmt* aEntry) {
  CG_ASSERT_MSG(aEntry != nullptr, "ir/nodefactory.cpp", "forExitStmt: null entry");
  int op = ParallelForEntryStmt::isa(aEntry) ? OP::PARFOR_EXIT : OP::FOR_EXIT;
  Node::Shape shape;
  shape.numInPorts = 1;
  shape.numOutPorts = 2;
  AbstractForExitStmt* exit = make<AbstractForExitStmt>(def(op), Node::Kind::FOR_EXIT_STMT, shape);
  exit->setEntry(aEntry);
  return exit;
}

CG_NodeDef* NodeFactory::newNodeDef(int aOp, const char* aName) {
  if (OP::isBuiltin(aOp)) {
    TheLogger::instance().throwInternalException("CG/NodeFactory/def", "opcode %d belongs to a built-in definition",
                                                 aOp);
  }
  CG_NodeDef* existing = fCtx->nodeDef(aOp);
  if (existing != nullptr) {
    if (existing->isStmt() && cg_strcmp(existing->name(), aName) == 0) {
      return existing;
    }
    TheLogger::instance().throwInternalException("CG/NodeFactory/def", "opcode %d is already defined as '%s'", aOp,
                                                 existing->name());
  }
  return CG_NodeDef::create(fCtx, CG_NodeDef::FLAG_NONE, aName, 0, 0, 0, 0, 1, nullptr, nullptr, aOp, 0, 0);
}

} // namespace CG
