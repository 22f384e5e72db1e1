// Emit-side annotation listeners: rounding, overflow, instrumentation, property, flags, origin, enum base type.
#pragma once

#include "listener/emitterlistener.h"

namespace CG {

class QulEmitter;

// "rounding" of an expression's node.
class QulRoundingEmitterListener : public QulEmitterListenerDefaults {
public:
  using QulEmitterListenerDefaults::addString;
  void addString(Expr* aExpr, std::vector<std::string>* aStrings) override;
};

// "overflow" of an expression's node.
class QulOverflowEmitterListener : public QulEmitterListenerDefaults {
public:
  using QulEmitterListenerDefaults::addString;
  void addString(Expr* aExpr, std::vector<std::string>* aStrings) override;
};

// "instrumentation" when the expression breaks on overflow.
class QulInstrumentationEmitterListener : public QulEmitterListenerDefaults {
public:
  using QulEmitterListenerDefaults::addString;
  void addString(Expr* aExpr, std::vector<std::string>* aStrings) override;
};

// "prop" of a function that stores no address.
class QulPropertyEmitterListener : public QulEmitterListenerDefaults {
public:
  using QulEmitterListenerDefaults::addString;
  void addString(Const* aConst, std::vector<std::string>* aStrings) override;
};

// "cgflag" items of functions and variables.
class QulFlagEmitterListener : public QulEmitterListenerDefaults {
public:
  using QulEmitterListenerDefaults::addString;
  void addString(Var* aVar, std::vector<std::string>* aStrings) override;
  void addString(Const* aConst, std::vector<std::string>* aStrings) override;
};

// "origin" of a variable.
class OriginEmitterListener : public QulEmitterListenerDefaults {
public:
  using QulEmitterListenerDefaults::addString;
  void addString(Var* aVar, std::vector<std::string>* aStrings) override;
};

// "BaseType" of an enumeration whose base is not the default integer type; prints through its emitter.
class QulBaseTypeEmitterListener : public QulEmitterListenerDefaults {
public:
  using QulEmitterListenerDefaults::addString;
  void setQulEmitter(QulEmitter* aEmitter) { fEmitter = aEmitter; }
  void addString(Type* aType, std::vector<std::string>* aStrings) override;

private:
  QulEmitter* fEmitter = nullptr;
};

} // namespace CG
