// Constant values and the factory that types them.
#include "ir/value.h"

#include "ir/ctx.h"
#include "ir/typefactory.h"

#include <limits>
#include <vector>

namespace CG {

Value::~Value() = default;

void Value::destroy(const Value* aValue) {
  // The values freed while a deletion runs wait here; the outermost deletion on the thread deletes them.
  thread_local std::vector<const Value*> freed;
  thread_local bool deleting = false;
  if (deleting) {
    freed.push_back(aValue);
    return;
  }
  deleting = true;
  delete aValue;
  while (!freed.empty()) {
    const Value* next = freed.back();
    freed.pop_back();
    delete next;
  }
  deleting = false;
}

namespace {

// A value of its type's own data type whose stored integer fits a word is kept as that word.
bool fitsStoredWord(const Type* aType, const FXP::DataValue& aValue) {
  const FXP::BigInt& stored = aValue.storedInteger();
  return QuasiNumericType::isa(aType) && static_cast<const QuasiNumericType*>(aType)->fxpType() == aValue.type() &&
         stored >= std::numeric_limits<int64_t>::min() && stored <= std::numeric_limits<int64_t>::max();
}

// Whether aValue lies in aType's range, so that fitting it to the type's word leaves it as it is.
bool holds(const IntegerType* aType, long long aValue) {
  int bits = aType->numBits();
  if (!aType->isSigned())
    return aValue >= 0 && (bits >= 64 || static_cast<unsigned long long>(aValue) >> bits == 0);
  if (bits >= 64)
    return true;
  long long half = 1LL << (bits - 1);
  return aValue >= -half && aValue < half;
}

} // namespace

IntegerValue::IntegerValue(Kind aKind, Type* aType, const FXP::DataValue& aValue) : Value(aKind, aType) {
  if (fitsStoredWord(aType, aValue)) {
    fStoredWord = aValue.storedInteger().convert_to<int64_t>();
  } else {
    fWhole = std::make_unique<const FXP::DataValue>(aValue);
  }
}

IntegerValue::IntegerValue(IntegerType* aType, int64_t aWord)
    : Value(INTEGER, aType), fStoredWord(aWord) {}

FXP::DataValue IntegerValue::dataValue() const {
  if (fWhole != nullptr) {
    return *fWhole;
  }
  return FXP::DataValue::fromStoredInteger(static_cast<const QuasiNumericType*>(type())->fxpType(), fStoredWord);
}

std::optional<int64_t> IntegerValue::word() const {
  if (fWhole != nullptr || !IntegerType::isa(type()))
    return std::nullopt;
  return fStoredWord;
}

Ref<Value> StructValue::field(int aIndex) const {
  CG_ASSERT(aIndex >= 0 && aIndex < numFields(), "ir/value.cpp");
  return fFields[aIndex];
}

void StructValue::setField(int aIndex, Ref<Value> aValue) {
  CG_ASSERT(aIndex >= 0 && aIndex < numFields(), "ir/value.cpp");
  fFields[aIndex] = std::move(aValue);
}

StaticMatrixValue::StaticMatrixValue(Type* aType, std::vector<uint64_t> aDims, bool aRowMajor)
    : Value(STATIC_MATRIX, aType), fDims(std::move(aDims)), fRowMajor(aRowMajor) {}

// Row major: the last index varies fastest; column major: the first.
uint64_t StaticMatrixValue::offsetOf(const uint64_t* aIndex) const {
  CG_ASSERT(aIndex != nullptr || fDims.empty(), "ir/value.cpp");
  uint64_t offset = 0;
  size_t rank = fDims.size();
  for (size_t step = 0; step < rank; ++step) {
    size_t dimension = fRowMajor ? step : rank - 1 - step;
    CG_ASSERT_MSG(aIndex[dimension] < fDims[dimension], "ir/value.cpp", "matrix index within its dimension");
    offset = offset * fDims[dimension] + aIndex[dimension];
  }
  return offset;
}

Ref<Value> StaticMatrixValue::element(const uint64_t* aIndex) const {
  return elementAt(offsetOf(aIndex));
}

void StaticMatrixValue::setElement(const uint64_t* aIndex, Ref<Value> aValue) {
  fElements[offsetOf(aIndex)] = std::move(aValue);
}

Ref<Value> StaticMatrixValue::elementAt(uint64_t aOffset) const {
  auto found = fElements.find(aOffset);
  return found != fElements.end() ? found->second : Ref<Value>();
}

Ref<Value> ValueFactory::boolValueRef(bool aValue) {
  return Ref<Value>(new BoolValue(TypeFactory(fCtx).boolType(), aValue));
}

Ref<Value> ValueFactory::charValueRef(char aValue) {
  return Ref<Value>(new CharValue(TypeFactory(fCtx).charType(), aValue));
}

Ref<Value> ValueFactory::doubleValueRef(DoubleType* aType, double aValue) {
  return Ref<Value>(new DoubleValue(aType != nullptr ? aType : TypeFactory(fCtx).doubleType(), aValue));
}

Ref<Value> ValueFactory::singleValueRef(SingleType* aType, float aValue) {
  return Ref<Value>(new SingleValue(aType != nullptr ? aType : TypeFactory(fCtx).singleType(), aValue));
}

Ref<Value> ValueFactory::quasiNumericValueRef(QuasiNumericType* aType, const FXP::DataValue& aValue) {
  CG_ASSERT(aType != nullptr, "ir/value.cpp");
  if (FixptType::isa(aType)) {
    return Ref<Value>(new FixptValue(aType, aValue));
  }
  if (DoubleType::isa(aType)) {
    return Ref<Value>(new DoubleValue(aType, aValue.toDouble()));
  }
  if (SingleType::isa(aType)) {
    return Ref<Value>(new SingleValue(aType, static_cast<float>(aValue.toDouble())));
  }
  return Ref<Value>(new IntegerValue(aType, aValue));
}

Ref<Value> ValueFactory::enumValueRef(EnumType* aType, char* aName) {
  CG_ASSERT(aType != nullptr, "ir/value.cpp");
  bool found = false;
  int64_t value = aType->valueOf(aName, &found);
  CG_ASSERT_MSG(found, "ir/value.cpp", "enum value names an element of its type");
  return Ref<Value>(new EnumValue(aType, fCtx->cgString(aName), value));
}

Ref<Value> ValueFactory::pointerValueRef(PointerType* aType) {
  return Ref<Value>(new PointerValue(aType));
}

Ref<Value> ValueFactory::stringValueRef(const char* aText, bool aReadonly) {
  TypeFactory types(fCtx);
  Type* type = types.stringType();
  return Ref<Value>(new StringValue(type, fCtx->cgString(aText != nullptr ? aText : ""), aReadonly));
}

Ref<Value> ValueFactory::structValueCGRef(StructType* aType) {
  CG_ASSERT(aType != nullptr, "ir/value.cpp");
  return Ref<Value>(new StructValue(aType, aType->numFields()));
}

Ref<Value> ValueFactory::complexValueCGRef(ComplexType* aType) {
  return Ref<Value>(new ComplexValue(aType));
}

Ref<Value> ValueFactory::matrixValueCGRef(StaticMatrixType* aType) {
  CG_ASSERT(aType != nullptr, "ir/value.cpp");
  // A dimension of unknown or symbolic size holds no element.
  std::vector<uint64_t> dims;
  for (int i = 0; i < aType->numDims(); ++i) {
    SymbolicSize* dim = aType->dim(i);
    bool known = dim->kind() == SymbolicSize::SIZE64_SIZE && !dim->isUnknown();
    dims.push_back(known ? dim->value() : 0);
  }
  return Ref<Value>(new StaticMatrixValue(aType, std::move(dims), aType->isRowMajor()));
}

Ref<Value> ValueFactory::integerValueRef(IntegerType* aType, long long aValue) {
  CG_ASSERT(aType != nullptr, "ir/value.cpp");
  if (holds(aType, aValue))
    return Ref<Value>(new IntegerValue(aType, static_cast<int64_t>(aValue)));
  std::string text = std::to_string(aValue);
  FXP::DataValue value = FXP::DataValue::fromString(aType->fxpType(), text.c_str(), FXP::MathMode::floorWrap());
  return Ref<Value>(new IntegerValue(aType, value));
}

} // namespace CG
