// Lexical scopes: a tree of named scopes, each with its symbols in definition order.
#pragma once

#include <vector>

#include "ir/obj.h"

class MemPool;

namespace CG {

class Fcn;
class Symbol;

class Scope : public CG_CtxObj {
public:
  Scope(CG_Ctx* aCtx, Scope* aParent, char* aName);
  ~Scope();

  static bool isa(const CG_Obj* aObj) { return aObj != nullptr && aObj->id() == CG_SCOPE; }
  CG_DECLARE_CASTS(Scope)

  char* name() const { return fName; }
  void setName(char* aName) { fName = aName; }
  Scope* parent() const { return fParent; }

  Symbol* firstSymbol() const { return fFirstSymbol; }
  Symbol* lastSymbol() const { return fLastSymbol; }
  // Appends; a symbol that is in another scope is moved here.
  void addSymbol(Symbol* aSymbol);
  void removeSymbol(Symbol* aSymbol);
  int numSymbols() const;

  const std::vector<Scope*>& childScopes() const { return fChildren; }
  void addChildScope(Scope* aChild);
  void removeChildScope(Scope* aChild);
  // This scope is aScope or is listed somewhere below it.
  bool isWithin(const Scope* aScope) const;
  bool hasChildScope(const Scope* aChild) const;
  // Direct child with the given text, or null.
  Scope* findSubScope(const char* aName) const;

  // The function whose io or local scope this is, or whose such scope is an ancestor;
  // null at module level.
  Fcn* owningFcn() const;
  void setOwningFcn(Fcn* aFcn) { fOwningFcn = aFcn; }

private:
  char* fName;
  Scope* fParent;
  Symbol* fFirstSymbol = nullptr;
  Symbol* fLastSymbol = nullptr;
  std::vector<Scope*> fChildren;
  Fcn* fOwningFcn = nullptr;
  // This scope stands in its parent's child list.
  bool fListedInParent = false;
};

// Visits aScope and every scope below it: each scope before its children, the children in order.
template <class Visit> void forEachScopeBelow(Scope* aScope, Visit&& aVisit) {
  std::vector<Scope*> pending{aScope};
  while (!pending.empty()) {
    Scope* scope = pending.back();
    pending.pop_back();
    aVisit(scope);
    const std::vector<Scope*>& children = scope->childScopes();
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
}

class ChildScopeIterator {
public:
  explicit ChildScopeIterator(const Scope* aScope) : fScope(aScope) {}
  bool hasCurrent() const { return fIndex < fScope->childScopes().size(); }
  Scope* current() const { return fScope->childScopes()[fIndex]; }
  void advance() { ++fIndex; }

private:
  const Scope* fScope;
  size_t fIndex = 0;
};

} // namespace CG

// Creates a scope, appended to the parent's children. A null parent makes a detached scope in
// the context aPool was made for. IR objects always live in the context's own pool. The name is interned.
CG::Scope* cg_scope_create(CG::Scope* aParent, const char* aName, MemPool* aPool);
CG::Scope* cg_scope_create_detached(CG_Ctx* aCtx, const char* aName);
// Detaches the scope from its parent and drops its symbols.
void cg_scope_destroy(CG::Scope* aScope);
// Searches this scope, then its ancestors, for a symbol of the given kind and name.
CG::Symbol* cg_scope_tree_find_by_name(CG::Scope* aScope, const char* aName, CG_ObjId aKind);
