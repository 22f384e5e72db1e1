// Functions, methods, prototypes and built-in routines: io and local scopes, signature, graph.
#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/typefactory.h"

#include <mutex>
#include <shared_mutex>

namespace CG {

namespace {

Scope* makeFcnScope(CG_Ctx* aCtx, Scope* aParent, const char* aName, Fcn* aOwner) {
  auto* scope = aCtx->pool()->make<Scope>(aCtx, aParent, aCtx->cgString(aName));
  scope->setOwningFcn(aOwner);
  return scope;
}

} // namespace

Fcn::Fcn(CG_Ctx* aCtx, Scope* aDefiningScope, char* aName)
    : Const(aCtx, aName, FcnMark{}), fDefiningScope(aDefiningScope),
      fIoScope(makeFcnScope(aCtx, aDefiningScope, aName != nullptr ? aName : "", this)),
      fLocalScope(
          makeFcnScope(aCtx, aDefiningScope, (std::string(aName != nullptr ? aName : "") + "$local").c_str(), this)) {}

Type* Const::functionType() const {
  return static_cast<const Fcn*>(this)->fcnType();
}

Fcn* Fcn::create(Scope* aScope, const char* aName) {
  CG_ASSERT(aScope != nullptr, "ir/fcn.cpp");
  CG_Ctx* ctx = aScope->ctx();
  auto* fcn = ctx->pool()->make<Fcn>(ctx, aScope, ctx->cgString(aName));
  aScope->addSymbol(fcn);
  return fcn;
}

// The type is remembered while the signature still matches it: asking is cheap and needs no allocation.
// Parameters are only ever added, so the counts tell whether the list changed, and the context's count of
// variable type changes whether a parameter's type may have. Comparing the types themselves would visit every
// parameter at every call expression.
bool Fcn::cachedTypeMatches() const {
  return fCachedType != nullptr && fCachedTypeVersion == ctx()->varTypeVersion() &&
         fCachedType->numInputs() == numInputs() && fCachedType->numOutputs() == numOutputs();
}

FcnType* Fcn::fcnType() const {
  if (cachedTypeMatches())
    return fCachedType;
  std::vector<Type*> inputs;
  std::vector<Type*> outputs;
  for (Var* input : fInputs) {
    inputs.push_back(input->type());
  }
  for (Var* output : fOutputs) {
    outputs.push_back(output->type());
  }
  FcnType* type = TypeFactory(ctx()).fcnType(inputs, outputs, isMethod());
  // A thread that only finds types reads the cache and leaves it to the thread that makes them.
  if (TypeFinding::onThisThread())
    return type;
  std::unique_lock<std::shared_mutex> caching(ctx()->typeCache().lock());
  fCachedType = type;
  fCachedTypeVersion = ctx()->varTypeVersion();
  return type;
}

Cfg* Fcn::createCfg() {
  if (fCfg != nullptr) {
    return fCfg;
  }
  CG_ASSERT_MSG(!CorePrototype::isa(this), "ir/fcn.cpp", "a prototype has no graph");
  fCfg = Cfg::create(this);
  attachScopesToDefiningScope();
  return fCfg;
}

void Fcn::attachScopesToDefiningScope() {
  if (fDefiningScope == nullptr) {
    return;
  }
  fDefiningScope->addChildScope(fIoScope);
  fDefiningScope->addChildScope(fLocalScope);
}

Var* Fcn::inputVar(int aIndex) const {
  CG_ASSERT(aIndex >= 0 && aIndex < numInputs(), "ir/fcn.cpp");
  return fInputs[aIndex];
}

Var* Fcn::outputVar(int aIndex) const {
  CG_ASSERT(aIndex >= 0 && aIndex < numOutputs(), "ir/fcn.cpp");
  return fOutputs[aIndex];
}

Var* Fcn::makeIoVar(Type* aType, const char* aName) {
  return cg_var_create(fIoScope, aType, aName);
}

Var* Fcn::addInput(Type* aType, const char* aName) {
  Var* var = makeIoVar(aType, aName);
  addInputVar(var);
  return var;
}

Var* Fcn::addOutput(Type* aType, const char* aName) {
  Var* var = makeIoVar(aType, aName);
  addOutputVar(var);
  return var;
}

void Fcn::addInputVar(Var* aVar) {
  CG_ASSERT(aVar != nullptr && aVar->scope() == fIoScope, "ir/fcn.cpp");
  fInputs.push_back(aVar);
  aVar->fParameterOf = this;
}

void Fcn::addOutputVar(Var* aVar) {
  CG_ASSERT(aVar != nullptr && aVar->scope() == fIoScope, "ir/fcn.cpp");
  fOutputs.push_back(aVar);
  aVar->fParameterOf = this;
}

bool Fcn::isInputOrOutput(const Var* aVar) const {
  return aVar != nullptr && aVar->fParameterOf == this;
}

MethodConst* MethodConst::create(Scope* aScope, const char* aName, ClassType* aOwner, int aMethodKind,
                                 int aVisibility) {
  CG_ASSERT(aScope != nullptr, "ir/fcn.cpp");
  CG_ASSERT(aMethodKind >= METHOD && aMethodKind <= PURE_VIRTUAL, "ir/fcn.cpp");
  CG_Ctx* ctx = aScope->ctx();
  auto* method = ctx->pool()->make<MethodConst>(ctx, aScope, ctx->cgString(aName), aOwner, aMethodKind, aVisibility);
  aScope->addSymbol(method);
  return method;
}

CorePrototype* CorePrototype::create(Scope* aScope, const char* aName) {
  CG_ASSERT(aScope != nullptr, "ir/fcn.cpp");
  CG_Ctx* ctx = aScope->ctx();
  auto* prototype = ctx->pool()->make<CorePrototype>(ctx, aScope, ctx->cgString(aName));
  aScope->addSymbol(prototype);
  return prototype;
}

} // namespace CG
