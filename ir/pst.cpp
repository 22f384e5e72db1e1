// Program structure tree: canonical single-entry single-exit regions found through cycle equivalence of
// edges, nested by a depth-first walk in dominance order, then classified by their statements.
#include "ir/pst.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <utility>

#include "ir/logger.h"
#include "ir/mempool.h"
#include "ir/symbol.h"

namespace CG {

namespace {

constexpr int kNone = -1;
constexpr int kUnreached = std::numeric_limits<int>::max();

[[noreturn]] void throwPstError(const char* aId, const char* aMessage, const Node* aNode = nullptr) {
  if (aNode == nullptr) {
    TheLogger::instance().throwInternalException(aId, "program structure tree: %s", aMessage);
  }
  TheLogger::instance().throwInternalException(aId, "program structure tree: %s (statement '%s', number %d)", aMessage,
                                               aNode->opName(), aNode->number());
}

// Offsets of a compressed adjacency: for every key the range of aValues that belongs to it, stable in aValues
// order.
void bucketByKey(int aNumKeys, const std::vector<int>& aKeys, std::vector<int>& aStart, std::vector<int>& aItems) {
  aStart.assign(static_cast<size_t>(aNumKeys) + 1, 0);
  for (int key : aKeys) {
    ++aStart[static_cast<size_t>(key) + 1];
  }
  for (int key = 0; key < aNumKeys; ++key) {
    aStart[key + 1] += aStart[key];
  }
  std::vector<int> cursor(aStart.begin(), aStart.end() - 1);
  aItems.assign(aKeys.size(), 0);
  for (size_t item = 0; item < aKeys.size(); ++item) {
    aItems[cursor[aKeys[item]]++] = static_cast<int>(item);
  }
}

} // namespace

//===-- Region kinds ------------------------------------------------------------------------------------===//

const char* regionKindName(RegionKind aKind) {
  switch (aKind) {
  case RegionKind::FRAGMENT:
    return "fragment";
  case RegionKind::BASIC_BLOCK:
    return "basicBlock";
  case RegionKind::CHAIN:
    return "chain";
  case RegionKind::IF:
    return "if";
  case RegionKind::SWITCH:
    return "switch";
  case RegionKind::WHILE:
    return "while";
  case RegionKind::DO_WHILE:
    return "doWhile";
  case RegionKind::FOR_LOOP:
    return "for";
  case RegionKind::PARALLEL_FOR_LOOP:
    return "parfor";
  case RegionKind::UNSTRUCTURED:
    return "unstructured";
  }
  return "unknown";
}

Region* checkedRegionCast(Region* aRegion, RegionKind aFirst, RegionKind aLast, const char* aClassName) {
  if (aRegion == nullptr || (aRegion->regionKind() >= aFirst && aRegion->regionKind() <= aLast)) {
    return aRegion;
  }
  TheLogger::instance().throwInternalException("CG/Region/cast", "a %s region is not a %s",
                                               regionKindName(aRegion->regionKind()), aClassName);
}

namespace {

InPort firstEntry(const PstList<Stmt*>& aStmts) {
  if (aStmts.empty()) {
    throwPstError("CG/Pst/basicBlock", "a basic block needs at least one statement");
  }
  return aStmts.front()->inPort(0);
}

InPort firstEntry(const PstList<Region*>& aChildren) {
  if (aChildren.empty()) {
    throwPstError("CG/Pst/chain", "a chain needs at least one region");
  }
  return aChildren.front()->entry();
}

} // namespace

BasicBlockRegion::BasicBlockRegion(PstList<Stmt*> aStmts)
    : Region(firstEntry(aStmts), aStmts.back()->outPort(0)), fStmts(aStmts) {}

ChainRegion::ChainRegion(PstList<Region*> aChildren)
    : Region(firstEntry(aChildren), aChildren.back()->exit()), fChildren(aChildren) {}

IfRegion::IfRegion(IfStmt* aIf, MergeStmt* aJoin, Region* aTrueBranch, Region* aFalseBranch)
    : Region(aIf->inPort(), aJoin->outPort()), fIf(aIf), fJoin(aJoin), fTrueBranch(aTrueBranch),
      fFalseBranch(aFalseBranch) {}

SwitchRegion::SwitchRegion(SwitchStmt* aSwitch, MergeStmt* aJoin, PstList<Region*> aBranches)
    : Region(aSwitch->inPort(), aJoin->outPort()), fSwitch(aSwitch), fJoin(aJoin), fBranches(aBranches) {
  if (static_cast<int>(fBranches.size()) != aSwitch->numOutPorts()) {
    throwPstError("CG/Pst/switch", "a switch region needs one branch per out-port", aSwitch);
  }
}

Region* SwitchRegion::caseBranch(int aCase) const {
  if (aCase < 0 || aCase >= numCases()) {
    TheLogger::instance().throwInternalException("CG/Pst/switch", "switch region has no case %d (it has %d)", aCase,
                                                 numCases());
  }
  return fBranches[aCase];
}

WhileRegion::WhileRegion(MergeStmt* aHead, IfStmt* aTest, Region* aBody)
    : Region(aHead->inPort(0), aTest->falseOutPort()), fHead(aHead), fTest(aTest), fBody(aBody) {}

DoWhileRegion::DoWhileRegion(MergeStmt* aHead, Region* aBody, IfStmt* aTest)
    : Region(aHead->inPort(0), aTest->falseOutPort()), fHead(aHead), fBody(aBody), fTest(aTest) {}

AbstractForLoopRegion::AbstractForLoopRegion(AbstractForEntryStmt* aEntry, AbstractForExitStmt* aExit, Region* aBody)
    : Region(aEntry->inPort(AbstractForEntryStmt::kEntryPort), aExit->exitOutPort()), fEntry(aEntry), fExit(aExit),
      fBody(aBody) {}

UnstructuredRegion::UnstructuredRegion(InPort aEntry, OutPort aExit, PstList<Stmt*> aOwnStmts,
                                       PstList<Region*> aChildren)
    : Region(aEntry, aExit), fOwnStmts(aOwnStmts), fChildren(aChildren) {}

InPort UnstructuredRegion::successorInPort() const {
  Edge* edge = exit().edge();
  return edge != nullptr ? edge->inPort() : InPort();
}

namespace {

// Depth-first pre-order from aStart, successors in out-port order. aEnter is given each statement reached (null
// for an unconnected port) and returns the one the walk goes on from, or null where it stops.
template <class Enter> void walkPreOrder(Stmt* aStart, Enter aEnter) {
  std::vector<std::pair<Stmt*, int>> stack;
  if (Stmt* first = aEnter(aStart)) {
    stack.emplace_back(first, 0);
  }
  while (!stack.empty()) {
    auto& [stmt, port] = stack.back();
    if (port == stmt->numOutPorts()) {
      stack.pop_back();
      continue;
    }
    if (Stmt* next = aEnter(stmt->succ(port++))) {
      stack.emplace_back(next, 0);
    }
  }
}

} // namespace

// IR order is a depth-first pre-order from the start; inside a single-entry single-exit region that is the
// same walk started at the entry and kept inside.
const std::vector<Stmt*>& UnstructuredRegion::stmts() const {
  if (fAllStmtsGathered) {
    return fAllStmts;
  }
  std::unordered_set<Stmt*> inside;
  std::vector<const Region*> work{this};
  while (!work.empty()) {
    const Region* region = work.back();
    work.pop_back();
    std::vector<Stmt*> own = CG::ownStmts(region);
    inside.insert(own.begin(), own.end());
    std::vector<Region*> children = childRegions(region);
    work.insert(work.end(), children.begin(), children.end());
  }
  walkPreOrder(entryStmt(), [&](Stmt* aStmt) -> Stmt* {
    if (aStmt == nullptr || inside.erase(aStmt) == 0) {
      return nullptr;
    }
    fAllStmts.push_back(aStmt);
    return aStmt;
  });
  fAllStmtsGathered = true;
  return fAllStmts;
}

std::vector<Region*> childRegions(const Region* aRegion) {
  std::vector<Region*> children;
  auto add = [&children](Region* aChild) {
    if (aChild != nullptr) {
      children.push_back(aChild);
    }
  };
  switch (aRegion == nullptr ? RegionKind::FRAGMENT : aRegion->regionKind()) {
  case RegionKind::FRAGMENT:
  case RegionKind::BASIC_BLOCK:
    break;
  case RegionKind::CHAIN:
    children = ChainRegion::cast(aRegion)->children().toVector();
    break;
  case RegionKind::IF:
    add(IfRegion::cast(aRegion)->trueBranch());
    add(IfRegion::cast(aRegion)->falseBranch());
    break;
  case RegionKind::SWITCH: {
    const SwitchRegion* region = SwitchRegion::cast(aRegion);
    for (int i = 0; i < region->numCases(); ++i) {
      add(region->caseBranch(i));
    }
    add(region->defaultBranch());
    break;
  }
  case RegionKind::WHILE:
    add(WhileRegion::cast(aRegion)->body());
    break;
  case RegionKind::DO_WHILE:
    add(DoWhileRegion::cast(aRegion)->body());
    break;
  case RegionKind::FOR_LOOP:
  case RegionKind::PARALLEL_FOR_LOOP:
    add(AbstractForLoopRegion::cast(aRegion)->body());
    break;
  case RegionKind::UNSTRUCTURED:
    children = UnstructuredRegion::cast(aRegion)->children().toVector();
    break;
  }
  return children;
}

std::vector<Stmt*> ownStmts(const Region* aRegion) {
  switch (aRegion == nullptr ? RegionKind::FRAGMENT : aRegion->regionKind()) {
  case RegionKind::FRAGMENT:
  case RegionKind::CHAIN:
    return {};
  case RegionKind::BASIC_BLOCK:
    return BasicBlockRegion::cast(aRegion)->stmts().toVector();
  case RegionKind::IF:
    return {IfRegion::cast(aRegion)->ifStmt(), IfRegion::cast(aRegion)->joinStmt()};
  case RegionKind::SWITCH:
    return {SwitchRegion::cast(aRegion)->switchStmt(), SwitchRegion::cast(aRegion)->joinStmt()};
  case RegionKind::WHILE:
    return {WhileRegion::cast(aRegion)->headStmt(), WhileRegion::cast(aRegion)->testStmt()};
  case RegionKind::DO_WHILE:
    return {DoWhileRegion::cast(aRegion)->headStmt(), DoWhileRegion::cast(aRegion)->testStmt()};
  case RegionKind::FOR_LOOP:
  case RegionKind::PARALLEL_FOR_LOOP:
    return {AbstractForLoopRegion::cast(aRegion)->entryStmt(), AbstractForLoopRegion::cast(aRegion)->exitStmt()};
  case RegionKind::UNSTRUCTURED:
    return UnstructuredRegion::cast(aRegion)->ownStmts().toVector();
  }
  return {};
}

//===-- Cycle equivalence -------------------------------------------------------------------------------===//

namespace {

// The bracket-list depth-first search: tree edges get the class of the topmost bracket spanning them (a new
// one whenever the bracket set's size changes under the same top), backedges the class of a tree edge they
// alone span, or a class of their own. Capping backedges keep the top of a list meaningful where the
// brackets of two subtrees meet.
class CycleEquivalence {
public:
  CycleEquivalence(int aNumNodes, const std::vector<UndirectedEdge>& aEdges);
  std::vector<int> run(int aRoot);

private:
  enum class EdgeKind : uint8_t { UNSEEN, TREE, BACK, SELF };

