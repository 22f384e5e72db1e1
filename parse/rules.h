// Semantic rules behind the grammar's actions: phrase value types and one function per construct.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

#include "ir/fcnbuilder.h"
#include "ir/logger.h"
#include "ir/node.h"
#include "ir/region.h"
#include "ir/typebuilder.h"
#include "lang/literal.h"
#include "lang/optparam.h"
#include "numeric/fxp.h"
#include "parse/messages.h"
#include "parse/parserctx.h"
#include "parse/phraselist.h"

namespace CG {

class QulCaseStmt;

// The lists of a phrase, in source order, duplicates allowed. The ones a body holds by the hundred
// thousand (operands, cases) are pool lists; the rest are standard vectors.
template <class T>
using QulVec = std::vector<T>;
using QulTypeBuilderList = QulVec<TypeBuilder*>;
using QulFieldList = QulVec<AggregateTypeFieldBuilder*>;
using QulMemberList = QulVec<ClassTypeFieldBuilder*>;
using QulBaseList = QulVec<Inheritance*>;
using QulElementList = QulVec<EnumTypeElement*>;
using QulParamList = QulVec<QulOptionalParameter*>;
using QulValueList = QulVec<QulOptionalParameterValue*>;
using QulExprList = QulPhraseList<Expr*>;
using QulSizeList = QulVec<SymbolicSize*>;
using QulNumberList = QulVec<char*>;
using QulCaseList = QulPhraseList<QulCaseStmt*>;

struct QulDynamicDim {
    bool variable;
    SymbolicSize* size;
};
using QulDynamicDimList = QulVec<QulDynamicDim*>;

// One entry of the parenthesised list of a function, method or prototype definition.
struct QulConstructorParam;
using QulConstructorParamList = QulVec<QulConstructorParam*>;
struct QulConstructorParam {
    enum class Kind { NAME, STRING, VAR, LIST };
    Kind kind;
    char* text;
    Var* var;
    QulConstructorParamList* list;
};

namespace QulRules {

enum Qualifier : long { kVolatile = 1, kReadonly = 2 };
enum class CallableKind { Function, Method, Prototype };
enum class MatrixLayout { Matrix, Row, Column };

// ---- Lists
// Pool lists live in the scratch pool; vectors (annotations among them, which listeners may keep) in
// the parser's pool.
template <class L>
L* newList(QulParserCtx* aCtx)
{
    if constexpr (std::is_constructible<L, MemPool*>::value) {
        return aCtx->scratchPool()->make<L>(aCtx->scratchPool());
    } else {
        return aCtx->managedPool()->make<L>();
    }
}
template <class L, class T>
L* listOf(QulParserCtx* aCtx, T aItem)
{
    L* list = newList<L>(aCtx);
    list->push_back(aItem);
    return list;
}
template <class L, class T>
L* append(L* aList, T aItem)
{
    aList->push_back(aItem);
    return aList;
}
template <class T, class U>
QulPhraseList<T>* prepend(QulPhraseList<T>* aList, U aItem)
{
    aList->push_front(aItem);
    return aList;
}
template <class T, class U>
std::vector<T>* prepend(std::vector<T>* aList, U aItem)
{
    aList->insert(aList->begin(), aItem);
    return aList;
}
QulNumberList* appendAll(QulNumberList* aList, QulNumberList* aMore);
char* intern(QulParserCtx* aCtx, const char* aText);

// ---- Program, scopes and definitions (rules_defs.cpp)
void programStart(QulParserCtx* aCtx);
void programEnd(QulParserCtx* aCtx);
void scopeOpen(QulParserCtx* aCtx, char* aName);
void scopeClose(QulParserCtx* aCtx);
Symbol* constDef(QulParserCtx* aCtx, char* aSymbolName, TypeBuilder* aType, QulLiteral* aValue, char* aIrName,
                 QulParamList* aParams);
Var* varDef(QulParserCtx* aCtx, char* aSymbolName, TypeBuilder* aType, char* aIrName, QulLiteral* aInit,
            QulParamList* aParams);
Symbol* typeDef(QulParserCtx* aCtx, char* aSymbolName, TypeBuilder* aType, char* aIrName, QulParamList* aParams,
                bool aAlias);
void symbolicIdDef(QulParserCtx* aCtx, char* aSymbolName, char* aName);
void callableOpen(QulParserCtx* aCtx);
void callableDefine(QulParserCtx* aCtx, char* aSymbolName, QulConstructorParamList* aParams, QulParamList* aOptions,
                    CallableKind aKind);
void callableClose(QulParserCtx* aCtx, Region* aBody);
QulConstructorParam* nameParam(QulParserCtx* aCtx, char* aName);
QulConstructorParam* stringParam(QulParserCtx* aCtx, char* aText);
QulConstructorParam* varParam(QulParserCtx* aCtx, Var* aVar);
QulConstructorParam* listParam(QulParserCtx* aCtx, QulConstructorParamList* aList);

// ---- Literals
// Runs aRead, which makes a value from the text: a literal its target type cannot take (a precondition
// of the literal layer), a number the numerics refuse, or a type they cannot represent becomes a user error
// with the same text.
template <class Read>
auto readValue(QulParserCtx* aCtx, Read aRead) -> decltype(aRead())
{
    try {
        return aRead();
    } catch (const AssertionException& aUnfit) {
        QulMessages::userError(aCtx, "qulY::Rule::literal::ValueDoesNotFitType", "%s: %s",
                               aUnfit.expression().c_str());
    } catch (const FXP::NumberFormatError& aInvalid) {
        QulMessages::userError(aCtx, "qulY::Rule::literal::InvalidNumber", "%s: %s", aInvalid.what());
    } catch (const FXP::InvalidTypeError& aNoValues) {
        QulMessages::userError(aCtx, "qulY::Rule::literal::TypeHasNoValues", "%s: the type can hold no value: %s",
                               aNoValues.what());
    }
}
// The value of a literal for the type.
Ref<Value> literalValue(QulParserCtx* aCtx, QulLiteral* aLiteral, Type* aType);
QulLiteral* boolLiteral(QulParserCtx* aCtx, long aValue);
QulLiteral* integerLiteral(QulParserCtx* aCtx, char* aText);
QulLiteral* doubleLiteral(QulParserCtx* aCtx, char* aText);
QulLiteral* enumLiteral(QulParserCtx* aCtx, char* aName);
QulLiteral* stringLiteral(QulParserCtx* aCtx, char* aText);
QulLiteral* compositeLiteral(QulParserCtx* aCtx, QulLiteralList* aElements);
QulLiteralList* newLiteralList(QulParserCtx* aCtx);
QulLiteralList* appendLiteral(QulLiteralList* aList, QulLiteral* aLiteral);

// ---- Types and sizes (rules_types.cpp)
TypeBuilder* qualifiedType(QulParserCtx* aCtx, long aQualifiers, TypeBuilder* aType);
TypeBuilder* namedType(QulParserCtx* aCtx, char* aName);
TypeBuilder* integerType(QulParserCtx* aCtx, char* aBits, bool aSigned, QulParamList* aParams);
TypeBuilder* matrixType(QulParserCtx* aCtx, TypeBuilder* aElement, QulSizeList* aDims, MatrixLayout aLayout,
                        QulParamList* aParams);
TypeBuilder* dynamicMatrixType(QulParserCtx* aCtx, TypeBuilder* aElement, QulDynamicDimList* aDims, bool aRowMajor,
                               QulParamList* aParams);
AggregateTypeFieldBuilder* field(QulParserCtx* aCtx, TypeBuilder* aType, char* aName, QulParamList* aParams);
ClassTypeFieldBuilder* classField(QulParserCtx* aCtx, char* aVisibility, TypeBuilder* aType, char* aName,
                                  QulParamList* aParams);
Inheritance* inheritance(QulParserCtx* aCtx, char* aVisibility, char* aBaseName);
TypeBuilder* classType(QulParserCtx* aCtx, QulMemberList* aFields, QulBaseList* aBases, QulParamList* aParams);
TypeBuilder* aggregateType(QulParserCtx* aCtx, bool aUnion, char* aTag, QulFieldList* aFields, QulParamList* aParams);
TypeBuilder* fcnType(QulParserCtx* aCtx, QulTypeBuilderList* aInputs, QulTypeBuilderList* aOutputs,
                     QulParamList* aParams);
EnumTypeElement* enumElement(QulParserCtx* aCtx, char* aName, char* aValue);
TypeBuilder* enumType(QulParserCtx* aCtx, char* aTag, QulElementList* aElements, QulParamList* aParams);
TypeBuilder* fixptLongType(QulParserCtx* aCtx, bool aScaledDouble, TypeBuilder* aBase, long aBits, long aExponent,
                           QulNumberList* aNumbers, QulParamList* aParams);
TypeBuilder* fixptShortType(QulParserCtx* aCtx, bool aScaledDouble, char* aSign, QulNumberList* aNumbers);
TypeBuilder* complexType(QulParserCtx* aCtx, TypeBuilder* aBase, QulParamList* aParams);
TypeBuilder* pointerType(QulParserCtx* aCtx, TypeBuilder* aBase, QulParamList* aParams);
TypeBuilder* referenceType(QulParserCtx* aCtx, TypeBuilder* aBase, QulParamList* aParams);
long integerValueOf(QulParserCtx* aCtx, char* aText);
SymbolicSize* knownSize(QulParserCtx* aCtx, char* aText);
SymbolicSize* unknownSize(QulParserCtx* aCtx);
SymbolicSize* namedSize(QulParserCtx* aCtx, char* aName);
SymbolicSize* unarySize(QulParserCtx* aCtx, char* aOp, SymbolicSize* aOperand);
SymbolicSize* binarySize(QulParserCtx* aCtx, char* aOp, SymbolicSize* aLeft, SymbolicSize* aRight);
QulDynamicDim* fixedDim(QulParserCtx* aCtx, SymbolicSize* aSize);
QulDynamicDim* variableDim(QulParserCtx* aCtx, SymbolicSize* aBound);

// ---- Optional parameters
QulOptionalParameter* optionalParameter(QulParserCtx* aCtx, char* aTag, QulOptionalParameterValue* aValue);
QulOptionalParameterValue* stringValue(QulParserCtx* aCtx, char* aText);
QulOptionalParameterValue* integerValue(QulParserCtx* aCtx, char* aText);
QulOptionalParameterValue* doubleValue(QulParserCtx* aCtx, char* aText);
QulOptionalParameterValue* termValue(QulParserCtx* aCtx, char* aFunctor, QulValueList* aArguments);

// ---- Expressions (rules_exprs.cpp)
Expr* applyExpr(QulParserCtx* aCtx, char* aName, TypeBuilder* aType, QulExprList* aArgs, QulParamList* aParams);
Expr* multiOutputCallExpr(QulParserCtx* aCtx, char* aName, TypeBuilder* aType, QulExprList* aInputs,
                          QulExprList* aOutputs, QulParamList* aParams);
Expr* matrixCatExpr(QulParserCtx* aCtx, TypeBuilder* aType, char* aDimension, QulExprList* aArgs, QulParamList* aParams);
Expr* newExpr(QulParserCtx* aCtx, TypeBuilder* aType);
Expr* quotedConstExpr(QulParserCtx* aCtx, char* aText);
Expr* nameExpr(QulParserCtx* aCtx, char* aName);
Expr* sizeofExpr(QulParserCtx* aCtx, TypeBuilder* aResultType, TypeBuilder* aType);
Expr* symbolicSizeExpr(QulParserCtx* aCtx, char* aName);
Expr* listenerExpr(QulParserCtx* aCtx, char* aName, TypeBuilder* aType, QulExprList* aArgs, QulParamList* aParams);
Expr* derefName(QulParserCtx* aCtx, char* aName);
Expr* derefExpr(QulParserCtx* aCtx, TypeBuilder* aType, Expr* aPointer, QulParamList* aParams);
Expr* checkExpr(QulParserCtx* aCtx, TypeBuilder* aType, Expr* aExpr, char* aFlavour, QulNumberList* aBounds,
                QulParamList* aParams);
Expr* checkExprList(QulParserCtx* aCtx, TypeBuilder* aType, Expr* aExpr, char* aFlavour, QulExprList* aArgs,
                    QulParamList* aParams);
Expr* constValueExpr(QulParserCtx* aCtx, TypeBuilder* aResultType, TypeBuilder* aType, QulLiteral* aValue,
                     QulParamList* aParams);
Expr* constNameExpr(QulParserCtx* aCtx, TypeBuilder* aType, char* aName, QulParamList* aParams);
Expr* varNameExpr(QulParserCtx* aCtx, TypeBuilder* aType, char* aName, QulParamList* aParams);
Expr* integerConstExpr(QulParserCtx* aCtx, char* aText);

// ---- Statements (rules_stmts.cpp)
Region* emptyRegion(QulParserCtx* aCtx);
Region* concat(QulParserCtx* aCtx, Region* aFirst, Region* aSecond);
Region* ifStmt(QulParserCtx* aCtx, Expr* aCondition, QulParamList* aParams, Region* aThen, Region* aElse);
Region* switchStmt(QulParserCtx* aCtx, Expr* aValue, QulParamList* aParams, QulCaseList* aCases);
QulCaseList* casesWithDefault(QulParserCtx* aCtx, QulCaseList* aCases, Region* aDefault);
QulCaseStmt* caseStmt(QulParserCtx* aCtx, Expr* aValue, Region* aBody);
Region* forStmt(QulParserCtx* aCtx, bool aParallel, Expr* aIndex, Expr* aStart, Expr* aStep, Expr* aEnd,
                QulParamList* aParams, Region* aBody);
Region* whileStmt(QulParserCtx* aCtx, Expr* aCondition, QulParamList* aParams, Region* aBody);
Region* doWhileStmt(QulParserCtx* aCtx, Region* aBody, Expr* aCondition, QulParamList* aParams);
Region* gotoStmt(QulParserCtx* aCtx, char* aLabel, QulParamList* aParams);
Region* labelStmt(QulParserCtx* aCtx, char* aLabel, QulParamList* aParams);
Region* overflowStmt(QulParserCtx* aCtx, QulParamList* aParams);
Region* divByZeroStmt(QulParserCtx* aCtx, QulParamList* aParams);
Region* initStmt(QulParserCtx* aCtx, Expr* aLhs, Expr* aValue, QulParamList* aParams);
Region* deleteStmt(QulParserCtx* aCtx, Expr* aPointer, QulParamList* aParams);
Region* commentStmt(QulParserCtx* aCtx, char* aText, QulParamList* aParams);
Region* literalTextStmt(QulParserCtx* aCtx, char* aText, QulParamList* aParams);
Region* parallelVarClassifierStmt(QulParserCtx* aCtx, Expr* aVar, Expr* aClassification);
Region* listenerStmt(QulParserCtx* aCtx, char* aName, QulExprList* aArgs, QulParamList* aParams);
Region* exprStmt(QulParserCtx* aCtx, Expr* aExpr);

} // namespace QulRules
} // namespace CG
