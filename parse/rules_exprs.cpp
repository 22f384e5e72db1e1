// Expression phrases: names, constants, operator applications, calls (with forward references) and checks.
#include <cstring>
#include <stdexcept>

#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/node.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "ir/typefactory.h"
#include "listener/parserlistener.h"
#include "parse/messages.h"
#include "parse/nodefactory.h"
#include "parse/rules.h"
#include "parse/symboltable.h"

namespace CG {
namespace QulRules {
namespace {

Type* built(TypeBuilder* aType)
{
    return aType != nullptr ? aType->build() : nullptr;
}

// Annotations first, then an explicit result type that differs from the one the expression got.
Expr* finish(QulParserCtx* aCtx, Expr* aExpr, TypeBuilder* aType, QulParamList* aParams)
{
    aCtx->dispatchParams(aExpr, aParams);
    Type* type = built(aType);
    if (type != nullptr && (aExpr->type() == nullptr || !aExpr->type()->equals(type))) {
        aExpr->setType(type);
    }
    return aExpr;
}

Fcn* intrinsicFcn(QulParserCtx* aCtx, int aCode)
{
    for (IntrinsicFcn* fcn : aCtx->irCtx()->intrinsicFcns()) {
        if (fcn->intrinsic()->code() == aCode) {
            return fcn;
        }
    }
    return nullptr;
}

Fcn* libraryFcn(QulParserCtx* aCtx, int aCode)
{
    for (LibraryFcn* fcn : aCtx->irCtx()->libraryFcns()) {
        if (fcn->intrinsic()->code() == aCode) {
            return fcn;
        }
    }
    return nullptr;
}

Expr* callFcn(QulParserCtx* aCtx, char* aName, Fcn* aFcn, QulExprList* aArgs)
{
    int count = static_cast<int>(aArgs->size());
    bool fits = aFcn->takesVariableInputs() ? count >= aFcn->numInputs() : count == aFcn->numInputs();
    if (!fits) {
        QulMessages::userError(aCtx, "qulY::Rule::expr::FcnCallDiffInArgsThanDef",
                               "%s: function call to %s has different number of input arguments than the function "
                               "definition",
                               aName);
    }
    if (aFcn->numOutputs() >= 2) {
        QulMessages::userError(aCtx, "qulY::Rule::expr::FcnCallExpectsMoreOutputsThanDef",
                               "%s: function call to %s expects more than one outputs while the function definition "
                               "will return only one",
                               aName);
    }
    return aCtx->requireNodeFactory()->call(aFcn, *aArgs);
}

Expr* callIntrinsic(QulParserCtx* aCtx, char* aName, Fcn* aFcn, QulExprList* aArgs)
{
    if (aFcn == nullptr) {
        QulMessages::userError(aCtx, "qulY::Rule::expr::ExprIsNULL",
                               "%s: creation of expr for operator %s returned a null expression", aName);
    }
    if (static_cast<int>(aArgs->size()) != aFcn->numInputs()) {
        QulMessages::userError(aCtx, "qulY::Rule::expr::IntrinsicCallDiffInArgsThanDef",
                               "%s: intrinsic call to %s has different number of input arguments than the intrinsic "
                               "definition",
                               aName);
    }
    if (aFcn->numOutputs() >= 2) {
        QulMessages::userError(aCtx, "qulY::Rule::expr::IntrinsicCallExpectsMoreOutputsThanDef",
                               "%s: intrinsic call to %s expects more than one outputs while the intrinsic definition "
                               "will return only one",
                               aName);
    }
    return aCtx->requireNodeFactory()->call(aFcn, *aArgs);
}

Expr* applyOperator(QulParserCtx* aCtx, char* aName, int aOp, TypeBuilder* aType, QulExprList* aArgs)
{
    CG_NodeDef* def = aCtx->irCtx()->nodeDef(aOp);
    int count = static_cast<int>(aArgs->size());
    if (def != nullptr && def->isBuiltin() && !def->isVariadic() && count != def->numInputs()) {
        QulMessages::internalError(aCtx, "qulY::Rule::expr::WrongNumInputs",
                                   "%s: Wrong number of inputs (%d) given to operator '%s', expected %d inputs", count,
                                   aName, def->numInputs());
    }
    QulNodeFactory* nodes = aCtx->requireNodeFactory();
    try {
        return nodes->opExpr(aOp, *aArgs, built(aType));
    } catch (const MessageException& aError) {
        QulMessages::internalError(aCtx, "qulY::Rule::expr::ExprCreationError", "%s: %s", aError.what());
    } catch (const std::logic_error& aError) {
        QulMessages::internalError(aCtx, "qulY::Rule::expr::ExprCreationError", "%s: %s", aError.what());
    }
}

// Where a check of each kind keeps its numbers, as the emitter reads them back: constant operands
// after the checked expression, or auxiliary constants. (A dynamic bounds check takes expressions.)
struct CheckBounds {
    int count;
    bool asInputs;
};

CheckBounds checkBoundsOf(int aKind)
{
    switch (aKind) {
    case CheckExpr::CHECK_NONE:
        return {5, true};
    case CheckExpr::CHECK_OVERFLOW:
    case CheckExpr::CHECK_NULL_POINTER:
    case CheckExpr::CHECK_RANGE:
    case CheckExpr::CHECK_CAST_RANGE:
        return {1, true};
    case CheckExpr::CHECK_DIVIDE_BY_ZERO:
        return {4, false};
    case CheckExpr::CHECK_ARRAY_BOUNDS:
        return {6, false};
    default:
        return {0, false};
    }
}

Expr* forwardCall(QulParserCtx* aCtx, char* aName, QulExprList* aArgs)
{
    Expr* call = aCtx->requireNodeFactory()->call(aCtx->forwardPlaceholder(aName), *aArgs);
    aCtx->addForwardReference(aName, call);
    return call;
}

Expr* exprForSymbol(QulParserCtx* aCtx, char* aName, QulSymbol* aSymbol, TypeBuilder* aType, QulExprList* aArgs)
{
    if (aSymbol == nullptr) {
        return forwardCall(aCtx, aName, aArgs);
    }
    if (aSymbol->fcnView() != nullptr) {
        return callFcn(aCtx, aName, aSymbol->fcnView(), aArgs);
    }
    if (aSymbol->opView() >= 0) {
        return applyOperator(aCtx, aName, aSymbol->opView(), aType, aArgs);
    }
    if (aSymbol->intrinsicView() >= 0) {
        return callIntrinsic(aCtx, aName, intrinsicFcn(aCtx, aSymbol->intrinsicView()), aArgs);
    }
    if (aSymbol->algorithmIntrinsicView() >= 0) {
        return callIntrinsic(aCtx, aName, libraryFcn(aCtx, aSymbol->algorithmIntrinsicView()), aArgs);
    }
    return nullptr;
}

Const* constantOf(QulParserCtx* aCtx, Type* aType, QulLiteral* aLiteral)
{
    return ConstFactory(aCtx->irCtx()).create(aType, literalValue(aCtx, aLiteral, aType), nullptr, nullptr);
}

// Short literals (true and false, integers of up to three digits, doubles such as 0.5) repeat throughout a
// module: the constant of a type for one is made once and shared, found by the literal's interned text. Longer
// ones seldom repeat, and would make the table of shared ones large.
constexpr size_t kSharedTextLength = 4;
constexpr size_t kSharedDigits = 3;

// The interned text that names a shared literal of aType; null for one that gets a constant of its own. Only a
// number of an integer type is shared: one given to a bool is warned about each time, and a pointer's value can be
// changed in place.
char* sharedLiteralText(QulParserCtx* aCtx, QulLiteral* aLiteral, Type* aType)
{
    switch (aLiteral->whichClass()) {
    case QulLiteral::QULBOOL:
        return aCtx->irCtx()->cgString(static_cast<QulLiteralBool*>(aLiteral)->value() ? "true" : "false");
    case QulLiteral::QULINTEGER: {
        char* text = static_cast<QulLiteralInteger*>(aLiteral)->value();
        bool shared = std::strlen(text) <= kSharedDigits && IntegerType::isa(aType);
        return shared ? aCtx->irCtx()->cgString(text) : nullptr;
    }
    case QulLiteral::QULDOUBLE: {
        char* text = static_cast<QulLiteralDouble*>(aLiteral)->value();
        return std::strlen(text) <= kSharedTextLength ? aCtx->irCtx()->cgString(text) : nullptr;
    }
    default:
        return nullptr;
    }
}

// The constant for a literal of aType, shared when aSharedText names it: aMake makes it the first time.
template <class Make> Const* sharedConstant(QulParserCtx* aCtx, Type* aType, char* aSharedText, Make aMake)
{
    Const* constant = aSharedText != nullptr ? aCtx->literalConst(aType, aSharedText) : nullptr;
    if (constant == nullptr) {
        constant = aMake();
        if (aSharedText != nullptr) {
            aCtx->rememberLiteralConst(aType, aSharedText, constant);
        }
    }
    return constant;
}

// The integer type an integer text's suffix names: none is int32, "sN" signed N bits, "u[N]" unsigned.
Type* integerTypeOf(QulParserCtx* aCtx, const char* aText, size_t* aDigitsEnd)
{
    const char* suffix = std::strpbrk(aText, "su");
    *aDigitsEnd = suffix != nullptr ? static_cast<size_t>(suffix - aText) : std::strlen(aText);
    TypeFactory types(aCtx->irCtx());
    if (suffix == nullptr) {
        return types.signedInt32Type();
    }
    int bits = suffix[1] != '\0' ? std::atoi(suffix + 1) : 32;
    if (bits < 1 || bits > 1024) {
        QulMessages::userError(aCtx, "qulY::Rule::integer::InvalidWidth", "%s: integer %s has an invalid width", aText);
    }
    return types.integerType(suffix[0] == 's', bits);
}

} // namespace

Expr* applyExpr(QulParserCtx* aCtx, char* aName, TypeBuilder* aType, QulExprList* aArgs, QulParamList* aParams)
{
    QulSymbol* symbol = aCtx->symbolTable()->lookup(aName);
    Expr* expr = exprForSymbol(aCtx, aName, symbol, aType, aArgs);
    if (expr == nullptr) {
        QulMessages::internalError(aCtx, "qulY::Rule::expr::ExprIsNULL",
                                   "%s: creation of expr for operator %s returned a null expression", aName);
    }
    return finish(aCtx, expr, aType, aParams);
}

Expr* multiOutputCallExpr(QulParserCtx* aCtx, char* aName, TypeBuilder* aType, QulExprList* aInputs,
                          QulExprList* aOutputs, QulParamList* aParams)
{
    QulNodeFactory* nodes = aCtx->requireNodeFactory();
    QulSymbol* symbol = aCtx->symbolTable()->lookup(aName);
    Fcn* fcn = symbol != nullptr ? symbol->fcnView() : nullptr;
    if (symbol == nullptr) {
        Expr* call = nodes->multiOutputCall(aCtx->forwardPlaceholder(aName), *aInputs, *aOutputs);
        aCtx->addForwardReference(aName, call);
        return finish(aCtx, call, aType, aParams);
    }
    if (fcn == nullptr) {
        QulMessages::userError(aCtx, "qulY::Rule::multi_output_fn_call_expr::NotAFunction",
                               "%s: %s is not a function", aName);
    }
    if (static_cast<int>(aInputs->size()) != fcn->numInputs()) {
        QulMessages::userError(aCtx, "qulY::Rule::multi_output_fn_call_expr::FcnCallInputArgsDiffFromDef",
                               "%s: function call to %s has different number of input arguments than the function "
                               "definition",
                               aName);
    }
    if (static_cast<int>(aOutputs->size()) != fcn->numOutputs()) {
        QulMessages::userError(aCtx, "qulY::Rule::multi_output_fn_call_expr::FcnCallOutputArgsDiffFromDef",
                               "%s: function call to %s expects a different number of outputs than the function "
                               "definition",
                               aName);
    }
    return finish(aCtx, nodes->multiOutputCall(fcn, *aInputs, *aOutputs), aType, aParams);
}

Expr* matrixCatExpr(QulParserCtx* aCtx, TypeBuilder* aType, char* aDimension, QulExprList* aArgs, QulParamList* aParams)
{
    int dimension = static_cast<int>(integerValueOf(aCtx, aDimension));
    Expr* expr = aCtx->requireNodeFactory()->matrixCatExpr(dimension, exprArray(*aArgs), built(aType));
    return finish(aCtx, expr, aType, aParams);
}

Expr* newExpr(QulParserCtx* aCtx, TypeBuilder* aType)
{
    Type* type = aType->build();
    Expr* expr = aCtx->requireNodeFactory()->newExpr(type);
    expr->setType(TypeFactory(aCtx->irCtx()).pointerType(type));
    return expr;
}

Expr* quotedConstExpr(QulParserCtx* aCtx, char* aText)
{
    Type* type = TypeFactory(aCtx->irCtx()).stringType();
    return aCtx->requireNodeFactory()->constExpr(constantOf(aCtx, type, aCtx->literalFactory()->stringLiteral(aText)));
}

namespace {

// A function is a constant of the IR too: a name that denotes one stands for it as a value.
Const* constantOrFunction(QulSymbol* aSymbol)
{
    if (aSymbol == nullptr) {
        return nullptr;
    }
    return aSymbol->constView() != nullptr ? aSymbol->constView() : aSymbol->fcnView();
}

} // namespace

Expr* nameExpr(QulParserCtx* aCtx, char* aName)
{
    QulSymbol* symbol = aCtx->symbolTable()->lookup(aName);
    if (symbol != nullptr && symbol->varView() != nullptr) {
        return aCtx->requireNodeFactory()->varExpr(symbol->varView());
    }
    if (Const* constant = constantOrFunction(symbol)) {
        return aCtx->requireNodeFactory()->constExpr(constant);
    }
    QulMessages::userError(aCtx, "qulY::Rule::var_or_const_expr::IdentifierNotInSymTab",
                           "%s: Unable to find |%s| in the symbol table", aName);
}

Expr* sizeofExpr(QulParserCtx* aCtx, TypeBuilder* aResultType, TypeBuilder* aType)
{
    // A size is counted in the target's unsigned integers unless the text says otherwise.
    Expr* expr = aCtx->requireNodeFactory()->sizeofExpr(aType->build());
    if (expr->type() == nullptr) {
        expr->setType(TypeFactory(aCtx->irCtx()).uintType());
    }
    return finish(aCtx, expr, aResultType, nullptr);
}

Expr* symbolicSizeExpr(QulParserCtx* aCtx, char* aName)
{
    return aCtx->requireNodeFactory()->symbolicSizeExpr(namedSize(aCtx, aName));
}

Expr* listenerExpr(QulParserCtx* aCtx, char* aName, TypeBuilder* aType, QulExprList* aArgs, QulParamList* aParams)
{
    aCtx->requireNodeFactory();
    Type* type = built(aType);
    QulParserExprs args(aArgs->begin(), aArgs->end());
    Expr* expr = aCtx->firstListenerAnswer(
        [&](QulParserListener* aListener) { return aListener->exprConstr(aName, &args, type); });
    if (expr != nullptr) {
        return finish(aCtx, expr, aType, aParams);
    }
    QulMessages::userError(aCtx, "qulY::Rule::listener_expr::NoListener",
                           "%s: no listener builds the custom expression '%s'", aName);
}

Expr* derefName(QulParserCtx* aCtx, char* aName)
{
    QulSymbol* symbol = aCtx->symbolTable()->lookup(aName);
    bool named = symbol != nullptr && (symbol->varView() != nullptr || symbol->constView() != nullptr);
    if (!named) {
        QulMessages::internalError(aCtx, "expr::CannotDerefNotVar",
                                   "%s: Trying to dereference a symbol that is not a variable");
    }
    QulNodeFactory* nodes = aCtx->requireNodeFactory();
    Expr* operand = symbol->varView() != nullptr ? static_cast<Expr*>(nodes->varExpr(symbol->varView()))
                                                 : static_cast<Expr*>(nodes->constExpr(symbol->constView()));
    return nodes->derefExpr(operand, nullptr);
}

Expr* derefExpr(QulParserCtx* aCtx, TypeBuilder* aType, Expr* aPointer, QulParamList* aParams)
{
    Expr* expr = aCtx->requireNodeFactory()->derefExpr(aPointer, built(aType));
    return finish(aCtx, expr, aType, aParams);
}

Expr* checkExpr(QulParserCtx* aCtx, TypeBuilder* aType, Expr* aExpr, char* aFlavour, QulNumberList* aBounds,
                QulParamList* aParams)
{
    int kind = CheckExpr::checkKindByName(aFlavour);
    if (kind < 0) {
        QulMessages::userError(aCtx, "qulY::Rule::check_expr::CheckNodeEnumDoesntExist",
                               "%s: the enum %s provided for the check node does not exist", aFlavour);
    }
    if (kind == CheckExpr::CHECK_DYNAMIC_BOUNDS) {
        QulMessages::userError(aCtx, "qulY::Rule::check_expr_elist::BadNumCheckArgs",
                               "%s: dynamic bounds check requires exactly two expression arguments");
    }
    CheckBounds layout = checkBoundsOf(kind);
    int count = static_cast<int>(aBounds->size());
    if (count != layout.count) {
        QulMessages::userError(aCtx, "qulY::Rule::check_expr::WrongNumberOfBounds",
                               "%s: the number of bounds of a %s check must be %d, not %d", aFlavour,
                               layout.count, count);
    }
    Type* doubleType = TypeFactory(aCtx->irCtx()).doubleType();
    QulNodeFactory* nodes = aCtx->requireNodeFactory();
    std::vector<Expr*> inputs{aExpr};
    std::vector<Const*> auxBounds;
    for (char* text : *aBounds) {
        Const* bound = constantOf(aCtx, doubleType, aCtx->literalFactory()->doubleLiteral(text));
        if (layout.asInputs) {
            inputs.push_back(nodes->constExpr(bound));
        } else {
            auxBounds.push_back(bound);
        }
    }
    Expr* expr = nodes->checkExpr(kind, inputs, auxBounds, built(aType));
    return finish(aCtx, expr, aType, aParams);
}

Expr* checkExprList(QulParserCtx* aCtx, TypeBuilder* aType, Expr* aExpr, char* aFlavour, QulExprList* aArgs,
                    QulParamList* aParams)
{
    int kind = CheckExpr::checkKindByName(aFlavour);
    if (kind < 0) {
        QulMessages::userError(aCtx, "qulY::Rule::check_expr::CheckNodeEnumDoesntExist",
                               "%s: the enum %s provided for the check node does not exist", aFlavour);
    }
    if (kind != CheckExpr::CHECK_DYNAMIC_BOUNDS) {
        QulMessages::userError(aCtx, "qulY::Rule::check_expr_elist::UnknownElistCheck",
                               "%s: unknown/unsupported expr-list check flavor %s", aFlavour);
    }
    if (aArgs->size() != 2) {
        QulMessages::userError(aCtx, "qulY::Rule::check_expr_elist::BadNumCheckArgs",
                               "%s: dynamic bounds check requires exactly two expression arguments");
    }
    Expr* expr = aCtx->requireNodeFactory()->dynamicBoundsCheckExpr(aExpr, (*aArgs)[0], (*aArgs)[1]);
    return finish(aCtx, expr, aType, aParams);
}

Expr* constValueExpr(QulParserCtx* aCtx, TypeBuilder* aResultType, TypeBuilder* aType, QulLiteral* aValue,
                     QulParamList* aParams)
{
    Type* type = aType->build();
    Const* constant = sharedConstant(aCtx, type, sharedLiteralText(aCtx, aValue, type),
                                     [&] { return constantOf(aCtx, type, aValue); });
    return finish(aCtx, aCtx->requireNodeFactory()->constExpr(constant), aResultType, aParams);
}

Expr* constNameExpr(QulParserCtx* aCtx, TypeBuilder* aType, char* aName, QulParamList* aParams)
{
    Const* constant = constantOrFunction(aCtx->symbolTable()->lookup(aName));
    if (constant == nullptr) {
        QulMessages::userError(aCtx, "qulY::Rule::const_expr::IdentifierNotConst",
                               "%s: Trying to create a constExpr using an identifier '%s' which is not a constant or a "
                               "function",
                               aName);
    }
    return finish(aCtx, aCtx->requireNodeFactory()->constExpr(constant), aType, aParams);
}

Expr* varNameExpr(QulParserCtx* aCtx, TypeBuilder* aType, char* aName, QulParamList* aParams)
{
    QulSymbol* symbol = aCtx->symbolTable()->lookup(aName);
    if (symbol == nullptr || symbol->varView() == nullptr) {
        QulMessages::userError(aCtx, "var_expr::IdentifierNotDefined",
                               "%s: Identifier '%s' is being used without being defined", aName);
    }
    return finish(aCtx, aCtx->requireNodeFactory()->varExpr(symbol->varView()), aType, aParams);
}

Expr* integerConstExpr(QulParserCtx* aCtx, char* aText)
{
    size_t digitsEnd = 0;
    Type* type = integerTypeOf(aCtx, aText, &digitsEnd);
    bool shared = digitsEnd <= kSharedDigits;
    std::string_view digitsText(aText, digitsEnd);
    char* digits = shared ? aCtx->irCtx()->cgString(digitsText)
                          : aText[digitsEnd] == '\0' ? aText : aCtx->keepNumberText(digitsText);
    Const* constant = sharedConstant(aCtx, type, shared ? digits : nullptr, [&] {
        // Integer operands are the most numerous literals: theirs lives on the stack, not in the parser's pool.
        QulLiteralInteger literal(digits);
        aCtx->literalFactory()->stamp(&literal);
        return constantOf(aCtx, type, &literal);
    });
    if (digits != aText && !shared) {
        aCtx->releaseNumberText(digits);
    }
    aCtx->releaseNumberText(aText);
    return aCtx->requireNodeFactory()->constExpr(constant);
}

} // namespace QulRules
} // namespace CG
