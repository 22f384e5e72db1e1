// IR types: one 32-bit kind word plus the structure of each class of type.
#pragma once

#include <cstdint>
#include <utility>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ir/mempool.h"
#include "ir/symbol.h"

namespace FXP {
class DataType;
}

namespace CG {

class SymbolicSize;

// Basic kinds (low byte of the word); 0 for types without one.
enum BasicKind {
  BASIC_NONE = 0,
  BASIC_VOID = 1,
  BASIC_SINGLE = 2,
  BASIC_DOUBLE = 3,
  BASIC_INT8 = 4,
  BASIC_INT16 = 5,
  BASIC_INT32 = 6,
  BASIC_INT64 = 7,
  BASIC_UINT8 = 8,
  BASIC_UINT16 = 9,
  BASIC_UINT32 = 10,
  BASIC_UINT64 = 11,
  BASIC_BOOL = 12,
  BASIC_CHAR = 13,
  BASIC_STRING = 14,
  BASIC_UNTYPED = 16,
  BASIC_UNKNOWN = 17,
  BASIC_INT = 19,
  BASIC_UINT = 20
};

// Class kinds (bits 16-21 of the word). 10 and 25 are only made as OpaqueType.
enum ClassKind {
  CLASS_BOOL = 1,
  CLASS_CHAR = 2,
  CLASS_COMPLEX = 3,
  CLASS_DOUBLE = 4,
  CLASS_DYNAMIC_MATRIX = 5,
  CLASS_ENUM = 6,
  CLASS_ERROR = 7,
  CLASS_FIXPT = 8,
  CLASS_FCN = 9,
  CLASS_POINTER = 11,
  CLASS_INTEGER = 12,
  CLASS_SINGLE = 13,
  CLASS_STATIC_MATRIX = 14,
  CLASS_STRING = 15,
  CLASS_STRUCT = 16,
  CLASS_KAL_INT = 17,
  CLASS_UNION = 18,
  CLASS_UNKNOWN = 19,
  CLASS_TARGET_INTEGER = 20,
  CLASS_UNTYPED = 21,
  CLASS_VOID = 22,
  CLASS_CLASS = 23,
  CLASS_METHOD_FCN = 24,
  CLASS_REFERENCE = 26
};

struct FieldDesc {
  char* name;
  Type* type;
};
struct MemberDesc {
  char* name;
  Type* type;
  int visibility;
};
struct BaseDesc {
  ClassType* base;
  int visibility;
};
struct EnumElement {
  char* name;
  int64_t value;
};

// Word layout: basic kind in bits 0-7 (signed), class kind in bits 16-21 (signed 6-bit),
// readonly bit 22, volatile bit 23.
class Type : public Symbol {
public:
  static constexpr uint32_t kReadonlyBit = 1u << 22;
  static constexpr uint32_t kVolatileBit = 1u << 23;
  static uint32_t makeWord(int aBasicKind, int aClassKind, bool aReadonly = false, bool aVolatile = false);

  static bool isa(const CG_Obj* aObj) { return aObj != nullptr && aObj->id() == CG_TYPE; }
  CG_DECLARE_CASTS(Type)

  int basicKind() const { return static_cast<int8_t>(fWord & 0xffu); }
  int classKind() const;
  bool isReadonly() const { return (fWord & kReadonlyBit) != 0; }
  bool isVolatile() const { return (fWord & kVolatileBit) != 0; }
  uint32_t word() const { return fWord; }
  // The same type without qualifiers (this type when it has none).
  Type* unqualified() const { return fUnqualified != nullptr ? fUnqualified : const_cast<Type*>(this); }
  // Pairs of component types that must be equal for two types to be.
  using TypePairs = std::vector<std::pair<const Type*, const Type*>>;
  // Structural equality including qualifiers; names of structural types do not matter,
  // aggregates and enums are equal only to themselves (and their qualified forms' peers).
  virtual bool equals(const Type* aOther) const;
  void setNameUnsafe(char* aName) { setName(aName); }

