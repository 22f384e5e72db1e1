// Control-flow graphs: creation, the IR statement order and the clean-up operations.
#include "ir/cfg.h"

#include <algorithm>
#include <utility>

#include "ir/ctx.h"
#include "ir/symbol.h"

namespace CG {

Cfg::Cfg(CG_Ctx* aCtx, Fcn* aFcn)
    : CG_CtxObj(CG_CFG, aCtx), fFcn(aFcn), fNodes(aCtx->pool()), fStmts(aCtx->pool()) {}

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
  aNode->fNumber = static_cast<int>(fNodes.size());
  fNodes.push_back(aNode);
  if (aNode->isStmt()) {
    fStmts.push_back(static_cast<Stmt*>(aNode));
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
  std::vector<uint8_t> reached(fNodes.size(), 0);
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
  std::vector<uint8_t> seen(fNodes.size(), 0);
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

void Cfg::destroyNode(Node* aNode) {
  if (aNode->fDestroyed) {
    return;
  }
  aNode->fDestroyed = true;
  aNode->fMarkedForDeletion = true;
}

void Cfg::destroyMarkedStmt(Stmt* aStmt) {
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
  forEachExprPostOrder(aStmt, [this](Expr* aExpr) { destroyNode(aExpr); });
  destroyNode(aStmt);
}

void Cfg::destroyMarkedExpr(Expr* aExpr) {
  Node* parent = aExpr->parent();
  if (parent != nullptr && !parent->isDestroyed()) {
    for (int i = 0; i < parent->numInputs(); ++i) {
      if (parent->input(i) == aExpr) {
        parent->setInput(i, nullptr);
      }
    }
  }
  forEachExprPostOrder(aExpr, [this](Expr* aOperand) { destroyNode(aOperand); });
}

void Cfg::dropDestroyedNodes() {
  int number = 0;
  fNodes.keepIf([&number](Node* aNode) {
    aNode->fNumber = aNode->fDestroyed ? -1 : number++;
    return !aNode->fDestroyed;
  });
  fStmts.keepIf([](const Stmt* aStmt) { return !aStmt->fDestroyed; });
  fMarked.erase(std::remove_if(fMarked.begin(), fMarked.end(),
                               [](const Node* aNode) { return aNode->fDestroyed || !aNode->fMarkedForDeletion; }),
                fMarked.end());
  markDirty();
}

int Cfg::unhookAndDestroyMarkedNodes() {
  if (fMarked.empty()) {
    return 0;
  }
  // In graph order, statements first, so an operand tree that goes with its statement is not detached
  // piecemeal.
  std::vector<Node*> marked;
  marked.swap(fMarked);
  std::sort(marked.begin(), marked.end(), [](const Node* aFirst, const Node* aSecond) {
    return aFirst->fNumber < aSecond->fNumber;
  });
  for (Node* node : marked) {
    if (node->isStmt() && node->fMarkedForDeletion && !node->fDestroyed && node != fStart && node != fEnd) {
      destroyMarkedStmt(static_cast<Stmt*>(node));
    }
  }
  for (Node* node : marked) {
    if (node->isExpr() && node->fMarkedForDeletion && !node->fDestroyed) {
      destroyMarkedExpr(static_cast<Expr*>(node));
    }
  }
  unmarkFrameStmts();
  size_t before = fNodes.size();
  dropDestroyedNodes();
  return static_cast<int>(before - fNodes.size());
}

void Cfg::unmarkFrameStmts() {
  for (Stmt* frame : {static_cast<Stmt*>(fStart), static_cast<Stmt*>(fEnd)}) {
    if (frame != nullptr && frame->fMarkedForDeletion && !frame->fDestroyed) {
      frame->fMarkedForDeletion = false;
    }
  }
}

int Cfg::deleteDeadEdgesAndNodes() {
  std::vector<uint8_t> reached = reachability();
  int destroyed = 0;
  std::vector<Stmt*> snapshot(fStmts.begin(), fStmts.end());
  for (Stmt* stmt : snapshot) {
    if (reached[stmt->number()] || stmt == fStart || stmt == fEnd || stmt->fDestroyed) {
      continue;
    }
    stmt->disconnectAllEdges();
    forEachExprPostOrder(stmt, [this](Expr* aExpr) { destroyNode(aExpr); });
    destroyNode(stmt);
    ++destroyed;
  }
  if (destroyed > 0) {
    dropDestroyedNodes();
  }
  return destroyed;
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
