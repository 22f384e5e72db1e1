// Statement phrases: each yields the region of its statements, built through the region factory.
#include "ir/logger.h"
#include "ir/node.h"
#include "ir/symbol.h"
#include "listener/parserlistener.h"
#include "parse/gotostmt.h"
#include "parse/messages.h"
#include "parse/nodefactory.h"
#include "parse/rules.h"

namespace CG {
namespace QulRules {
namespace {

RegionFactory* regions(QulParserCtx* aCtx)
{
    aCtx->requireNodeFactory();
    return aCtx->regionFactory();
}

Region* stmtRegion(QulParserCtx* aCtx, SeseStmt* aStmt, QulParamList* aParams)
{
    aCtx->dispatchParams(aStmt, aParams);
    return regions(aCtx)->stmtRegion(aStmt);
}

} // namespace

Region* emptyRegion(QulParserCtx* aCtx)
{
    return aCtx->scratchPool()->make<Region>();
}

Region* concat(QulParserCtx* aCtx, Region* aFirst, Region* aSecond)
{
    if (aSecond->isEmpty()) {
        return aFirst;
    }
    if (aFirst->isEmpty()) {
        return aSecond;
    }
    return regions(aCtx)->concatRegion(aFirst, aSecond);
}

Region* ifStmt(QulParserCtx* aCtx, Expr* aCondition, QulParamList* aParams, Region* aThen, Region* aElse)
{
    aCtx->dispatchParams(aCondition, aParams);
    return regions(aCtx)->ifRegion(aCondition, aThen, aElse);
}

Region* switchStmt(QulParserCtx* aCtx, Expr* aValue, QulParamList* aParams, QulCaseList* aCases)
{
    aCtx->dispatchParams(aValue, aParams);
    SwitchRegionBuilder builder(regions(aCtx));
    builder.setCondition(aValue);
    builder.reserveCases(aCases->size() - 1);
    for (size_t i = 0; i + 1 < aCases->size(); ++i) {
        builder.addCase((*aCases)[i]->condition(), (*aCases)[i]->statements());
    }
    builder.setDefault(aCases->back()->statements());
    return builder.build();
}

QulCaseList* casesWithDefault(QulParserCtx* aCtx, QulCaseList* aCases, Region* aDefault)
{
    aCases->push_back(caseStmt(aCtx, nullptr, aDefault));
    return aCases;
}

QulCaseStmt* caseStmt(QulParserCtx* aCtx, Expr* aValue, Region* aBody)
{
    return aCtx->scratchPool()->make<QulCaseStmt>(aValue, aBody);
}

Region* forStmt(QulParserCtx* aCtx, bool aParallel, Expr* aIndex, Expr* aStart, Expr* aStep, Expr* aEnd,
                QulParamList* aParams, Region* aBody)
{
    if (!VarExpr::isa(aIndex)) {
        QulMessages::userError(aCtx, "for_stmt:ExpressionNotAVar",
                               "%s: Expression '%s' is not a variable. Please pass a variable to the for stmt",
                               aIndex->opName());
    }
    Region* region = regions(aCtx)->forRegion(aIndex, aStart, aStep, aEnd, aBody, aParallel);
    aCtx->dispatchParams(region->entry().stmt(), aParams);
    return region;
}

Region* whileStmt(QulParserCtx* aCtx, Expr* aCondition, QulParamList* aParams, Region* aBody)
{
    aCtx->dispatchParams(aCondition, aParams);
    return regions(aCtx)->whileRegion(aCondition, aBody);
}

Region* doWhileStmt(QulParserCtx* aCtx, Region* aBody, Expr* aCondition, QulParamList* aParams)
{
    aCtx->dispatchParams(aCondition, aParams);
    return regions(aCtx)->doWhileRegion(aBody, aCondition);
}

Region* gotoStmt(QulParserCtx* aCtx, char* aLabel, QulParamList* aParams)
{
    return stmtRegion(aCtx, aCtx->requireNodeFactory()->gotoStmt(aLabel), aParams);
}

Region* labelStmt(QulParserCtx* aCtx, char* aLabel, QulParamList* aParams)
{
    QulLabelStmt* label = aCtx->requireNodeFactory()->labelStmt(aLabel);
    aCtx->noteLabel(label);
    return stmtRegion(aCtx, label, aParams);
}

Region* overflowStmt(QulParserCtx* aCtx, QulParamList* aParams)
{
    return stmtRegion(aCtx, aCtx->requireNodeFactory()->overflowStmt(), aParams);
}

Region* divByZeroStmt(QulParserCtx* aCtx, QulParamList* aParams)
{
    return stmtRegion(aCtx, aCtx->requireNodeFactory()->divdeByZeroStmt(), aParams);
}

Region* initStmt(QulParserCtx* aCtx, Expr* aLhs, Expr* aValue, QulParamList* aParams)
{
    if (!VarExpr::isa(aLhs)) {
        QulMessages::userError(aCtx, "init_stmt::LhsNotAVar", "%s: The lhs of the init stmt is not a var expr");
    }
    if (!ConstExpr::isa(aValue)) {
        QulMessages::userError(aCtx, "init_stmt::RhsNotAConst", "%s: The rhs of the init stmt is not a constant");
    }
    SeseStmt* stmt = aCtx->requireNodeFactory()->initStmt(VarExpr::cast(aLhs), ConstExpr::cast(aValue));
    return stmtRegion(aCtx, stmt, aParams);
}

Region* deleteStmt(QulParserCtx* aCtx, Expr* aPointer, QulParamList* aParams)
{
    return stmtRegion(aCtx, aCtx->requireNodeFactory()->deleteStmt(aPointer), aParams);
}

Region* commentStmt(QulParserCtx* aCtx, char* aText, QulParamList* aParams)
{
    return stmtRegion(aCtx, aCtx->requireNodeFactory()->commentStmt(aText), aParams);
}

Region* literalTextStmt(QulParserCtx* aCtx, char* aText, QulParamList* aParams)
{
    return stmtRegion(aCtx, aCtx->requireNodeFactory()->literalTextStmt(aText), aParams);
}

Region* parallelVarClassifierStmt(QulParserCtx* aCtx, Expr* aVar, Expr* aClassification)
{
    if (aVar == nullptr || aClassification == nullptr) {
        QulMessages::userError(aCtx, "constructParallelVarClassifier",
                               "constructParallelVarClassifier: %s: Please supply var expr and classification string.");
    }
    bool isString = ConstExpr::isa(aClassification) && cg_const_string_value(ConstExpr::cast(aClassification)->constant()) != nullptr;
    if (!isString) {
        QulMessages::userError(aCtx, "constructParallelVarClassifier",
                               "constructParallelVarClassifier: %s: unable to cast classification argument to "
                               "ConstExpr (not a string?).");
    }
    return stmtRegion(aCtx, aCtx->requireNodeFactory()->parallelVarClassifier(aVar, aClassification), nullptr);
}

Region* listenerStmt(QulParserCtx* aCtx, char* aName, QulExprList* aArgs, QulParamList* aParams)
{
    aCtx->requireNodeFactory();
    QulParserExprs args(aArgs->begin(), aArgs->end());
    SeseStmt* stmt = aCtx->firstListenerAnswer(
        [&](QulParserListener* aListener) { return aListener->seseStmtConstr(aName, &args); });
    if (stmt != nullptr) {
        return stmtRegion(aCtx, stmt, aParams);
    }
    QulMessages::userError(aCtx, "qulY::Rule::listener_stmt::NoListener",
                           "%s: no listener builds the custom statement '%s'", aName);
}

Region* exprStmt(QulParserCtx* aCtx, Expr* aExpr)
{
    return regions(aCtx)->stmtRegion(aCtx->requireNodeFactory()->exprStmt(aExpr));
}

} // namespace QulRules
} // namespace CG
