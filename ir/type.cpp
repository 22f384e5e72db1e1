// Type words, structural equality and numeric views of the IR types.
#include "ir/type.h"

#include <cstring>

#include "numeric/fxp.h"

namespace CG {

namespace {

bool sameSize(const SymbolicSize* aLeft, const SymbolicSize* aRight) {
  return aLeft == aRight || (aLeft != nullptr && aLeft->equals(aRight));
}

// Notes two component types for comparison; false when one is null and the other is not.
bool noteSameType(const Type* aLeft, const Type* aRight, Type::TypePairs& aPending) {
  if (aLeft == aRight) {
    return true;
  }
  if (aLeft == nullptr || aRight == nullptr) {
    return false;
  }
  aPending.emplace_back(aLeft, aRight);
  return true;
}

bool noteSameTypes(const std::vector<Type*>& aLeft, const std::vector<Type*>& aRight, Type::TypePairs& aPending) {
  if (aLeft.size() != aRight.size()) {
    return false;
  }
  for (size_t i = 0; i < aLeft.size(); ++i) {
    if (!noteSameType(aLeft[i], aRight[i], aPending)) {
      return false;
    }
  }
  return true;
}

bool sameType(const Type* aLeft, const Type* aRight) {
  return aLeft == aRight || (aLeft != nullptr && aRight != nullptr && aLeft->equals(aRight));
}

} // namespace

uint32_t Type::makeWord(int aBasicKind, int aClassKind, bool aReadonly, bool aVolatile) {
  uint32_t word = static_cast<uint32_t>(aBasicKind) & 0xffu;
  word |= (static_cast<uint32_t>(aClassKind) & 0x3fu) << 16;
  if (aReadonly) {
    word |= kReadonlyBit;
  }
  if (aVolatile) {
    word |= kVolatileBit;
  }
  return word;
}

int Type::classKind() const {
  int bits = static_cast<int>((fWord >> 16) & 0x3fu);
  return bits >= 32 ? bits - 64 : bits;
}

bool Type::equals(const Type* aOther) const {
  if (aOther == this) {
    return true;
  }
  TypePairs pending;
  if (aOther == nullptr || aOther->fWord != fWord || !equalsSameKind(aOther, pending)) {
    return false;
  }
  while (!pending.empty()) {
    auto [left, right] = pending.back();
    pending.pop_back();
    if (left == right) {
      continue;
    }
    if (right == nullptr || right->fWord != left->fWord || !left->equalsSameKind(right, pending)) {
      return false;
    }
  }
  return true;
}

bool Type::equalsSameKind(const Type*, TypePairs&) const {
  return true;
}

void Type::setQualifiers(Type* aUnqualified, bool aReadonly, bool aVolatile) {
  fWord &= ~(kReadonlyBit | kVolatileBit);
  fWord |= (aReadonly ? kReadonlyBit : 0u) | (aVolatile ? kVolatileBit : 0u);
  fUnqualified = (aReadonly || aVolatile) ? aUnqualified : nullptr;
}

bool cg_type_equals_type(const Type* aLeft, const Type* aRight) {
  return sameType(aLeft, aRight);
}

bool QuasiNumericType::isa(const CG_Obj* aObj) {
  return classKindIs(aObj, CLASS_BOOL) || classKindIs(aObj, CLASS_CHAR) || NumericType::isa(aObj);
}

bool NumericType::isa(const CG_Obj* aObj) {
  return IntegerType::isa(aObj) || classKindIs(aObj, CLASS_FIXPT) || classKindIs(aObj, CLASS_DOUBLE) ||
         classKindIs(aObj, CLASS_SINGLE);
}

FXP::DataType IntegerType::fxpType() const {
  return FXP::DataType::intT(fSigned, fBits);
}

bool IntegerType::equalsSameKind(const Type* aOther, TypePairs&) const {
  auto* other = static_cast<const IntegerType*>(aOther);
  return fSigned == other->fSigned && fBits == other->fBits;
}

FixptType::FixptType(CG_Ctx* aCtx, bool aSigned, int aBits, double aSlope, int aExponent, double aBias,
                     bool aScaledDouble)
    : NumericType(aCtx, makeWord(BASIC_NONE, CLASS_FIXPT)), fSigned(aSigned), fBits(aBits), fSlope(aSlope),
      fExponent(aExponent), fBias(aBias), fScaledDouble(aScaledDouble) {}

FXP::DataType FixptType::fxpType() const {
  return FXP::DataType::fixptT(fSigned, fBits, fSlope, fExponent, fBias);
}

bool FixptType::equalsSameKind(const Type* aOther, TypePairs&) const {
  auto* other = static_cast<const FixptType*>(aOther);
  return fSigned == other->fSigned && fBits == other->fBits && fSlope == other->fSlope &&
         fExponent == other->fExponent && fBias == other->fBias && fScaledDouble == other->fScaledDouble;
}

FXP::DataType DoubleType::fxpType() const {
  return FXP::DataType::doubleT();
}

FXP::DataType SingleType::fxpType() const {
  return FXP::DataType::singleT();
}

FXP::DataType BoolType::fxpType() const {
  return FXP::DataType::boolT();
}

FXP::DataType CharType::fxpType() const {
  return FXP::DataType::intT(true, 8);
}

bool OpaqueType::isa(const CG_Obj* aObj) {
  return Type::isa(aObj) && dynamic_cast<const OpaqueType*>(static_cast<const Type*>(aObj)) != nullptr;
}

bool ComplexType::equalsSameKind(const Type* aOther, TypePairs& aPending) const {
  return noteSameType(fBase, static_cast<const ComplexType*>(aOther)->fBase, aPending);
}

bool PointerType::equalsSameKind(const Type* aOther, TypePairs& aPending) const {
  auto* other = static_cast<const PointerType*>(aOther);
  return fVxArray == other->fVxArray && noteSameType(fBase, other->fBase, aPending);
}

bool ReferenceType::equalsSameKind(const Type* aOther, TypePairs& aPending) const {
  return noteSameType(fBase, static_cast<const ReferenceType*>(aOther)->fBase, aPending);
}

bool StaticMatrixType::equalsSameKind(const Type* aOther, TypePairs& aPending) const {
  auto* other = static_cast<const StaticMatrixType*>(aOther);
  if (fRowMajor != other->fRowMajor || fDims.size() != other->fDims.size() ||
      !noteSameType(fBase, other->fBase, aPending)) {
    return false;
  }
  for (size_t i = 0; i < fDims.size(); ++i) {
    if (!sameSize(fDims[i], other->fDims[i])) {
      return false;
    }
  }
  return true;
}

bool DynamicMatrixType::equalsSameKind(const Type* aOther, TypePairs& aPending) const {
  auto* other = static_cast<const DynamicMatrixType*>(aOther);
  if (fRowMajor != other->fRowMajor || fDims.size() != other->fDims.size() ||
      !noteSameType(fBase, other->fBase, aPending)) {
    return false;
  }
  for (size_t i = 0; i < fDims.size(); ++i) {
    if (fDims[i].first != other->fDims[i].first || !sameSize(fDims[i].second, other->fDims[i].second)) {
      return false;
    }
  }
  return true;
}

bool FcnType::equalsSameKind(const Type* aOther, TypePairs& aPending) const {
  auto* other = static_cast<const FcnType*>(aOther);
  return noteSameTypes(fInputs, other->fInputs, aPending) && noteSameTypes(fOutputs, other->fOutputs, aPending);
}

bool AggregateType::equalsSameKind(const Type* aOther, TypePairs&) const {
  return fBody == static_cast<const AggregateType*>(aOther)->fBody;
}

int AggregateType::fieldIndex(const char* aName) const {
  for (size_t i = 0; i < fBody->fields.size(); ++i) {
    if (fBody->fields[i].name == aName) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool ClassType::equalsSameKind(const Type* aOther, TypePairs&) const {
  return fBody == static_cast<const ClassType*>(aOther)->fBody;
}

bool EnumType::equalsSameKind(const Type* aOther, TypePairs&) const {
  return fBody == static_cast<const EnumType*>(aOther)->fBody;
}

int64_t EnumType::valueOf(const char* aName, bool* aFound) const {
  if (fBody->byName.empty() && !fBody->elements.empty()) {
    for (size_t i = 0; i < fBody->elements.size(); ++i) {
      if (fBody->elements[i].name != nullptr) {
        fBody->byName.emplace(fBody->elements[i].name, i);
      }
    }
  }
  if (aName == nullptr) {
    for (const EnumElement& element : fBody->elements) {
      if (element.name == nullptr) {
        if (aFound != nullptr) {
          *aFound = true;
        }
        return element.value;
      }
    }
  } else {
    auto found = fBody->byName.find(aName);
    if (found != fBody->byName.end()) {
      if (aFound != nullptr) {
        *aFound = true;
      }
      return fBody->elements[found->second].value;
    }
  }
  if (aFound != nullptr) {
    *aFound = false;
  }
  return 0;
}

} // namespace CG
