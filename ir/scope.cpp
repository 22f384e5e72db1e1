// Scopes: symbol lists, child scopes, owning function and name lookup.
#include "ir/scope.h"

#include <algorithm>
#include <unordered_set>

#include "ir/ctx.h"
#include "ir/strings.h"
#include "ir/symbol.h"

namespace CG {

Scope::Scope(CG_Ctx* aCtx, Scope* aParent, char* aName) : CG_CtxObj(CG_SCOPE, aCtx), fName(aName), fParent(aParent) {}

Scope::~Scope() = default;

void Scope::addSymbol(Symbol* aSymbol) {
  CG_ASSERT(aSymbol != nullptr, "ir/scope.cpp");
  if (aSymbol->fScope != nullptr) {
    aSymbol->fScope->removeSymbol(aSymbol);
  }
  aSymbol->fScope = this;
  aSymbol->fNext = nullptr;
  if (fLastSymbol == nullptr) {
    fFirstSymbol = aSymbol;
  } else {
    fLastSymbol->fNext = aSymbol;
  }
  fLastSymbol = aSymbol;
}

void Scope::removeSymbol(Symbol* aSymbol) {
  Symbol* previous = nullptr;
  for (Symbol* symbol = fFirstSymbol; symbol != nullptr; previous = symbol, symbol = symbol->fNext) {
    if (symbol != aSymbol) {
      continue;
    }
    (previous != nullptr ? previous->fNext : fFirstSymbol) = symbol->fNext;
    if (fLastSymbol == symbol) {
      fLastSymbol = previous;
    }
    symbol->fNext = nullptr;
    symbol->fScope = nullptr;
    return;
  }
}

int Scope::numSymbols() const {
  int count = 0;
  for (Symbol* symbol = fFirstSymbol; symbol != nullptr; symbol = symbol->next()) {
    ++count;
  }
  return count;
}

// Without recursion, as scopes may nest as deep as a text nests its blocks; each scope once, as a scope may
// be listed by more than one.
bool Scope::isWithin(const Scope* aScope) const {
  if (aScope == this || aScope->fChildren.empty()) {
    return aScope == this;
  }
  std::vector<const Scope*> pending{aScope};
  std::unordered_set<const Scope*> seen{aScope};
  while (!pending.empty()) {
    const Scope* scope = pending.back();
    pending.pop_back();
    if (scope == this) {
      return true;
    }
    for (const Scope* child : scope->fChildren) {
      if (seen.insert(child).second) {
        pending.push_back(child);
      }
    }
  }
  return false;
}

// Walks over the scope tree (printing, collecting) assume it has no cycles: a scope cannot list itself or a
// scope that lists it.
void Scope::addChildScope(Scope* aChild) {
  if (hasChildScope(aChild)) {
    return;
  }
  CG_ASSERT_MSG(aChild != nullptr && !isWithin(aChild), "ir/scope.cpp", "a scope cannot hold itself or a scope above it");
  fChildren.push_back(aChild);
  if (aChild->fParent == this) {
    aChild->fListedInParent = true;
  }
}

// A scope is listed at most once. The search starts from the end, where a scope made and dropped at once
// (a parameter list's) stands.
void Scope::removeChildScope(Scope* aChild) {
  if (!hasChildScope(aChild)) {
    return;
  }
  auto listed = std::find(fChildren.rbegin(), fChildren.rend(), aChild);
  fChildren.erase(std::next(listed).base());
  if (aChild->fParent == this) {
    aChild->fListedInParent = false;
  }
}

// Constant time for the scope's own children, which are the only ones the IR lists.
bool Scope::hasChildScope(const Scope* aChild) const {
  if (aChild != nullptr && aChild->fParent == this) {
    return aChild->fListedInParent;
  }
  return std::find(fChildren.begin(), fChildren.end(), aChild) != fChildren.end();
}

Scope* Scope::findSubScope(const char* aName) const {
  for (Scope* child : fChildren) {
    if (cg_strcmp(child->name(), aName) == 0) {
      return child;
    }
  }
  return nullptr;
}

Fcn* Scope::owningFcn() const {
  for (const Scope* scope = this; scope != nullptr; scope = scope->fParent) {
    if (scope->fOwningFcn != nullptr) {
      return scope->fOwningFcn;
    }
  }
  return nullptr;
}

} // namespace CG

CG::Scope* cg_scope_create(CG::Scope* aParent, const char* aName, MemPool* aPool) {
  CG_Ctx* ctx = aParent != nullptr ? aParent->ctx() : (aPool != nullptr ? aPool->owner() : nullptr);
  CG_ASSERT_MSG(ctx != nullptr, "ir/scope.cpp", "cg_scope_create needs a parent or a context pool");
  auto* scope = ctx->pool()->make<CG::Scope>(ctx, aParent, ctx->cgString(aName != nullptr ? aName : ""));
  if (aParent != nullptr) {
    aParent->addChildScope(scope);
  }
  return scope;
}

CG::Scope* cg_scope_create_detached(CG_Ctx* aCtx, const char* aName) {
  return cg_scope_create(nullptr, aName, aCtx->pool());
}

void cg_scope_destroy(CG::Scope* aScope) {
  if (aScope == nullptr) {
    return;
  }
  if (aScope->parent() != nullptr) {
    aScope->parent()->removeChildScope(aScope);
  }
  while (aScope->firstSymbol() != nullptr) {
    aScope->removeSymbol(aScope->firstSymbol());
  }
}

namespace {

CG::Symbol* findInScope(CG::Scope* aScope, const char* aName, CG_ObjId aKind) {
  for (CG::Symbol* symbol = aScope->firstSymbol(); symbol != nullptr; symbol = symbol->next()) {
    if (symbol->id() == aKind && cg_strcmp(symbol->name(), aName) == 0) {
      return symbol;
    }
  }
  return nullptr;
}

} // namespace

// A function's local scope sees its io scope before the defining scope.
CG::Symbol* cg_scope_tree_find_by_name(CG::Scope* aScope, const char* aName, CG_ObjId aKind) {
  for (CG::Scope* scope = aScope; scope != nullptr; scope = scope->parent()) {
    if (CG::Symbol* symbol = findInScope(scope, aName, aKind)) {
      return symbol;
    }
    CG::Fcn* fcn = scope->owningFcn();
    if (fcn != nullptr && fcn->localScope() == scope) {
      if (CG::Symbol* symbol = findInScope(fcn->ioScope(), aName, aKind)) {
        return symbol;
      }
    }
  }
  return nullptr;
}
