// Type phrases: each form yields a type builder; names are checked against the symbol table.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "ir/ctx.h"
#include "ir/scope.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "numeric/fxp.h"
#include "parse/messages.h"
#include "parse/rules.h"
#include "parse/symboltable.h"

namespace CG {
namespace QulRules {
namespace {

// Builders and their parts serve only while the phrase is read; the types they build live in the IR.
template <class B, class... A>
B* make(QulParserCtx* aCtx, A&&... aArgs)
{
    return aCtx->scratchPool()->make<B>(std::forward<A>(aArgs)...);
}

Scope* builderScope(QulParserCtx* aCtx)
{
    return aCtx->outerScope();
}

// A number of a type's text taken as a whole number. Texts beyond the target's range saturate instead of
// overflowing the conversion; the checks on word lengths then reject them.
long wholeNumber(double aValue)
{
    constexpr double kLimit = 9.0e18;
    if (std::isnan(aValue)) {
        return 0;
    }
    return static_cast<long>(std::max(-kLimit, std::min(aValue, kLimit)));
}

[[noreturn]] void integerOutOfRange(QulParserCtx* aCtx, const char* aText, int aBits)
{
    QulMessages::userError(aCtx, "qulY::Rule::integer::OutOfRange", "%s: integer %s does not fit %d bits", aText,
                           aBits);
}

// The value of an integer text in aBits bits, signed or not; a value outside that range is a user error rather
// than the nearest value in range, which reading it into the type alone would give.
FXP::DataValue integerFitting(QulParserCtx* aCtx, const char* aText, bool aSigned, int aBits)
{
    const FXP::MathMode& mode = ConstFactory::defaultMathMode();
    FXP::DataValue value = FXP::DataValue::fromString(FXP::DataType::intT(aSigned, aBits), aText, mode);
    FXP::DataValue wider = FXP::DataValue::fromString(FXP::DataType::intT(true, aBits + 2), aText, mode);
    if (value.toString() != wider.toString()) {
        integerOutOfRange(aCtx, aText, aBits);
    }
    return value;
}

// A short-form fixed-point exponent, which must fit 32 bits like the long form's.
int exponentOf(QulParserCtx* aCtx, const char* aText, long aExponent)
{
    if (aExponent < std::numeric_limits<int>::min() || aExponent > std::numeric_limits<int>::max()) {
        integerOutOfRange(aCtx, aText, 32);
    }
    return static_cast<int>(aExponent);
}

int checkedBits(QulParserCtx* aCtx, long aBits)
{
    if (aBits < 1 || aBits > FXP::DataType::kMaxWordLength) {
        QulMessages::userError(aCtx, "type_expr::InvalidWordLength", "%s: word length %ld is outside 1 to %d", aBits,
                               FXP::DataType::kMaxWordLength);
    }
    return static_cast<int>(aBits);
}

Visibility visibilityOf(QulParserCtx* aCtx, const char* aText)
{
    if (aText == nullptr || std::strcmp(aText, "public") == 0) {
        return VISIBILITY_PUBLIC;
    }
    if (std::strcmp(aText, "protected") == 0) {
        return VISIBILITY_PROTECTED;
    }
    if (std::strcmp(aText, "private") == 0) {
        return VISIBILITY_PRIVATE;
    }
    QulMessages::userError(aCtx, "type_expr::Invalid Visibility Flag",
                           "%s: expected one of 'public', 'protected', or 'private' instead of %s", aText);
}

Type* typeNamed(QulParserCtx* aCtx, char* aName)
{
    QulSymbol* symbol = aCtx->symbolTable()->lookup(aName);
    if (symbol == nullptr) {
        QulMessages::userError(aCtx, "type_expr::IdentifierNotDefined",
                               "%s: Identifier %s is being used without being defined", aName);
    }
    if (symbol->typeView() == nullptr) {
        QulMessages::userError(aCtx, "type_expr::IdentifierNotType",
                               "%s: Identifier %s is being used as a type while it has not been declared as a type",
                               aName);
    }
    return symbol->typeView();
}

double numberOf(QulParserCtx* aCtx, const char* aText)
{
    return readValue(aCtx, [&] { return qulTextToDouble(aText); });
}

} // namespace

TypeBuilder* qualifiedType(QulParserCtx* aCtx, long aQualifiers, TypeBuilder* aType)
{
    TypeBuilder* type = aType;
    if ((aQualifiers & kVolatile) != 0) {
        type = make<VolatileTypeBuilder>(aCtx, builderScope(aCtx), type);
    }
    if ((aQualifiers & kReadonly) != 0) {
        type = make<ReadonlyTypeBuilder>(aCtx, builderScope(aCtx), type);
    }
    return type;
}

TypeBuilder* namedType(QulParserCtx* aCtx, char* aName)
{
    return make<ExistingTypeBuilder>(aCtx, builderScope(aCtx), typeNamed(aCtx, aName));
}

TypeBuilder* integerType(QulParserCtx* aCtx, char* aBits, bool aSigned, QulParamList*)
{
    return make<IntegerTypeBuilder>(aCtx, builderScope(aCtx), checkedBits(aCtx, integerValueOf(aCtx, aBits)), aSigned);
}

TypeBuilder* matrixType(QulParserCtx* aCtx, TypeBuilder* aElement, QulSizeList* aDims, MatrixLayout aLayout,
                        QulParamList*)
{
    auto* builder = make<MatrixTypeBuilder>(aCtx, builderScope(aCtx), aElement, aLayout == MatrixLayout::Row);
    builder->setDims(*aDims);
    return builder;
}

TypeBuilder* dynamicMatrixType(QulParserCtx* aCtx, TypeBuilder* aElement, QulDynamicDimList* aDims, bool aRowMajor,
                               QulParamList*)
{
    auto* builder = make<DynamicMatrixTypeBuilder>(aCtx, builderScope(aCtx), aElement, aRowMajor);
    std::vector<std::pair<bool, SymbolicSize*>> dims;
    for (QulDynamicDim* dim : *aDims) {
        dims.emplace_back(dim->variable, dim->size);
    }
    builder->setDims(dims);
    return builder;
}

AggregateTypeFieldBuilder* field(QulParserCtx* aCtx, TypeBuilder* aType, char* aName, QulParamList*)
{
    return make<AggregateTypeFieldBuilder>(aCtx, aName, aType, 0, 0, false);
}

ClassTypeFieldBuilder* classField(QulParserCtx* aCtx, char* aVisibility, TypeBuilder* aType, char* aName, QulParamList*)
{
    auto* builder = make<ClassTypeFieldBuilder>(aCtx, aName, aType, 0);
    builder->setVisibility(visibilityOf(aCtx, aVisibility));
    return builder;
}

Inheritance* inheritance(QulParserCtx* aCtx, char* aVisibility, char* aBaseName)
{
    Visibility visibility = visibilityOf(aCtx, aVisibility);
    Type* base = typeNamed(aCtx, aBaseName);
    if (!ClassType::isa(base)) {
        QulMessages::userError(aCtx, "type_expr::BaseNotClass", "%s: base class %s is not a class type", aBaseName);
    }
    return make<Inheritance>(aCtx, Inheritance{ClassType::cast(base), visibility});
}

TypeBuilder* classType(QulParserCtx* aCtx, QulMemberList* aFields, QulBaseList* aBases, QulParamList*)
{
    auto* builder = make<ClassTypeBuilder>(aCtx, aCtx->irCtx(), aCtx->pool(), builderScope(aCtx));
    for (ClassTypeFieldBuilder* member : *aFields) {
        builder->addField(member);
    }
    for (Inheritance* base : *aBases) {
        builder->addBaseClass(base);
    }
    return builder;
}

TypeBuilder* aggregateType(QulParserCtx* aCtx, bool aUnion, char* aTag, QulFieldList* aFields, QulParamList*)
{
    AggregateTypeBuilder* builder = nullptr;
    if (aUnion) {
        builder = make<UnionTypeBuilder>(aCtx, aCtx->irCtx(), aCtx->pool(), builderScope(aCtx), nullptr, aTag);
    } else {
        builder = make<StructTypeBuilder>(aCtx, aCtx->irCtx(), aCtx->pool(), builderScope(aCtx), nullptr, aTag);
    }
    for (AggregateTypeFieldBuilder* member : *aFields) {
        builder->addField(member);
    }
    return builder;
}

TypeBuilder* fcnType(QulParserCtx* aCtx, QulTypeBuilderList* aInputs, QulTypeBuilderList* aOutputs, QulParamList*)
{
    auto* builder = make<FcnTypeBuilder>(aCtx, builderScope(aCtx));
    for (TypeBuilder* input : *aInputs) {
        builder->addInput(input);
    }
    for (TypeBuilder* output : *aOutputs) {
        builder->addOutput(output);
    }
    return builder;
}

EnumTypeElement* enumElement(QulParserCtx* aCtx, char* aName, char* aValue)
{
    int64_t value = integerFitting(aCtx, aValue, true, 64).toInt64();
    return make<EnumTypeElement>(aCtx, intern(aCtx, aName), value);
}

TypeBuilder* enumType(QulParserCtx* aCtx, char* aTag, QulElementList* aElements, QulParamList*)
{
    auto* builder = make<EnumTypeBuilder>(aCtx, aCtx->irCtx(), aCtx->pool(), builderScope(aCtx), nullptr);
    for (EnumTypeElement* element : *aElements) {
        builder->addElement(element);
    }
    builder->setTag(aTag);
    return builder;
}

TypeBuilder* fixptLongType(QulParserCtx* aCtx, bool aScaledDouble, TypeBuilder* aBase, long aBits, long aExponent,
                           QulNumberList* aNumbers, QulParamList*)
{
    Type* base = aBase->build();
    if (!IntegerType::isa(base)) {
        QulMessages::userError(aCtx, "type_expr::FixptBaseNotInteger",
                               "%s: the first argument of a long-form fixed-point type must be an integer type");
    }
    double slope = aNumbers->size() > 0 ? numberOf(aCtx, (*aNumbers)[0]) : 1.0;
    double bias = aNumbers->size() > 1 ? numberOf(aCtx, (*aNumbers)[1]) : 0.0;
    return make<FixptTypeBuilder>(aCtx, builderScope(aCtx), aScaledDouble, IntegerType::cast(base)->isSigned(),
                                  checkedBits(aCtx, aBits), slope, static_cast<int>(aExponent), bias);
}

TypeBuilder* fixptShortType(QulParserCtx* aCtx, bool aScaledDouble, char* aSign, QulNumberList* aNumbers)
{
    bool isSigned = integerValueOf(aCtx, aSign) != 0;
    std::vector<double> numbers;
    for (char* text : *aNumbers) {
        numbers.push_back(numberOf(aCtx, text));
    }
    long bits = 32;
    double slope = 1.0;
    int exponent = 0;
    double bias = 0.0;
    switch (numbers.size()) {
    case 0:
        break;
    case 1:
        bits = wholeNumber(numbers[0]);
        break;
    case 2:
        bits = wholeNumber(numbers[0]);
        exponent = exponentOf(aCtx, (*aNumbers)[1], -wholeNumber(numbers[1]));
        break;
    case 3:
        bits = wholeNumber(numbers[0]);
        slope = std::frexp(numbers[1], &exponent) * 2.0;
        exponent -= 1;
        bias = numbers[2];
        break;
    default:
        bits = wholeNumber(numbers[0]);
        slope = numbers[1];
        exponent = exponentOf(aCtx, (*aNumbers)[2], wholeNumber(numbers[2]));
        bias = numbers[3];
        break;
    }
    return make<FixptTypeBuilder>(aCtx, builderScope(aCtx), aScaledDouble, isSigned, checkedBits(aCtx, bits), slope,
                                  exponent, bias);
}

TypeBuilder* complexType(QulParserCtx* aCtx, TypeBuilder* aBase, QulParamList*)
{
    return make<ComplexTypeBuilder>(aCtx, builderScope(aCtx), aBase);
}

TypeBuilder* pointerType(QulParserCtx* aCtx, TypeBuilder* aBase, QulParamList*)
{
    return make<PointerTypeBuilder>(aCtx, builderScope(aCtx), aBase);
}

TypeBuilder* referenceType(QulParserCtx* aCtx, TypeBuilder* aBase, QulParamList*)
{
    auto* builder = make<ReferenceTypeBuilder>(aCtx, builderScope(aCtx), nullptr);
    builder->setBaseType(aBase);
    return builder;
}

long integerValueOf(QulParserCtx* aCtx, char* aText)
{
    return static_cast<long>(integerFitting(aCtx, aText, true, 32).toInt64());
}

SymbolicSize* knownSize(QulParserCtx* aCtx, char* aText)
{
    FXP::DataValue value =
        FXP::DataValue::fromString(FXP::DataType::intT(true, 65), aText, ConstFactory::defaultMathMode());
    if (value.toDouble() < 0) {
        QulMessages::userError(aCtx, "qulY::Rule::symbolic_size::NegativeSize", "%s: size %s must not be negative",
                               aText);
    }
    uint64_t size = static_cast<uint64_t>(integerFitting(aCtx, aText, false, 64).toInt64());
    return SymbolicSizeFactory(aCtx->irCtx()).size64(size);
}

SymbolicSize* unknownSize(QulParserCtx* aCtx)
{
    return SymbolicSizeFactory(aCtx->irCtx()).unknownSize();
}

SymbolicSize* namedSize(QulParserCtx* aCtx, char* aName)
{
    QulSymbol* symbol = aCtx->symbolTable()->lookup(aName);
    if (symbol == nullptr || symbol->symbolicSizeView() == nullptr) {
        QulMessages::userError(aCtx, "qulY::Rule::symbolic_size_id::IdentifierNotDefined",
                               "%s: Identifier %s is being used without being defined", aName);
    }
    return symbol->symbolicSizeView();
}

SymbolicSize* unarySize(QulParserCtx* aCtx, char* aOp, SymbolicSize* aOperand)
{
    if (!SymbolicSizeFactory::isSizeOperator(aOp, 1)) {
        QulMessages::userError(aCtx, "qulY::Rule::symbolic_size_unop::WrongOperators", "%s: Wrong operator '%s' is given",
                               aOp);
    }
    return SymbolicSizeFactory(aCtx->irCtx()).unopSize(aOp, aOperand);
}

SymbolicSize* binarySize(QulParserCtx* aCtx, char* aOp, SymbolicSize* aLeft, SymbolicSize* aRight)
{
    if (!SymbolicSizeFactory::isSizeOperator(aOp, 2)) {
        QulMessages::userError(aCtx, "qulY::Rule::symbolic_size_binop::WrongOperators",
                               "%s: Wrong operator '%s' is given", aOp);
    }
    return SymbolicSizeFactory(aCtx->irCtx()).binopSize(aOp, aLeft, aRight);
}

QulDynamicDim* fixedDim(QulParserCtx* aCtx, SymbolicSize* aSize)
{
    return make<QulDynamicDim>(aCtx, QulDynamicDim{false, aSize});
}

QulDynamicDim* variableDim(QulParserCtx* aCtx, SymbolicSize* aBound)
{
    return make<QulDynamicDim>(aCtx, QulDynamicDim{true, aBound});
}

} // namespace QulRules
} // namespace CG
