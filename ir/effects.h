// Side-effect facts of nodes: each effect is a 3-bit status field of a node's effects word.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace CG {

class CanHaveEffects;

// Status codes of one effect.
enum EffectStatus {
  EFFECT_IRRELEVANT = 0,
  EFFECT_NEVER = 1,
  EFFECT_EXCLUDED = 2,
  EFFECT_POSSIBLE = 4,
  EFFECT_ALWAYS = 5,
  EFFECT_GUARDED = 6,
  EFFECT_UNKNOWN = 7,
};

class EffectInfo {
public:
  EffectInfo(const char* aName, int aShift) : fName(aName), fShift(aShift) {}

  const char* name() const { return fName; }
  int status(const CanHaveEffects& aObj) const;
  void setStatus(CanHaveEffects& aObj, int aStatus) const;

  // Every effect the IR knows, ordered by name.
  static const std::map<std::string, const EffectInfo*>& effectInfoMap();

private:
  const char* fName;
  int fShift;
};

} // namespace CG
