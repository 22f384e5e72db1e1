// "effect" annotations: per-node side-effect statuses that differ from the operator's defaults.
#pragma once

#include "listener/emitterlistener.h"
#include "listener/parserlistener.h"

#include <cstdint>

namespace CG {

class QulEffectListener : public QulEmitterListenerDefaults, public QulParserListener {
public:
  using QulEmitterListenerDefaults::addString;
  void addString(Expr* aExpr, std::vector<std::string>* aStrings) override;

  // Status name of a code, null for a code without one.
  static const char* statusName(int aStatus);

  // Parse side: answers the "effect" tag; applying the statuses is not done yet.
  const char* tag() override { return "effect"; }

protected:
  void registerValue(CG_Obj*, QulOptionalParameterValue*) override {}
};

} // namespace CG
