// The ordered emit-side listeners of one emitter, and the joined optional-parameter text per object.
#pragma once

#include "emit/listeners.h"
#include "listener/effectlistener.h"
#include "listener/testidlistener.h"

#include <deque>
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

  // Appends the same text as collect to aText, without building it apart when no listener adds an item.
  template <class T> void collectInto(T* aObj, std::string& aText);

  const std::vector<QulEmitterListener*>& listeners() const { return fListeners; }
  static std::string join(const std::vector<std::string>* aStrings);

private:
  template <class T> std::string collectFor(T* aObj);

  CG_Ctx* fCtx;
  // Item vectors reused from one object to the next, one per nesting level: a listener may print through
  // the emitter and so collect for another object while its own items are pending. A deque keeps the
  // outer levels in place while an inner level is added.
  std::deque<std::vector<std::string>> fScratch;
  size_t fDepth = 0;
  std::vector<QulEmitterListener*> fListeners;
  QulRoundingEmitterListener fRounding;
  QulOverflowEmitterListener fOverflow;
  QulInstrumentationEmitterListener fInstrumentation;
  QulPropertyEmitterListener fProperty;
  QulBaseTypeEmitterListener fBaseType;
  TestIdListener fTestId;
};

template <class T> void QulListenerSet::collectInto(T* aObj, std::string& aText) {
  if (fDepth == fScratch.size())
    fScratch.emplace_back();
  std::vector<std::string>& strings = fScratch[fDepth++];
  strings.clear();
  try {
    for (QulEmitterListener* listener : fListeners)
      listener->addString(aObj, &strings);
  } catch (...) {
    --fDepth;
    throw;
  }
  --fDepth;
  for (size_t i = 0; i < strings.size(); ++i) {
    aText += i == 0 ? '|' : ',';
    aText += strings[i];
  }
}

} // namespace CG
