// Work on the function bodies about to print, done on a second thread a few bodies ahead of the printing: while
// the printing is at one body, the next ones are prepared.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "emit/lending.h"
#include "ir/mempool.h"
#include "ir/pst.h"

namespace CG {

class Cfg;
class Fcn;

// The work only reads the graphs, and they must not change while it runs. What it made of a graph that changed
// between the work and its taking is not handed out.
class WorkAhead {
public:
  // What the work made of one body.
  class Product {
  public:
    virtual ~Product() = default;
  };
  using Work = std::function<std::unique_ptr<Product>(Fcn*)>;

  // Starts aWork on the bodies of aFcns, in order. With fewer than two bodies there is nothing to overlap, and
  // no thread is started.
  WorkAhead(const std::vector<Fcn*>& aFcns, Work aWork);
  ~WorkAhead();
  WorkAhead(const WorkAhead&) = delete;
  WorkAhead& operator=(const WorkAhead&) = delete;

  // What the work made of aFcn's body, waiting for it if the work is under way. Null when there is nothing to
  // take, and the caller does the work itself: the second thread has not started on aFcn yet, aFcn is not
  // further down the list, its graph changed since, or the work failed (the caller's work then reports the
  // failure). What was made of the bodies before aFcn's is dropped.
  template <class T> std::unique_ptr<T> take(Fcn* aFcn) {
    return std::unique_ptr<T>(static_cast<T*>(takeProduct(aFcn).release()));
  }

private:
  // How many bodies may wait, done, ahead of the one being printed.
  static constexpr size_t kAhead = 8;
  // A second thread that is kAhead bodies ahead looks again this often for the printing to have moved on. The
  // printing does not wake it: waking a thread is a system call, and one for every body costs the printing about
  // as much as preparing a small body, where the second thread's looking costs the printing nothing.
  static constexpr std::chrono::microseconds kWorkerNap{100};

  enum class State { PENDING, WORKING, DONE, DROPPED };

  struct Slot {
    Fcn* fcn = nullptr;
    State state = State::PENDING;
    Cfg* cfg = nullptr;
    uint64_t version = 0;
    std::unique_ptr<Product> product;
  };

  void workThrough();
  bool awaitTurn(size_t aIndex);
  void finish(size_t aIndex, std::unique_ptr<Product> aProduct, Cfg* aCfg, uint64_t aVersion);
  std::unique_ptr<Product> takeProduct(Fcn* aFcn);
  size_t moveTo(Fcn* aFcn, std::vector<std::unique_ptr<Product>>& aPassed);

  Work fWork;
  std::vector<Slot> fSlots;
  // The slot after the last one taken or dropped.
  size_t fNext = 0;
  bool fStopping = false;
  std::mutex fMutex;
  std::condition_variable fChanged;
  std::thread fWorker;
};

// Work ahead on a list of bodies while it lives, lent to the emitter's field for it; with the option off, the field
// is null and the printing does all the work itself.
class LentWorkAhead {
public:
  LentWorkAhead(WorkAhead*& aField, bool aOn, const std::vector<Fcn*>& aFcns, WorkAhead::Work aWork)
      : fLending(aField, aOn ? &fAhead.emplace(aFcns, std::move(aWork)) : nullptr) {}

private:
  // Made before the lending, which points the field at it, and given up after.
  std::optional<WorkAhead> fAhead;
  Lending<WorkAhead> fLending;
};

// A body's structure tree with the pool its regions live in.
struct PooledPst : WorkAhead::Product {
  PooledPst(CG_Ctx* aCtx, Fcn* aFcn) : pool(aCtx), pst(aFcn, pool.pool(), 1) {}

  ManagedCGPool pool;
  Pst pst;
};

} // namespace CG
