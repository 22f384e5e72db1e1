// Structure trees built on a second thread, a few functions ahead of the printing: while one body prints, the
// trees of the next ones are built and their statements brought into the shared cache.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ir/mempool.h"
#include "ir/pst.h"

namespace CG {

class Fcn;

// A function's structure tree with the pool its regions live in.
struct PooledPst {
  PooledPst(CG_Ctx* aCtx, Fcn* aFcn) : pool(aCtx), pst(aFcn, pool.pool(), 1) {}

  ManagedCGPool pool;
  Pst pst;
};

// The graphs must not change while the trees are built: the printing only reads them. A tree whose graph
// changed between its building and its taking is not handed out.
class PstAhead {
public:
  // Starts building the trees of aFcns' graphs in order. With fewer than two graphs there is nothing to
  // overlap, and no thread is started.
  PstAhead(CG_Ctx* aCtx, const std::vector<Fcn*>& aFcns);
  ~PstAhead();
  PstAhead(const PstAhead&) = delete;
  PstAhead& operator=(const PstAhead&) = delete;

  // aFcn's tree, or null when there is none to take: aFcn is not further down the list, its graph changed
  // since, or the build failed (the caller then builds it again, and that build reports the failure). The
  // trees of the functions before aFcn are dropped.
  std::unique_ptr<PooledPst> take(Fcn* aFcn);

private:
  // How many trees may wait, built, ahead of the one being printed.
  static constexpr size_t kAhead = 4;

  struct Slot {
    Fcn* fcn = nullptr;
    uint64_t version = 0;
    std::unique_ptr<PooledPst> tree;
    bool done = false;
    bool dropped = false;
  };

  void buildAll();
  bool awaitTurn(size_t aIndex);
  void finish(size_t aIndex, std::unique_ptr<PooledPst> aTree, uint64_t aVersion);

  CG_Ctx* fCtx;
  std::vector<Slot> fSlots;
  // The slot after the last one taken or dropped.
  size_t fNext = 0;
  bool fStopping = false;
  std::mutex fMutex;
  std::condition_variable fChanged;
  std::thread fWorker;
};

} // namespace CG
