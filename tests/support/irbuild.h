// Small helpers for tests that build IR by hand.
#pragma once

#include "emit/emitter.h"
#include "ir/ctx.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "ir/typefactory.h"

#include <pthread.h>

#include <cstddef>
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

// Runs aWork on a thread of its own whose stack holds aStackBytes, and waits for it: a walk too deep for
// that stack then costs little time and memory. False when no such thread could be made.
template <class Work> bool runOnStackOf(size_t aStackBytes, Work aWork) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, aStackBytes);
  pthread_t thread;
  auto run = [](void* aWorkPtr) -> void* {
    (*static_cast<Work*>(aWorkPtr))();
    return nullptr;
  };
  bool started = pthread_create(&thread, &attributes, run, &aWork) == 0;
  if (started)
    pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  return started;
}

} // namespace quilltest
