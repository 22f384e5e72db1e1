// The parser's node factory: the IR node factory plus goto/label placeholders and list-based calls.
#pragma once

#include <unordered_map>

#include "ir/nodefactory.h"
#include "parse/gotostmt.h"
#include "parse/phraselist.h"

namespace CG {

inline ExprArray exprArray(const QulPhraseList<Expr*>& aList)
{
    return ExprArray(aList.begin(), aList.size());
}

class QulNodeFactory : public NodeFactory {
public:
    // One string constant per label name (interned): every goto and label of that name shares it, in any body.
    using LabelConsts = std::unordered_map<const char*, Const*>;

    QulNodeFactory(Fcn* aFcn, MemPool* aPool, TypeChecker* aChecker, LabelConsts* aLabelConsts)
        : NodeFactory(aFcn, aPool, aChecker), fLabelConsts(aLabelConsts)
    {
    }
    virtual ~QulNodeFactory() = default;

    virtual QulGotoStmt* gotoStmt(char* aLabel);
    virtual QulLabelStmt* labelStmt(char* aLabel);
    virtual Expr* opExpr(int aOp, const QulPhraseList<Expr*>& aArgs, Type* aType);
    virtual Expr* opExpr(int aOp, ExprArray aArgs, Type* aType);
    virtual Expr* call(Fcn* aFcn, const QulPhraseList<Expr*>& aArgs);
    virtual Expr* multiOutputCall(Fcn* aFcn, const QulPhraseList<Expr*>& aInputs, const QulPhraseList<Expr*>& aOutputs);

private:
    Const* labelConst(char* aLabel);

    LabelConsts* fLabelConsts;
};

} // namespace CG