  struct BracketList {
    int top = kNone;
    int bottom = kNone;
    int size = 0;
  };

  void buildAdjacency();
  void search(int aRoot);
  int other(int aEdge, int aNode) const;
  void assignClasses(int aNode);
  BracketList joinChildren(int aNode, int& aHi0, int& aHi2);
  int newBracket();
  void push(BracketList& aList, int aBracket);
  void erase(BracketList& aList, int aBracket);
  BracketList concat(const BracketList& aUpper, const BracketList& aLower);
  void classifyParentEdge(int aNode, const BracketList& aList);

  int fNumNodes;
  const std::vector<UndirectedEdge>& fEdges;
  int fNumClasses = 0;
  std::vector<int> fClass;
  std::vector<int> fAdjStart;
  std::vector<int> fAdj;
  std::vector<EdgeKind> fKind;
  // For a backedge: the descendant and ancestor ends.
  std::vector<int> fLow;
  std::vector<int> fHigh;
  std::vector<int> fDfsNum;
  std::vector<int> fNodeAt;
  std::vector<int> fParentEdge;
  std::vector<int> fHi;
  std::vector<BracketList> fLists;
  // Per bracket (real backedges share the edge number, capping ones come after).
  std::vector<int> fNext;
  std::vector<int> fPrev;
  std::vector<int> fRecentSize;
  std::vector<int> fRecentClass;
  std::vector<int> fCappingNext;
  // Per node: the capping backedges ending there.
  std::vector<int> fCappingHead;
};

CycleEquivalence::CycleEquivalence(int aNumNodes, const std::vector<UndirectedEdge>& aEdges)
    : fNumNodes(aNumNodes), fEdges(aEdges) {
  size_t numEdges = aEdges.size();
  fClass.assign(numEdges, kNone);
  fKind.assign(numEdges, EdgeKind::UNSEEN);
  fLow.assign(numEdges, kNone);
  fHigh.assign(numEdges, kNone);
  fNext.assign(numEdges, kNone);
  fPrev.assign(numEdges, kNone);
  fRecentSize.assign(numEdges, kNone);
  fRecentClass.assign(numEdges, kNone);
  fCappingNext.assign(numEdges, kNone);
  size_t numNodes = static_cast<size_t>(aNumNodes);
  fDfsNum.assign(numNodes, kNone);
  fParentEdge.assign(numNodes, kNone);
  fHi.assign(numNodes, kUnreached);
  fLists.assign(numNodes, BracketList());
  fCappingHead.assign(numNodes, kNone);
  fNodeAt.reserve(numNodes);
}

void CycleEquivalence::buildAdjacency() {
  std::vector<int> keys;
  std::vector<int> edgeOfItem;
  keys.reserve(2 * fEdges.size());
  edgeOfItem.reserve(2 * fEdges.size());
  for (size_t edge = 0; edge < fEdges.size(); ++edge) {
    const UndirectedEdge& ends = fEdges[edge];
    if (ends.first < 0 || ends.first >= fNumNodes || ends.second < 0 || ends.second >= fNumNodes) {
      TheLogger::instance().throwInternalException("CG/Pst/cycleEquivalence",
                                                   "edge %zu joins %d and %d, outside nodes 0..%d", edge, ends.first,
                                                   ends.second, fNumNodes - 1);
    }
    if (ends.first == ends.second) {
      fKind[edge] = EdgeKind::SELF;
      fClass[edge] = fNumClasses++;
      continue;
    }
    keys.push_back(ends.first);
    edgeOfItem.push_back(static_cast<int>(edge));
    keys.push_back(ends.second);
    edgeOfItem.push_back(static_cast<int>(edge));
  }
  std::vector<int> items;
  bucketByKey(fNumNodes, keys, fAdjStart, items);
  fAdj.resize(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    fAdj[i] = edgeOfItem[items[i]];
  }
}

int CycleEquivalence::other(int aEdge, int aNode) const {
  const UndirectedEdge& ends = fEdges[aEdge];
  return ends.first == aNode ? ends.second : ends.first;
}

// Undirected depth-first search: every non-tree edge joins a node to one of its ancestors.
void CycleEquivalence::search(int aRoot) {
  std::vector<std::pair<int, int>> stack;
  auto discover = [&](int aNode) {
    fDfsNum[aNode] = static_cast<int>(fNodeAt.size());
    fNodeAt.push_back(aNode);
    stack.emplace_back(aNode, fAdjStart[aNode]);
  };
  discover(aRoot);
  while (!stack.empty()) {
    auto& [node, cursor] = stack.back();
    if (cursor == fAdjStart[node + 1]) {
      stack.pop_back();
      continue;
    }
    int edge = fAdj[cursor++];
    if (fKind[edge] != EdgeKind::UNSEEN) {
      continue;
    }
    int next = other(edge, node);
    if (fDfsNum[next] == kNone) {
      fKind[edge] = EdgeKind::TREE;
      fParentEdge[next] = edge;
      discover(next);
      continue;
    }
    fKind[edge] = EdgeKind::BACK;
    fLow[edge] = node;
    fHigh[edge] = next;
  }
}

int CycleEquivalence::newBracket() {
  fNext.push_back(kNone);
  fPrev.push_back(kNone);
  fRecentSize.push_back(kNone);
  fRecentClass.push_back(kNone);
  fCappingNext.push_back(kNone);
  return static_cast<int>(fNext.size()) - 1;
}

void CycleEquivalence::push(BracketList& aList, int aBracket) {
  fPrev[aBracket] = kNone;
  fNext[aBracket] = aList.top;
  if (aList.top != kNone) {
    fPrev[aList.top] = aBracket;
  } else {
    aList.bottom = aBracket;
  }
  aList.top = aBracket;
  ++aList.size;
}

void CycleEquivalence::erase(BracketList& aList, int aBracket) {
  int before = fPrev[aBracket];
  int after = fNext[aBracket];
  if (before != kNone) {
    fNext[before] = after;
  } else {
    aList.top = after;
  }
  if (after != kNone) {
    fPrev[after] = before;
  } else {
    aList.bottom = before;
  }
  fPrev[aBracket] = kNone;
  fNext[aBracket] = kNone;
  --aList.size;
}

CycleEquivalence::BracketList CycleEquivalence::concat(const BracketList& aUpper, const BracketList& aLower) {
  if (aUpper.size == 0) {
    return aLower;
  }
  if (aLower.size == 0) {
    return aUpper;
  }
  fNext[aUpper.bottom] = aLower.top;
  fPrev[aLower.top] = aUpper.bottom;
  return BracketList{aUpper.top, aLower.bottom, aUpper.size + aLower.size};
}

// One pass over aNode's edges: hi0, the highest ancestor a backedge from aNode reaches; hi1 and hi2, the two
// highest that its children reach (hi2 from any child but the one reaching hi1); and the children's bracket
// lists joined.
CycleEquivalence::BracketList CycleEquivalence::joinChildren(int aNode, int& aHi0, int& aHi2) {
  aHi0 = kUnreached;
  int hi1 = kUnreached;
  aHi2 = kUnreached;
  BracketList list;
  for (int i = fAdjStart[aNode]; i < fAdjStart[aNode + 1]; ++i) {
    int edge = fAdj[i];
    if (fKind[edge] == EdgeKind::BACK && fLow[edge] == aNode) {
      aHi0 = std::min(aHi0, fDfsNum[fHigh[edge]]);
      continue;
    }
    int child = other(edge, aNode);
    if (fKind[edge] != EdgeKind::TREE || fParentEdge[child] != edge) {
      continue;
    }
    if (fHi[child] < hi1) {
      aHi2 = hi1;
      hi1 = fHi[child];
    } else {
      aHi2 = std::min(aHi2, fHi[child]);
    }
    list = concat(fLists[child], list);
  }
  fHi[aNode] = std::min(aHi0, hi1);
  return list;
}

void CycleEquivalence::assignClasses(int aNode) {
  int hi0 = kUnreached;
  int hi2 = kUnreached;
  BracketList list = joinChildren(aNode, hi0, hi2);
  for (int capping = fCappingHead[aNode]; capping != kNone; capping = fCappingNext[capping]) {
    erase(list, capping);
  }
  // Backedges ending here leave the list, those starting here join it; the two sets are disjoint.
  for (int i = fAdjStart[aNode]; i < fAdjStart[aNode + 1]; ++i) {
    int edge = fAdj[i];
    if (fKind[edge] != EdgeKind::BACK) {
      continue;
    }
    if (fHigh[edge] == aNode) {
      erase(list, edge);
      if (fClass[edge] == kNone) {
        fClass[edge] = fNumClasses++;
      }
    } else if (fLow[edge] == aNode) {
      push(list, edge);
    }
  }
  if (hi2 < hi0 && hi2 < fDfsNum[aNode]) {
    int capping = newBracket();
    int target = fNodeAt[hi2];
    fCappingNext[capping] = fCappingHead[target];
    fCappingHead[target] = capping;
    push(list, capping);
  }
  classifyParentEdge(aNode, list);
  fLists[aNode] = list;
}

void CycleEquivalence::classifyParentEdge(int aNode, const BracketList& aList) {
  int parentEdge = fParentEdge[aNode];
  if (parentEdge == kNone) {
    return;
  }
  if (aList.size == 0) {
    fClass[parentEdge] = fNumClasses++;
    return;
  }
  int top = aList.top;
  if (fRecentSize[top] != aList.size) {
    fRecentSize[top] = aList.size;
    fRecentClass[top] = fNumClasses++;
  }
  fClass[parentEdge] = fRecentClass[top];
  if (fRecentSize[top] == 1 && top < static_cast<int>(fEdges.size())) {
    fClass[top] = fClass[parentEdge];
  }
}

std::vector<int> CycleEquivalence::run(int aRoot) {
  buildAdjacency();
  if (fNumNodes > 0) {
    search(aRoot >= 0 && aRoot < fNumNodes ? aRoot : 0);
  }
  for (int node = 0; node < fNumNodes; ++node) {
    if (fDfsNum[node] == kNone) {
      search(node);
    }
  }
  for (auto it = fNodeAt.rbegin(); it != fNodeAt.rend(); ++it) {
    assignClasses(*it);
  }
  for (int& edgeClass : fClass) {
    if (edgeClass == kNone) {
      edgeClass = fNumClasses++;
    }
  }
  return std::move(fClass);
}

} // namespace

std::vector<int> cycleEquivalenceClasses(int aNumNodes, const std::vector<UndirectedEdge>& aEdges, int aRoot) {
  return CycleEquivalence(aNumNodes, aEdges).run(aRoot);
}

//===-- Building the tree -------------------------------------------------------------------------------===//

// The graph the regions are found on: the reachable statements plus a sink. Every out-port without an edge, the
// end statement, and one statement of every part that never reaches the end get a virtual edge to the sink; the
// sink has one back to the start. Canonical regions are pairs of consecutive cycle-equivalent edges in
// dominance order; those bounded by an edge without a real port are dropped into their parent.
class PstBuilder {
public:
  PstBuilder(Pst* aPst, MemPool* aPool) : fPst(aPst), fPool(aPool) {}
  void build();

private:
  struct FlowEdge {
    int from;
    int to;
    // Out-port of the source, in-port of the target; -1 when the end has no port.
    int fromPort;
    int toPort;
  };