  // A new object of the same class and structure (used for qualified forms and typedefs).
  virtual Type* copyIn(MemPool* aPool) const = 0;
  // Used by the factory on a fresh copy.
  void setQualifiers(Type* aUnqualified, bool aReadonly, bool aVolatile);
  void setOwner(Scope* aScope) { setOwnerScope(aScope); }

protected:
  Type(CG_Ctx* aCtx, uint32_t aWord) : Symbol(CG_TYPE, aCtx, nullptr), fWord(aWord) {}
  Type(const Type& aOther)
      : Symbol(CG_TYPE, aOther.ctx(), aOther.name()), fWord(aOther.fWord), fUnqualified(aOther.fUnqualified) {}
  // Class-specific part of equals; the words are already known to be equal. Compares this type's own parts
  // and appends the pairs of component types still to compare to aPending: types nest without bound, so
  // equals walks them from an explicit list instead of recursing.
  virtual bool equalsSameKind(const Type* aOther, TypePairs& aPending) const;
  static bool classKindIs(const CG_Obj* aObj, int aClassKind) {
    return isa(aObj) && static_cast<const Type*>(aObj)->classKind() == aClassKind;
  }

private:
  uint32_t fWord;
  Type* fUnqualified = nullptr;
};

#define CG_TYPE_COPY(aClass)                                                                                           \
  Type* copyIn(MemPool* aPool) const override {                                                                        \
    return aPool->make<aClass>(*this);                                                                                 \
  }

bool cg_type_equals_type(const Type* aLeft, const Type* aRight);

class QuasiNumericType : public Type {
public:
  static bool isa(const CG_Obj* aObj);
  CG_DECLARE_CASTS(QuasiNumericType)
  virtual FXP::DataType fxpType() const = 0;

protected:
  using Type::Type;
};

class NumericType : public QuasiNumericType {
public:
  static bool isa(const CG_Obj* aObj);
  CG_DECLARE_CASTS(NumericType)

protected:
  using QuasiNumericType::QuasiNumericType;
};

// Integers of class kind 12 (int8..uint64, and other widths with basic kind 0) and the
// target integers int/uint (class kind 20, 32 bits).
class IntegerType : public NumericType {
public:
  IntegerType(CG_Ctx* aCtx, uint32_t aWord, bool aSigned, int aBits)
      : NumericType(aCtx, aWord), fSigned(aSigned), fBits(aBits) {}
  static bool isa(const CG_Obj* aObj) {
    return classKindIs(aObj, CLASS_INTEGER) || classKindIs(aObj, CLASS_TARGET_INTEGER);
  }
  CG_DECLARE_CASTS(IntegerType)
  CG_TYPE_COPY(IntegerType)
  bool isSigned() const { return fSigned; }
  int numBits() const { return fBits; }
  FXP::DataType fxpType() const override;

protected:
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  bool fSigned;
  int fBits;
};

class FixptType : public NumericType {
public:
  FixptType(CG_Ctx* aCtx, bool aSigned, int aBits, double aSlope, int aExponent, double aBias, bool aScaledDouble);
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_FIXPT); }
  CG_DECLARE_CASTS(FixptType)
  CG_TYPE_COPY(FixptType)
  bool isSigned() const { return fSigned; }
  int numBits() const { return fBits; }
  // Slope adjustment factor; the full slope is slope() * 2^exponent().
  double slope() const { return fSlope; }
  int exponent() const { return fExponent; }
  double bias() const { return fBias; }
  bool isScaledDouble() const { return fScaledDouble; }
  FXP::DataType fxpType() const override;

protected:
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  bool fSigned;
  int fBits;
  double fSlope;
  int fExponent;
  double fBias;
  bool fScaledDouble;
};

class DoubleType : public NumericType {
public:
  explicit DoubleType(CG_Ctx* aCtx) : NumericType(aCtx, makeWord(BASIC_DOUBLE, CLASS_DOUBLE)) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_DOUBLE); }
  CG_DECLARE_CASTS(DoubleType)
  CG_TYPE_COPY(DoubleType)
  FXP::DataType fxpType() const override;
};

class SingleType : public NumericType {
public:
  explicit SingleType(CG_Ctx* aCtx) : NumericType(aCtx, makeWord(BASIC_SINGLE, CLASS_SINGLE)) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_SINGLE); }
  CG_DECLARE_CASTS(SingleType)
  CG_TYPE_COPY(SingleType)
  FXP::DataType fxpType() const override;
};

