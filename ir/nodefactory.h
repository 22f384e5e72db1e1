// The node factory: makes expressions and statements in one graph, typing expressions on the way.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <type_traits>
#include <vector>

#include "ir/cfg.h"
#include "ir/logger.h"
#include "ir/node.h"
#include "ir/typechecker.h"

class MemPool;

namespace CG {

// The operands handed to a maker: consecutive expressions held by the caller (a vector, a braced
// list, a parser's list) for the length of the call.
class ExprArray {
public:
  ExprArray(const std::vector<Expr*>& aItems) : fItems(aItems.data()), fSize(aItems.size()) {}
  // A braced list's elements live to the end of the call it is written in, which is all a maker needs.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winit-list-lifetime"
  ExprArray(std::initializer_list<Expr*> aItems) : fItems(aItems.begin()), fSize(aItems.size()) {}
#pragma GCC diagnostic pop
  ExprArray(Expr* const* aItems, size_t aSize) : fItems(aItems), fSize(aSize) {}

  size_t size() const { return fSize; }
  bool empty() const { return fSize == 0; }
  Expr* operator[](size_t aIndex) const { return fItems[aIndex]; }
  Expr* const* begin() const { return fItems; }
  Expr* const* end() const { return fItems + fSize; }
  // The operands from aFirst on (none when aFirst is past the end).
  ExprArray from(size_t aFirst) const {
    return aFirst < fSize ? ExprArray(fItems + aFirst, fSize - aFirst) : ExprArray(nullptr, 0);
  }

private:
  Expr* const* fItems;
  size_t fSize;
};

// Nodes are IR objects of the graph and always live in the context's pool; the factory's pool
// holds the factory's own helpers (regions). Expressions made without an explicit type get the type
// checker's expected type. Statements are made unconnected.
class NodeFactory {
public:
  // Uses the function's graph, creating it when the function has none. A null checker means a
  // CoreDomainTypeChecker; a null pool means the context's pool.
  NodeFactory(Fcn* aFcn, MemPool* aPool, TypeChecker* aChecker = nullptr);
  NodeFactory(Cfg* aCfg, TypeChecker* aChecker);
  // The default checker lives in the factory.
  NodeFactory(const NodeFactory&) = delete;
  NodeFactory& operator=(const NodeFactory&) = delete;

  Cfg* cfg() const { return fCfg; }
  CG_Ctx* ctx() const { return fCtx; }
  MemPool* pool() const { return fPool; }
  TypeChecker* typeChecker() const;

  // ---- Expressions
  VarExpr* varExpr(Var* aVar);
  ConstExpr* constExpr(Const* aConst);
  // A generic operator expression; operators with a dedicated class get that class when their
  // operands say all there is to know (call, deref, cast, check, mcat).
  Expr* expr(int aOp, ExprArray aInputs, Type* aType = nullptr);
  Expr* expr(CG_NodeDef* aDef, ExprArray aInputs, Type* aType = nullptr);
  CallExpr* callExpr(Expr* aCallee, ExprArray aArgs, int aNumOutputs = 1);
  MultiOutputCallExpr* multiOutputCallExpr(Expr* aCallee, ExprArray aInputs, ExprArray aOutputs, int aFlags);
  DerefExpr* derefExpr(Expr* aPointer, Type* aType = nullptr);
  CastExpr* castExpr(Expr* aOperand, Type* aType);
  // aAux fills aux slots 1..6 in order (at most six constants).
  CheckExpr* checkExpr(int aCheckKind, ExprArray aInputs, const std::vector<Const*>& aAux = {},
                       Type* aType = nullptr);
  DynamicBoundsCheckExpr* dynamicBoundsCheckExpr(Expr* aIndex, Expr* aLow, Expr* aHigh);
  MatrixCatExpr* matrixCatExpr(int aDimension, ExprArray aInputs, Type* aType = nullptr);
  SizeofExpr* sizeofExpr(Type* aType);
  NewExpr* newExpr(Type* aType);
  SymbolicSizeExpr* symbolicSizeExpr(SymbolicSize* aSize);
  // A struct or class field reference: input 1 is a string constant naming the field, so the text carries it.
  Expr* srefExpr(Expr* aBase, const char* aField, Type* aType = nullptr);
  Expr* assignExpr(Expr* aLhs, Expr* aRhs);
  // A deep copy of the tree (types, aux operands, modes and effects included), detached.
  Expr* cloneExpr(Expr* aExpr);

