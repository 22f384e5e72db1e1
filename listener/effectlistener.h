// "effect" annotations: per-node side-effect statuses that differ from the operator's defaults.
#pragma once

#include "listener/emitterlistener.h"

#include <cstdint>

namespace CG {

class QulEffectListener : public QulEmitterListenerDefaults {
public:
  using QulEmitterListenerDefaults::addString;
  void addString(Expr* aExpr, std::vector<std::string>* aStrings) override;

  // Status name of a code, null for a code without one.
  static const char* statusName(int aStatus);
};

} // namespace CG
