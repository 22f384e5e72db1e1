// Small helpers for tests that build IR by hand.
#pragma once

#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "ir/typefactory.h"

#include <string>

namespace quilltest {

// A fresh context with shortcuts for the common types.
struct IrFixture {
  CG_Ctx ctx;
  CG::TypeFactory types{&ctx};
  CG::Scope* global = ctx.globalScope();

  CG::Type* int32() { return types.signedInt32Type(); }
  char* text(const char* aText) { return ctx.cgString(aText); }
  CG::Var* var(CG::Scope* aScope, const char* aName, CG::Type* aType = nullptr) {
    return cg_var_create(aScope, aType ? aType : int32(), aName);
  }
  // A function with a graph, so its local scope belongs to it.
  CG::Fcn* fcnWithBody(const char* aName) {
    CG::Fcn* fcn = CG::Fcn::create(global, aName);
    fcn->createCfg();
    return fcn;
  }
};

inline std::string emitWith(CG_Obj* aObj, int aOptions) {
  return CG::emitQuillEx(aObj, CG::QulEmitterOptions(nullptr, aOptions));
}

} // namespace quilltest
