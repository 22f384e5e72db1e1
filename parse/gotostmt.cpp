// Goto and label placeholders, switch-case records, and the pass that rewrites gotos into merges.
#include "parse/gotostmt.h"

#include <algorithm>

#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/nodefactory.h"
#include "ir/scope.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "lang/optable.h"
#include "tag/tagsourcelocationquill.h"

namespace CG {
namespace {

int sourceLine(const Node* aNode)
{
    TagSourceLocationQuill* location = TagSourceLocationQuill::of(aNode);
    return location != nullptr ? static_cast<int>(location->line()) : 0;
}

[[noreturn]] void throwDuplicateLabel(QulLabelStmt* aLabel)
{
    TheLogger::instance().throwUserException("QulTransformGoto::replaceLabelsWithMergeStmts::DuplicateLabel",
                                             "Line %d: label(%s) has duplicate label", sourceLine(aLabel),
                                             aLabel->label());
}

void collectLabelsNamedByGotos(Fcn* aFcn, IdSet<char*>* aNamed)
{
    for (Stmt* stmt : aFcn->cfg()->stmts()) {
        if (QulGotoStmt::isa(stmt) && !stmt->isMarkedForDeletion()) {
            aNamed->add(QulGotoStmt::cast(stmt)->label());
        }
    }
}

} // namespace

bool QulLabelledStmt::hasOpcode(const CG_Obj* aObj, int aOp)
{
    return Node::isa(aObj) && static_cast<const Node*>(aObj)->isStmt() && static_cast<const Node*>(aObj)->opcode() == aOp;
}

bool QulGotoStmt::isa(const CG_Obj* aObj)
{
    return hasOpcode(aObj, QulOP::QUL_GOTO);
}

bool QulLabelStmt::isa(const CG_Obj* aObj)
{
    return hasOpcode(aObj, QulOP::QUL_LABEL);
}

Const* QulLabelledStmt::labelStringConst() const
{
    return Const::cast(aux(0));
}

char* QulLabelledStmt::label() const
{
    Const* text = labelStringConst();
    if (text == nullptr) {
        return nullptr;
    }
    return ctx()->cgString(cg_const_string_value(text));
}

void QulLabelledStmt::setLabel(char* aLabel)
{
    setLabel(cg_const_create_from_string(ctx(), aLabel));
}

void QulLabelledStmt::setLabel(const char* aLabel)
{
    setLabel(cg_string_create(ctx(), aLabel));
}

void QulLabelledStmt::setLabel(Const* aLabel)
{
    setAux(0, aLabel);
    markCfgDirty();
}

Fcn* unsettledBody(Symbol* aSymbol, const SettledTest& aSettled)
{
    if (!Const::isa(aSymbol) || !cg_const_is_function(Const::cast(aSymbol))) {
        return nullptr;
    }
    Fcn* fcn = Fcn::cast(aSymbol);
    return fcn->cfg() != nullptr && !(aSettled && aSettled(fcn)) ? fcn : nullptr;
}

void QulTransformGoto::transformScope(Scope* aScope)
{
    for (Symbol* symbol = aScope->firstSymbol(); symbol != nullptr; symbol = symbol->next()) {
        if (Fcn* fcn = unsettledBody(symbol, fSettled)) {
            transformFcn(fcn);
        }
    }
}

bool QulTransformGoto::hasWork(Cfg* aCfg)
{
    for (Stmt* stmt : aCfg->stmts()) {
        if ((QulGotoStmt::isa(stmt) || QulLabelStmt::isa(stmt)) && !stmt->isMarkedForDeletion()) {
            return true;
        }
    }
    return aCfg->hasMarkedNodes() || aCfg->hasDeadStmts();
}

void QulTransformGoto::Scratch::clear()
{
    gotos.clear();
    labels.clear();
    sizes.clear();
    merges.clear();
}

// Most functions have no goto or label to rewrite: one scan of the statement list, which reads memory front to back,
// finds that out. The clean-up runs for every function: a graph built by hand may hold marked or unreachable
// statements even when it has no goto to rewrite.
void QulTransformGoto::transformFcn(Fcn* aFcn)
{
    fScratch.clear();
    collectGotoAndLabelStmts(aFcn, &fScratch.gotos, &fScratch.labels);
    if (!fScratch.gotos.isEmpty() || !fScratch.labels.isEmpty()) {
        calculateLabelMergeSizes(aFcn, &fScratch.gotos, &fScratch.labels, &fScratch.sizes);
        replaceLabelsWithMergeStmts(&fScratch.sizes, aFcn, &fScratch.labels, &fScratch.merges);
        transformGotos(&fScratch.merges, aFcn, &fScratch.gotos);
    }
    cg_cfg_unhook_and_destroy_marked_nodes(aFcn->cfg());
    cg_cfg_delete_dead_edges_and_nodes(aFcn->cfg());
}

void QulTransformGoto::collectGotoAndLabelStmts(Fcn* aFcn, Gotos* aGotos, Labels* aLabels)
{
    for (Stmt* stmt : aFcn->cfg()->stmts()) {
        if (stmt->isMarkedForDeletion()) {
            continue;
        }
        if (QulGotoStmt::isa(stmt)) {
            aGotos->add(QulGotoStmt::cast(stmt));
        }
        if (QulLabelStmt::isa(stmt)) {
            aLabels->add(QulLabelStmt::cast(stmt));
        }
    }
}

void QulTransformGoto::incrementLabel(Sizes* aSizes, char* aLabel)
{
    int* count = aSizes->lookup(aLabel);
    if (count == nullptr) {
        aSizes->put(aLabel, 2);
        return;
    }
    ++*count;
}

void QulTransformGoto::decrementLabel(Sizes* aSizes, char* aLabel)
{
    int* count = aSizes->lookup(aLabel);
    if (count == nullptr) {
        aSizes->put(aLabel, -1);
        return;
    }
    --*count;
}

void QulTransformGoto::calculateLabelMergeSizes(Fcn*, Gotos* aGotos, Labels* aLabels, Sizes* aSizes)
{
    for (Gotos::Iterator it = aGotos->iterator(); it.hasCurrent(); it.advance()) {
        incrementLabel(aSizes, it.current()->label());
    }
    for (Labels::Iterator it = aLabels->iterator(); it.hasCurrent(); it.advance()) {
        if (QulGotoStmt::isa(it.current()->pred())) {
            decrementLabel(aSizes, it.current()->label());
        }
    }
}

void QulTransformGoto::replaceLabelsWithMergeStmts(Sizes* aSizes, Fcn* aFcn, Labels* aLabels, Merges* aMerges)
{
    NodeFactory nodes(aFcn, fPool);
    IdSet<char*> namedAndRemoved;
    IdSet<char*> namedByGotos;
    bool namedByGotosCollected = false; // when first needed: most functions never need it
    for (Labels::Iterator it = aLabels->iterator(); it.hasCurrent(); it.advance()) {
        QulLabelStmt* labelStmt = it.current();
        char* label = labelStmt->label();
        if (aMerges->containsKey(label) || namedAndRemoved.contains(label)) {
            throwDuplicateLabel(labelStmt);
        }
        int* count = aSizes->lookup(label);
        if (count != nullptr && *count > 0) {
            MergeStmt* merge = nodes.mergeStmt(std::max(*count, 2));
            aMerges->put(label, merge);
            replaceLabelWithMerge(labelStmt, merge);
            continue;
        }
        labelStmt->remove();
        // A label a goto names is left without ports only when each of its copies follows a goto: it is one of
        // several, and the next copy is refused.
        if (count != nullptr && !namedByGotosCollected) {
            collectLabelsNamedByGotos(aFcn, &namedByGotos);
            namedByGotosCollected = true;
        }
        if (count != nullptr && namedByGotos.contains(label)) {
            namedAndRemoved.add(label);
            continue;
        }
        TheLogger::instance().logWarning("QulTransformGoto::replaceLabelsWithMergeStmts::UnusedLabel",
                                         "Line %d: label(%s) defined but not used", sourceLine(labelStmt), label);
    }
}

void QulTransformGoto::replaceLabelWithMerge(QulLabelStmt* aLabel, MergeStmt* aMerge)
{
    OutPort from = aLabel->predOutPort();
    InPort to = aLabel->succInPort();
    Stmt* pred = aLabel->pred();
    aLabel->disconnectAllEdges();
    if (from.valid() && !QulGotoStmt::isa(pred)) {
        from.connect(InPort(aMerge, 0));
    }
    if (to.valid()) {
        aMerge->outPort().connect(to);
    }
    aLabel->markForDeletion();
}

InPort QulTransformGoto::availableInPort(MergeStmt* aMerge)
{
    return availableInPort(aMerge, 0);
}

InPort QulTransformGoto::availableInPort(MergeStmt* aMerge, int aFirst)
{
    for (int i = aFirst; i < aMerge->numInPorts(); ++i) {
        if (aMerge->inEdge(i) == nullptr) {
            return InPort(aMerge, i);
        }
    }
    return InPort();
}

// A merge's ports fill in order and none is freed here, so the search for its next free port resumes where
// the last one ended: many gotos to one label cost linear time.
void QulTransformGoto::transformGotos(Merges* aMerges, Fcn*, Gotos* aGotos)
{
    fFirstUntried.clear();
    for (Gotos::Iterator it = aGotos->iterator(); it.hasCurrent(); it.advance()) {
        QulGotoStmt* gotoStmt = it.current();
        MergeStmt** merge = aMerges->lookup(gotoStmt->label());
        if (merge == nullptr) {
            continue;
        }
        OutPort from = gotoStmt->predOutPort();
        if (!from.valid()) {
            gotoStmt->disconnectOutEdge(0);
            gotoStmt->markForDeletion();
            continue;
        }
        gotoStmt->disconnectInEdge(0);
        int* firstUntried = fFirstUntried.lookup(*merge);
        InPort port = availableInPort(*merge, firstUntried != nullptr ? *firstUntried : 0);
        if (port.valid()) {
            from.connect(port);
            fFirstUntried.put(*merge, port.index + 1);
        }
        gotoStmt->disconnectOutEdge(0);
        gotoStmt->markForDeletion();
    }
}

} // namespace CG
