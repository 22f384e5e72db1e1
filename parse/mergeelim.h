// Merge-statement elimination: drops merges that join one edge and shrinks merges with idle ports.
#pragma once

#include <utility>

#include "ir/containers.h"
#include "ir/node.h"
#include "parse/gotostmt.h"

class MemPool;

namespace CG {

class Cfg;
class Fcn;
class Scope;

class QulEliminateMergeStmts {
public:
    explicit QulEliminateMergeStmts(MemPool* aPool, SettledTest aSettled = nullptr)
        : fPool(aPool), fSettled(std::move(aSettled)) {}
    virtual void transformScope(Scope* aScope);
    virtual void transformFcn(Fcn* aFcn);
    virtual ~QulEliminateMergeStmts() = default;
    // Whether transformFcn would change the graph: a merge joins one edge or has an idle in-port, or a node is
    // marked for deletion.
    static bool hasWork(Cfg* aCfg);

protected:
    // Made in the pool, in the order the merges were found.
    using Merges = IdSet<MergeStmt*>;

    Merges* findUselessMergeStmts(Cfg* aCfg);
    void deleteUselessMergeStmts(Cfg* aCfg, Merges* aMerges);
    Merges* findMergeStmtsToCompact(Cfg* aCfg);
    void compactMergeStmts(Cfg* aCfg, Merges* aMerges);
    void eliminateUselessMergeStmts(Cfg* aCfg);
    static bool mergeHasSingleInEdge(MergeStmt* aMerge);
    OutPort singleInEdgeSourcePort(MergeStmt* aMerge);
    MemPool* pool() const { return fPool; }

private:
    static bool isUseless(MergeStmt* aMerge);
    static bool needsCompacting(MergeStmt* aMerge);

    MemPool* fPool;
    SettledTest fSettled;
};

} // namespace CG
