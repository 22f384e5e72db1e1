// Literal objects: conversion of literal text into IR values of a known type, and of IR values back into literals.
#include "lang/literal.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <strings.h>
#include <utility>
#include <vector>

#include "ir/logger.h"
#include "ir/stringbuffer.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "ir/typefactory.h"
#include "kit/console.h"
#include "numeric/fxp.h"

namespace CG {

namespace {

const char* const kSource = "lang/literal";
const uint64_t kQuietNaNBits = 0xFFF8000000000000ull;

[[noreturn]] void failAssertion(const std::string& aText) {
  client_assertion_failed(kSource, __LINE__, aText.c_str());
}

void requireCreateArguments(const char* aClassName, Type* aType, CG_Ctx* aCtx, MemPool* aPool) {
  const char* missing = !aType ? "aType == NULL" : !aCtx ? "aCtx  == NULL" : !aPool ? "aPool == NULL" : nullptr;
  if (missing)
    failAssertion(std::string(aClassName) + "::createValue called with " + missing);
}

// aExpected reads like "a BoolType".
void requireTargetClass(bool aMatches, const char* aClassName, const char* aExpected) {
  if (!aMatches)
    failAssertion(std::string(aClassName) + "::createValue called with aType which is not " + aExpected);
}

FXP::DataValue convertText(const FXP::DataType& aType, const char* aText, const FXP::MathMode& aMode) {
  return FXP::DataValue::fromString(aType, aText ? aText : "", aMode);
}

// Truncation toward zero into 32 bits; NaN and out-of-range values are clamped so the conversion is defined.
int32_t truncateToInt32(double aValue) {
  if (std::isnan(aValue))
    return 0;
  if (aValue <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  if (aValue >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(aValue);
}

double quietNaN() {
  double value;
  std::memcpy(&value, &kQuietNaNBits, sizeof value);
  return value;
}

Ref<Value> numericValue(ValueFactory& aFactory, QuasiNumericType* aType, const char* aText,
                        const FXP::MathMode& aMode) {
  return aFactory.quasiNumericValueRef(aType, convertText(aType->fxpType(), aText, aMode));
}

char* internedText(CG_Ctx* aCtx, const std::string& aText) {
  return cg_string_create(aCtx, aText.c_str());
}

// One position per dimension, all unknown, in the pool.
uint64_t* newMatrixIndex(MemPool* aPool, int aNumDims) {
  size_t count = aNumDims > 0 ? static_cast<size_t>(aNumDims) : 1;
  auto* index = static_cast<uint64_t*>(aPool->alloc(sizeof(uint64_t) * count, alignof(uint64_t)));
  for (size_t dimension = 0; dimension < count; ++dimension)
    index[dimension] = Size64::unknown;
  return index;
}

// The number of elements of a matrix dimension, Size64::unknown unless it is a known constant.
uint64_t knownDimensionSize(StaticMatrixType* aType, int aDimension) {
  SymbolicSize* size = aType->dim(aDimension);
  if (!size || size->kind() != SymbolicSize::SIZE64_SIZE)
    return Size64::unknown;
  return size->value();
}

} // namespace

//===-- Text to double ------------------------------------------------------------------------------------===//

double qulTextToDouble(const char* aText) {
  const char* text = aText ? aText : "";
  if (*text == '+')
    ++text;
  if (strcasecmp(text, "NaN") == 0)
    return quietNaN();
  if (strcasecmp(text, "Inf") == 0)
    return std::numeric_limits<double>::infinity();
  if (strcasecmp(text, "-Inf") == 0)
    return -std::numeric_limits<double>::infinity();
  if (std::strpbrk(text, "eE"))
    return std::atof(text);
  return convertText(FXP::DataType::doubleT(), text, ConstFactory::defaultMathMode()).toDouble();
}

//===-- QulLiteral ----------------------------------------------------------------------------------------===//

QulLiteral::~QulLiteral() = default;

bool QulLiteral::lineNumberUnknown() {
  return lineNumber() == -1;
}
void QulLiteral::clearLineNumber() {
  setLineNumber(-1);
}
int QulLiteral::lineNumber() {
  return fLineNumber;
}
void QulLiteral::setLineNumber(int aLineNumber) {
  fLineNumber = aLineNumber;
}
void QulLiteral::setType(Type* aType) {
  fType = aType;
}

Type* QulLiteral::type() {
  CG_ASSERT_MSG(fType, kSource, "fType!=0");
  return fType;
}

//===-- Scalar literals -----------------------------------------------------------------------------------===//

Ref<Value> QulLiteralBool::createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) {
  requireCreateArguments("QulLiteralBool", aType, aCtx, aPool);
  requireTargetClass(BoolType::isa(aType), "QulLiteralBool", "a BoolType");
  return ValueFactory(aCtx, aPool).boolValueRef(fValue);
}

Ref<Value> QulLiteralChar::createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) {
  requireCreateArguments("QulLiteralChar", aType, aCtx, aPool);
  requireTargetClass(CharType::isa(aType), "QulLiteralChar", "a CharType");
  return ValueFactory(aCtx, aPool).charValueRef(fValue);
}

Ref<Value> QulLiteralInteger::createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) {
  requireCreateArguments("QulLiteralInteger", aType, aCtx, aPool);
  ValueFactory factory(aCtx, aPool);
  const char* text = cg_string_toascii(fText);
  // The common case, a short decimal for an integer type, is read as a number and fitted to the type the way the
  // exact reader fits it, without the exact reader's arithmetic.
  long long decimal = 0;
  if (IntegerType::isa(aType) && FXP::readShortDecimal(text, &decimal))
    return factory.integerValueRef(IntegerType::cast(aType), decimal);
  if (IntegerType::isa(aType) || FixptType::isa(aType))
    return numericValue(factory, QuasiNumericType::cast(aType), text, FXP::MathMode::floorWrap());
  if (NumericType::isa(aType))
    return numericValue(factory, QuasiNumericType::cast(aType), text, ConstFactory::defaultMathMode());
  if (BoolType::isa(aType)) {
    TheLogger::instance().logWarning("QulLiteralInteger::createValue::NumericValueBoolConst",
                                     "Numeric value given to boolean constant, use true and false instead");
    return numericValue(factory, QuasiNumericType::cast(aType), text, ConstFactory::defaultMathMode());
  }
  if (CharType::isa(aType))
    return charValue(aCtx, factory);
  if (PointerType::isa(aType))
    return pointerValue(PointerType::cast(aType), aCtx, factory);
  TheLogger::instance().throwUserException("QulLiteralInteger::createValue::TypeNotValid",
                                           "Non valid type given, cannot create constant");
}

