// Program structure tree: the nesting of single-entry single-exit regions of a function body, each classified.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ir/cfg.h"
#include "ir/mempool.h"
#include "ir/node.h"
#include "ir/region.h"

namespace CG {

class Fcn;

// "basicBlock", "chain", ... for messages and dumps.
const char* regionKindName(RegionKind aKind);

// The region's kind checked before the downcast; a mismatch throws an InternalException naming both kinds.
Region* checkedRegionCast(Region* aRegion, RegionKind aFirst, RegionKind aLast, const char* aClassName);

#define CG_DECLARE_REGION_CASTS(aClass, aFirst, aLast)                                                                 \
  static bool isa(const Region* aRegion) {                                                                             \
    return aRegion != nullptr && aRegion->regionKind() >= (aFirst) && aRegion->regionKind() <= (aLast);                \
  }                                                                                                                    \
  static aClass* cast(Region* aRegion) {                                                                               \
    return static_cast<aClass*>(checkedRegionCast(aRegion, (aFirst), (aLast), #aClass));                               \
  }                                                                                                                    \
  static const aClass* cast(const Region* aRegion) {                                                                   \
    return cast(const_cast<Region*>(aRegion));                                                                         \
  }

// The statements or regions a region holds: fixed when the region is made, kept in the tree's pool beside it.
template <class T> class PstList {
public:
  PstList() = default;
  PstList(MemPool* aPool, const std::vector<T>& aItems) : fSize(aItems.size()) {
    if (fSize > 0) {
      fItems = static_cast<T*>(aPool->alloc(sizeof(T) * fSize, alignof(T)));
      std::copy(aItems.begin(), aItems.end(), fItems);
    }
  }

  const T* begin() const { return fItems; }
  const T* end() const { return fItems + fSize; }
  size_t size() const { return fSize; }
  bool empty() const { return fSize == 0; }
  const T& operator[](size_t aIndex) const { return fItems[aIndex]; }
  const T& front() const { return fItems[0]; }
  const T& back() const { return fItems[fSize - 1]; }
  std::vector<T> toVector() const { return std::vector<T>(begin(), end()); }

private:
  T* fItems = nullptr;
  size_t fSize = 0;
};

// A maximal straight run of single-entry single-exit statements, in order.
class BasicBlockRegion : public Region {
public:
  using PoolReclaimsStorage = void;
  explicit BasicBlockRegion(PstList<Stmt*> aStmts);
  CG_DECLARE_REGION_CASTS(BasicBlockRegion, RegionKind::BASIC_BLOCK, RegionKind::BASIC_BLOCK)
  RegionKind regionKind() const override { return RegionKind::BASIC_BLOCK; }

  const PstList<Stmt*>& stmts() const { return fStmts; }

private:
  PstList<Stmt*> fStmts;
};

// Two or more regions executed one after another: each one's exit leads to the next one's entry.
class ChainRegion : public Region {
public:
  using PoolReclaimsStorage = void;
  explicit ChainRegion(PstList<Region*> aChildren);
  CG_DECLARE_REGION_CASTS(ChainRegion, RegionKind::CHAIN, RegionKind::CHAIN)
  RegionKind regionKind() const override { return RegionKind::CHAIN; }

  const PstList<Region*>& children() const { return fChildren; }

private:
  PstList<Region*> fChildren;
};

// if -> (true branch | false branch) -> join. A branch is null when its out-port leads straight to the join.
class IfRegion : public Region {
public:
  using PoolReclaimsStorage = void;
  IfRegion(IfStmt* aIf, MergeStmt* aJoin, Region* aTrueBranch, Region* aFalseBranch);
  CG_DECLARE_REGION_CASTS(IfRegion, RegionKind::IF, RegionKind::IF)
  RegionKind regionKind() const override { return RegionKind::IF; }

  IfStmt* ifStmt() const { return fIf; }
  MergeStmt* joinStmt() const { return fJoin; }
  Region* trueBranch() const { return fTrueBranch; }
  Region* falseBranch() const { return fFalseBranch; }

private:
  IfStmt* fIf;
  MergeStmt* fJoin;
  Region* fTrueBranch;
  Region* fFalseBranch;
};

// switch -> (case branches, default branch) -> join; a null branch leads straight to the join.
class SwitchRegion : public Region {
public:
  using PoolReclaimsStorage = void;
  // aBranches: one per out-port of the switch (the cases, then the default).
  SwitchRegion(SwitchStmt* aSwitch, MergeStmt* aJoin, PstList<Region*> aBranches);
  CG_DECLARE_REGION_CASTS(SwitchRegion, RegionKind::SWITCH, RegionKind::SWITCH)
  RegionKind regionKind() const override { return RegionKind::SWITCH; }

  SwitchStmt* switchStmt() const { return fSwitch; }
  MergeStmt* joinStmt() const { return fJoin; }
  int numCases() const { return static_cast<int>(fBranches.size()) - 1; }
  Region* caseBranch(int aCase) const;
  Region* defaultBranch() const { return fBranches.back(); }

private:
  SwitchStmt* fSwitch;
  MergeStmt* fJoin;
  PstList<Region*> fBranches;
};

// head (in-port 0 entry, 1 back edge) -> test; true: body -> head; false: leaves the loop.
class WhileRegion : public Region {
public:
  using PoolReclaimsStorage = void;
  WhileRegion(MergeStmt* aHead, IfStmt* aTest, Region* aBody);
  CG_DECLARE_REGION_CASTS(WhileRegion, RegionKind::WHILE, RegionKind::WHILE)
  RegionKind regionKind() const override { return RegionKind::WHILE; }

  MergeStmt* headStmt() const { return fHead; }
  IfStmt* testStmt() const { return fTest; }
  Region* body() const { return fBody; }

private:
  MergeStmt* fHead;
  IfStmt* fTest;
  Region* fBody;
};

// head -> body -> test; true: back to head in-port 1; false: leaves the loop.
class DoWhileRegion : public Region {
public:
  using PoolReclaimsStorage = void;
  DoWhileRegion(MergeStmt* aHead, Region* aBody, IfStmt* aTest);
  CG_DECLARE_REGION_CASTS(DoWhileRegion, RegionKind::DO_WHILE, RegionKind::DO_WHILE)
  RegionKind regionKind() const override { return RegionKind::DO_WHILE; }

  MergeStmt* headStmt() const { return fHead; }
  Region* body() const { return fBody; }
  IfStmt* testStmt() const { return fTest; }

private:
  MergeStmt* fHead;
  Region* fBody;
  IfStmt* fTest;
};

// for-entry -> for-exit; out-port 0: body -> entry in-port 1; out-port 1: leaves the loop.
class AbstractForLoopRegion : public Region {
public:
  using PoolReclaimsStorage = void;
  AbstractForLoopRegion(AbstractForEntryStmt* aEntry, AbstractForExitStmt* aExit, Region* aBody);
  CG_DECLARE_REGION_CASTS(AbstractForLoopRegion, RegionKind::FOR_LOOP, RegionKind::PARALLEL_FOR_LOOP)
  RegionKind regionKind() const override = 0;

  AbstractForEntryStmt* entryStmt() const { return fEntry; }
  AbstractForExitStmt* exitStmt() const { return fExit; }
  Region* body() const { return fBody; }

private:
  AbstractForEntryStmt* fEntry;
  AbstractForExitStmt* fExit;
  Region* fBody;
};

class ForLoopRegion : public AbstractForLoopRegion {
public:
  using AbstractForLoopRegion::AbstractForLoopRegion;
  CG_DECLARE_REGION_CASTS(ForLoopRegion, RegionKind::FOR_LOOP, RegionKind::FOR_LOOP)
  RegionKind regionKind() const override { return RegionKind::FOR_LOOP; }
};

class ParallelForLoopRegion : public AbstractForLoopRegion {
public:
  using AbstractForLoopRegion::AbstractForLoopRegion;
  CG_DECLARE_REGION_CASTS(ParallelForLoopRegion, RegionKind::PARALLEL_FOR_LOOP, RegionKind::PARALLEL_FOR_LOOP)
  RegionKind regionKind() const override { return RegionKind::PARALLEL_FOR_LOOP; }
};

// Any other single-entry single-exit region. Its own statements (those in none of its children) are merges
// and splits; every maximal single-entry single-exit area inside it is a child region.
class UnstructuredRegion : public Region {
public:
  UnstructuredRegion(InPort aEntry, OutPort aExit, PstList<Stmt*> aOwnStmts, PstList<Region*> aChildren);
  CG_DECLARE_REGION_CASTS(UnstructuredRegion, RegionKind::UNSTRUCTURED, RegionKind::UNSTRUCTURED)
  RegionKind regionKind() const override { return RegionKind::UNSTRUCTURED; }

  Stmt* entryStmt() const { return entry().stmt(); }
  // Null only when control never leaves the region (no exit out-port).
  Stmt* exitStmt() const { return exit().stmt(); }
  // Where the exit leads; invalid when the exit out-port is unconnected.
  InPort successorInPort() const;
  // Every statement inside, children's included, in IR statement order (gathered on first use).
  const std::vector<Stmt*>& stmts() const;
  // The statements inside that are in none of the children, in IR statement order.
  const PstList<Stmt*>& ownStmts() const { return fOwnStmts; }
  // The regions directly inside, in IR order of their entries.
  const PstList<Region*>& children() const { return fChildren; }

private:
  PstList<Stmt*> fOwnStmts;
  PstList<Region*> fChildren;
  mutable std::vector<Stmt*> fAllStmts;
  mutable bool fAllStmtsGathered = false;
};

// The regions directly inside aRegion, in the order control meets them (branches in out-port order).
std::vector<Region*> childRegions(const Region* aRegion);
// The statements that belong to aRegion itself and to none of its children.
std::vector<Stmt*> ownStmts(const Region* aRegion);

// Undirected multigraph edge between two node numbers, for cycleEquivalenceClasses.
struct UndirectedEdge {
  int first;
  int second;
};

// Cycle-equivalence classes of the edges of an undirected multigraph with nodes 0..aNumNodes-1: two edges get
// the same class exactly when every cycle through one goes through the other. Meant for connected graphs
// without bridges (the depth-first search starts at aRoot, further searches cover what it leaves); a bridge
// and a self-loop each get a class of their own. Classes are numbered from 0, one per edge in the result.
// Linear time, no recursion.
std::vector<int> cycleEquivalenceClasses(int aNumNodes, const std::vector<UndirectedEdge>& aEdges, int aRoot);

// The program structure tree of a function body: canonical single-entry single-exit regions (found through
// cycle equivalence of edges) nested and classified by their statements. Statements not reachable from the
// start statement belong to no region; start and end are never inside one. The regions live in the pool.
class Pst {
public:
  // aMode 1: full classification (the only mode).
  Pst(Fcn* aFcn, MemPool* aPool, int aMode);
  Pst(const Pst&) = delete;
  Pst& operator=(const Pst&) = delete;

  Cfg* cfg() const { return fCfg; }
  // The body between the start statement's out-port and the end statement's in-port; null when the start
  // leads straight to the end.
  Region* root() const { return fRoot; }
  // Some region of the tree is entered through aPort.
  bool isRegionEntry(InPort aPort) const { return outerEntryTo(aPort) != nullptr; }
  // The outermost region entered through aPort; null when none is.
  Region* outerEntryTo(InPort aPort) const;
  // The innermost region holding aStmt; null for unreachable statements, start and end.
  Region* enclosingRegion(Stmt* aStmt) const;
  // Position of a reachable statement in IR statement order; -1 for any other.
  int irOrderIndex(const Stmt* aStmt) const;
  // Asks the processor to start loading every reachable statement: a walk about to visit them all then finds
  // them arriving instead of waiting for each in turn.
  void prefetchStmts() const {
    for (Stmt* stmt : fStmts)
      __builtin_prefetch(stmt);
  }

private:
  friend class PstBuilder;

  int denseIndex(const Node* aNode) const;

  Cfg* fCfg = nullptr;
  Region* fRoot = nullptr;
  // By node number: the statement's position in IR order among reachable statements, or -1.
  std::vector<int> fDenseIndexOfNumber;
  // By dense index: the statement, the first slot of its in-ports in fEntryRegions, its innermost region.
  std::vector<Stmt*> fStmts;
  std::vector<int> fInPortBase;
  std::vector<Region*> fEnclosing;
  std::vector<Region*> fEntryRegions;
};

} // namespace CG
