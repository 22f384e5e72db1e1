// The walk of a function's graph for the types and constants it uses, and the second thread that walks ahead.
#include "emit/graphuses.h"

#include <shared_mutex>
#include <system_error>

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/node.h"
#include "ir/symbol.h"
#include "ir/typechecker.h"
#include "ir/typefactory.h"

namespace CG {

namespace {

// The statements lie apart in memory: each is asked for some steps before the walk reaches it, and its operands
// once it has come in.
template <class Visit> void forEachGraphExpr(const std::vector<Stmt*>& aStmts, Visit&& aVisit) {
  constexpr size_t kStmtDistance = 8;
  constexpr size_t kOperandDistance = 4;
  for (size_t i = 0; i < aStmts.size(); ++i) {
    if (i + kStmtDistance < aStmts.size())
      __builtin_prefetch(aStmts[i + kStmtDistance]);
    if (i + kOperandDistance < aStmts.size())
      aStmts[i + kOperandDistance]->prefetchInputs();
    forEachExprPostOrder(aStmts[i], aVisit);
  }
}

// Functions are not defined as constants, and an unnamed constant prints where it is used.
bool isCollectedConst(Const* aConst) {
  return !cg_const_is_function(aConst) && aConst->name() && *aConst->name();
}

} // namespace

GraphUses walkGraphUses(Fcn* aFcn, const std::vector<Stmt*>& aStmts, TypeChecker* aChecker) {
  GraphUses uses;
  uses.version = aFcn->cfg()->version();
  IdSet<Const*> seenConsts;
  forEachGraphExpr(aStmts, [&](Expr* aExpr) {
    Type* type = aExpr->type();
    Type* expected = aChecker->expectedType(aExpr);
    if (!type || !expected || !type->equals(expected))
      uses.types.push_back(type);
    if (!ConstExpr::isa(aExpr))
      return;
    Const* constant = ConstExpr::cast(aExpr)->constant();
    if (!constant)
      return;
    uses.types.push_back(constant->type());
    if (isCollectedConst(constant) && seenConsts.add(constant))
      uses.consts.push_back(constant);
  });
  uses.types.shrink_to_fit();
  uses.consts.shrink_to_fit();
  return uses;
}

GraphUsesAhead::GraphUsesAhead(CG_Ctx* aCtx) : fCtx(aCtx) {}

GraphUsesAhead::~GraphUsesAhead() {
  stop();
}

void GraphUsesAhead::offer(Fcn* aFcn) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (fFinishing || fStopping)
    return;
  fOffers.push_back(aFcn);
  fClaimedFrom = fOffers.size();
  if (fWorker.joinable())
    return;
  try {
    fWorker = std::thread(&GraphUsesAhead::walkOffers, this);
  } catch (const std::system_error&) {
    // No thread to spare: the walks are done where the types are collected.
    fStopping = true;
  }
}

std::unordered_map<Fcn*, GraphUses> GraphUsesAhead::finish(TypeChecker* aChecker) {
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fFinishing = true;
  }
  Fcn* fcn = nullptr;
  while (aChecker != nullptr && claimLastOffer(&fcn)) {
    try {
      keep(fcn, walkGraphUses(fcn, fcn->cfg()->orderedStmts(), aChecker));
    } catch (...) {
      // Walked again where the types are collected, which reports the failure in its place.
    }
  }
  stop();
  std::unordered_map<Fcn*, GraphUses> walked;
  walked.swap(fWalked);
  return walked;
}

void GraphUsesAhead::stop() {
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fStopping = true;
  }
  fChanged.notify_all();
  if (fWorker.joinable())
    fWorker.join();
}

// The types the walks meet were made by the thread that offers the graphs, which may be making more meanwhile:
// they are found under the cache's lock, never made here. A walk that misses one publishes nothing, nor does a
// walk that fails.
void GraphUsesAhead::walkOffers() {
  TheLogger silent(MessageId{"CG", "emit", "graph uses ahead", 0}, Corvid::System::OFF);
  TypeFinding finding;
  CoreDomainTypeChecker checker(fCtx);
  Fcn* fcn = nullptr;
  while (awaitOffer(&fcn)) {
    std::shared_lock<std::shared_mutex> reading(fCtx->typeCache().lock());
    finding.forgetMissed();
    GraphUses uses;
    bool walked = true;
    try {
      uses = walkGraphUses(fcn, fcn->cfg()->orderedStmts(), &checker);
    } catch (...) {
      walked = false;
    }
    if (walked && !finding.missedType())
      keep(fcn, std::move(uses));
    std::lock_guard<std::mutex> lock(fMutex);
    ++fWalksDone;
  }
}

void GraphUsesAhead::keep(Fcn* aFcn, GraphUses aUses) {
  std::lock_guard<std::mutex> lock(fMutex);
  fWalked.emplace(aFcn, std::move(aUses));
}

size_t GraphUsesAhead::walksDone() {
  std::lock_guard<std::mutex> lock(fMutex);
  return fWalksDone;
}

// The next function offered, once there is one; false when the walks are to end, or the finishing thread has
// claimed the rest.
bool GraphUsesAhead::awaitOffer(Fcn** aFcn) {
  std::unique_lock<std::mutex> lock(fMutex);
  while (!fStopping && !fFinishing && fNextOffer == fClaimedFrom)
    fChanged.wait_for(lock, kWorkerNap);
  if (fStopping || fNextOffer == fClaimedFrom)
    return false;
  *aFcn = fOffers[fNextOffer++];
  return true;
}

bool GraphUsesAhead::claimLastOffer(Fcn** aFcn) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (fClaimedFrom == fNextOffer)
    return false;
  *aFcn = fOffers[--fClaimedFrom];
  return true;
}

} // namespace CG