// A character given by its code: the text must be an integer.
Ref<Value> QulLiteralInteger::charValue(CG_Ctx* aCtx, ValueFactory& aFactory) {
  FXP::DataValue converted = convertText(TypeFactory(aCtx).signedInt32Type()->fxpType(), cg_string_toascii(fText),
                                         ConstFactory::defaultMathMode());
  double code = converted.toDouble();
  bool integral = static_cast<double>(truncateToInt32(code)) == code;
  if (!integral || converted.fitsInDouble() == FXP::DataValue::Fits::NO)
    TheLogger::instance().throwUserException("QulLiteralInteger::createValue::TypeNotValid",
                                             "Non-integer literal cannot used as a character value.");
  return aFactory.charValueRef(static_cast<char>(truncateToInt32(code)));
}

// A numeric address: read as a signed 32-bit integer and sign-extended.
Ref<Value> QulLiteralInteger::pointerValue(PointerType* aType, CG_Ctx* aCtx, ValueFactory& aFactory) {
  FXP::DataValue converted = convertText(TypeFactory(aCtx).signedInt32Type()->fxpType(), cg_string_toascii(fText),
                                         ConstFactory::defaultMathMode());
  intptr_t address = truncateToInt32(converted.toDouble());
  Ref<Value> pointer = aFactory.pointerValueRef(aType);
  PointerValue::cast(pointer.get())->setValue(reinterpret_cast<void*>(address));
  return pointer;
}

Ref<Value> QulLiteralDouble::createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) {
  requireCreateArguments("QulLiteralDouble", aType, aCtx, aPool);
  requireTargetClass(DoubleType::isa(aType) || SingleType::isa(aType) || FixptType::isa(aType), "QulLiteralDouble",
                     "a DoubleType, SingleType or FixptType");
  ValueFactory factory(aCtx, aPool);
  const char* text = cg_string_toascii(fText);
  if (DoubleType::isa(aType))
    return factory.doubleValueRef(DoubleType::cast(aType), qulTextToDouble(text));
  if (SingleType::isa(aType))
    return factory.singleValueRef(SingleType::cast(aType), static_cast<float>(qulTextToDouble(text)));
  return numericValue(factory, FixptType::cast(aType), text, ConstFactory::defaultMathMode());
}

