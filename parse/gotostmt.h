// Goto and label placeholders, switch-case records, and the pass that rewrites gotos into merges.
#pragma once

#include <unordered_map>
#include <vector>

#include "ir/node.h"

class MemPool;

namespace CG {

class Const;
class Fcn;
class Region;
class Scope;

// A view of the placeholder statements the parser builds for goto(L) and label(L): custom
// statements of their own operators whose aux slot 0 holds the label as a string constant.
class QulLabelledStmt {
public:
    static bool isGoto(const Node* aNode);
    static bool isLabel(const Node* aNode);
    static char* label(const Node* aNode);
    static Const* labelStringConst(const Node* aNode);
    static void setLabel(Node* aNode, const char* aLabel);
    static void setLabel(Node* aNode, Const* aLabel);
};

class QulGotoStmt {
public:
    static bool isa(const Node* aNode) { return QulLabelledStmt::isGoto(aNode); }
};

class QulLabelStmt {
public:
    static bool isa(const Node* aNode) { return QulLabelledStmt::isLabel(aNode); }
};

class QulCaseStmt {
public:
    QulCaseStmt(Expr* aCondition, Region* aStatements) : fCondition(aCondition), fStatements(aStatements) {}
    Expr* condition() const { return fCondition; }
    void setCondition(Expr* aCondition) { fCondition = aCondition; }
    Region* statements() const { return fStatements; }
    void setStatements(Region* aStatements) { fStatements = aStatements; }

private:
    Expr* fCondition;
    Region* fStatements;
};

// Rewrites each used label into a merge statement fed by the fall-through and every goto naming it.
class QulTransformGoto {
public:
    explicit QulTransformGoto(MemPool* aPool) : fPool(aPool) {}
    virtual ~QulTransformGoto() = default;
    virtual void transformScope(Scope* aScope);
    virtual void transformFcn(Fcn* aFcn);

protected:
    using Stmts = std::vector<SeseStmt*>;
    using Sizes = std::vector<std::pair<char*, int>>;
    using Merges = std::unordered_map<char*, MergeStmt*>;

    void collectGotoAndLabelStmts(Fcn* aFcn, Stmts& aGotos, Stmts& aLabels);
    Sizes calculateLabelMergeSizes(Fcn* aFcn, const Stmts& aGotos, const Stmts& aLabels);
    Merges replaceLabelsWithMergeStmts(const Sizes& aSizes, Fcn* aFcn, const Stmts& aLabels);
    void replaceLabelWithMerge(SeseStmt* aLabel, MergeStmt* aMerge);
    void transformGotos(const Merges& aMerges, Fcn* aFcn, const Stmts& aGotos);
    InPort availableInPort(MergeStmt* aMerge);
    void incrementLabel(Sizes& aSizes, char* aLabel);
    void decrementLabel(Sizes& aSizes, char* aLabel);
    MemPool* pool() const { return fPool; }

private:
    MemPool* fPool;
};

} // namespace CG