class BoolType : public QuasiNumericType {
public:
  explicit BoolType(CG_Ctx* aCtx) : QuasiNumericType(aCtx, makeWord(BASIC_BOOL, CLASS_BOOL)) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_BOOL); }
  CG_DECLARE_CASTS(BoolType)
  CG_TYPE_COPY(BoolType)
  // Unsigned, one bit.
  FXP::DataType fxpType() const override;
};

class CharType : public QuasiNumericType {
public:
  explicit CharType(CG_Ctx* aCtx) : QuasiNumericType(aCtx, makeWord(BASIC_CHAR, CLASS_CHAR)) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_CHAR); }
  CG_DECLARE_CASTS(CharType)
  CG_TYPE_COPY(CharType)
  // Signed, eight bits.
  FXP::DataType fxpType() const override;
};

// Types that are fully described by their word.
#define CG_SIMPLE_TYPE(aClass, aBasic, aClassKind)                                                                     \
  class aClass : public Type {                                                                                         \
  public:                                                                                                              \
    explicit aClass(CG_Ctx* aCtx) : Type(aCtx, makeWord(aBasic, aClassKind)) {}                                        \
    static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, aClassKind); }                                      \
    CG_DECLARE_CASTS(aClass)                                                                                           \
    CG_TYPE_COPY(aClass)                                                                                               \
  };

CG_SIMPLE_TYPE(StringType, BASIC_STRING, CLASS_STRING)
CG_SIMPLE_TYPE(VoidType, BASIC_VOID, CLASS_VOID)
CG_SIMPLE_TYPE(UntypedType, BASIC_UNTYPED, CLASS_UNTYPED)
CG_SIMPLE_TYPE(UnknownType, BASIC_UNKNOWN, CLASS_UNKNOWN)
CG_SIMPLE_TYPE(ErrorType, BASIC_NONE, CLASS_ERROR)
CG_SIMPLE_TYPE(KalIntType, BASIC_NONE, CLASS_KAL_INT)
#undef CG_SIMPLE_TYPE

// A type of a class kind this library does not model (10, 25, ...), so unhandled kinds can be tested.
class OpaqueType : public Type {
public:
  OpaqueType(CG_Ctx* aCtx, int aClassKind) : Type(aCtx, makeWord(BASIC_NONE, aClassKind)) {}
  static bool isa(const CG_Obj* aObj);
  CG_DECLARE_CASTS(OpaqueType)
  CG_TYPE_COPY(OpaqueType)
};

class ComplexType : public Type {
public:
  ComplexType(CG_Ctx* aCtx, Type* aBase) : Type(aCtx, makeWord(BASIC_NONE, CLASS_COMPLEX)), fBase(aBase) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_COMPLEX); }
  CG_DECLARE_CASTS(ComplexType)
  CG_TYPE_COPY(ComplexType)
  Type* baseType() const { return fBase; }

protected:
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  Type* fBase;
};

class PointerType : public Type {
public:
  PointerType(CG_Ctx* aCtx, Type* aBase, bool aVxArray)
      : Type(aCtx, makeWord(BASIC_NONE, CLASS_POINTER)), fBase(aBase), fVxArray(aVxArray) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_POINTER); }
  CG_DECLARE_CASTS(PointerType)
  CG_TYPE_COPY(PointerType)
  Type* baseType() const { return fBase; }
  // The variable-size array handle type (a pointer to void flagged as such).
  bool isanVxArrayType() const { return fVxArray; }

protected:
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  Type* fBase;
  bool fVxArray;
};

class ReferenceType : public Type {
public:
  ReferenceType(CG_Ctx* aCtx, Type* aBase) : Type(aCtx, makeWord(BASIC_NONE, CLASS_REFERENCE)), fBase(aBase) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_REFERENCE); }
  CG_DECLARE_CASTS(ReferenceType)
  CG_TYPE_COPY(ReferenceType)
  Type* baseType() const { return fBase; }

protected:
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  Type* fBase;
};

