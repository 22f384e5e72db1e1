// Side-effect facts of nodes: each effect is a 3-bit status field of a node's effects word.
#include "ir/effects.h"

#include "ir/node.h"

namespace CG {

int EffectInfo::status(const CanHaveEffects& aObj) const {
  return (aObj.effects() >> fShift) & 7;
}

void EffectInfo::setStatus(CanHaveEffects& aObj, int aStatus) const {
  uint32_t word = aObj.effects() & ~(7u << fShift);
  aObj.setEffects(word | (static_cast<uint32_t>(aStatus & 7) << fShift));
}

const std::map<std::string, const EffectInfo*>& EffectInfo::effectInfoMap() {
  static const EffectInfo kEffects[] = {
      {"memRead", 0},    {"memWrite", 3},     {"alloc", 6},           {"io", 9},
      {"exception", 12}, {"globalState", 15}, {"nonTermination", 18},
  };
  static const std::map<std::string, const EffectInfo*> map = [] {
    std::map<std::string, const EffectInfo*> byName;
    for (const EffectInfo& effect : kEffects)
      byName[effect.name()] = &effect;
    return byName;
  }();
  return map;
}

} // namespace CG
