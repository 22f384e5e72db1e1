// Merge-statement elimination: drops merges that join one edge and shrinks merges with idle ports.
#pragma once

#include "ir/containers.h"
#include "ir/node.h"

class MemPool;

namespace CG {

class Cfg;
class Fcn;
class Scope;

class QulEliminateMergeStmts {
public:
    explicit QulEliminateMergeStmts(MemPool* aPool) : fPool(aPool) {}
    virtual void transformScope(Scope* aScope);
    virtual void transformFcn(Fcn* aFcn);
    virtual ~QulEliminateMergeStmts() = default;

protected:
    // Made in the pool, in the order the merges were found.
    using Merges = IdSet<MergeStmt*>;

    Merges* findUselessMergeStmts(Cfg* aCfg);
    void deleteUselessMergeStmts(Cfg* aCfg, Merges* aMerges);
    Merges* findMergeStmtsToCompact(Cfg* aCfg);
    void compactMergeStmts(Cfg* aCfg, Merges* aMerges);
    void eliminateUselessMergeStmts(Cfg* aCfg);
    bool mergeHasSingleInEdge(MergeStmt* aMerge);
    OutPort singleInEdgeSourcePort(MergeStmt* aMerge);
    MemPool* pool() const { return fPool; }

private:
    MemPool* fPool;
};

} // namespace CG