class StaticMatrixType : public Type {
public:
  StaticMatrixType(CG_Ctx* aCtx, Type* aBase, std::vector<SymbolicSize*> aDims, bool aRowMajor)
      : Type(aCtx, makeWord(BASIC_NONE, CLASS_STATIC_MATRIX)), fBase(aBase), fDims(std::move(aDims)),
        fRowMajor(aRowMajor) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_STATIC_MATRIX); }
  CG_DECLARE_CASTS(StaticMatrixType)
  CG_TYPE_COPY(StaticMatrixType)
  Type* baseType() const { return fBase; }
  int numDims() const { return static_cast<int>(fDims.size()); }
  SymbolicSize* dim(int aIndex) const { return fDims[aIndex]; }
  bool isRowMajor() const { return fRowMajor; }

protected:
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  Type* fBase;
  std::vector<SymbolicSize*> fDims;
  bool fRowMajor;
};
using MatrixType = StaticMatrixType;

// Each dimension is either variable (with an upper bound, possibly unknown) or fixed.
class DynamicMatrixType : public Type {
public:
  DynamicMatrixType(CG_Ctx* aCtx, Type* aBase, std::vector<std::pair<bool, SymbolicSize*>> aDims, bool aRowMajor)
      : Type(aCtx, makeWord(BASIC_NONE, CLASS_DYNAMIC_MATRIX)), fBase(aBase), fDims(std::move(aDims)),
        fRowMajor(aRowMajor) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_DYNAMIC_MATRIX); }
  CG_DECLARE_CASTS(DynamicMatrixType)
  CG_TYPE_COPY(DynamicMatrixType)
  Type* baseType() const { return fBase; }
  int numDims() const { return static_cast<int>(fDims.size()); }
  bool isVariableDim(int aIndex) const { return fDims[aIndex].first; }
  SymbolicSize* dimBound(int aIndex) const { return fDims[aIndex].second; }
  bool isRowMajor() const { return fRowMajor; }

protected:
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  Type* fBase;
  std::vector<std::pair<bool, SymbolicSize*>> fDims;
  bool fRowMajor;
};

class FcnType : public Type {
public:
  FcnType(CG_Ctx* aCtx, std::vector<Type*> aInputs, std::vector<Type*> aOutputs, bool aMethod)
      : Type(aCtx, makeWord(BASIC_NONE, aMethod ? CLASS_METHOD_FCN : CLASS_FCN)), fInputs(std::move(aInputs)),
        fOutputs(std::move(aOutputs)) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_FCN) || classKindIs(aObj, CLASS_METHOD_FCN); }
  CG_DECLARE_CASTS(FcnType)
  CG_TYPE_COPY(FcnType)
  int numInputs() const { return static_cast<int>(fInputs.size()); }
  Type* input(int aIndex) const { return fInputs[aIndex]; }
  int numOutputs() const { return static_cast<int>(fOutputs.size()); }
  Type* output(int aIndex) const { return fOutputs[aIndex]; }
  bool isMethodType() const { return classKind() == CLASS_METHOD_FCN; }

protected:
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  std::vector<Type*> fInputs;
  std::vector<Type*> fOutputs;
};

// Named, nominal types keep their contents in a body shared by their qualified forms and
// typedef copies, so completing a body (e.g. after a forward use) shows everywhere.
struct AggregateBody {
  char* tag = nullptr;
  std::vector<FieldDesc> fields;
};

class AggregateType : public Type {
public:
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_STRUCT) || classKindIs(aObj, CLASS_UNION); }
  CG_DECLARE_CASTS(AggregateType)
  char* tag() const { return fBody->tag; }
  void setTag(char* aTag) { fBody->tag = aTag; }
  int numFields() const { return static_cast<int>(fBody->fields.size()); }
  char* fieldName(int aIndex) const { return fBody->fields[aIndex].name; }
  Type* fieldType(int aIndex) const { return fBody->fields[aIndex].type; }
  // Index of the field with this interned name, or -1.
  int fieldIndex(const char* aName) const;
  void setFields(const std::vector<FieldDesc>& aFields) { fBody->fields = aFields; }
  void addField(char* aName, Type* aType) { fBody->fields.push_back(FieldDesc{aName, aType}); }
  const AggregateBody* body() const { return fBody; }

