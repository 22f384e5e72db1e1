// The ordered emit-side listeners of one emitter, and the joined optional-parameter text per object.
#include "emit/listenerset.h"

#include "emit/emitter.h"

namespace CG {

namespace {
// The three listeners without state are shared by every emitter, made on first use.
QulFlagEmitterListener* sharedFlagListener() {
  static QulFlagEmitterListener listener;
  return &listener;
}

QulEffectListener* sharedEffectListener() {
  static QulEffectListener listener;
  return &listener;
}

OriginEmitterListener* sharedOriginListener() {
  static OriginEmitterListener listener;
  return &listener;
}
} // namespace

QulListenerSet::QulListenerSet(CG_Ctx* aCtx) : fCtx(aCtx), fTestId(aCtx) {}

void QulListenerSet::registerListeners(QulEmitter* aEmitter) {
  fBaseType.setQulEmitter(aEmitter);
  fListeners = {&fRounding,
                &fOverflow,
                &fInstrumentation,
                &fProperty,
                &fBaseType,
                &fTestId,
                sharedFlagListener(),
                sharedEffectListener(),
                sharedOriginListener()};
}

std::string QulListenerSet::join(const std::vector<std::string>* aStrings) {
  if (!aStrings)
    throw QulEmitterAborted("strings == NULL", __FILE__, __LINE__);
  std::string text;
  for (const std::string& item : *aStrings) {
    text += text.empty() ? "|" : ",";
    text += item;
  }
  return text;
}

template <class T> std::string QulListenerSet::collectFor(T* aObj) {
  std::string text;
  collectInto(aObj, text);
  return text;
}

std::string QulListenerSet::collect(Var* aVar) {
  return collectFor(aVar);
}
std::string QulListenerSet::collect(Type* aType) {
  return collectFor(aType);
}
std::string QulListenerSet::collect(Expr* aExpr) {
  return collectFor(aExpr);
}
std::string QulListenerSet::collect(Const* aConst) {
  return collectFor(aConst);
}

} // namespace CG
