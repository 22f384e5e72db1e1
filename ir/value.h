// Constant values held by IR constants, reference counted, with their factory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "numeric/fxp.h"

class CG_Ctx;
class MemPool;

namespace CG {

class Type;
class BoolType;
class CharType;
class DoubleType;
class SingleType;
class QuasiNumericType;
class IntegerType;
class EnumType;
class PointerType;
class StructType;
class ComplexType;
class StaticMatrixType;

// Intrusive counted reference; T provides retain() and release().
template <class T> class Ref {
public:
  Ref() = default;
  Ref(T* aObject) : fObject(aObject) { retain(); }
  Ref(const Ref& aOther) : fObject(aOther.fObject) { retain(); }
  Ref(Ref&& aOther) noexcept : fObject(aOther.fObject) { aOther.fObject = nullptr; }
  template <class U> Ref(const Ref<U>& aOther) : fObject(aOther.get()) { retain(); }
  ~Ref() { release(); }

  Ref& operator=(const Ref& aOther) {
    Ref copy(aOther);
    std::swap(fObject, copy.fObject);
    return *this;
  }
  Ref& operator=(Ref&& aOther) noexcept {
    std::swap(fObject, aOther.fObject);
    return *this;
  }

  T* get() const { return fObject; }
  T* operator->() const { return fObject; }
  T& operator*() const { return *fObject; }
  explicit operator bool() const { return fObject != nullptr; }
  bool operator==(const Ref& aOther) const { return fObject == aOther.fObject; }
  bool operator!=(const Ref& aOther) const { return fObject != aOther.fObject; }

private:
  void retain() {
    if (fObject != nullptr) {
      fObject->retain();
    }
  }
  void release() {
    if (fObject != nullptr) {
      fObject->release();
    }
  }
  T* fObject = nullptr;
};

class Value {
public:
  enum Kind {
    BOOL,
    INTEGER,
    KAL_INTEGER,
    DOUBLE,
    SINGLE,
    CHAR,
    STRING,
    FIXPT,
    ENUM,
    POINTER,
    STRUCT,
    COMPLEX,
    STATIC_MATRIX
  };

  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  virtual ~Value();

  Kind kind() const { return fKind; }
  Type* type() const { return fType; }

  void retain() const { ++fRefCount; }
  void release() const {
    if (--fRefCount == 0) {
      destroy(this);
    }
  }

protected:
  Value(Kind aKind, Type* aType) : fType(aType), fKind(aKind) {}

private:
  // Deletes a value whose last reference went. Values nest without bound (a struct's fields, a matrix's
  // elements), so the values a deletion frees in turn are deleted one after the other, not one inside the other.
  static void destroy(const Value* aValue);

