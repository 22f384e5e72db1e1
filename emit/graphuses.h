// What the type collection needs of a function's graph, and a second thread that walks the graphs of functions a
// parse has finished while the parse finishes the next ones.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

class CG_Ctx;

namespace CG {

class Const;
class Fcn;
class Stmt;
class Type;
class TypeChecker;

// What the walk of a function's graph met, in order and repeats included: the types it offers for a typedef
// (those the type checker would not infer, and the constants' types) and the named constants, each noted once.
// Valid while the graph keeps the version it had.
struct GraphUses {
  uint64_t version = 0;
  std::vector<Type*> types;
  std::vector<Const*> consts;
};

// The walk of aFcn's graph: aStmts, its statements in IR order, each one's expressions in post order.
GraphUses walkGraphUses(Fcn* aFcn, const std::vector<Stmt*>& aStmts, TypeChecker* aChecker);

// Walks, on a second thread, the graphs of the functions offered to it, in the order offered, with the core
// domain's type checker. The thread starts at the first offer. A walk that would need a type not made yet
// gives nothing: the walk is done again where the type may be made.
class GraphUsesAhead {
public:
  explicit GraphUsesAhead(CG_Ctx* aCtx);
  ~GraphUsesAhead();
  GraphUsesAhead(const GraphUsesAhead&) = delete;
  GraphUsesAhead& operator=(const GraphUsesAhead&) = delete;

  // aFcn's graph is final: nothing changes it while the walks go on.
  void offer(Fcn* aFcn);
  // Ends the walks. The calling thread, which may make types, walks with aChecker the offers the second thread
  // has not started, from the last one back, while that thread goes on from the first; with no checker they are
  // dropped. What the walks gave, by function.
  std::unordered_map<Fcn*, GraphUses> finish(TypeChecker* aChecker = nullptr);
  // How many walks have ended so far, those that gave nothing included.
  size_t walksDone();

private:
  // With nothing offered, the thread looks again this often; a wake-up per offer would cost the offering
  // thread a system call per function.
  static constexpr std::chrono::microseconds kWorkerNap{100};

  void walkOffers();
  bool awaitOffer(Fcn** aFcn);
  bool claimLastOffer(Fcn** aFcn);
  void keep(Fcn* aFcn, GraphUses aUses);
  void stop();

  CG_Ctx* fCtx;
  // The second thread walks the offers from fNextOffer on; those from fClaimedFrom on are the finishing thread's.
  std::vector<Fcn*> fOffers;
  size_t fNextOffer = 0;
  size_t fClaimedFrom = 0;
  size_t fWalksDone = 0;
  bool fFinishing = false;
  bool fStopping = false;
  std::unordered_map<Fcn*, GraphUses> fWalked;
  std::mutex fMutex;
  std::condition_variable fChanged;
  std::thread fWorker;
};

} // namespace CG