Ref<Value> QulLiteralFixpt::createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) {
  requireCreateArguments("QulLiteralFixpt", aType, aCtx, aPool);
  requireTargetClass(FixptType::isa(aType), "QulLiteralFixpt", "a FixptType");
  ValueFactory factory(aCtx, aPool);
  return numericValue(factory, FixptType::cast(aType), cg_string_toascii(fText), ConstFactory::defaultMathMode());
}

Ref<Value> QulLiteralEnum::createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) {
  requireCreateArguments("QulLiteralEnum", aType, aCtx, aPool);
  requireTargetClass(EnumType::isa(aType), "QulLiteralEnum", "a EnumType");
  return ValueFactory(aCtx, aPool).enumValueRef(EnumType::cast(aType), fName);
}

Ref<Value> QulLiteralPointer::createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) {
  requireCreateArguments("QulLiteralPointer", aType, aCtx, aPool);
  requireTargetClass(PointerType::isa(aType), "QulLiteralPointer", "a PointerType");
  Ref<Value> pointer = ValueFactory(aCtx, aPool).pointerValueRef(PointerType::cast(aType));
  PointerValue::cast(pointer.get())->setValue(nullptr);
  return pointer;
}

//===-- String and character bodies -----------------------------------------------------------------------===//

Ref<Value> QulLiteralString::createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) {
  requireCreateArguments("QulLiteralString", aType, aCtx, aPool);
  ValueFactory factory(aCtx, aPool);
  if (CharType::isa(aType))
    return charValue(factory);
  requireTargetClass(StringType::isa(aType), "QulLiteralString", "a CharType");
  return factory.stringValueRef(fText, aType->isReadonly());
}

// A character body is one character or a short escape sequence such as "\n" or "\101".
Ref<Value> QulLiteralString::charValue(ValueFactory& aFactory) {
  const char* text = fText ? fText : "";
  size_t length = std::strlen(text);
  if (length <= 1)
    return aFactory.charValueRef(text[0]);
  if (text[0] != '\\' || length >= 5 || std::strchr(text, '%'))
    failAssertion("invalid character literal");
  StringBuffer expansion;
  expansion.appendFormat(text);
  if (!expansion.empty() && expansion.length() != 1)
    failAssertion("character literal must be exactly one character");
  return aFactory.charValueRef(expansion.empty() ? '\0' : expansion.c_str()[0]);
}

//===-- Composites ----------------------------------------------------------------------------------------===//

QulLiteralComposite::QulLiteralComposite(MemPool* aPool) : QulLiteral(QULCOMPOSITE), fLiterals(nullptr) {
  CG_ASSERT(aPool, kSource);
  fLiterals = aPool->make<QulLiteralList>();
}

QulLiteralComposite::QulLiteralComposite(QulLiteralList* aValue) : QulLiteral(QULCOMPOSITE), fLiterals(aValue) {
  CG_ASSERT(aValue, kSource);
}

void QulLiteralComposite::append(QulLiteral* aLiteral) {
  fLiterals->append(aLiteral);
}

Ref<Value> QulLiteralComposite::createValue(Type* aType, CG_Ctx* aCtx, MemPool* aPool) {
  requireCreateArguments("QulLiteralComposite", aType, aCtx, aPool);
  if (StructType::isa(aType))
    return structValue(StructType::cast(aType), aCtx, aPool);
  if (ComplexType::isa(aType))
    return complexValue(ComplexType::cast(aType), aCtx, aPool);
  if (StaticMatrixType::isa(aType))
    return matrixValue(StaticMatrixType::cast(aType), aCtx, aPool);
  throwNotComposite();
}

Ref<Value> QulLiteralComposite::structValue(StructType* aType, CG_Ctx* aCtx, MemPool* aPool) {
  if (fLiterals->size() != static_cast<size_t>(aType->numFields()))
    failAssertion("A struct constant must contain values for all of the fields");
  Ref<Value> result = ValueFactory(aCtx, aPool).structValueCGRef(aType);
  StructValue* fields = StructValue::cast(result.get());
  int index = 0;
  for (QulLiteral* element : *fLiterals) {
    fields->setField(index, element->createValue(aType->fieldType(index), aCtx, aPool));
    ++index;
  }
  return result;
}

