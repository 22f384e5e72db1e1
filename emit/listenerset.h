// The ordered emit-side listeners of one emitter, and the joined optional-parameter text per object.
#pragma once

#include "emit/listeners.h"
#include "listener/effectlistener.h"
#include "listener/testidlistener.h"

#include <string>
#include <vector>

class CG_Ctx;

namespace CG {

class QulEmitter;

class QulListenerSet {
public:
  QulListenerSet(CG_Ctx* aCtx);
  QulListenerSet(const QulListenerSet&) = delete;
  QulListenerSet& operator=(const QulListenerSet&) = delete;

  // Registers the listeners in their fixed order; the base-type listener prints through aEmitter.
  void registerListeners(QulEmitter* aEmitter);

  // "" when no listener adds an item, else "|" then the items joined by ",".
  std::string collect(Var* aVar);
  std::string collect(Type* aType);
  std::string collect(Expr* aExpr);
  std::string collect(Const* aConst);

  const std::vector<QulEmitterListener*>& listeners() const { return fListeners; }
  static std::string join(const std::vector<std::string>* aStrings);

private:
  template <class T> std::string collectFor(T* aObj);

  CG_Ctx* fCtx;
  std::vector<QulEmitterListener*> fListeners;
  QulRoundingEmitterListener fRounding;
  QulOverflowEmitterListener fOverflow;
  QulInstrumentationEmitterListener fInstrumentation;
  QulPropertyEmitterListener fProperty;
  QulBaseTypeEmitterListener fBaseType;
  TestIdListener fTestId;
};

} // namespace CG
