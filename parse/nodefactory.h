// The parser's node factory: the IR node factory plus goto/label placeholders and list-based calls.
#pragma once

#include <vector>

#include "ir/nodefactory.h"

namespace CG {

class QulNodeFactory : public NodeFactory {
public:
    QulNodeFactory(Fcn* aFcn, MemPool* aPool, TypeChecker* aChecker) : NodeFactory(aFcn, aPool, aChecker) {}
    virtual ~QulNodeFactory() = default;

    virtual SeseStmt* gotoStmt(char* aLabel);
    virtual SeseStmt* labelStmt(char* aLabel);
    virtual Expr* opExpr(int aOp, const std::vector<Expr*>& aArgs, Type* aType);
    virtual Expr* call(Fcn* aFcn, const std::vector<Expr*>& aArgs);
    virtual Expr* multiOutputCall(Fcn* aFcn, const std::vector<Expr*>& aInputs, const std::vector<Expr*>& aOutputs);
};

} // namespace CG
