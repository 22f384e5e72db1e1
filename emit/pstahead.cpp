// The second thread's building of structure trees, and the printing's taking of them.
#include "emit/pstahead.h"

#include <system_error>

#include "ir/cfg.h"
#include "ir/logger.h"
#include "ir/symbol.h"

namespace CG {

PstAhead::PstAhead(CG_Ctx* aCtx, const std::vector<Fcn*>& aFcns) : fCtx(aCtx) {
  if (aFcns.size() < 2)
    return;
  fSlots.resize(aFcns.size());
  for (size_t i = 0; i < aFcns.size(); ++i)
    fSlots[i].fcn = aFcns[i];
  try {
    fWorker = std::thread(&PstAhead::buildAll, this);
  } catch (const std::system_error&) {
    // No thread to spare: every tree is built where its function prints.
    fSlots.clear();
  }
}

PstAhead::~PstAhead() {
  if (!fWorker.joinable())
    return;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fStopping = true;
  }
  fChanged.notify_all();
  fWorker.join();
}

// A build that fails publishes nothing here: the printing builds the tree again, and that build reports the
// failure in its place among the printing's messages.
void PstAhead::buildAll() {
  TheLogger silent(MessageId{"CG", "Pst", "built ahead", 0}, Corvid::System::OFF);
  for (size_t i = 0; i < fSlots.size(); ++i) {
    if (!awaitTurn(i))
      continue;
    Fcn* fcn = fSlots[i].fcn;
    uint64_t version = fcn->cfg()->version();
    std::unique_ptr<PooledPst> tree;
    try {
      tree = std::make_unique<PooledPst>(fCtx, fcn);
    } catch (...) {
    }
    finish(i, std::move(tree), version);
  }
}

// Waits until slot aIndex is at most kAhead past the printing; false when the slot is not to be built.
bool PstAhead::awaitTurn(size_t aIndex) {
  std::unique_lock<std::mutex> lock(fMutex);
  fChanged.wait(lock, [&] { return fStopping || aIndex < fNext + kAhead; });
  return !fStopping && !fSlots[aIndex].dropped;
}

void PstAhead::finish(size_t aIndex, std::unique_ptr<PooledPst> aTree, uint64_t aVersion) {
  std::unique_ptr<PooledPst> unwanted;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    Slot& slot = fSlots[aIndex];
    slot.done = true;
    slot.version = aVersion;
    (slot.dropped ? unwanted : slot.tree) = std::move(aTree);
  }
  fChanged.notify_all();
}

std::unique_ptr<PooledPst> PstAhead::take(Fcn* aFcn) {
  // Freed after the lock is given back.
  std::vector<std::unique_ptr<PooledPst>> passed;
  std::unique_ptr<PooledPst> tree;
  uint64_t version = 0;
  {
    std::unique_lock<std::mutex> lock(fMutex);
    size_t index = fNext;
    while (index < fSlots.size() && fSlots[index].fcn != aFcn)
      ++index;
    if (index == fSlots.size())
      return nullptr;
    for (size_t i = fNext; i < index; ++i) {
      fSlots[i].dropped = true;
      passed.push_back(std::move(fSlots[i].tree));
    }
    fNext = index + 1;
    fChanged.notify_all();
    fChanged.wait(lock, [&] { return fSlots[index].done; });
    tree = std::move(fSlots[index].tree);
    version = fSlots[index].version;
  }
  Cfg* cfg = aFcn->cfg();
  if (tree != nullptr && (tree->pst.cfg() != cfg || cfg == nullptr || version != cfg->version()))
    return nullptr;
  return tree;
}

} // namespace CG
