// The second thread's work on the bodies about to print, and the printing's taking of it.
#include "emit/workahead.h"

#include <system_error>

#include "ir/cfg.h"
#include "ir/logger.h"
#include "ir/symbol.h"

namespace CG {

WorkAhead::WorkAhead(const std::vector<Fcn*>& aFcns, Work aWork) : fWork(std::move(aWork)) {
  if (aFcns.size() < 2)
    return;
  fSlots.resize(aFcns.size());
  for (size_t i = 0; i < aFcns.size(); ++i)
    fSlots[i].fcn = aFcns[i];
  try {
    fWorker = std::thread(&WorkAhead::workThrough, this);
  } catch (const std::system_error&) {
    // No thread to spare: every body is prepared where it prints.
    fSlots.clear();
  }
}

WorkAhead::~WorkAhead() {
  if (!fWorker.joinable())
    return;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fStopping = true;
  }
  fChanged.notify_all();
  fWorker.join();
}

// Work that fails publishes nothing here: the printing does it again, and that reports the failure in its place
// among the printing's messages.
void WorkAhead::workThrough() {
  TheLogger silent(MessageId{"CG", "emit", "work ahead", 0}, Corvid::System::OFF);
  for (size_t i = 0; i < fSlots.size(); ++i) {
    if (!awaitTurn(i))
      continue;
    Cfg* cfg = fSlots[i].fcn->cfg();
    uint64_t version = cfg != nullptr ? cfg->version() : 0;
    std::unique_ptr<Product> product;
    try {
      product = fWork(fSlots[i].fcn);
    } catch (...) {
    }
    finish(i, std::move(product), cfg, version);
  }
}

// Waits until slot aIndex is less than kAhead past the printing, then starts on it; false when the slot is not
// to be worked on.
bool WorkAhead::awaitTurn(size_t aIndex) {
  std::unique_lock<std::mutex> lock(fMutex);
  while (!fStopping && aIndex >= fNext + kAhead)
    fChanged.wait_for(lock, kWorkerNap);
  Slot& slot = fSlots[aIndex];
  if (fStopping || slot.state != State::PENDING)
    return false;
  slot.state = State::WORKING;
  return true;
}

void WorkAhead::finish(size_t aIndex, std::unique_ptr<Product> aProduct, Cfg* aCfg, uint64_t aVersion) {
  std::unique_ptr<Product> unwanted;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    Slot& slot = fSlots[aIndex];
    slot.cfg = aCfg;
    slot.version = aVersion;
    if (slot.state == State::DROPPED) {
      unwanted = std::move(aProduct);
    } else {
      slot.state = State::DONE;
      slot.product = std::move(aProduct);
    }
  }
  fChanged.notify_all();
}

// The printing moves on to aFcn's slot, dropping the ones before it; the slot's index, or the number of slots
// when aFcn is not further down the list. Called with the lock held.
size_t WorkAhead::moveTo(Fcn* aFcn, std::vector<std::unique_ptr<Product>>& aPassed) {
  size_t index = fNext;
  while (index < fSlots.size() && fSlots[index].fcn != aFcn)
    ++index;
  if (index == fSlots.size())
    return index;
  for (size_t i = fNext; i < index; ++i) {
    fSlots[i].state = State::DROPPED;
    aPassed.push_back(std::move(fSlots[i].product));
  }
  fNext = index + 1;
  return index;
}

std::unique_ptr<WorkAhead::Product> WorkAhead::takeProduct(Fcn* aFcn) {
  // Freed after the lock is given back.
  std::vector<std::unique_ptr<Product>> passed;
  std::unique_ptr<Product> product;
  Cfg* cfg = nullptr;
  uint64_t version = 0;
  {
    std::unique_lock<std::mutex> lock(fMutex);
    size_t index = moveTo(aFcn, passed);
    if (index == fSlots.size())
      return nullptr;
    Slot& slot = fSlots[index];
    if (slot.state == State::PENDING) {
      slot.state = State::DROPPED;
      return nullptr;
    }
    fChanged.wait(lock, [&] { return slot.state == State::DONE; });
    product = std::move(slot.product);
    cfg = slot.cfg;
    version = slot.version;
  }
  if (cfg == nullptr || cfg != aFcn->cfg() || version != cfg->version())
    return nullptr;
  return product;
}

} // namespace CG