Ref<Value> QulLiteralComposite::complexValue(ComplexType* aType, CG_Ctx* aCtx, MemPool* aPool) {
  if (fLiterals->size() != 2)
    failAssertion("A complex constant must constant must contain exactly two values");
  Ref<Value> result = ValueFactory(aCtx, aPool).complexValueCGRef(aType);
  ComplexValue* parts = ComplexValue::cast(result.get());
  parts->setReal(fLiterals->first()->createValue(aType->baseType(), aCtx, aPool));
  parts->setImag(fLiterals->last()->createValue(aType->baseType(), aCtx, aPool));
  return result;
}

Ref<Value> QulLiteralComposite::matrixValue(StaticMatrixType* aType, CG_Ctx* aCtx, MemPool* aPool) {
  Ref<Value> result = ValueFactory(aCtx, aPool).matrixValueCGRef(aType);
  uint64_t* index = newMatrixIndex(aPool, aType->numDims());
  fillMatrix(aType, this, index, 0, aCtx, aPool, StaticMatrixValue::cast(result.get()));
  return result;
}

void QulLiteralComposite::fillMatrix(StaticMatrixType* aType, QulLiteral* aLiteral, uint64_t* aIndex, int aDepth,
                                     CG_Ctx* aCtx, MemPool* aPool, StaticMatrixValue* aMatrix) {
  if (aDepth == aType->numDims()) {
    aMatrix->setElement(aIndex, aLiteral->createValue(aType->baseType(), aCtx, aPool));
    return;
  }
  if (aLiteral->whichClass() != QULCOMPOSITE) {
    voxPrintf("In the nth dimension literal should be a list \n");
    return;
  }
  QulLiteralList* elements = static_cast<QulLiteralComposite*>(aLiteral)->literals();
  uint64_t size = knownDimensionSize(aType, aDepth);
  if (size == Size64::unknown || size != elements->size()) {
    voxPrintf("Max size of a dimension and the number of elements in the literal list don't match \n");
    return;
  }
  aIndex[aDepth] = 0;
  for (QulLiteral* element : *elements) {
    fillMatrix(aType, element, aIndex, aDepth + 1, aCtx, aPool, aMatrix);
    ++aIndex[aDepth];
  }
  aIndex[aDepth] = Size64::unknown;
}

void QulLiteralComposite::throwNotComposite() {
  if (lineNumberUnknown())
    TheLogger::instance().throwUserException("QulLiteralComposite::createValue::BaseTypeNotComposite",
                                             "The base type is not composite, but the literal is");
  TheLogger::instance().throwUserException("QulLiteralComposite::createValue::BaseTypeNotCompositeLn",
                                           "Line %d: The base type is not composite, but the literal is", lineNumber());
}

//===-- Visitor dispatch ----------------------------------------------------------------------------------===//

void QulLiteralBool::accept(QulLiteralVisitor* aVisitor) {
  aVisitor->visitLiteralBool(this);
}
void QulLiteralInteger::accept(QulLiteralVisitor* aVisitor) {
  aVisitor->visitLiteralInteger(this);
}
void QulLiteralDouble::accept(QulLiteralVisitor* aVisitor) {
  aVisitor->visitLiteralDouble(this);
}
void QulLiteralChar::accept(QulLiteralVisitor* aVisitor) {
  aVisitor->visitLiteralChar(this);
}
void QulLiteralString::accept(QulLiteralVisitor* aVisitor) {
  aVisitor->visitLiteralString(this);
}
void QulLiteralComposite::accept(QulLiteralVisitor* aVisitor) {
  aVisitor->visitLiteralComposite(this);
}
void QulLiteralFixpt::accept(QulLiteralVisitor* aVisitor) {
  aVisitor->visitLiteralFixpt(this);
}
void QulLiteralEnum::accept(QulLiteralVisitor* aVisitor) {
  aVisitor->visitLiteralEnum(this);
}
void QulLiteralPointer::accept(QulLiteralVisitor* aVisitor) {
  aVisitor->visitLiteralPointer(this);
}

QulLiteralVisitor::~QulLiteralVisitor() = default;

//===-- Values to literals --------------------------------------------------------------------------------===//