  // Graph.
  int addEdge(int aFrom, int aTo, int aFromPort, int aToPort);
  int discover(Stmt* aStmt);
  Stmt* checkedTarget(Stmt* aSource, Edge* aEdge) const;
  void collectGraph();
  void markReachingSink(int aNode, const std::vector<int>& aInStart, const std::vector<int>& aInEdges);
  int escapeSource(int aNode) const;
  void addEscapeEdges();
  void orderEdges();
  // Canonical regions.
  void findCanonicalRegions();
  void nestRegions();
  void selectValidRegions();
  bool isLoopHead(int aNode) const;
  int validByEntry(int aEdge) const;
  int validByExit(int aEdge) const;
  void gatherOwnStmts();
  void linkSequences();
  // Region objects.
  InPort inPortOf(int aEdge) const;
  OutPort outPortOf(int aEdge) const;
  int outEdgeOf(Stmt* aStmt, int aPort) const;
  InPort walk(Stmt* aStmt, int aPort) const;
  Region* branch(Stmt* aStmt, int aPort) const;
  template <class T, class... A> T* make(A&&... aArgs);
  void registerEntry(Region* aRegion);
  void setEnclosing(Stmt* aStmt, Region* aRegion);
  template <class T> PstList<T> list(const std::vector<T>& aItems) const { return PstList<T>(fPool, aItems); }
  void sequenceUnits(int aHead, std::vector<Region*>& aUnits);
  Region* wrapUnits(const std::vector<Region*>& aUnits);
  Region* sequenceRegion(int aHead);
  void childSequences(int aParent, std::vector<Region*>& aChildren);
  void ownStmtsOf(int aParent, std::vector<Stmt*>& aOwn) const;
  void buildRegions();
  Region* classify(int aRegion, const std::vector<Stmt*>& aOwn, const std::vector<Region*>& aChildren);
  Region* matchStructured(InPort aEntry, OutPort aExit);
  Region* matchIf(IfStmt* aIf, Stmt* aExitStmt);
  Region* matchSwitch(SwitchStmt* aSwitch, Stmt* aExitStmt);
  Region* matchFor(AbstractForEntryStmt* aEntry, Stmt* aExitStmt, OutPort aExit);
  Region* matchWhile(MergeStmt* aHead, Stmt* aExitStmt, OutPort aExit);
  Region* matchDoWhile(MergeStmt* aHead, Stmt* aExitStmt, OutPort aExit);
  Region* rootMiddle(int aFirst, int aLast, int aStartEdge, const std::vector<Stmt*>& aOwn);
  void buildRoot();
  int sequenceEndingAt(int aEdge) const;

