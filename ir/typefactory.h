// Makes IR types: structural types uniqued per context, named types as distinct symbols.
#pragma once

#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ir/type.h"

namespace CG {

// The context's table of structural types, keyed by a text that encodes the structure. One thread makes types;
// another may find them meanwhile (see TypeFinding) while it holds the readers' side of lock(), which every
// change takes whole.
class TypeCache {
public:
  Type* find(const std::string& aKey) const;
  void insert(const std::string& aKey, Type* aType) {
    std::unique_lock<std::shared_mutex> changing(fLock);
    fTypes.emplace(aKey, aType);
  }
  size_t size() const { return fTypes.size(); }
  // Integer types up to 64 bits wide, by signedness and width, found without building a key: every
  // integer literal and most operators ask for one. Null until made.
  static constexpr int kMaxIndexedIntegerBits = 64;
  IntegerType* indexedInteger(bool aSigned, int aBits) const { return fIntegers[aSigned ? 1 : 0][aBits]; }
  void setIndexedInteger(bool aSigned, int aBits, IntegerType* aType) {
    std::unique_lock<std::shared_mutex> changing(fLock);
    fIntegers[aSigned ? 1 : 0][aBits] = aType;
  }
  // The types of which a context has one each (bool, void, double, ...), by slot. Null until made.
  enum Singleton {
    VOID_TYPE,
    BOOL_TYPE,
    CHAR_TYPE,
    STRING_TYPE,
    DOUBLE_TYPE,
    SINGLE_TYPE,
    UNTYPED_TYPE,
    UNKNOWN_TYPE,
    ERROR_TYPE,
    KALINT_TYPE,
    INT_TYPE,
    UINT_TYPE,
    kNumSingletons
  };
  Type* singleton(Singleton aSlot) const { return fSingletons[aSlot]; }
  void setSingleton(Singleton aSlot, Type* aType) {
    std::unique_lock<std::shared_mutex> changing(fLock);
    fSingletons[aSlot] = aType;
  }
  std::shared_mutex& lock() { return fLock; }

private:
  std::shared_mutex fLock;
  std::unordered_map<std::string, Type*> fTypes;
  IntegerType* fIntegers[2][kMaxIndexedIntegerBits + 1] = {};
  Type* fSingletons[kNumSingletons] = {};
};

// While one lives, the type factories on its thread find types and make none: a type not made yet comes back
// null, and missedType() tells so. A thread reading the types of a context that another thread may be adding to
// finds them this way, holding the readers' side of the cache's lock. One at a time on a thread.
class TypeFinding {
public:
  TypeFinding();
  ~TypeFinding();
  TypeFinding(const TypeFinding&) = delete;
  TypeFinding& operator=(const TypeFinding&) = delete;

  // Whether a factory on this thread came back empty since the finding began or was last asked.
  bool missedType() const;
  void forgetMissed();

  // For the factories: whether this thread only finds, and noting a type not found.
  static bool onThisThread();
  static void noteMissed();
};

// Structural types are owned by the global scope without being in its symbol list. Named types
// are appended to their scope's symbols unless the name is null or "".
class TypeFactory {
public:
  explicit TypeFactory(CG_Ctx* aCtx) : fCtx(aCtx) {}

  VoidType* voidType();
  BoolType* boolType();
  CharType* charType();
  StringType* stringType();
  DoubleType* doubleType();
  SingleType* singleType();
  UntypedType* untypedType();
  UnknownType* unknownType();
  ErrorType* errorType();
  KalIntType* kalIntType();
  // The target's int and unsigned (class kind 20, 32 bits).
  IntegerType* intType();
  IntegerType* uintType();
  IntegerType* signedInt8Type() { return integerType(true, 8); }
  IntegerType* signedInt16Type() { return integerType(true, 16); }
  IntegerType* signedInt32Type() { return integerType(true, 32); }
  IntegerType* signedInt64Type() { return integerType(true, 64); }
  IntegerType* unsignedInt8Type() { return integerType(false, 8); }
  IntegerType* unsignedInt16Type() { return integerType(false, 16); }
  IntegerType* unsignedInt32Type() { return integerType(false, 32); }
  IntegerType* unsignedInt64Type() { return integerType(false, 64); }
  // Widths 8/16/32/64 have basic kinds; other widths in 1..1024 have basic kind 0.
  IntegerType* integerType(bool aSigned, int aBits);
  // The type of a basic kind (1..20); assertion failure for kinds without a type.
  Type* basicType(int aBasicKind);
  // Default base of enums.
  IntegerType* embeddedIntegerType() { return signedInt32Type(); }
  FixptType* fixptType(bool aSigned, int aBits, double aSlope, int aExponent, double aBias, bool aScaledDouble);
  ComplexType* complexType(Type* aBase);
  PointerType* pointerType(Type* aBase);
  PointerType* vxArrayType();
  ReferenceType* referenceType(Type* aBase);
  StaticMatrixType* matrixType(Type* aBase, const std::vector<SymbolicSize*>& aDims, bool aRowMajor);
  DynamicMatrixType* dynamicMatrixType(Type* aBase, const std::vector<std::pair<bool, SymbolicSize*>>& aDims,
                                       bool aRowMajor);
  FcnType* fcnType(const std::vector<Type*>& aInputs, const std::vector<Type*>& aOutputs, bool aMethod = false);
  // aType with the given qualifiers added to those it already has.
  Type* qualifiedType(Type* aType, bool aReadonly, bool aVolatile);
  OpaqueType* opaqueType(int aClassKind);

  StructType* structType(Scope* aScope, const char* aName, const char* aTag, const std::vector<FieldDesc>& aFields);
  UnionType* unionType(Scope* aScope, const char* aName, const char* aTag, const std::vector<FieldDesc>& aFields);
  ClassType* classType(Scope* aScope, const char* aName, const std::vector<MemberDesc>& aMembers,
                       const std::vector<BaseDesc>& aBases);
  // A null base means embeddedIntegerType().
  EnumType* enumType(Scope* aScope, const char* aName, const char* aTag, const std::vector<EnumElement>& aElements,
                     Type* aBase);
  // A distinct copy of aType carrying a name (a typedef); appended to aScope.
  Type* namedCopy(Type* aType, Scope* aScope, const char* aName);

  CG_Ctx* ctx() const { return fCtx; }

private:
  template <class T, class... A> T* unique(const std::string& aKey, A&&... aArgs);
  template <class T, class... A> T* singleton(TypeCache::Singleton aSlot, const char* aKey, A&&... aArgs);
  IntegerType* uniqueIntegerType(bool aSigned, int aBits);
  void addNamed(Type* aType, Scope* aScope, const char* aName);

  CG_Ctx* fCtx;
};

} // namespace CG