namespace {

template <class T, class... A> QulLiteral* typedLiteral(MemPool* aPool, Type* aType, A&&... aArgs) {
  T* literal = aPool->make<T>(std::forward<A>(aArgs)...);
  literal->setType(aType);
  return literal;
}

// A composite literal whose elements are still to be made: the value it prints and the next element (a
// struct's field, a complex number's part, a position along a matrix dimension). The lists of one matrix
// share its position, one index per dimension, and its flag telling that an unset element was met: the
// first unset element ends the lists with a null entry (printing stops there anyway), and a matrix declared
// far larger than what was set in it is not walked to its end.
struct OpenComposite {
  QulLiteralComposite* literal;
  Value* value;
  int dimension;
  uint64_t next;
  uint64_t* index;
  bool* unsetMet;
};

QulLiteral* integerLiteral(IntegerValue* aValue, CG_Ctx* aCtx, MemPool* aPool) {
  return typedLiteral<QulLiteralInteger>(aPool, aValue->type(), internedText(aCtx, aValue->toString(10)));
}

QulLiteral* doubleLiteral(Type* aType, double aValue, CG_Ctx* aCtx, MemPool* aPool) {
  StringBuffer text;
  text.append(aValue, false, false);
  return typedLiteral<QulLiteralDouble>(aPool, aType, internedText(aCtx, text.str()));
}

QulLiteral* fixptLiteral(FixptValue* aValue, CG_Ctx* aCtx, MemPool* aPool) {
  std::string text = aValue->toString();
  if (text.find('.') == std::string::npos)
    text += ".0";
  return typedLiteral<QulLiteralFixpt>(aPool, aValue->type(), internedText(aCtx, text));
}

// The literal of a scalar value; for a struct, a complex number or a matrix, its empty list, noted in aOpen
// to be filled. Null for a null value or a kind without a literal form.
QulLiteral* openLiteral(Value* aValue, CG_Ctx* aCtx, MemPool* aPool, std::vector<OpenComposite>& aOpen) {
  // A matrix of no dimension is its one element.
  while (aValue && aValue->kind() == Value::STATIC_MATRIX && StaticMatrixValue::cast(aValue)->numDims() == 0)
    aValue = StaticMatrixValue::cast(aValue)->element(nullptr).get();
  if (!aValue)
    return nullptr;
  Type* type = aValue->type();
  switch (aValue->kind()) {
  case Value::INTEGER:
  case Value::KAL_INTEGER:
    return integerLiteral(IntegerValue::cast(aValue), aCtx, aPool);
  case Value::DOUBLE:
    return doubleLiteral(type, DoubleValue::cast(aValue)->value(), aCtx, aPool);
  case Value::SINGLE:
    return doubleLiteral(type, SingleValue::cast(aValue)->value(), aCtx, aPool);
  case Value::BOOL:
    return typedLiteral<QulLiteralBool>(aPool, type, BoolValue::cast(aValue)->isTrue());
  case Value::CHAR:
    return typedLiteral<QulLiteralChar>(aPool, type, CharValue::cast(aValue)->toChar());
  case Value::STRING:
    return typedLiteral<QulLiteralString>(aPool, type, cg_string_create(aCtx, StringValue::cast(aValue)->toString()));
  case Value::FIXPT:
    return fixptLiteral(FixptValue::cast(aValue), aCtx, aPool);
  case Value::ENUM:
    return typedLiteral<QulLiteralEnum>(aPool, type, cg_string_create(aCtx, EnumValue::cast(aValue)->toString()));
  case Value::POINTER:
    return typedLiteral<QulLiteralPointer>(aPool, type, PointerValue::cast(aValue)->value());
  case Value::STATIC_MATRIX: {
    auto* list = aPool->make<QulLiteralComposite>(aPool);
    int numDims = StaticMatrixValue::cast(aValue)->numDims();
    aOpen.push_back(OpenComposite{list, aValue, 0, 0, newMatrixIndex(aPool, numDims), aPool->make<bool>(false)});
    return list;
  }
  case Value::COMPLEX:
  case Value::STRUCT: {
    auto* parts = aPool->make<QulLiteralComposite>(aPool);
    parts->setType(type);
    aOpen.push_back(OpenComposite{parts, aValue, 0, 0, nullptr, nullptr});
    return parts;
  }
  }
  return nullptr;
}

// The next field of a struct or part of a complex number, through aPart; false when none is left.
bool nextPart(OpenComposite& aTop, Value** aPart) {
  if (aTop.value->kind() == Value::STRUCT) {
    StructValue* fields = StructValue::cast(aTop.value);
    if (aTop.next >= static_cast<uint64_t>(fields->numFields()))
      return false;
    *aPart = fields->field(static_cast<int>(aTop.next++)).get();
    return true;
  }
  ComplexValue* parts = ComplexValue::cast(aTop.value);
  if (aTop.next >= 2)
    return false;
  *aPart = (aTop.next++ == 0 ? parts->real() : parts->imag()).get();
  return true;
}

// The next position along a matrix list's dimension: the list of the next dimension, appended empty and opened
// in turn, or an element; false when the list is complete.
bool fillNextOfMatrix(OpenComposite& aTop, CG_Ctx* aCtx, MemPool* aPool, std::vector<OpenComposite>& aOpen) {
  StaticMatrixValue* matrix = StaticMatrixValue::cast(aTop.value);
  if (*aTop.unsetMet || aTop.next >= matrix->dim(aTop.dimension))
    return false;
  aTop.index[aTop.dimension] = aTop.next++;
  OpenComposite top = aTop; // opening what comes next may move aTop
  if (top.dimension + 1 < matrix->numDims()) {
    auto* list = aPool->make<QulLiteralComposite>(aPool);
    top.literal->append(list);
    aOpen.push_back(OpenComposite{list, top.value, top.dimension + 1, 0, top.index, top.unsetMet});
    return true;
  }
  QulLiteral* element = openLiteral(matrix->element(top.index).get(), aCtx, aPool, aOpen);
  *top.unsetMet = element == nullptr;
  top.literal->append(element);
  return true;
}

// The next element of an open composite, appended to it (a composite element is appended empty and opened in
// turn); false when the composite is complete.
bool fillNext(OpenComposite& aTop, CG_Ctx* aCtx, MemPool* aPool, std::vector<OpenComposite>& aOpen) {
  if (aTop.value->kind() == Value::STATIC_MATRIX)
    return fillNextOfMatrix(aTop, aCtx, aPool, aOpen);
  Value* part = nullptr;
  if (!nextPart(aTop, &part))
    return false;
  // An unset field or part leaves a null entry, so the composite keeps its shape (printing one stops there).
  QulLiteralComposite* literal = aTop.literal; // opening the part may move aTop
  literal->append(openLiteral(part, aCtx, aPool, aOpen));
  return true;
}

} // namespace

