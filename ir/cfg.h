// Control-flow graphs: the statements of a function body, their order, and clean-up operations.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ir/containers.h"
#include "ir/node.h"
#include "ir/poolvector.h"

namespace CG {

class Fcn;

class Cfg : public CG_CtxObj {
public:
  // Use create(); public only so the context's pool can construct it.
  Cfg(CG_Ctx* aCtx, Fcn* aFcn);

  static bool isa(const CG_Obj* aObj) { return aObj != nullptr && aObj->id() == CG_CFG; }
  CG_DECLARE_CASTS(Cfg)

  // A graph for aFcn whose start statement is joined to its end statement. Does not attach the
  // graph to the function (Fcn::createCfg does).
  static Cfg* create(Fcn* aFcn);

  Fcn* fcn() const { return fFcn; }
  // The graph's number in its context: CG_Ctx::cfg(number()) is this graph.
  uint32_t number() const { return fNumber; }
  StartStmt* start() const { return fStart; }
  EndStmt* end() const { return fEnd; }
  // A flag for clients that distinguish graphs built in the classic form; false by default.
  bool isClassic() const { return fClassic; }
  void setClassic(bool aClassic) { fClassic = aClassic; }

  // Statements in creation order; stmt->number() is its position. Statements marked for deletion
  // stay listed until the marked nodes are destroyed (unhookAndDestroyMarkedNodes, makeCompact,
  // deleteDeadEdgesAndNodes). Expressions are not listed: a graph reaches them through the operand
  // trees of its statements, and a list of them would cost a word for each of the most numerous nodes.
  const PoolVector<Stmt*>& stmts() const { return fStmts; }
  // The numeric modes of the nodes that have any (Node::roundingMode, Node::overflowMode).
  NodeModes modesOf(const Node* aNode) const { return fModes ? fModes->get(aNode) : NodeModes(); }
  void setModes(const Node* aNode, const NodeModes& aModes);

  // Destroys every marked node: a marked single-entry single-exit statement with both ends
  // connected is bridged (its predecessor joined to its successor); other marked statements lose
  // all their edges; marked expressions are detached from their parents. The operand trees of
  // destroyed nodes are destroyed with them. Then drops them from the lists and renumbers.
  // Returns how many nodes were destroyed.
  int unhookAndDestroyMarkedNodes();
  // Same as unhookAndDestroyMarkedNodes: after it the statement list holds live statements only, numbered 0..n-1.
  void makeCompact() { unhookAndDestroyMarkedNodes(); }
  // Destroys the statements not reachable from the start statement (never start or end) and
  // the edges that join them to live statements. Returns how many statements were destroyed.
  int deleteDeadEdgesAndNodes();
  // Whether unhookAndDestroyMarkedNodes, or deleteDeadEdgesAndNodes, would destroy anything.
  bool hasMarkedNodes() const { return !fMarked.empty(); }
  bool hasDeadStmts() const;

  // The statements in IR order: depth first from start, out-ports in index order, pre-order;
  // then the unreachable statements in creation order. Marked statements are left out.
  std::vector<Stmt*> orderedStmts() const;
  // Statements reachable from start, by statement number (1 = reachable).
  std::vector<uint8_t> reachability() const;

  // Bumped on every change of the graph's shape.
  uint64_t version() const { return fVersion; }
  void markDirty() { ++fVersion; }

  // Takes in a node made for this graph (a statement is listed and numbered); its maker calls it once the
  // node is fully constructed.
  void addNode(Node* aNode);

private:
  // Each returns how many nodes it destroyed.
  int destroyNode(Node* aNode);
  int destroyTree(Node* aRoot);
  int destroyMarkedStmt(Stmt* aStmt);
  int destroyMarkedExpr(Expr* aExpr);
  void dropDestroyedNodes();
  // Start and end frame every body: a mark on them is dropped instead of honoured.
  void unmarkFrameStmts();
  // A statement deleteDeadEdgesAndNodes destroys, given the reachability.
  bool isDeadStmt(const std::vector<uint8_t>& aReached, const Stmt* aStmt) const {
    return !aReached[aStmt->number()] && aStmt != fStart && aStmt != fEnd && !aStmt->isDestroyed();
  }

  Fcn* fFcn;
  uint32_t fNumber;
  StartStmt* fStart = nullptr;
  EndStmt* fEnd = nullptr;
  // In the context's pool, like the nodes: a module's graphs list as many statements as the text has lines.
  PoolVector<Stmt*> fStmts;
  // Made when the first node gets a mode: most graphs have none.
  std::unique_ptr<IdMap<const Node*, NodeModes>> fModes;
  uint64_t fVersion = 0;
  // The nodes marked for deletion and not yet destroyed, in the order they were marked.
  std::vector<Node*> fMarked;
  bool fClassic = false;

  friend class Node;
};

// Walks a graph's statements in IR order (see Cfg::orderedStmts). The order is taken when the
// iterator is made; later changes of the graph do not affect it.
class StmtIterator {
public:
  explicit StmtIterator(Cfg* aCfg);
  explicit StmtIterator(Fcn* aFcn);

  bool hasCurrent() const { return fIndex < fOrder.size(); }
  Stmt* current() const;
  void advance() { ++fIndex; }

private:
  std::vector<Stmt*> fOrder;
  size_t fIndex = 0;
};

} // namespace CG

void cg_cfg_make_compact(CG::Cfg* aCfg);
void cg_cfg_unhook_and_destroy_marked_nodes(CG::Cfg* aCfg);
void cg_cfg_delete_dead_edges_and_nodes(CG::Cfg* aCfg);
