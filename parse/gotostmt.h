// Goto and label placeholders, switch-case records, and the pass that rewrites gotos into merges.
#pragma once

#include <functional>
#include <utility>

#include "ir/containers.h"
#include "ir/logger.h"
#include "ir/node.h"

class MemPool;

namespace CG {

class Cfg;
class Const;
class Fcn;
class Region;
class Scope;
class Symbol;

// The placeholder statements the parser builds for goto(L) and label(L): custom statements of their
// own operators whose aux slot 0 holds the label as a string constant.
class QulLabelledStmt : public CustomStmt {
public:
    using CustomStmt::CustomStmt;

    // The label's text, interned in the context (one pointer per name); null before one is set.
    char* label() const;
    Const* labelStringConst() const;
    void setLabel(char* aLabel);
    // Copies the text first.
    void setLabel(const char* aLabel);
    void setLabel(Const* aLabel);

protected:
    static bool hasOpcode(const CG_Obj* aObj, int aOp);
    // The node as a T; a node that is not one is an assertion failure.
    template <class T> static T* castOrFail(CG_Obj* aObj);
};

class QulGotoStmt : public QulLabelledStmt {
public:
    using QulLabelledStmt::QulLabelledStmt;
    static bool isa(const CG_Obj* aObj);
    static QulGotoStmt* cast(CG_Obj* aObj) { return castOrFail<QulGotoStmt>(aObj); }
};

class QulLabelStmt : public QulLabelledStmt {
public:
    using QulLabelledStmt::QulLabelledStmt;
    static bool isa(const CG_Obj* aObj);
    static QulLabelStmt* cast(CG_Obj* aObj) { return castOrFail<QulLabelStmt>(aObj); }
};

template <class T> T* QulLabelledStmt::castOrFail(CG_Obj* aObj)
{
    if (aObj != nullptr && !T::isa(aObj)) {
        client_assertion_failed("parse/gotostmt", __LINE__, "isa(aNode)");
    }
    return static_cast<T*>(aObj);
}

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

// Tells the functions whose graphs a post-processing pass is known to leave as they are: the pass passes them by.
using SettledTest = std::function<bool(Fcn*)>;

// The function with a body that aSymbol defines, for a post-processing pass to process: null for any other
// symbol, and for a function aSettled (when given) names.
Fcn* unsettledBody(Symbol* aSymbol, const SettledTest& aSettled);

// Rewrites each used label into a merge statement fed by the fall-through and every goto naming it.
class QulTransformGoto {
public:
    explicit QulTransformGoto(MemPool* aPool, SettledTest aSettled = nullptr)
        : fPool(aPool), fSettled(std::move(aSettled)) {}
    virtual void transformScope(Scope* aScope);
    virtual void transformFcn(Fcn* aFcn);
    virtual ~QulTransformGoto() = default;
    // Whether transformFcn would change the graph: it holds a goto or a label, a node marked for deletion, or a
    // statement that its start does not reach.
    static bool hasWork(Cfg* aCfg);

protected:
    using Gotos = IdSet<QulGotoStmt*>;
    using Labels = IdSet<QulLabelStmt*>;
    // Label text to the number of in-ports its merge needs.
    using Sizes = IdMap<char*, int>;
    using Merges = IdMap<char*, MergeStmt*>;

    void collectGotoAndLabelStmts(Fcn* aFcn, Gotos* aGotos, Labels* aLabels);
    void calculateLabelMergeSizes(Fcn* aFcn, Gotos* aGotos, Labels* aLabels, Sizes* aSizes);
    void replaceLabelsWithMergeStmts(Sizes* aSizes, Fcn* aFcn, Labels* aLabels, Merges* aMerges);
    void replaceLabelWithMerge(QulLabelStmt* aLabel, MergeStmt* aMerge);
    void transformGotos(Merges* aMerges, Fcn* aFcn, Gotos* aGotos);
    // The lowest-numbered in-port with no incoming edge (from aFirst on), or an invalid port.
    InPort availableInPort(MergeStmt* aMerge);
    InPort availableInPort(MergeStmt* aMerge, int aFirst);
    void incrementLabel(Sizes* aSizes, char* aLabel);
    void decrementLabel(Sizes* aSizes, char* aLabel);
    MemPool* pool() const { return fPool; }

private:
    // What the rewrite of one function collects, emptied before each: the functions of a module reuse the room
    // the largest of them needed instead of growing tables of their own.
    struct Scratch {
        Gotos gotos;
        Labels labels;
        Sizes sizes;
        Merges merges;
        void clear();
    };

    MemPool* fPool;
    SettledTest fSettled;
    Scratch fScratch;
    // transformGotos's own scratch, which it empties as it starts: per merge, the first in-port that may be free.
    IdMap<MergeStmt*, int> fFirstUntried;
};

} // namespace CG