  Pst* fPst;
  MemPool* fPool;
  std::vector<Stmt*>& fStmts = fPst->fStmts;
  int fSink = kNone;
  int fEnd = kNone;
  int fEndInEdge = kNone;
  std::vector<FlowEdge> fEdges;
  std::vector<int> fPostOrder;
  std::vector<uint8_t> fReachesSink;
  std::vector<int> fOutPortBase;
  std::vector<int> fEdgeOfOutPort;
  // Edges in the order a depth-first walk from the start meets them; whether each found its target first.
  std::vector<int> fEdgeOrder;
  std::vector<uint8_t> fDiscovers;
  // Canonical regions: bounding edges, parent, and the edges' regions.
  std::vector<int> fEntryEdge;
  std::vector<int> fExitEdge;
  std::vector<int> fParent;
  std::vector<int> fRegionByEntry;
  std::vector<int> fRegionByExit;
  std::vector<int> fNodeRegion;
  // Regions, parents before children.
  std::vector<int> fRegionOrder;
  std::vector<uint8_t> fValid;
  // Nearest valid region among a region and its ancestors; a valid region's nearest valid parent.
  std::vector<int> fUp;
  std::vector<int> fValidParent;
  // Own statements and sequence heads of each valid region; key 0 is the outermost level.
  std::vector<int> fOwnStart;
  std::vector<int> fOwn;
  std::vector<int> fHeadStart;
  std::vector<int> fHeads;
  std::vector<int> fNext;
  std::vector<uint8_t> fSingleStmt;
  std::vector<Region*> fObject;
  std::vector<Region*> fSequenceObject;
  // Lists reused from region to region while the regions are made.
  std::vector<Stmt*> fRun;
  std::vector<Region*> fUnits;
  std::vector<Region*> fChildren;
  std::vector<Stmt*> fOwnOfRegion;
};

int PstBuilder::addEdge(int aFrom, int aTo, int aFromPort, int aToPort) {
  fEdges.push_back(FlowEdge{aFrom, aTo, aFromPort, aToPort});
  return static_cast<int>(fEdges.size()) - 1;
}

int PstBuilder::discover(Stmt* aStmt) {
  int number = aStmt->number();
  std::vector<int>& dense = fPst->fDenseIndexOfNumber;
  const PoolVector<Stmt*>& stmts = fPst->fCfg->stmts();
  if (number < 0 || number >= static_cast<int>(stmts.size()) || stmts[number] != aStmt) {
    throwPstError("CG/Pst/numbering", "statement is not listed under its number in its graph", aStmt);
  }
  dense[number] = static_cast<int>(fStmts.size());
  fStmts.push_back(aStmt);
  return dense[number];
}

Stmt* PstBuilder::checkedTarget(Stmt* aSource, Edge* aEdge) const {
  Node* target = aEdge->inPort().node;
  if (!Stmt::isa(target)) {
    throwPstError("CG/Pst/edge", "an out-port leads to a node that is not a statement", aSource);
  }
  Stmt* stmt = static_cast<Stmt*>(target);
  // An edge never joins two contexts (OutPort::connect), so the graph's number tells the graph.
  if (stmt->cfgNumber() != fPst->fCfg->number() || stmt->isDestroyed()) {
    throwPstError("CG/Pst/edge", "an out-port leads out of the graph", aSource);
  }
  return stmt;
}

// Depth-first from the start, out-ports in index order: dense numbers are the IR statement order.
void PstBuilder::collectGraph() {
  Cfg* cfg = fPst->fCfg;
  fPst->fDenseIndexOfNumber.assign(cfg->stmts().size(), kNone);
  // Every statement is reached at most once; edges, virtual ones included, are seldom more than two per statement.
  fStmts.reserve(cfg->stmts().size());
  fEdges.reserve(2 * cfg->stmts().size() + 2);
  std::vector<std::pair<int, int>> stack;
  stack.emplace_back(discover(cfg->start()), 0);
  while (!stack.empty()) {
    auto [node, port] = stack.back();
    Stmt* stmt = fStmts[node];
    if (port == 0) {
      stmt->prefetchSuccessors();
    }
    if (port >= stmt->numOutPorts()) {
      fPostOrder.push_back(node);
      stack.pop_back();
      continue;
    }
    ++stack.back().second;
    Edge* edge = stmt->outEdge(port);
    if (edge == nullptr || !edge->isLive()) {
      addEdge(node, kNone, port, kNone);
      continue;
    }
    Stmt* target = checkedTarget(stmt, edge);
    int next = fPst->denseIndex(target);
    if (next == kNone) {
      next = discover(target);
      target->prefetchOutEdges();
      int edgeId = addEdge(node, next, port, edge->inPort().index);
      stack.emplace_back(next, 0);
      fEndInEdge = target == cfg->end() ? edgeId : fEndInEdge;
      continue;
    }
    int edgeId = addEdge(node, next, port, edge->inPort().index);
    fEndInEdge = target == cfg->end() ? edgeId : fEndInEdge;
  }
  int numStmts = static_cast<int>(fStmts.size());
  fSink = numStmts;
  for (FlowEdge& edge : fEdges) {
    edge.to = edge.to == kNone ? fSink : edge.to;
  }
  fEnd = fPst->denseIndex(cfg->end());
}

void PstBuilder::markReachingSink(int aNode, const std::vector<int>& aInStart, const std::vector<int>& aInEdges) {
  std::vector<uint8_t>& reaches = fReachesSink;
  std::vector<int> work{aNode};
  reaches[aNode] = 1;
  while (!work.empty()) {
    int node = work.back();
    work.pop_back();
    for (int i = aInStart[node]; i < aInStart[node + 1]; ++i) {
      int source = fEdges[aInEdges[i]].from;
      if (!reaches[source]) {
        reaches[source] = 1;
        work.push_back(source);
      }
    }
  }
}

// Where a part that never reaches the end is left virtually: the first such statement in post order has only
// back edges, so its first successor is a merge on the same cycle (a statement without successors stands alone).
// Leaving from a merge keeps every single-entry single-exit statement so.
int PstBuilder::escapeSource(int aNode) const {
  Stmt* stmt = fStmts[aNode];
  for (int port = 0; port < stmt->numOutPorts(); ++port) {
    Edge* edge = stmt->outEdge(port);
    if (edge != nullptr && edge->isLive()) {
      return fPst->denseIndex(edge->inPort().node);
    }
  }
  return aNode;
}

// Every statement that cannot reach the end (an endless loop, a dead end) gets a way to the sink.
void PstBuilder::addEscapeEdges() {
  if (fEnd != kNone) {
    addEdge(fEnd, fSink, kNone, kNone);
  }
  std::vector<int> targets;
  targets.reserve(fEdges.size());
  for (const FlowEdge& edge : fEdges) {
    targets.push_back(edge.to);
  }
  std::vector<int> inStart;
  std::vector<int> inEdges;
  bucketByKey(fSink + 1, targets, inStart, inEdges);
  fReachesSink.assign(static_cast<size_t>(fSink) + 1, 0);
  markReachingSink(fSink, inStart, inEdges);
  for (int node : fPostOrder) {
    if (!fReachesSink[node]) {
      int source = escapeSource(node);
      addEdge(source, fSink, kNone, kNone);
      markReachingSink(source, inStart, inEdges);
    }
  }
  addEdge(fSink, 0, kNone, kNone);
}

// Depth-first over the augmented graph from the start: cycle-equivalent edges are met in dominance order.
void PstBuilder::orderEdges() {
  std::vector<int> sources;
  sources.reserve(fEdges.size());
  for (const FlowEdge& edge : fEdges) {
    sources.push_back(edge.from);
  }
  std::vector<int> outStart;
  std::vector<int> outEdges;
  bucketByKey(fSink + 1, sources, outStart, outEdges);
  std::vector<uint8_t> visited(static_cast<size_t>(fSink) + 1, 0);
  fDiscovers.assign(fEdges.size(), 0);
  fEdgeOrder.reserve(fEdges.size());
  std::vector<std::pair<int, int>> stack;
  visited[0] = 1;
  stack.emplace_back(0, outStart[0]);
  while (!stack.empty()) {
    auto& [node, cursor] = stack.back();
    if (cursor == outStart[node + 1]) {
      stack.pop_back();
      continue;
    }
    int edge = outEdges[cursor++];
    fEdgeOrder.push_back(edge);
    int target = fEdges[edge].to;
    if (!visited[target]) {
      visited[target] = 1;
      fDiscovers[edge] = 1;
      stack.emplace_back(target, outStart[target]);
    }
  }
  fOutPortBase.assign(fStmts.size() + 1, 0);
  for (size_t node = 0; node < fStmts.size(); ++node) {
    fOutPortBase[node + 1] = fOutPortBase[node] + fStmts[node]->numOutPorts();
  }
  fEdgeOfOutPort.assign(static_cast<size_t>(fOutPortBase.back()), kNone);
  for (size_t edge = 0; edge < fEdges.size(); ++edge) {
    const FlowEdge& flow = fEdges[edge];
    if (flow.fromPort != kNone) {
      fEdgeOfOutPort[fOutPortBase[flow.from] + flow.fromPort] = static_cast<int>(edge);
    }
  }
}

void PstBuilder::findCanonicalRegions() {
  std::vector<UndirectedEdge> ends;
  ends.reserve(fEdges.size());
  for (const FlowEdge& edge : fEdges) {
    ends.push_back(UndirectedEdge{edge.from, edge.to});
  }
  std::vector<int> classes = cycleEquivalenceClasses(fSink + 1, ends, 0);
  int numClasses = classes.empty() ? 0 : *std::max_element(classes.begin(), classes.end()) + 1;
  std::vector<int> lastOfClass(static_cast<size_t>(numClasses), kNone);
  fRegionByEntry.assign(fEdges.size(), kNone);
  fRegionByExit.assign(fEdges.size(), kNone);
  for (int edge : fEdgeOrder) {
    int& last = lastOfClass[classes[edge]];
    if (last != kNone) {
      int region = static_cast<int>(fEntryEdge.size());
      fEntryEdge.push_back(last);
      fExitEdge.push_back(edge);
      fRegionByEntry[last] = region;
      fRegionByExit[edge] = region;
    }
    last = edge;
  }
}

// Replays the walk: an edge leaving a region returns to its parent, an edge entering one opens it inside the
// current one; a statement lies in the region current when it is first reached.
void PstBuilder::nestRegions() {
  fParent.assign(fEntryEdge.size(), kNone);
  fNodeRegion.assign(static_cast<size_t>(fSink) + 1, kNone);
  fRegionOrder.reserve(fEntryEdge.size());
  for (int edge : fEdgeOrder) {
    int current = fNodeRegion[fEdges[edge].from];
    if (fRegionByExit[edge] != kNone) {
      current = fParent[fRegionByExit[edge]];
    }
    if (fRegionByEntry[edge] != kNone) {
      int opened = fRegionByEntry[edge];
      fParent[opened] = current;
      fRegionOrder.push_back(opened);
      current = opened;
    }
    if (fDiscovers[edge]) {
      fNodeRegion[fEdges[edge].to] = current;
    }
  }
}

// A region is kept when a real in-port enters it and a real out-port (connected or not) leaves it, and it keeps
// a for loop's head and test together. Nor is a region entered through a for loop's back edge kept: control
// there goes on with a loop round, which no region of its own can say.
void PstBuilder::selectValidRegions() {
  size_t numRegions = fEntryEdge.size();
  fValid.assign(numRegions, 0);
  fUp.assign(numRegions, kNone);
  fValidParent.assign(numRegions, kNone);
  for (int region : fRegionOrder) {
    const FlowEdge& entry = fEdges[fEntryEdge[region]];
    const FlowEdge& exit = fEdges[fExitEdge[region]];
    bool entersLoopRound = entry.toPort == AbstractForEntryStmt::kBackEdgePort && isLoopHead(entry.to);
    bool splitsLoopHead = isLoopHead(entry.from) || isLoopHead(exit.from);
    fValid[region] = entry.toPort != kNone && exit.fromPort != kNone && !entersLoopRound && !splitsLoopHead;
    int parent = fParent[region];
    int parentUp = parent == kNone ? kNone : fUp[parent];
    fValidParent[region] = parentUp;
    fUp[region] = fValid[region] ? region : parentUp;
  }
}

bool PstBuilder::isLoopHead(int aNode) const {
  return aNode >= 0 && aNode < static_cast<int>(fStmts.size()) && AbstractForEntryStmt::isa(fStmts[aNode]);
}

int PstBuilder::validByEntry(int aEdge) const {
  int region = fRegionByEntry[aEdge];
  return region != kNone && fValid[region] ? region : kNone;
}

int PstBuilder::validByExit(int aEdge) const {
  int region = fRegionByExit[aEdge];
  return region != kNone && fValid[region] ? region : kNone;
}

void PstBuilder::gatherOwnStmts() {
  std::vector<int> keys(fStmts.size(), 0);
  for (size_t node = 0; node < fStmts.size(); ++node) {
    int region = fNodeRegion[node];
    keys[node] = region == kNone ? 0 : fUp[region] + 1;
  }
  bucketByKey(static_cast<int>(fEntryEdge.size()) + 1, keys, fOwnStart, fOwn);
}

// Regions joined exit to entry form a sequence; each valid region lists the heads of the sequences inside it.
void PstBuilder::linkSequences() {
  size_t numRegions = fEntryEdge.size();
  fNext.assign(numRegions, kNone);
  std::vector<int> headKeys;
  std::vector<int> heads;
  std::vector<int> numChildHeads(numRegions, 0);
  for (int region : fRegionOrder) {
    if (!fValid[region]) {
      continue;
    }
    fNext[region] = validByEntry(fExitEdge[region]);
    if (validByExit(fEntryEdge[region]) == kNone) {
      headKeys.push_back(fValidParent[region] + 1);
      heads.push_back(region);
      if (fValidParent[region] != kNone) {
        ++numChildHeads[fValidParent[region]];
      }
    }
  }
  std::vector<int> items;
  bucketByKey(static_cast<int>(numRegions) + 1, headKeys, fHeadStart, items);
  fHeads.resize(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    fHeads[i] = heads[items[i]];
  }
  fSingleStmt.assign(numRegions, 0);
  for (int region : fRegionOrder) {
    if (!fValid[region] || numChildHeads[region] != 0 || fOwnStart[region + 2] - fOwnStart[region + 1] != 1) {
      continue;
    }
    Stmt* stmt = fStmts[fOwn[fOwnStart[region + 1]]];
    fSingleStmt[region] = SeseStmt::isa(stmt) && inPortOf(fEntryEdge[region]) == stmt->inPort(0) &&
                          outPortOf(fExitEdge[region]) == stmt->outPort(0);
  }
}

InPort PstBuilder::inPortOf(int aEdge) const {
  const FlowEdge& edge = fEdges[aEdge];
  return edge.toPort == kNone ? InPort() : InPort(fStmts[edge.to], edge.toPort);
}

OutPort PstBuilder::outPortOf(int aEdge) const {
  const FlowEdge& edge = fEdges[aEdge];
  return edge.fromPort == kNone ? OutPort() : OutPort(fStmts[edge.from], edge.fromPort);
}

int PstBuilder::outEdgeOf(Stmt* aStmt, int aPort) const {
  int node = fPst->denseIndex(aStmt);
  return fEdgeOfOutPort[fOutPortBase[node] + aPort];
}

// Where control from an out-port arrives once it has passed the regions starting there.
InPort PstBuilder::walk(Stmt* aStmt, int aPort) const {
  int edge = outEdgeOf(aStmt, aPort);
  for (int region = validByEntry(edge); region != kNone; region = validByEntry(edge)) {
    edge = fExitEdge[region];
  }
  return inPortOf(edge);
}

Region* PstBuilder::branch(Stmt* aStmt, int aPort) const {
  int head = validByEntry(outEdgeOf(aStmt, aPort));
  return head == kNone ? nullptr : fSequenceObject[head];
}

template <class T, class... A> T* PstBuilder::make(A&&... aArgs) {
  T* region = fPool->make<T>(std::forward<A>(aArgs)...);
  registerEntry(region);
  return region;
}

// Regions are made inside out, so the last one registered for an in-port is the outermost.
void PstBuilder::registerEntry(Region* aRegion) {
  InPort entry = aRegion->entry();
  int node = fPst->denseIndex(entry.node);
  if (node != kNone && entry.index >= 0 && entry.index < entry.node->numInPorts()) {
    fPst->fEntryRegions[fPst->fInPortBase[node] + entry.index] = aRegion;
  }
}

void PstBuilder::setEnclosing(Stmt* aStmt, Region* aRegion) {
  fPst->fEnclosing[fPst->denseIndex(aStmt)] = aRegion;
}

// Appends the units of a sequence to aUnits: runs of single-statement regions become basic blocks, other
// regions stand alone.
void PstBuilder::sequenceUnits(int aHead, std::vector<Region*>& aUnits) {
  fRun.clear();
  auto flushRun = [&]() {
    if (fRun.empty()) {
      return;
    }
    BasicBlockRegion* block = make<BasicBlockRegion>(list(fRun));
    for (Stmt* stmt : block->stmts()) {
      setEnclosing(stmt, block);
    }
    aUnits.push_back(block);
    fRun.clear();
  };
  for (int region = aHead; region != kNone; region = fNext[region]) {
    if (fSingleStmt[region]) {
      fRun.push_back(fStmts[fOwn[fOwnStart[region + 1]]]);
      continue;
    }
    flushRun();
    aUnits.push_back(fObject[region]);
  }
  flushRun();
}

Region* PstBuilder::wrapUnits(const std::vector<Region*>& aUnits) {
  if (aUnits.size() == 1) {
    return aUnits.front();
  }
  ChainRegion* chain = make<ChainRegion>(list(aUnits));
  for (Region* unit : aUnits) {
    unit->setParent(chain);
  }
  return chain;
}

// The sequence starting at aHead as one region.
Region* PstBuilder::sequenceRegion(int aHead) {
  fUnits.clear();
  sequenceUnits(aHead, fUnits);
  return wrapUnits(fUnits);
}

// Builds the sequences directly inside aParent (kNone: the outermost level), each as one region.
void PstBuilder::childSequences(int aParent, std::vector<Region*>& aChildren) {
  aChildren.clear();
  for (int i = fHeadStart[aParent + 1]; i < fHeadStart[aParent + 2]; ++i) {
    int head = fHeads[i];
    fSequenceObject[head] = sequenceRegion(head);
    aChildren.push_back(fSequenceObject[head]);
  }
}

void PstBuilder::ownStmtsOf(int aParent, std::vector<Stmt*>& aOwn) const {
  aOwn.clear();
  for (int i = fOwnStart[aParent + 1]; i < fOwnStart[aParent + 2]; ++i) {
    int node = fOwn[i];
    if (node != 0 && node != fEnd) {
      aOwn.push_back(fStmts[node]);
    }
  }
}

void PstBuilder::buildRegions() {
  fObject.assign(fEntryEdge.size(), nullptr);
  fSequenceObject.assign(fEntryEdge.size(), nullptr);
  for (auto it = fRegionOrder.rbegin(); it != fRegionOrder.rend(); ++it) {
    int region = *it;
    if (!fValid[region] || fSingleStmt[region]) {
      continue;
    }
    childSequences(region, fChildren);
    ownStmtsOf(region, fOwnOfRegion);
    fObject[region] = classify(region, fOwnOfRegion, fChildren);
    for (Region* child : fChildren) {
      child->setParent(fObject[region]);
    }
    for (Stmt* stmt : fOwnOfRegion) {
      setEnclosing(stmt, fObject[region]);
    }
  }
}

Region* PstBuilder::classify(int aRegion, const std::vector<Stmt*>& aOwn, const std::vector<Region*>& aChildren) {
  InPort entry = inPortOf(fEntryEdge[aRegion]);
  OutPort exit = outPortOf(fExitEdge[aRegion]);
  bool boundsAreOwn =
      aOwn.size() == 2 && entry.node != exit.node &&
      ((aOwn[0] == entry.node && aOwn[1] == exit.node) || (aOwn[1] == entry.node && aOwn[0] == exit.node));
  if (boundsAreOwn) {
    if (Region* structured = matchStructured(entry, exit)) {
      return structured;
    }
  }
  return make<UnstructuredRegion>(entry, exit, list(aOwn), list(aChildren));
}

Region* PstBuilder::matchStructured(InPort aEntry, OutPort aExit) {
  Stmt* entryStmt = aEntry.stmt();
  Stmt* exitStmt = aExit.stmt();
  if (aEntry.index != 0) {
    return nullptr;
  }
  if (IfStmt::isa(entryStmt)) {
    return matchIf(IfStmt::cast(entryStmt), exitStmt);
  }
  if (SwitchStmt::isa(entryStmt)) {
    return matchSwitch(SwitchStmt::cast(entryStmt), exitStmt);
  }
  if (AbstractForEntryStmt::isa(entryStmt)) {
    return matchFor(AbstractForEntryStmt::cast(entryStmt), exitStmt, aExit);
  }
  if (!MergeStmt::isa(entryStmt) || entryStmt->numInPorts() != 2) {
    return nullptr;
  }
  if (Region* loop = matchWhile(MergeStmt::cast(entryStmt), exitStmt, aExit)) {
    return loop;
  }
  return matchDoWhile(MergeStmt::cast(entryStmt), exitStmt, aExit);
}

// Where the branches of an if or a switch meet: a merge, but not the head of a for loop, which is a loop's start
// and its next round, not the end of the branches.
static bool isJoin(Stmt* aStmt) {
  return MergeStmt::isa(aStmt) && !AbstractForEntryStmt::isa(aStmt);
}

// if -> branches -> join(2), each branch arriving at its own in-port.
Region* PstBuilder::matchIf(IfStmt* aIf, Stmt* aExitStmt) {
  if (!isJoin(aExitStmt) || aExitStmt->numInPorts() != 2 || aIf->numOutPorts() != 2) {
    return nullptr;
  }
  InPort whenTrue = walk(aIf, IfStmt::kTruePort);
  InPort whenFalse = walk(aIf, IfStmt::kFalsePort);
  if (whenTrue.node != aExitStmt || whenFalse.node != aExitStmt || whenTrue.index == whenFalse.index) {
    return nullptr;
  }
  return make<IfRegion>(aIf, MergeStmt::cast(aExitStmt), branch(aIf, IfStmt::kTruePort),
                        branch(aIf, IfStmt::kFalsePort));
}

// switch -> one branch per out-port -> join with one in-port per branch.
Region* PstBuilder::matchSwitch(SwitchStmt* aSwitch, Stmt* aExitStmt) {
  int numBranches = aSwitch->numOutPorts();
  if (!isJoin(aExitStmt) || aExitStmt->numInPorts() != numBranches) {
    return nullptr;
  }
  std::vector<uint8_t> arrived(static_cast<size_t>(numBranches), 0);
  std::vector<Region*> branches;
  for (int port = 0; port < numBranches; ++port) {
    InPort reached = walk(aSwitch, port);
    if (reached.node != aExitStmt || arrived[reached.index]) {
      return nullptr;
    }
    arrived[reached.index] = 1;
    branches.push_back(branch(aSwitch, port));
  }
  return make<SwitchRegion>(aSwitch, MergeStmt::cast(aExitStmt), list(branches));
}

// for-entry -> for-exit; body from out-port 0 back to in-port 1; out-port 1 leaves.
Region* PstBuilder::matchFor(AbstractForEntryStmt* aEntry, Stmt* aExitStmt, OutPort aExit) {
  if (!AbstractForExitStmt::isa(aExitStmt) || aEntry->numInPorts() != 2 || aExitStmt->numOutPorts() != 2 ||
      aExit.index != AbstractForExitStmt::kExitPort || aEntry->succ() != aExitStmt) {
    return nullptr;
  }
  AbstractForExitStmt* exitStmt = AbstractForExitStmt::cast(aExitStmt);
  if (walk(exitStmt, AbstractForExitStmt::kBodyPort) != aEntry->inPort(AbstractForEntryStmt::kBackEdgePort)) {
    return nullptr;
  }
  Region* body = branch(exitStmt, AbstractForExitStmt::kBodyPort);
  if (ParallelForEntryStmt::isa(aEntry)) {
    return make<ParallelForLoopRegion>(aEntry, exitStmt, body);
  }
  return make<ForLoopRegion>(aEntry, exitStmt, body);
}

// head -> test; true: body back to head in-port 1; false leaves.
Region* PstBuilder::matchWhile(MergeStmt* aHead, Stmt* aExitStmt, OutPort aExit) {
  if (!IfStmt::isa(aExitStmt) || aExit.index != IfStmt::kFalsePort || aHead->succ() != aExitStmt) {
    return nullptr;
  }
  IfStmt* test = IfStmt::cast(aExitStmt);
  if (walk(test, IfStmt::kTruePort) != aHead->inPort(1)) {
    return nullptr;
  }
  return make<WhileRegion>(aHead, test, branch(test, IfStmt::kTruePort));
}

// head -> body -> test; true: straight back to head in-port 1; false leaves.
Region* PstBuilder::matchDoWhile(MergeStmt* aHead, Stmt* aExitStmt, OutPort aExit) {
  if (!IfStmt::isa(aExitStmt) || aExit.index != IfStmt::kFalsePort) {
    return nullptr;
  }
  IfStmt* test = IfStmt::cast(aExitStmt);
  if (walk(aHead, 0) != test->inPort() || test->succInPort(IfStmt::kTruePort) != aHead->inPort(1)) {
    return nullptr;
  }
  return make<DoWhileRegion>(aHead, branch(aHead, 0), test);
}

// The outermost sequence whose last exit is aEdge; kNone when there is none.
int PstBuilder::sequenceEndingAt(int aEdge) const {
  for (int i = fHeadStart[0]; i < fHeadStart[1]; ++i) {
    int region = fHeads[i];
    while (fNext[region] != kNone) {
      region = fNext[region];
    }
    if (fExitEdge[region] == aEdge) {
      return fHeads[i];
    }
  }
  return kNone;
}

// The unstructured region between the root's first and last sequences: the statements no region owns and
// every other sequence. Null when there is none.
Region* PstBuilder::rootMiddle(int aFirst, int aLast, int aStartEdge, const std::vector<Stmt*>& aOwn) {
  std::vector<Region*> children;
  for (int i = fHeadStart[0]; i < fHeadStart[1]; ++i) {
    int head = fHeads[i];
    if (head != aFirst && head != aLast) {
      fSequenceObject[head] = sequenceRegion(head);
      children.push_back(fSequenceObject[head]);
    }
  }
  if (aOwn.empty() && children.empty()) {
    return nullptr;
  }
  int firstSequenceExit = aFirst == kNone ? kNone : fExitEdge[aFirst];
  for (int region = aFirst; region != kNone; region = fNext[region]) {
    firstSequenceExit = fExitEdge[region];
  }
  InPort entry = inPortOf(aFirst == kNone ? aStartEdge : firstSequenceExit);
  OutPort exit =
      aLast != kNone ? outPortOf(fEntryEdge[aLast]) : (fEndInEdge != kNone ? outPortOf(fEndInEdge) : OutPort());
  Region* middle = make<UnstructuredRegion>(entry, exit, list(aOwn), list(children));
  for (Region* child : children) {
    child->setParent(middle);
  }
  for (Stmt* stmt : aOwn) {
    setEnclosing(stmt, middle);
  }
  return middle;
}

// The body is one sequence from the start to the end, or: the sequence leaving the start, an unstructured
// region holding everything else, and the sequence arriving at the end.
void PstBuilder::buildRoot() {
  Stmt* start = fStmts[0];
  int startEdge = start->numOutPorts() > 0 ? outEdgeOf(start, 0) : kNone;
  if (startEdge == kNone || fEdges[startEdge].toPort == kNone || fEdges[startEdge].to == fEnd) {
    return;
  }
  int first = validByEntry(startEdge);
  std::vector<Stmt*> own;
  ownStmtsOf(kNone, own);
  int numHeads = fHeadStart[1] - fHeadStart[0];
  if (first != kNone && own.empty() && numHeads == 1 && fEndInEdge != kNone && sequenceEndingAt(fEndInEdge) == first) {
    fPst->fRoot = sequenceRegion(first);
    return;
  }
  int last = fEndInEdge == kNone ? kNone : sequenceEndingAt(fEndInEdge);
  last = last == first ? kNone : last;
  std::vector<Region*> units;
  if (first != kNone) {
    sequenceUnits(first, units);
  }
  if (Region* middle = rootMiddle(first, last, startEdge, own)) {
    units.push_back(middle);
  }
  if (last != kNone) {
    sequenceUnits(last, units);
  }
  if (!units.empty()) {
    fPst->fRoot = wrapUnits(units);
  }
}

void PstBuilder::build() {
  collectGraph();
  addEscapeEdges();
  orderEdges();
  findCanonicalRegions();
  nestRegions();
  selectValidRegions();
  gatherOwnStmts();
  fPst->fInPortBase.assign(fStmts.size() + 1, 0);
  for (size_t node = 0; node < fStmts.size(); ++node) {
    fPst->fInPortBase[node + 1] = fPst->fInPortBase[node] + fStmts[node]->numInPorts();
  }
  fPst->fEntryRegions.assign(static_cast<size_t>(fPst->fInPortBase.back()), nullptr);
  fPst->fEnclosing.assign(fStmts.size(), nullptr);
  linkSequences();
  buildRegions();
  buildRoot();
}

//===-- Queries -----------------------------------------------------------------------------------------===//

Pst::Pst(Fcn* aFcn, MemPool* aPool, int aMode) {
  if (aFcn == nullptr || aPool == nullptr) {
    throwPstError("CG/Pst/arguments", "needs a function and a pool");
  }
  if (aMode != 1) {
    TheLogger::instance().throwInternalException("CG/Pst/mode",
                                                 "program structure tree: unknown mode %d "
                                                 "(1 is full classification)",
                                                 aMode);
  }
  fCfg = aFcn->cfg();
  if (fCfg == nullptr || fCfg->start() == nullptr) {
    return;
  }
  PstBuilder(this, aPool).build();
}

int Pst::denseIndex(const Node* aNode) const {
  if (aNode == nullptr) {
    return kNone;
  }
  int number = aNode->number();
  if (number < 0 || number >= static_cast<int>(fDenseIndexOfNumber.size())) {
    return kNone;
  }
  int node = fDenseIndexOfNumber[number];
  return node != kNone && fStmts[node] == aNode ? node : kNone;
}

Region* Pst::outerEntryTo(InPort aPort) const {
  int node = denseIndex(aPort.node);
  if (node == kNone || aPort.index < 0 || aPort.index >= aPort.node->numInPorts()) {
    return nullptr;
  }
  return fEntryRegions[fInPortBase[node] + aPort.index];
}

Region* Pst::enclosingRegion(Stmt* aStmt) const {
  int node = denseIndex(aStmt);
  return node == kNone ? nullptr : fEnclosing[node];
}

int Pst::irOrderIndex(const Stmt* aStmt) const {
  return denseIndex(aStmt);
}

} // namespace CG
