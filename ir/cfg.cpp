// Control-flow graphs: creation, the IR statement order and the clean-up operations.
#include "ir/cfg.h"

#include <algorithm>
#include <utility>

#include "ir/ctx.h"
#include "ir/symbol.h"

namespace CG {

Cfg::Cfg(CG_Ctx* aCtx, Fcn* aFcn)
    : CG_CtxObj(CG_CFG, aCtx), fFcn(aFcn), fNumber(aCtx->registerCfg(this)), fStmts(aCtx->pool()) {}

namespace {

CG_NodeDef* requireDef(CG_Ctx* aCtx, int aOp) {
  CG_NodeDef* def = aCtx->nodeDef(aOp);
  if (def == nullptr) {
    TheLogger::instance().throwInternalException("CG/Cfg/def", "no node definition registered for opcode %d", aOp);
  }
  return def;
}

} // namespace

Cfg* Cfg::create(Fcn* aFcn) {
  CG_ASSERT_MSG(aFcn != nullptr, "ir/cfg.cpp", "Cfg::create: null function");
  CG_Ctx* ctx = aFcn->ctx();
  MemPool* pool = ctx->pool();
  Cfg* cfg = pool->make<Cfg>(ctx, aFcn);
  Node::Shape startShape;
  startShape.numOutPorts = 1;
  cfg->fStart = Node::create<StartStmt>(pool, requireDef(ctx, OP::START), cfg, Node::Kind::START_STMT, startShape);
  cfg->addNode(cfg->fStart);
  Node::Shape endShape;
  endShape.numInPorts = 1;
  cfg->fEnd = Node::create<EndStmt>(pool, requireDef(ctx, OP::END), cfg, Node::Kind::END_STMT, endShape);
  cfg->addNode(cfg->fEnd);
  cfg->fStart->outPort().connect(cfg->fEnd->inPort());
  return cfg;
}

void Cfg::addNode(Node* aNode) {
  if (aNode->isStmt()) {
    Stmt* stmt = static_cast<Stmt*>(aNode);
    stmt->fNumber = static_cast<int>(fStmts.size());
    fStmts.push_back(stmt);
  }
  markDirty();
}

void Cfg::setModes(const Node* aNode, const NodeModes& aModes) {
  if (!fModes) {
    fModes = std::make_unique<IdMap<const Node*, NodeModes>>();
  }
  fModes->put(aNode, aModes);
}

// ---- Statement order -------------------------------------------------------------------------

std::vector<uint8_t> Cfg::reachability() const {
  std::vector<uint8_t> reached(fStmts.size(), 0);
  if (fStart == nullptr || fStart->isDestroyed()) {
    return reached;
  }
  std::vector<Stmt*> work;
  reached[fStart->number()] = 1;
  work.push_back(fStart);
  while (!work.empty()) {
    Stmt* stmt = work.back();
    work.pop_back();
    for (int port = 0; port < stmt->numOutPorts(); ++port) {
      Stmt* next = stmt->succ(port);
      if (next != nullptr && !reached[next->number()]) {
        reached[next->number()] = 1;
        work.push_back(next);
      }
    }
  }
  return reached;
}

std::vector<Stmt*> Cfg::orderedStmts() const {
  std::vector<Stmt*> order;
  order.reserve(fStmts.size());
  std::vector<uint8_t> seen(fStmts.size(), 0);
  auto emit = [&](Stmt* aStmt) {
    seen[aStmt->number()] = 1;
    if (!aStmt->isMarkedForDeletion()) {
      order.push_back(aStmt);
    }
  };
  // Each frame is a statement and the next out-port to follow: a recursive pre-order walk
  // unrolled onto an explicit stack.
  std::vector<std::pair<Stmt*, int>> stack;
  if (fStart != nullptr && !fStart->isDestroyed()) {
    emit(fStart);
    stack.emplace_back(fStart, 0);
  }
  while (!stack.empty()) {
    Stmt* stmt = stack.back().first;
    int port = stack.back().second;
    if (port == 0) {
      stmt->prefetchSuccessors();
    }
    if (port >= stmt->numOutPorts()) {
      stack.pop_back();
      continue;
    }
    ++stack.back().second;
    Stmt* next = stmt->succ(port);
    if (next != nullptr && !seen[next->number()]) {
      emit(next);
      next->prefetchOutEdges();
      stack.emplace_back(next, 0);
    }
  }
  for (Stmt* stmt : fStmts) {
    if (!seen[stmt->number()] && !stmt->isMarkedForDeletion()) {
      order.push_back(stmt);
    }
  }
  return order;
}

// ---- Clean-up --------------------------------------------------------------------------------

int Cfg::destroyNode(Node* aNode) {
  if (aNode->isDestroyed()) {
    return 0;
  }
  aNode->fFields.destroyed = true;
  aNode->fFields.markedForDeletion = true;
  return 1;
}

// The node's operand trees, then the node (an expression root is already among them).
int Cfg::destroyTree(Node* aRoot) {
  int destroyed = 0;
  forEachExprPostOrder(aRoot, [this, &destroyed](Expr* aExpr) { destroyed += destroyNode(aExpr); });
  return destroyed + destroyNode(aRoot);
}

int Cfg::destroyMarkedStmt(Stmt* aStmt) {
  if (SeseStmt::isa(aStmt)) {
    SeseStmt* sese = static_cast<SeseStmt*>(aStmt);
    OutPort from = sese->predOutPort();
    InPort to = sese->succInPort();
    sese->disconnectAllEdges();
    if (from.valid() && to.valid() && from.node != aStmt) {
      from.connect(to);
    }
  }
  aStmt->disconnectAllEdges();
  return destroyTree(aStmt);
}

int Cfg::destroyMarkedExpr(Expr* aExpr) {
  Node* parent = aExpr->parent();
  if (parent != nullptr && !parent->isDestroyed()) {
    for (int i = 0; i < parent->numInputs(); ++i) {
      if (parent->input(i) == aExpr) {
        parent->setInput(i, nullptr);
      }
    }
  }
  return destroyTree(aExpr);
}

void Cfg::dropDestroyedNodes() {
  int number = 0;
  fStmts.keepIf([&number](Stmt* aStmt) {
    aStmt->fNumber = aStmt->isDestroyed() ? -1 : number++;
    return !aStmt->isDestroyed();
  });
  fMarked.erase(std::remove_if(fMarked.begin(), fMarked.end(),
                               [](const Node* aNode) { return aNode->isDestroyed() || !aNode->isMarkedForDeletion(); }),
                fMarked.end());
  markDirty();
}

int Cfg::unhookAndDestroyMarkedNodes() {
  if (fMarked.empty()) {
    return 0;
  }
  // Statements first, in creation order, so an operand tree that goes with its statement is not
  // detached piecemeal; then expressions, in the order they were marked.
  std::vector<Node*> marked;
  marked.swap(fMarked);
  std::stable_sort(marked.begin(), marked.end(),
                   [](const Node* aFirst, const Node* aSecond) { return aFirst->number() < aSecond->number(); });
  int destroyed = 0;
  for (Node* node : marked) {
    if (node->isStmt() && node->isMarkedForDeletion() && !node->isDestroyed() && node != fStart && node != fEnd) {
      destroyed += destroyMarkedStmt(static_cast<Stmt*>(node));
    }
  }
  for (Node* node : marked) {
    if (node->isExpr() && node->isMarkedForDeletion() && !node->isDestroyed()) {
      destroyed += destroyMarkedExpr(static_cast<Expr*>(node));
    }
  }
  unmarkFrameStmts();
  dropDestroyedNodes();
  return destroyed;
}

void Cfg::unmarkFrameStmts() {
  for (Stmt* frame : {static_cast<Stmt*>(fStart), static_cast<Stmt*>(fEnd)}) {
    if (frame != nullptr && frame->isMarkedForDeletion() && !frame->isDestroyed()) {
      frame->fFields.markedForDeletion = false;
    }
  }
}

int Cfg::deleteDeadEdgesAndNodes() {
  std::vector<uint8_t> reached = reachability();
  int destroyed = 0;
  std::vector<Stmt*> snapshot(fStmts.begin(), fStmts.end());
  for (Stmt* stmt : snapshot) {
    if (!isDeadStmt(reached, stmt)) {
      continue;
    }
    stmt->disconnectAllEdges();
    destroyTree(stmt);
    ++destroyed;
  }
  if (destroyed > 0) {
    dropDestroyedNodes();
  }
  return destroyed;
}

bool Cfg::hasDeadStmts() const {
  std::vector<uint8_t> reached = reachability();
  return std::any_of(fStmts.begin(), fStmts.end(), [&](const Stmt* aStmt) { return isDeadStmt(reached, aStmt); });
}

// ---- StmtIterator ----------------------------------------------------------------------------

StmtIterator::StmtIterator(Cfg* aCfg) {
  if (aCfg != nullptr) {
    fOrder = aCfg->orderedStmts();
  }
}

StmtIterator::StmtIterator(Fcn* aFcn) : StmtIterator(aFcn != nullptr ? aFcn->cfg() : nullptr) {}

Stmt* StmtIterator::current() const {
  if (!hasCurrent()) {
    TheLogger::instance().throwInternalException("CG/StmtIterator/end", "StmtIterator::current() past the end");
  }
  return fOrder[fIndex];
}

} // namespace CG

void cg_cfg_make_compact(CG::Cfg* aCfg) {
  aCfg->makeCompact();
}

void cg_cfg_unhook_and_destroy_marked_nodes(CG::Cfg* aCfg) {
  aCfg->unhookAndDestroyMarkedNodes();
}

void cg_cfg_delete_dead_edges_and_nodes(CG::Cfg* aCfg) {
  aCfg->deleteDeadEdgesAndNodes();
}
