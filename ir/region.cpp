// Regions and the region factory: structured fragments wired from unconnected statements.
#include "ir/region.h"

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/nodefactory.h"

namespace CG {

namespace {

bool isEmptyRegion(const Region* aRegion) {
  return aRegion == nullptr || aRegion->isEmpty();
}

// A region's ends must still be free: joining a region twice would steal edges from its first use.
void checkUnused(const Region* aRegion) {
  if (aRegion->entry().edge() != nullptr || aRegion->exit().edge() != nullptr) {
    Node* end = aRegion->entry().edge() != nullptr ? aRegion->entry().node : aRegion->exit().node;
    TheLogger::instance().throwInternalException("CG/Region/reuse", "region at '%s' is already joined into the graph",
                                                 end->opName());
  }
}

} // namespace

Region* Region::concatRegion(Region* aNext) {
  if (isEmptyRegion(aNext)) {
    return this;
  }
  if (isEmpty()) {
    *this = *aNext;
    return this;
  }
  checkUnused(aNext);
  if (fExit.edge() != nullptr) {
    TheLogger::instance().throwInternalException("CG/Region/reuse", "region exit at '%s' is already joined",
                                                 fExit.node->opName());
  }
  fExit.connect(aNext->entry());
  fExit = aNext->exit();
  return this;
}

RegionFactory::RegionFactory(NodeFactory* aNodeFactory, MemPool* aRegionPool) : fNodes(aNodeFactory) {
  CG_ASSERT_MSG(aNodeFactory != nullptr, "ir/region.cpp", "RegionFactory: null node factory");
  fRegionPool = aRegionPool != nullptr ? aRegionPool : aNodeFactory->pool();
}

Region* RegionFactory::makeRegion(InPort aEntry, OutPort aExit) {
  return fRegionPool->make<Region>(aEntry, aExit);
}

void RegionFactory::route(OutPort aFrom, Region* aRegion, InPort aTo) {
  if (isEmptyRegion(aRegion)) {
    aFrom.connect(aTo);
    return;
  }
  checkUnused(aRegion);
  aFrom.connect(aRegion->entry());
  aRegion->exit().connect(aTo);
}

Region* RegionFactory::stmtRegion(SeseStmt* aStmt) {
  CG_ASSERT_MSG(aStmt != nullptr, "ir/region.cpp", "stmtRegion: null statement");
  return makeRegion(aStmt->inPort(), aStmt->outPort());
}

Region* RegionFactory::emptyRegion() {
  return fRegionPool->make<Region>();
}

Region* RegionFactory::concatRegion(Region* aFirst, Region* aSecond) {
  Region* joined = emptyRegion();
  joined->concatRegion(aFirst);
  return joined->concatRegion(aSecond);
}

Region* RegionFactory::sequenceRegion(const std::vector<Region*>& aParts) {
  Region* joined = emptyRegion();
  for (Region* part : aParts) {
    joined->concatRegion(part);
  }
  return joined;
}

Region* RegionFactory::ifRegion(Expr* aCondition, Region* aThen, Region* aElse) {
  IfStmt* branch = fNodes->ifStmt(aCondition);
  MergeStmt* join = fNodes->mergeStmt(2);
  route(branch->trueOutPort(), aThen, join->inPort(0));
  route(branch->falseOutPort(), aElse, join->inPort(1));
  return makeRegion(branch->inPort(), join->outPort());
}

Region* RegionFactory::switchRegion(Expr* aValue, const std::vector<std::pair<Expr*, Region*>>& aCases,
                                    Region* aDefault) {
  std::vector<Expr*> caseValues;
  caseValues.reserve(aCases.size());
  for (const auto& [value, body] : aCases) {
    caseValues.push_back(value);
  }
  SwitchStmt* branch = fNodes->switchStmt(aValue, caseValues);
  MergeStmt* join = fNodes->mergeStmt(static_cast<int>(aCases.size()) + 1);
  for (size_t i = 0; i < aCases.size(); ++i) {
    int port = static_cast<int>(i);
    route(branch->caseOutPort(port), aCases[i].second, join->inPort(port));
  }
  route(branch->defaultOutPort(), aDefault, join->inPort(branch->numCases()));
  return makeRegion(branch->inPort(), join->outPort());
}

Region* RegionFactory::whileRegion(Expr* aCondition, Region* aBody) {
  MergeStmt* head = fNodes->mergeStmt(2);
  IfStmt* test = fNodes->ifStmt(aCondition);
  head->outPort().connect(test->inPort());
  route(test->trueOutPort(), aBody, head->inPort(1));
  return makeRegion(head->inPort(0), test->falseOutPort());
}

Region* RegionFactory::doWhileRegion(Region* aBody, Expr* aCondition) {
  MergeStmt* head = fNodes->mergeStmt(2);
  IfStmt* test = fNodes->ifStmt(aCondition);
  route(head->outPort(), aBody, test->inPort());
  test->trueOutPort().connect(head->inPort(1));
  return makeRegion(head->inPort(0), test->falseOutPort());
}

Region* RegionFactory::forRegion(Expr* aIndex, Expr* aStart, Expr* aStep, Expr* aEnd, Region* aBody, bool aParallel) {
  AbstractForEntryStmt* entry =
      aParallel ? static_cast<AbstractForEntryStmt*>(fNodes->parallelForEntryStmt(aIndex, aStart, aStep, aEnd))
                : fNodes->forEntryStmt(aIndex, aStart, aStep, aEnd);
  AbstractForExitStmt* exit = fNodes->forExitStmt(entry);
  entry->outPort().connect(exit->inPort());
  route(exit->bodyOutPort(), aBody, entry->inPort(AbstractForEntryStmt::kBackEdgePort));
  return makeRegion(entry->inPort(AbstractForEntryStmt::kEntryPort), exit->exitOutPort());
}

void RegionFactory::setBody(Region* aBody) {
  Cfg* cfg = fNodes->cfg();
  route(cfg->start()->outPort(), aBody, cfg->end()->inPort());
}

Region* SwitchRegionBuilder::build() {
  if (fValue == nullptr) {
    TheLogger::instance().throwInternalException("CG/Region/switch", "switch region built without a condition");
  }
  return fFactory->switchRegion(fValue, fCases, fDefault);
}

} // namespace CG
