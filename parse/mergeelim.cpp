// Merge-statement elimination: drops merges that join one edge and shrinks merges with idle ports.
#include "parse/mergeelim.h"

#include <vector>

#include "ir/cfg.h"
#include "ir/logger.h"
#include "ir/nodefactory.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/typechecker.h"

namespace CG {

void QulEliminateMergeStmts::transformScope(Scope* aScope)
{
    for (Symbol* symbol = aScope->firstSymbol(); symbol != nullptr; symbol = symbol->next()) {
        if (Fcn* fcn = unsettledBody(symbol, fSettled)) {
            transformFcn(fcn);
        }
    }
}

void QulEliminateMergeStmts::transformFcn(Fcn* aFcn)
{
    eliminateUselessMergeStmts(aFcn->cfg());
    cg_cfg_unhook_and_destroy_marked_nodes(aFcn->cfg());
}

namespace {

bool isLiveMerge(Stmt* aStmt)
{
    return MergeStmt::isa(aStmt) && !aStmt->isMarkedForDeletion() && !aStmt->isDestroyed();
}

// The graph's merges that are not marked for deletion and pass the test, in creation order: the same
// merges as in the statement order (which lists every statement), found without walking the graph.
// Their order does not matter to the passes: each merge is replaced where it stands.
template <class Test> IdSet<MergeStmt*>* liveMergesWhere(Cfg* aCfg, MemPool* aPool, Test aTest)
{
    auto* merges = aPool->make<IdSet<MergeStmt*>>();
    for (Stmt* stmt : aCfg->stmts()) {
        if (isLiveMerge(stmt) && aTest(MergeStmt::cast(stmt))) {
            merges->add(MergeStmt::cast(stmt));
        }
    }
    return merges;
}

bool hasIdleInPort(MergeStmt* aMerge)
{
    for (int i = 0; i < aMerge->numInPorts(); ++i) {
        if (aMerge->inEdge(i) == nullptr) {
            return true;
        }
    }
    return false;
}

} // namespace

// Each set serves one step of one function: its tables go as the step ends, not with the pool, which serves the
// whole scope.
void QulEliminateMergeStmts::eliminateUselessMergeStmts(Cfg* aCfg)
{
    Merges* useless = findUselessMergeStmts(aCfg);
    deleteUselessMergeStmts(aCfg, useless);
    *useless = Merges();
    Merges* toCompact = findMergeStmtsToCompact(aCfg);
    compactMergeStmts(aCfg, toCompact);
    *toCompact = Merges();
}

bool QulEliminateMergeStmts::mergeHasSingleInEdge(MergeStmt* aMerge)
{
    int connected = 0;
    for (int i = 0; i < aMerge->numInPorts(); ++i) {
        if (aMerge->inEdge(i) == nullptr) {
            continue;
        }
        if (aMerge->pred(i) == nullptr) {
            client_assertion_failed("parse/mergeelim", __LINE__, "aMerge->pred(i) != 0");
        }
        ++connected;
    }
    return connected == 1;
}

OutPort QulEliminateMergeStmts::singleInEdgeSourcePort(MergeStmt* aMerge)
{
    for (int i = 0; i < aMerge->numInPorts(); ++i) {
        if (aMerge->inEdge(i) != nullptr) {
            return aMerge->inEdge(i)->outPort();
        }
    }
    client_assertion_failed("parse/mergeelim", __LINE__, "i < numInPorts");
}

// A merge that joins one edge gives way to that edge. A loop head reached only along its back edge (its body entered
// by a goto) stays: it still starts every next round, and is no initialisation to be replaced by one.
bool QulEliminateMergeStmts::isUseless(MergeStmt* aMerge)
{
    bool reachedOnlyFromItsBody =
        AbstractForEntryStmt::isa(aMerge) && aMerge->inEdge(AbstractForEntryStmt::kEntryPort) == nullptr;
    return mergeHasSingleInEdge(aMerge) && !reachedOnlyFromItsBody;
}

bool QulEliminateMergeStmts::needsCompacting(MergeStmt* aMerge)
{
    return !AbstractForEntryStmt::isa(aMerge) && hasIdleInPort(aMerge);
}

bool QulEliminateMergeStmts::hasWork(Cfg* aCfg)
{
    for (Stmt* stmt : aCfg->stmts()) {
        if (isLiveMerge(stmt) && (isUseless(MergeStmt::cast(stmt)) || needsCompacting(MergeStmt::cast(stmt)))) {
            return true;
        }
    }
    return aCfg->hasMarkedNodes();
}

QulEliminateMergeStmts::Merges* QulEliminateMergeStmts::findUselessMergeStmts(Cfg* aCfg)
{
    return liveMergesWhere(aCfg, fPool, isUseless);
}

void QulEliminateMergeStmts::deleteUselessMergeStmts(Cfg* aCfg, Merges* aMerges)
{
    CoreDomainTypeChecker checker(aCfg->ctx());
    NodeFactory nodes(aCfg, &checker);
    for (Merges::Iterator it = aMerges->iterator(); it.hasCurrent(); it.advance()) {
        MergeStmt* merge = it.current();
        OutPort source = singleInEdgeSourcePort(merge);
        InPort target = merge->succInPort();
        merge->disconnectAllEdges();
        if (AbstractForEntryStmt::isa(merge)) {
            AbstractForEntryStmt* entry = AbstractForEntryStmt::cast(merge);
            ExprStmt* init = nodes.exprStmt(
                nodes.assignExpr(nodes.cloneExpr(entry->indexExpr()), nodes.cloneExpr(entry->indexStart())));
            source.connect(init->inPort());
            source = init->outPort();
        }
        if (target.valid()) {
            source.connect(target);
        }
        merge->markForDeletion();
    }
}

QulEliminateMergeStmts::Merges* QulEliminateMergeStmts::findMergeStmtsToCompact(Cfg* aCfg)
{
    return liveMergesWhere(aCfg, fPool, needsCompacting);
}

void QulEliminateMergeStmts::compactMergeStmts(Cfg* aCfg, Merges* aMerges)
{
    CoreDomainTypeChecker checker(aCfg->ctx());
    NodeFactory nodes(aCfg, &checker);
    for (Merges::Iterator it = aMerges->iterator(); it.hasCurrent(); it.advance()) {
        MergeStmt* merge = it.current();
        std::vector<OutPort> sources;
        std::vector<int> compactPort(merge->numInPorts(), -1);
        for (int i = 0; i < merge->numInPorts(); ++i) {
            if (merge->inEdge(i) != nullptr) {
                compactPort[i] = static_cast<int>(sources.size());
                sources.push_back(merge->predOutPort(i));
            }
        }
        MergeStmt* compact = nodes.mergeStmt(static_cast<int>(sources.size()));
        InPort target = merge->succInPort();
        merge->disconnectAllEdges();
        // A merge that leads straight back to itself (a label followed by a goto to it) keeps its loop.
        if (target.node == merge) {
            target = InPort(compact, compactPort[target.index]);
        }
        for (size_t i = 0; i < sources.size(); ++i) {
            OutPort source = sources[i].node == merge ? compact->outPort() : sources[i];
            source.connect(InPort(compact, static_cast<int>(i)));
        }
        if (target.valid() && target.node != compact) {
            compact->outPort().connect(target);
        }
        merge->markForDeletion();
    }
}

} // namespace CG
