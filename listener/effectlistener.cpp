// "effect" annotations: per-node side-effect statuses that differ from the operator's defaults.
#include "listener/effectlistener.h"

#include "ir/effects.h"
#include "ir/node.h"

namespace CG {

namespace {
// A bare effects word, so that a definition's defaults and a node's own effects are read by the same getters.
class MementoWrapper : public CanHaveEffects {
public:
  explicit MementoWrapper(uint32_t aWord) { setEffects(aWord); }
};

struct StatusName {
  int code;
  const char* name;
};

const StatusName kStatusNames[] = {
    {EFFECT_IRRELEVANT, "IRRELEVANT"}, {EFFECT_NEVER, "NEVER"},   {EFFECT_EXCLUDED, "EXCLUDED"},
    {EFFECT_POSSIBLE, "POSSIBLE"},     {EFFECT_ALWAYS, "ALWAYS"}, {EFFECT_GUARDED, "GUARDED"},
    {EFFECT_UNKNOWN, "UNKNOWN"},
};
} // namespace

const char* QulEffectListener::statusName(int aStatus) {
  for (const StatusName& entry : kStatusNames)
    if (entry.code == aStatus)
      return entry.name;
  return nullptr;
}

// One item "effect":"name:STATUS,..." listing, by effect name, the statuses that differ from the defaults.
void QulEffectListener::addString(Expr* aExpr, std::vector<std::string>* aStrings) {
  // Every status is a field of the effects word: a node with the default word differs in none.
  uint32_t word = static_cast<const CanHaveEffects&>(*aExpr).effects();
  if (word == aExpr->def()->defaultEffects())
    return;
  MementoWrapper defaults(aExpr->def()->defaultEffects());
  std::string pairs;
  for (const auto& entry : EffectInfo::effectInfoMap()) {
    const EffectInfo* effect = entry.second;
    int status = effect->status(*aExpr);
    const char* name = statusName(status);
    if (status == effect->status(defaults) || !name)
      continue;
    pairs += pairs.empty() ? "" : ",";
    pairs += entry.first + ":" + name;
  }
  if (!pairs.empty())
    aStrings->push_back("\"effect\":\"" + pairs + "\"");
}

} // namespace CG