  // ---- Statements
  ExprStmt* exprStmt(Expr* aExpr);
  CommentStmt* commentStmt(const char* aText);
  LiteralTextStmt* literalTextStmt(const char* aText);
  InitStmt* initStmt(VarExpr* aLhs, ConstExpr* aRhs);
  ParallelVarClassifierStmt* parallelVarClassifier(Expr* aVar, Expr* aClassification);
  OverflowStmt* overflowStmt();
  DivByZeroStmt* divdeByZeroStmt();
  DivByZeroStmt* divByZeroStmt() { return divdeByZeroStmt(); }
  DeleteStmt* deleteStmt(Expr* aPointer);
  // A single-entry single-exit statement of a statement definition (custom or built-in
  // sese kinds); control statements (start, end, merge, if, switch, loops) have their own makers.
  SeseStmt* stmt(CG_NodeDef* aDef, ExprArray aInputs);
  // A custom statement of the caller's own class T (a CustomStmt adding no fields) with no operands
  // and aNumAux auxiliary slots.
  template <class T> T* customStmt(CG_NodeDef* aDef, int aNumAux);
  MergeStmt* mergeStmt(int aNumInPorts);
  IfStmt* ifStmt(Expr* aCondition);
  SwitchStmt* switchStmt(Expr* aValue, ExprArray aCaseValues);
  ForEntryStmt* forEntryStmt(Expr* aIndex, Expr* aStart, Expr* aStep, Expr* aEnd);
  ParallelForEntryStmt* parallelForEntryStmt(Expr* aIndex, Expr* aStart, Expr* aStep, Expr* aEnd);
  // A forExit for a forEntry, a parforExit for a parforEntry.
  AbstractForExitStmt* forExitStmt(AbstractForEntryStmt* aEntry);

  // A run-time statement definition with that opcode and name (variadic, category 0). Asking
  // again with the same opcode and name gives the same definition; a built-in opcode or an
  // opcode already used by another definition is an error.
  CG_NodeDef* newNodeDef(int aOp, const char* aName);

private:
  CG_NodeDef* def(int aOp) const;
  template <class T> T* make(CG_NodeDef* aDef, Node::Kind aKind, const Node::Shape& aShape);
  // Where nodes live: the context's pool.
  MemPool* nodePool() const;
  Node::Shape exprShape(CG_NodeDef* aDef, size_t aNumInputs, int aNumAux) const;
  void setInputs(Node* aNode, ExprArray aInputs, int aFirst = 0);
  void checkOperand(const Node* aNode, const Expr* aOperand, int aIndex) const;
  template <class T> T* typed(T* aExpr, Type* aType);
  Expr* blankCopyOf(Expr* aSource, const Node::Shape& aShape);
  Expr* copyNode(Expr* aSource);
  template <class T> T* loopEntry(int aOp, Node::Kind aKind, Expr* aIndex, Expr* aStart, Expr* aStep, Expr* aEnd);
  template <class T> T* seseStmt(int aOp, Node::Kind aKind, ExprArray aInputs);

  Cfg* fCfg;
  CG_Ctx* fCtx;
  MemPool* fPool;
  // Made on first use when none was given (in fDefaultChecker): most factories never infer a type.
  mutable TypeChecker* fChecker;
  mutable std::optional<CoreDomainTypeChecker> fDefaultChecker;
};

template <class T> T* NodeFactory::make(CG_NodeDef* aDef, Node::Kind aKind, const Node::Shape& aShape) {
  T* node = Node::create<T>(nodePool(), aDef, fCfg, aKind, aShape);
  fCfg->addNode(node);
  return node;
}

template <class T> T* NodeFactory::customStmt(CG_NodeDef* aDef, int aNumAux) {
  static_assert(std::is_base_of_v<CustomStmt, T> && sizeof(T) == sizeof(CustomStmt), "a custom statement class");
  CG_ASSERT_MSG(aDef != nullptr && aDef->isStmt(), "ir/nodefactory.h", "customStmt: not a statement definition");
  Node::Shape shape;
  shape.numAux = aNumAux;
  shape.numInPorts = 1;
  shape.numOutPorts = 1;
  return make<T>(aDef, Node::Kind::CUSTOM_STMT, shape);
}

} // namespace CG