// Values nest as deep as their types, without bound: the composites being filled wait on an explicit stack.
QulLiteral* QulLiteral::fromValue(Value* aValue, CG_Ctx* aCtx, MemPool* aPool) {
  std::vector<OpenComposite> open;
  QulLiteral* literal = openLiteral(aValue, aCtx, aPool, open);
  while (!open.empty()) {
    if (!fillNext(open.back(), aCtx, aPool, open))
      open.pop_back();
  }
  return literal;
}

//===-- Parser factory ------------------------------------------------------------------------------------===//

QulParserLiteralFactory::~QulParserLiteralFactory() = default;

QulLiteralBool* QulParserLiteralFactory::boolLiteral(bool aValue) {
  return stamped(pool()->make<QulLiteralBool>(aValue));
}

QulLiteralChar* QulParserLiteralFactory::charLiteral(char aValue) {
  return stamped(pool()->make<QulLiteralChar>(aValue));
}

QulLiteralDouble* QulParserLiteralFactory::doubleLiteral(char* aText) {
  return stamped(pool()->make<QulLiteralDouble>(aText));
}

QulLiteralInteger* QulParserLiteralFactory::integerLiteral(char* aText) {
  return stamped(pool()->make<QulLiteralInteger>(aText));
}

QulLiteralString* QulParserLiteralFactory::stringLiteral(char* aText) {
  return stamped(pool()->make<QulLiteralString>(aText));
}

QulLiteralEnum* QulParserLiteralFactory::enumLiteral(char* aText) {
  return stamped(pool()->make<QulLiteralEnum>(aText));
}

QulLiteralComposite* QulParserLiteralFactory::compositeLiteral() {
  return stamped(pool()->make<QulLiteralComposite>(pool()));
}

QulLiteralComposite* QulParserLiteralFactory::compositeLiteral(QulLiteralList* aLiterals) {
  return stamped(pool()->make<QulLiteralComposite>(aLiterals));
}

} // namespace CG
