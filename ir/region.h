// Regions: single-entry single-exit fragments of a graph, and the factory that builds structured ones.
#pragma once

#include <vector>

#include "ir/mempool.h"
#include "ir/node.h"

namespace CG {

class NodeFactory;

// What a region is: a plain fragment made by the factory, or one of the program structure tree's kinds.
enum class RegionKind {
  FRAGMENT,
  BASIC_BLOCK,
  CHAIN,
  IF,
  SWITCH,
  WHILE,
  DO_WHILE,
  FOR_LOOP,
  PARALLEL_FOR_LOOP,
  UNSTRUCTURED
};

// A fragment entered through one in-port and left through one out-port. The empty region has
// neither; joining it to something joins that thing's neighbours directly.
class Region {
public:
  Region() = default;
  Region(InPort aEntry, OutPort aExit) : fEntry(aEntry), fExit(aExit) {}
  virtual ~Region() = default;
  Region(const Region&) = default;
  Region& operator=(const Region&) = default;

  virtual RegionKind regionKind() const { return RegionKind::FRAGMENT; }
  InPort entry() const { return fEntry; }
  OutPort exit() const { return fExit; }
  bool isEmpty() const { return fEntry.node == nullptr; }
  // Appends aNext to this region (this exit joined to its entry); this region then covers both.
  Region* concatRegion(Region* aNext);
  // The region this one is nested in; null for a fragment and for the root of a structure tree.
  Region* parent() const { return fParent; }
  void setParent(Region* aParent) { fParent = aParent; }

private:
  InPort fEntry;
  OutPort fExit;
  Region* fParent = nullptr;
};

} // namespace CG

// A plain region holds ports and a parent only: the pool frees it without running its destructor.
// (Exactly this class: the structure tree's regions own lists and keep their finalizers.)
template <> struct PoolNeedsFinalizer<CG::Region> : std::false_type {};

namespace CG {

// Builds structured regions from unconnected statements; every region is used once. Shapes:
//  if:       if -> (true: then | false: else) -> merge(2), in-port 0 from then, 1 from else;
//  switch:   switch -> cases, default -> merge(cases + 1), in-port i from case i, last from default;
//  while:    merge(2) -> if; true: body -> merge in-port 1; false: exit;
//  do-while: merge(2) -> body -> if; true: merge in-port 1; false: exit;
//  for:      forEntry -> forExit; out-port 0: body -> forEntry in-port 1; out-port 1: exit.
// An empty branch or body joins the split's out-port straight to the join.
class RegionFactory {
public:
  // Regions are made in aRegionPool when given (a builder's scratch pool: they are only needed while
  // the graph is being put together), else in the node factory's pool.
  explicit RegionFactory(NodeFactory* aNodeFactory, MemPool* aRegionPool = nullptr);

  NodeFactory* nodeFactory() const { return fNodes; }

  Region* stmtRegion(SeseStmt* aStmt);
  Region* emptyRegion();
  Region* concatRegion(Region* aFirst, Region* aSecond);
  Region* sequenceRegion(const std::vector<Region*>& aParts);
  Region* ifRegion(Expr* aCondition, Region* aThen, Region* aElse);
  Region* switchRegion(Expr* aValue, const std::vector<std::pair<Expr*, Region*>>& aCases, Region* aDefault);
  Region* whileRegion(Expr* aCondition, Region* aBody);
  Region* doWhileRegion(Region* aBody, Expr* aCondition);
  Region* forRegion(Expr* aIndex, Expr* aStart, Expr* aStep, Expr* aEnd, Region* aBody, bool aParallel);
  // Makes aBody the whole body of the graph: start -> body -> end.
  void setBody(Region* aBody);

private:
  Region* makeRegion(InPort aEntry, OutPort aExit);
  // Joins aFrom through aRegion (when not empty) to aTo.
  void route(OutPort aFrom, Region* aRegion, InPort aTo);

  NodeFactory* fNodes;
  MemPool* fRegionPool;
};

// Collects the cases of a switch, then builds its region.
class SwitchRegionBuilder {
public:
  explicit SwitchRegionBuilder(RegionFactory* aFactory) : fFactory(aFactory) {}

  void setCondition(Expr* aValue) { fValue = aValue; }
  // Room for aCount cases, made at once when the count is known ahead.
  void reserveCases(size_t aCount) { fCases.reserve(aCount); }
  void addCase(Expr* aCaseValue, Region* aBody) { fCases.emplace_back(aCaseValue, aBody); }
  void setDefault(Region* aBody) { fDefault = aBody; }
  Region* build();

private:
  RegionFactory* fFactory;
  Expr* fValue = nullptr;
  std::vector<std::pair<Expr*, Region*>> fCases;
  Region* fDefault = nullptr;
};

} // namespace CG
