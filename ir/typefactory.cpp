// Type factory: per-context uniquing of structural types, creation of named types.
#include "ir/typefactory.h"

#include <cstdio>

#include "ir/ctx.h"
#include "ir/scope.h"

namespace CG {

namespace {

// Builds cache keys from a class letter and the parts that define the structure.
class KeyBuilder {
public:
  explicit KeyBuilder(char aClass) { fKey += aClass; }
  KeyBuilder& add(const void* aPointer) {
    char text[24];
    std::snprintf(text, sizeof text, ":%p", aPointer);
    fKey += text;
    return *this;
  }
  KeyBuilder& add(long long aValue) {
    fKey += ':';
    fKey += std::to_string(aValue);
    return *this;
  }
  // Exact: the hexadecimal form keeps every bit.
  KeyBuilder& add(double aValue) {
    char text[48];
    std::snprintf(text, sizeof text, ":%a", aValue);
    fKey += text;
    return *this;
  }
  const std::string& str() const { return fKey; }

private:
  std::string fKey;
};

// Whether this thread only finds types (TypeFinding), and whether it found none where one was asked for.
struct FindingState {
  bool active = false;
  bool missed = false;
};
thread_local FindingState tFinding;

int basicKindOfInteger(bool aSigned, int aBits) {
  switch (aBits) {
  case 8:
    return aSigned ? BASIC_INT8 : BASIC_UINT8;
  case 16:
    return aSigned ? BASIC_INT16 : BASIC_UINT16;
  case 32:
    return aSigned ? BASIC_INT32 : BASIC_UINT32;
  case 64:
    return aSigned ? BASIC_INT64 : BASIC_UINT64;
  }
  return BASIC_NONE;
}

} // namespace

TypeFinding::TypeFinding() {
  tFinding = FindingState{true, false};
}

TypeFinding::~TypeFinding() {
  tFinding = FindingState{};
}

bool TypeFinding::missedType() const {
  return tFinding.missed;
}

void TypeFinding::forgetMissed() {
  tFinding.missed = false;
}

bool TypeFinding::onThisThread() {
  return tFinding.active;
}

void TypeFinding::noteMissed() {
  tFinding.missed = true;
}

Type* TypeCache::find(const std::string& aKey) const {
  auto found = fTypes.find(aKey);
  return found != fTypes.end() ? found->second : nullptr;
}

template <class T, class... A> T* TypeFactory::unique(const std::string& aKey, A&&... aArgs) {
  TypeCache& cache = fCtx->typeCache();
  if (Type* existing = cache.find(aKey)) {
    return static_cast<T*>(existing);
  }
  if (TypeFinding::onThisThread()) {
    TypeFinding::noteMissed();
    return nullptr;
  }
  T* type = fCtx->pool()->make<T>(fCtx, std::forward<A>(aArgs)...);
  type->setOwner(fCtx->globalScope());
  cache.insert(aKey, type);
  return type;
}

// A singleton is made once through its key like any structural type, then found by its slot.
template <class T, class... A> T* TypeFactory::singleton(TypeCache::Singleton aSlot, const char* aKey, A&&... aArgs) {
  TypeCache& cache = fCtx->typeCache();
  if (Type* made = cache.singleton(aSlot)) {
    return static_cast<T*>(made);
  }
  T* type = unique<T>(aKey, std::forward<A>(aArgs)...);
  if (type != nullptr) {
    cache.setSingleton(aSlot, type);
  }
  return type;
}

VoidType* TypeFactory::voidType() {
  return singleton<VoidType>(TypeCache::VOID_TYPE, "void");
}
BoolType* TypeFactory::boolType() {
  return singleton<BoolType>(TypeCache::BOOL_TYPE, "bool");
}
CharType* TypeFactory::charType() {
  return singleton<CharType>(TypeCache::CHAR_TYPE, "char");
}
StringType* TypeFactory::stringType() {
  return singleton<StringType>(TypeCache::STRING_TYPE, "string");
}
DoubleType* TypeFactory::doubleType() {
  return singleton<DoubleType>(TypeCache::DOUBLE_TYPE, "double");
}
SingleType* TypeFactory::singleType() {
  return singleton<SingleType>(TypeCache::SINGLE_TYPE, "single");
}
UntypedType* TypeFactory::untypedType() {
  return singleton<UntypedType>(TypeCache::UNTYPED_TYPE, "untyped");
}
UnknownType* TypeFactory::unknownType() {
  return singleton<UnknownType>(TypeCache::UNKNOWN_TYPE, "unknown");
}
ErrorType* TypeFactory::errorType() {
  return singleton<ErrorType>(TypeCache::ERROR_TYPE, "error");
}
KalIntType* TypeFactory::kalIntType() {
  return singleton<KalIntType>(TypeCache::KALINT_TYPE, "kalint");
}

IntegerType* TypeFactory::intType() {
  return singleton<IntegerType>(TypeCache::INT_TYPE, "int", Type::makeWord(BASIC_INT, CLASS_TARGET_INTEGER), true, 32);
}

IntegerType* TypeFactory::uintType() {
  return singleton<IntegerType>(TypeCache::UINT_TYPE, "uint", Type::makeWord(BASIC_UINT, CLASS_TARGET_INTEGER), false,
                                32);
}

IntegerType* TypeFactory::integerType(bool aSigned, int aBits) {
  CG_ASSERT_MSG(aBits >= 1 && aBits <= 1024, "ir/typefactory.cpp", "integer width in 1..1024");
  if (aBits >= 1 && aBits <= TypeCache::kMaxIndexedIntegerBits) {
    TypeCache& cache = fCtx->typeCache();
    if (IntegerType* made = cache.indexedInteger(aSigned, aBits)) {
      return made;
    }
    IntegerType* type = uniqueIntegerType(aSigned, aBits);
    if (type != nullptr) {
      cache.setIndexedInteger(aSigned, aBits, type);
    }
    return type;
  }
  return uniqueIntegerType(aSigned, aBits);
}

IntegerType* TypeFactory::uniqueIntegerType(bool aSigned, int aBits) {
  KeyBuilder key('I');
  key.add(static_cast<long long>(aSigned)).add(static_cast<long long>(aBits));
  return unique<IntegerType>(key.str(), Type::makeWord(basicKindOfInteger(aSigned, aBits), CLASS_INTEGER), aSigned,
                             aBits);
}

Type* TypeFactory::basicType(int aBasicKind) {
  switch (aBasicKind) {
  case BASIC_VOID:
    return voidType();
  case BASIC_SINGLE:
    return singleType();
  case BASIC_DOUBLE:
    return doubleType();
  case BASIC_INT8:
    return signedInt8Type();
  case BASIC_INT16:
    return signedInt16Type();
  case BASIC_INT32:
    return signedInt32Type();
  case BASIC_INT64:
    return signedInt64Type();
  case BASIC_UINT8:
    return unsignedInt8Type();
  case BASIC_UINT16:
    return unsignedInt16Type();
  case BASIC_UINT32:
    return unsignedInt32Type();
  case BASIC_UINT64:
    return unsignedInt64Type();
  case BASIC_BOOL:
    return boolType();
  case BASIC_CHAR:
    return charType();
  case BASIC_STRING:
    return stringType();
  case BASIC_UNTYPED:
    return untypedType();
  case BASIC_UNKNOWN:
    return unknownType();
  case BASIC_INT:
    return intType();
  case BASIC_UINT:
    return uintType();
  case BASIC_NONE:
    break;
  }
  client_assertion_failed("ir/typefactory.cpp", __LINE__, "basic kind has a type");
}

FixptType* TypeFactory::fixptType(bool aSigned, int aBits, double aSlope, int aExponent, double aBias,
                                  bool aScaledDouble) {
  CG_ASSERT_MSG(aBits >= 1 && aBits <= 1024, "ir/typefactory.cpp", "fixed-point width in 1..1024");
  KeyBuilder key('X');
  key.add(static_cast<long long>(aSigned)).add(static_cast<long long>(aBits)).add(aSlope);
  key.add(static_cast<long long>(aExponent)).add(aBias).add(static_cast<long long>(aScaledDouble));
  return unique<FixptType>(key.str(), aSigned, aBits, aSlope, aExponent, aBias, aScaledDouble);
}

ComplexType* TypeFactory::complexType(Type* aBase) {
  CG_ASSERT(aBase != nullptr, "ir/typefactory.cpp");
  return unique<ComplexType>(KeyBuilder('C').add(aBase).str(), aBase);
}

PointerType* TypeFactory::pointerType(Type* aBase) {
  CG_ASSERT(aBase != nullptr, "ir/typefactory.cpp");
  return unique<PointerType>(KeyBuilder('P').add(aBase).str(), aBase, false);
}

PointerType* TypeFactory::vxArrayType() {
  return unique<PointerType>("vxarray", voidType(), true);
}

ReferenceType* TypeFactory::referenceType(Type* aBase) {
  CG_ASSERT(aBase != nullptr, "ir/typefactory.cpp");
  return unique<ReferenceType>(KeyBuilder('R').add(aBase).str(), aBase);
}

StaticMatrixType* TypeFactory::matrixType(Type* aBase, const std::vector<SymbolicSize*>& aDims, bool aRowMajor) {
  CG_ASSERT(aBase != nullptr, "ir/typefactory.cpp");
  KeyBuilder key('M');
  key.add(aBase).add(static_cast<long long>(aRowMajor));
  for (SymbolicSize* dim : aDims) {
    CG_ASSERT(dim != nullptr, "ir/typefactory.cpp");
    key.add(dim);
  }
  return unique<StaticMatrixType>(key.str(), aBase, aDims, aRowMajor);
}

DynamicMatrixType* TypeFactory::dynamicMatrixType(Type* aBase, const std::vector<std::pair<bool, SymbolicSize*>>& aDims,
                                                  bool aRowMajor) {
  CG_ASSERT(aBase != nullptr, "ir/typefactory.cpp");
  KeyBuilder key('D');
  key.add(aBase).add(static_cast<long long>(aRowMajor));
  for (const auto& dim : aDims) {
    CG_ASSERT(dim.second != nullptr, "ir/typefactory.cpp");
    key.add(static_cast<long long>(dim.first)).add(dim.second);
  }
  return unique<DynamicMatrixType>(key.str(), aBase, aDims, aRowMajor);
}

FcnType* TypeFactory::fcnType(const std::vector<Type*>& aInputs, const std::vector<Type*>& aOutputs, bool aMethod) {
  KeyBuilder key('F');
  key.add(static_cast<long long>(aMethod)).add(static_cast<long long>(aInputs.size()));
  for (Type* input : aInputs) {
    key.add(input);
  }
  for (Type* output : aOutputs) {
    key.add(output);
  }
  return unique<FcnType>(key.str(), aInputs, aOutputs, aMethod);
}

Type* TypeFactory::qualifiedType(Type* aType, bool aReadonly, bool aVolatile) {
  CG_ASSERT(aType != nullptr, "ir/typefactory.cpp");
  Type* base = aType->unqualified();
  bool readonly = aReadonly || aType->isReadonly();
  bool isVolatile = aVolatile || aType->isVolatile();
  if (!readonly && !isVolatile) {
    return base;
  }
  KeyBuilder key('Q');
  key.add(base).add(static_cast<long long>(readonly)).add(static_cast<long long>(isVolatile));
  TypeCache& cache = fCtx->typeCache();
  if (Type* existing = cache.find(key.str())) {
    return existing;
  }
  if (TypeFinding::onThisThread()) {
    TypeFinding::noteMissed();
    return nullptr;
  }
  Type* qualified = base->copyIn(fCtx->pool());
  qualified->setQualifiers(base, readonly, isVolatile);
  qualified->setOwner(base->scope() != nullptr ? base->scope() : fCtx->globalScope());
  cache.insert(key.str(), qualified);
  return qualified;
}

OpaqueType* TypeFactory::opaqueType(int aClassKind) {
  CG_ASSERT_MSG(aClassKind >= -32 && aClassKind <= 31, "ir/typefactory.cpp", "class kind fits in 6 bits");
  return unique<OpaqueType>(KeyBuilder('O').add(static_cast<long long>(aClassKind)).str(), aClassKind);
}

void TypeFactory::addNamed(Type* aType, Scope* aScope, const char* aName) {
  aType->setName(fCtx->cgString(aName));
  if (aScope != nullptr && aName != nullptr && aName[0] != '\0') {
    aScope->addSymbol(aType);
    return;
  }
  aType->setOwner(aScope != nullptr ? aScope : fCtx->globalScope());
}

StructType* TypeFactory::structType(Scope* aScope, const char* aName, const char* aTag,
                                    const std::vector<FieldDesc>& aFields) {
  auto* body = fCtx->pool()->make<AggregateBody>();
  body->tag = fCtx->cgString(aTag);
  body->fields = aFields;
  auto* type = fCtx->pool()->make<StructType>(fCtx, body);
  addNamed(type, aScope, aName);
  return type;
}

UnionType* TypeFactory::unionType(Scope* aScope, const char* aName, const char* aTag,
                                  const std::vector<FieldDesc>& aFields) {
  auto* body = fCtx->pool()->make<AggregateBody>();
  body->tag = fCtx->cgString(aTag);
  body->fields = aFields;
  auto* type = fCtx->pool()->make<UnionType>(fCtx, body);
  addNamed(type, aScope, aName);
  return type;
}

ClassType* TypeFactory::classType(Scope* aScope, const char* aName, const std::vector<MemberDesc>& aMembers,
                                  const std::vector<BaseDesc>& aBases) {
  for (const BaseDesc& base : aBases) {
    CG_ASSERT(base.base != nullptr, "ir/typefactory.cpp");
  }
  auto* body = fCtx->pool()->make<ClassBody>();
  body->members = aMembers;
  body->bases = aBases;
  auto* type = fCtx->pool()->make<ClassType>(fCtx, body);
  addNamed(type, aScope, aName);
  return type;
}

EnumType* TypeFactory::enumType(Scope* aScope, const char* aName, const char* aTag,
                                const std::vector<EnumElement>& aElements, Type* aBase) {
  auto* body = fCtx->pool()->make<EnumBody>();
  body->tag = fCtx->cgString(aTag);
  body->elements = aElements;
  body->base = aBase != nullptr ? aBase : embeddedIntegerType();
  auto* type = fCtx->pool()->make<EnumType>(fCtx, body);
  addNamed(type, aScope, aName);
  return type;
}

Type* TypeFactory::namedCopy(Type* aType, Scope* aScope, const char* aName) {
  CG_ASSERT(aType != nullptr, "ir/typefactory.cpp");
  Type* copy = aType->copyIn(fCtx->pool());
  addNamed(copy, aScope, aName);
  return copy;
}

} // namespace CG