protected:
  AggregateType(CG_Ctx* aCtx, int aClassKind, AggregateBody* aBody)
      : Type(aCtx, makeWord(BASIC_NONE, aClassKind)), fBody(aBody) {}
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  AggregateBody* fBody;
};

class StructType : public AggregateType {
public:
  StructType(CG_Ctx* aCtx, AggregateBody* aBody) : AggregateType(aCtx, CLASS_STRUCT, aBody) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_STRUCT); }
  CG_DECLARE_CASTS(StructType)
  CG_TYPE_COPY(StructType)
};

class UnionType : public AggregateType {
public:
  UnionType(CG_Ctx* aCtx, AggregateBody* aBody) : AggregateType(aCtx, CLASS_UNION, aBody) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_UNION); }
  CG_DECLARE_CASTS(UnionType)
  CG_TYPE_COPY(UnionType)
};

struct ClassBody {
  std::vector<MemberDesc> members;
  std::vector<BaseDesc> bases;
};

class ClassType : public Type {
public:
  ClassType(CG_Ctx* aCtx, ClassBody* aBody) : Type(aCtx, makeWord(BASIC_NONE, CLASS_CLASS)), fBody(aBody) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_CLASS); }
  CG_DECLARE_CASTS(ClassType)
  CG_TYPE_COPY(ClassType)
  int numMembers() const { return static_cast<int>(fBody->members.size()); }
  char* memberName(int aIndex) const { return fBody->members[aIndex].name; }
  Type* memberType(int aIndex) const { return fBody->members[aIndex].type; }
  int memberVisibility(int aIndex) const { return fBody->members[aIndex].visibility; }
  int numBaseClasses() const { return static_cast<int>(fBody->bases.size()); }
  ClassType* baseClass(int aIndex) const { return fBody->bases[aIndex].base; }
  int baseVisibility(int aIndex) const { return fBody->bases[aIndex].visibility; }
  void setMembers(const std::vector<MemberDesc>& aMembers) { fBody->members = aMembers; }
  void setBases(const std::vector<BaseDesc>& aBases) { fBody->bases = aBases; }
  void addMember(char* aName, Type* aType, int aVisibility) {
    fBody->members.push_back(MemberDesc{aName, aType, aVisibility});
  }
  void addBase(ClassType* aBase, int aVisibility) { fBody->bases.push_back(BaseDesc{aBase, aVisibility}); }
  const ClassBody* body() const { return fBody; }

protected:
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  ClassBody* fBody;
};

struct EnumBody {
  char* tag = nullptr;
  std::vector<EnumElement> elements;
  Type* base = nullptr;
  // Element position by name text (the first of equal names), built on the first lookup and dropped when an
  // element is added.
  mutable std::unordered_map<std::string_view, size_t> byName;
};

class EnumType : public Type {
public:
  EnumType(CG_Ctx* aCtx, EnumBody* aBody) : Type(aCtx, makeWord(BASIC_NONE, CLASS_ENUM)), fBody(aBody) {}
  static bool isa(const CG_Obj* aObj) { return classKindIs(aObj, CLASS_ENUM); }
  CG_DECLARE_CASTS(EnumType)
  CG_TYPE_COPY(EnumType)
  char* tag() const { return fBody->tag; }
  void setTag(char* aTag) { fBody->tag = aTag; }
  int numElements() const { return static_cast<int>(fBody->elements.size()); }
  char* elementName(int aIndex) const { return fBody->elements[aIndex].name; }
  int64_t elementValue(int aIndex) const { return fBody->elements[aIndex].value; }
  void addElement(char* aName, int64_t aValue) {
    fBody->elements.push_back(EnumElement{aName, aValue});
    fBody->byName.clear();
  }
  Type* baseType() const { return fBody->base; }
  void setBaseType(Type* aBase) { fBody->base = aBase; }
  // Value of the element whose text equals aName; *aFound (if given) tells whether it exists.
  int64_t valueOf(const char* aName, bool* aFound) const;
  const EnumBody* body() const { return fBody; }

protected:
  bool equalsSameKind(const Type* aOther, TypePairs& aPending) const override;

private:
  EnumBody* fBody;
};

#undef CG_TYPE_COPY

} // namespace CG