  // The pointer first: the kind and the count then share a word.
  Type* fType;
  Kind fKind;
  mutable int fRefCount = 0;
};

#define CG_VALUE_CASTS(aClass, aTest)                                                                                  \
  static bool isa(const Value* aValue) {                                                                               \
    return aValue != nullptr && (aTest);                                                                               \
  }                                                                                                                    \
  static aClass* cast(Value* aValue) {                                                                                 \
    return isa(aValue) ? static_cast<aClass*>(aValue) : nullptr;                                                       \
  }                                                                                                                    \
  static const aClass* cast(const Value* aValue) {                                                                     \
    return isa(aValue) ? static_cast<const aClass*>(aValue) : nullptr;                                                 \
  }

// Value casts return null for a value of another kind.
class BoolValue : public Value {
public:
  BoolValue(Type* aType, bool aValue) : Value(BOOL, aType), fValue(aValue) {}
  CG_VALUE_CASTS(BoolValue, aValue->kind() == BOOL)
  bool isTrue() const { return fValue; }

private:
  bool fValue;
};

// Integers of any width, and bool- or char-typed quasi-numeric values. A module holds very many, most of them
// plain integers of their own type that fit a word: such a value keeps just its stored integer, and only the others
// keep the whole data value.
class IntegerValue : public Value {
public:
  IntegerValue(Type* aType, const FXP::DataValue& aValue) : IntegerValue(INTEGER, aType, aValue) {}
  // aWord is a value that aType, a plain integer type, holds as it stands.
  IntegerValue(IntegerType* aType, int64_t aWord);
  CG_VALUE_CASTS(IntegerValue, aValue->kind() == INTEGER || aValue->kind() == KAL_INTEGER)
  FXP::DataValue dataValue() const;
  std::string toString(int aRadix = 10) const { return dataValue().toString(aRadix); }
  // The value itself, when its type is a plain integer type and it fits a word: most integer constants.
  std::optional<int64_t> word() const;

protected:
  IntegerValue(Kind aKind, Type* aType, const FXP::DataValue& aValue);

private:
  int64_t fStoredWord = 0;
  // Null when the stored word holds the value.
  std::unique_ptr<const FXP::DataValue> fWhole;
};

class KalIntegerValue : public IntegerValue {
public:
  KalIntegerValue(Type* aType, const FXP::DataValue& aValue) : IntegerValue(KAL_INTEGER, aType, aValue) {}
  CG_VALUE_CASTS(KalIntegerValue, aValue->kind() == KAL_INTEGER)
};

class DoubleValue : public Value {
public:
  DoubleValue(Type* aType, double aValue) : Value(DOUBLE, aType), fValue(aValue) {}
  CG_VALUE_CASTS(DoubleValue, aValue->kind() == DOUBLE)
  double value() const { return fValue; }

private:
  double fValue;
};

class SingleValue : public Value {
public:
  SingleValue(Type* aType, float aValue) : Value(SINGLE, aType), fValue(aValue) {}
  CG_VALUE_CASTS(SingleValue, aValue->kind() == SINGLE)
  float value() const { return fValue; }

private:
  float fValue;
};

class CharValue : public Value {
public:
  CharValue(Type* aType, char aValue) : Value(CHAR, aType), fValue(aValue) {}
  CG_VALUE_CASTS(CharValue, aValue->kind() == CHAR)
  char toChar() const { return fValue; }

private:
  char fValue;
};

// The text is an interned string of the context.
class StringValue : public Value {
public:
  StringValue(Type* aType, const char* aText, bool aReadonly)
      : Value(STRING, aType), fText(aText), fReadonly(aReadonly) {}
  CG_VALUE_CASTS(StringValue, aValue->kind() == STRING)
  const char* toString() const { return fText; }
  bool isReadonly() const { return fReadonly; }

private:
  const char* fText;
  bool fReadonly;
};

class FixptValue : public Value {
public:
  FixptValue(Type* aType, const FXP::DataValue& aValue) : Value(FIXPT, aType), fValue(aValue) {}
  CG_VALUE_CASTS(FixptValue, aValue->kind() == FIXPT)
  const FXP::DataValue& dataValue() const { return fValue; }
  // Exact decimal form of the real value.
  std::string toString() const { return fValue.toString(10); }

private:
  FXP::DataValue fValue;
};

class EnumValue : public Value {
public:
  EnumValue(Type* aType, const char* aName, int64_t aValue) : Value(ENUM, aType), fName(aName), fValue(aValue) {}
  CG_VALUE_CASTS(EnumValue, aValue->kind() == ENUM)
  const char* toString() const { return fName; }
  int64_t value() const { return fValue; }

private:
  const char* fName;
  int64_t fValue;
};

class PointerValue : public Value {
public:
  explicit PointerValue(Type* aType) : Value(POINTER, aType) {}
  CG_VALUE_CASTS(PointerValue, aValue->kind() == POINTER)
  void* value() const { return fValue; }
  void setValue(void* aValue) { fValue = aValue; }

private:
  void* fValue = nullptr;
};

// Fields start unset (null references).
class StructValue : public Value {
public:
  StructValue(Type* aType, int aNumFields) : Value(STRUCT, aType), fFields(aNumFields) {}
  CG_VALUE_CASTS(StructValue, aValue->kind() == STRUCT)
  int numFields() const { return static_cast<int>(fFields.size()); }
  Ref<Value> field(int aIndex) const;
  void setField(int aIndex, Ref<Value> aValue);

private:
  std::vector<Ref<Value>> fFields;
};

class ComplexValue : public Value {
public:
  explicit ComplexValue(Type* aType) : Value(COMPLEX, aType) {}
  CG_VALUE_CASTS(ComplexValue, aValue->kind() == COMPLEX)
  Ref<Value> real() const { return fReal; }
  Ref<Value> imag() const { return fImag; }
  void setReal(Ref<Value> aValue) { fReal = std::move(aValue); }
  void setImag(Ref<Value> aValue) { fImag = std::move(aValue); }

private:
  Ref<Value> fReal;
  Ref<Value> fImag;
};

// Elements addressed by one index per dimension, laid out as the type's majority says.
// Elements start unset (null references).
// Only the elements set are stored: a matrix declared with huge dimensions costs what its text gives it.
class StaticMatrixValue : public Value {
public:
  StaticMatrixValue(Type* aType, std::vector<uint64_t> aDims, bool aRowMajor);
  CG_VALUE_CASTS(StaticMatrixValue, aValue->kind() == STATIC_MATRIX)
  int numDims() const { return static_cast<int>(fDims.size()); }
  uint64_t dim(int aIndex) const { return fDims[aIndex]; }
  // Null for an element never set.
  Ref<Value> element(const uint64_t* aIndex) const;
  void setElement(const uint64_t* aIndex, Ref<Value> aValue);
  // Elements by their offset in storage order.
  Ref<Value> elementAt(uint64_t aOffset) const;

private:
  uint64_t offsetOf(const uint64_t* aIndex) const;
  std::vector<uint64_t> fDims;
  bool fRowMajor;
  std::unordered_map<uint64_t, Ref<Value>> fElements;
};

#undef CG_VALUE_CASTS

// Values are heap objects freed with their last reference; the pool argument is kept for the
// callers' convenience and not used for storage.
class ValueFactory {
public:
  ValueFactory(CG_Ctx* aCtx, MemPool* aPool = nullptr) : fCtx(aCtx), fPool(aPool) {}

  Ref<Value> boolValueRef(bool aValue);
  Ref<Value> charValueRef(char aValue);
  Ref<Value> doubleValueRef(DoubleType* aType, double aValue);
  Ref<Value> singleValueRef(SingleType* aType, float aValue);
  // IntegerValue for integer, bool and char types; FixptValue for fixed point; DoubleValue
  // or SingleValue for the floating types.
  Ref<Value> quasiNumericValueRef(QuasiNumericType* aType, const FXP::DataValue& aValue);
  // The element must exist in the enum (assertion otherwise).
  Ref<Value> enumValueRef(EnumType* aType, char* aName);
  Ref<Value> pointerValueRef(PointerType* aType);
  Ref<Value> stringValueRef(const char* aText, bool aReadonly);
  Ref<Value> structValueCGRef(StructType* aType);
  Ref<Value> complexValueCGRef(ComplexType* aType);
  // Every dimension must be a known constant size.
  Ref<Value> matrixValueCGRef(StaticMatrixType* aType);
  Ref<Value> integerValueRef(IntegerType* aType, long long aValue);

  CG_Ctx* ctx() const { return fCtx; }
  MemPool* pool() const { return fPool; }

private:
  CG_Ctx* fCtx;
  MemPool* fPool;
};

} // namespace CG
