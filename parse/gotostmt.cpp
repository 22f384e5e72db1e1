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

} // namespace

bool QulLabelledStmt::isGoto(const Node* aNode)
{
    return aNode != nullptr && aNode->isStmt() && aNode->opcode() == QulOP::QUL_GOTO;
}

bool QulLabelledStmt::isLabel(const Node* aNode)
{
    return aNode != nullptr && aNode->isStmt() && aNode->opcode() == QulOP::QUL_LABEL;
}

Const* QulLabelledStmt::labelStringConst(const Node* aNode)
{
    if (aNode->numInputs() < 1 || !ConstExpr::isa(aNode->input(0))) {
        return nullptr;
    }
    return ConstExpr::cast(aNode->input(0))->constant();
}

char* QulLabelledStmt::label(const Node* aNode)
{
    Const* text = labelStringConst(aNode);
    if (text == nullptr) {
        return nullptr;
    }
    return aNode->ctx()->cgString(cg_const_string_value(text));
}

void QulLabelledStmt::setLabel(Node* aNode, const char* aLabel)
{
    setLabel(aNode, cg_const_create_from_string(aNode->ctx(), cg_string_create(aNode->ctx(), aLabel)));
}

void QulLabelledStmt::setLabel(Node* aNode, Const* aLabel)
{
    CG_ASSERT(aNode->numInputs() >= 1, "parse/gotostmt");
    NodeFactory nodes(aNode->cfg(), nullptr);
    aNode->setInput(0, nodes.constExpr(aLabel));
    aNode->markCfgDirty();
}

void QulTransformGoto::transformScope(Scope* aScope)
{
    for (Symbol* symbol = aScope->firstSymbol(); symbol != nullptr; symbol = symbol->next()) {
        if (Const::isa(symbol) && cg_const_is_function(Const::cast(symbol)) && Fcn::cast(symbol)->cfg() != nullptr) {
            transformFcn(Fcn::cast(symbol));
        }
    }
}

namespace {

// Scanning the statement list reads memory front to back: far cheaper than the ordered walk, and
// most functions have no goto or label to rewrite.
bool hasGotoOrLabel(Cfg* aCfg)
{
    for (Stmt* stmt : aCfg->stmts()) {
        if (QulGotoStmt::isa(stmt) || QulLabelStmt::isa(stmt)) {
            return true;
        }
    }
    return false;
}

} // namespace

void QulTransformGoto::transformFcn(Fcn* aFcn)
{
    if (!hasGotoOrLabel(aFcn->cfg())) {
        return;
    }
    Stmts gotos;
    Stmts labels;
    collectGotoAndLabelStmts(aFcn, gotos, labels);
    if (gotos.empty() && labels.empty()) {
        return;
    }
    Sizes sizes = calculateLabelMergeSizes(aFcn, gotos, labels);
    Merges merges = replaceLabelsWithMergeStmts(sizes, aFcn, labels);
    transformGotos(merges, aFcn, gotos);
    cg_cfg_unhook_and_destroy_marked_nodes(aFcn->cfg());
    cg_cfg_delete_dead_edges_and_nodes(aFcn->cfg());
}

void QulTransformGoto::collectGotoAndLabelStmts(Fcn* aFcn, Stmts& aGotos, Stmts& aLabels)
{
    for (StmtIterator it(aFcn); it.hasCurrent(); it.advance()) {
        Stmt* stmt = it.current();
        if (QulGotoStmt::isa(stmt)) {
            aGotos.push_back(SeseStmt::cast(stmt));
        }
        if (QulLabelStmt::isa(stmt)) {
            aLabels.push_back(SeseStmt::cast(stmt));
        }
    }
}

void QulTransformGoto::incrementLabel(Sizes& aSizes, char* aLabel)
{
    for (auto& entry : aSizes) {
        if (entry.first == aLabel) {
            ++entry.second;
            return;
        }
    }
    aSizes.emplace_back(aLabel, 2);
}

void QulTransformGoto::decrementLabel(Sizes& aSizes, char* aLabel)
{
    for (auto& entry : aSizes) {
        if (entry.first == aLabel) {
            --entry.second;
            return;
        }
    }
    aSizes.emplace_back(aLabel, -1);
}

QulTransformGoto::Sizes QulTransformGoto::calculateLabelMergeSizes(Fcn*, const Stmts& aGotos, const Stmts& aLabels)
{
    Sizes sizes;
    for (SeseStmt* gotoStmt : aGotos) {
        incrementLabel(sizes, QulLabelledStmt::label(gotoStmt));
    }
    for (SeseStmt* labelStmt : aLabels) {
        if (QulGotoStmt::isa(labelStmt->pred())) {
            decrementLabel(sizes, QulLabelledStmt::label(labelStmt));
        }
    }
    return sizes;
}

QulTransformGoto::Merges QulTransformGoto::replaceLabelsWithMergeStmts(const Sizes& aSizes, Fcn* aFcn,
                                                                       const Stmts& aLabels)
{
    NodeFactory nodes(aFcn, fPool);
    Merges merges;
    for (SeseStmt* labelStmt : aLabels) {
        char* label = QulLabelledStmt::label(labelStmt);
        if (merges.count(label) != 0) {
            TheLogger::instance().throwUserException("QulTransformGoto::replaceLabelsWithMergeStmts::DuplicateLabel",
                                                     "Line %d: label(%s) has duplicate label", sourceLine(labelStmt),
                                                     label);
        }
        auto size = std::find_if(aSizes.begin(), aSizes.end(), [label](const auto& aEntry) { return aEntry.first == label; });
        if (size != aSizes.end() && size->second > 0) {
            MergeStmt* merge = nodes.mergeStmt(std::max(size->second, 2));
            merges.emplace(label, merge);
            replaceLabelWithMerge(labelStmt, merge);
            continue;
        }
        labelStmt->remove();
        TheLogger::instance().logWarning("QulTransformGoto::replaceLabelsWithMergeStmts::UnusedLabel",
                                         "Line %d: label(%s) defined but not used", sourceLine(labelStmt), label);
    }
    return merges;
}

void QulTransformGoto::replaceLabelWithMerge(SeseStmt* aLabel, MergeStmt* aMerge)
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
    for (int i = 0; i < aMerge->numInPorts(); ++i) {
        if (aMerge->inEdge(i) == nullptr) {
            return InPort(aMerge, i);
        }
    }
    return InPort();
}

void QulTransformGoto::transformGotos(const Merges& aMerges, Fcn*, const Stmts& aGotos)
{
    for (SeseStmt* gotoStmt : aGotos) {
        auto merge = aMerges.find(QulLabelledStmt::label(gotoStmt));
        if (merge == aMerges.end()) {
            continue;
        }
        OutPort from = gotoStmt->predOutPort();
        if (!from.valid()) {
            gotoStmt->disconnectOutEdge(0);
            gotoStmt->markForDeletion();
            continue;
        }
        gotoStmt->disconnectInEdge(0);
        InPort port = availableInPort(merge->second);
        if (port.valid()) {
            from.connect(port);
        }
        gotoStmt->disconnectOutEdge(0);
        gotoStmt->markForDeletion();
    }
}

} // namespace CG
