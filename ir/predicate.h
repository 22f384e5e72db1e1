// Filters deciding which IR objects an emitter writes.
#pragma once

#include <vector>

#include "ir/containers.h"

class CG_Ctx;
class CG_Obj;

namespace CG {

class Cfg;
class Const;
class Fcn;
class Node;
class Scope;
class Type;
class Var;

class ShouldEmitPredicate {
public:
  virtual ~ShouldEmitPredicate();
  // The default accepts everything, null included.
  virtual bool shouldEmit(CG_Obj* aObj);
};

// Accepts what was marked: markAllRelatedTo marks an object, the scopes enclosing it and what
// it refers to (a function: its io and local scopes, their variables and types, its graph, and the
// constants, variables and functions the graph uses with their types; a variable: its type and
// initial value; a scope: its own symbols). Null and unmarked objects are rejected.
class ContextualMarker : public ShouldEmitPredicate {
public:
  explicit ContextualMarker(CG_Ctx* aCtx) : fCtx(aCtx) {}
  bool shouldEmit(CG_Obj* aObj) override;
  void markAllRelatedTo(CG_Obj* aObj);
  bool isMarked(CG_Obj* aObj) const { return aObj != nullptr && fMarked.contains(aObj); }
  size_t numMarked() const { return fMarked.size(); }

protected:
  // Whether marking a scope also marks every scope and symbol nested in it.
  virtual bool marksNestedScopes() const { return false; }

private:
  // A function reached from another function's graph brings its signature, not its body.
  enum class Depth { FULL, SIGNATURE };
  struct Pending {
    CG_Obj* obj;
    Depth depth;
  };

  void enqueue(CG_Obj* aObj, Depth aDepth = Depth::FULL);
  void markEnclosingScopes(Scope* aScope);
  void visit(CG_Obj* aObj, Depth aDepth);
  void visitScope(Scope* aScope);
  void visitType(Type* aType);
  void visitFcn(Fcn* aFcn, Depth aDepth);
  void visitGraph(Cfg* aCfg);
  void visitNode(Node* aNode);

  CG_Ctx* fCtx;
  IdSet<CG_Obj*> fMarked;
  IdSet<CG_Obj*> fExpanded;
  std::vector<Pending> fPending;
};

// Also marks everything nested in a marked scope.
class FullyRecursiveContextualMarker : public ContextualMarker {
public:
  explicit FullyRecursiveContextualMarker(CG_Ctx* aCtx) : ContextualMarker(aCtx) {}

protected:
  bool marksNestedScopes() const override { return true; }
};

} // namespace CG
