// The parser's node factory: the IR node factory plus goto/label placeholders and list-based calls.
#include "parse/nodefactory.h"

#include "ir/ctx.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "lang/optable.h"
#include "parse/gotostmt.h"

namespace CG {
namespace {

// The placeholder statement definition for the opcode: a variadic statement, made once per context.
CG_NodeDef* placeholderDef(CG_Ctx* aCtx, int aOp, const char* aName)
{
    CG_NodeDef* existing = aCtx->nodeDef(aOp);
    if (existing != nullptr && existing->isStmt() && cg_strcmp(existing->name(), aName) == 0) {
        return existing;
    }
    return CG_NodeDef::create(aCtx, CG_NodeDef::FLAG_NONE, aName, 0, 0, 0, 0, 1, nullptr, nullptr, aOp, 0, 0);
}

} // namespace

QulGotoStmt* QulNodeFactory::gotoStmt(char* aLabel)
{
    QulGotoStmt* stmt = customStmt<QulGotoStmt>(placeholderDef(ctx(), QulOP::QUL_GOTO, "qulGoto"), 1);
    stmt->setLabel(labelConst(aLabel));
    return stmt;
}

QulLabelStmt* QulNodeFactory::labelStmt(char* aLabel)
{
    QulLabelStmt* stmt = customStmt<QulLabelStmt>(placeholderDef(ctx(), QulOP::QUL_LABEL, "qulLabel"), 1);
    stmt->setLabel(labelConst(aLabel));
    return stmt;
}

Const* QulNodeFactory::labelConst(char* aLabel)
{
    char* name = cg_string_create(ctx(), aLabel);
    Const*& constant = (*fLabelConsts)[name];
    if (constant == nullptr) {
        constant = cg_const_create_from_string(ctx(), name);
    }
    return constant;
}

Expr* QulNodeFactory::opExpr(int aOp, const QulPhraseList<Expr*>& aArgs, Type* aType)
{
    return opExpr(aOp, exprArray(aArgs), aType);
}

Expr* QulNodeFactory::opExpr(int aOp, ExprArray aArgs, Type* aType)
{
    return expr(aOp, aArgs, aType);
}

Expr* QulNodeFactory::call(Fcn* aFcn, const QulPhraseList<Expr*>& aArgs)
{
    return callExpr(constExpr(aFcn), exprArray(aArgs), 1);
}

Expr* QulNodeFactory::multiOutputCall(Fcn* aFcn, const QulPhraseList<Expr*>& aInputs,
                                      const QulPhraseList<Expr*>& aOutputs)
{
    return multiOutputCallExpr(constExpr(aFcn), exprArray(aInputs), exprArray(aOutputs), 1);
}

} // namespace CG
