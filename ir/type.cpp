// Type words, structural equality and numeric views of the IR types.
#include "ir/type.h"

#include <cstring>

#include "numeric/fxp.h"

namespace CG {

namespace {

bool sameType(const Type* aLeft, const Type* aRight) {
  return aLeft == aRight || (aLeft != nullptr && aRight != nullptr && aLeft->equals(aRight));
}

bool sameSize(const SymbolicSize* aLeft, const SymbolicSize* aRight) {
  return aLeft == aRight || (aLeft != nullptr && aLeft->equals(aRight));
}

bool sameTypes(const std::vector<Type*>& aLeft, const std::vector<Type*>& aRight) {
  if (aLeft.size() != aRight.size()) {
    return false;
  }
  for (size_t i = 0; i < aLeft.size(); ++i) {
    if (!sameType(aLeft[i], aRight[i])) {
      return false;
    }
  }
  return true;
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
  if (aOther == nullptr || aOther->fWord != fWord) {
    return false;
  }
  return equalsSameKind(aOther);
}

bool Type::equalsSameKind(const Type*) const {
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

bool IntegerType::equalsSameKind(const Type* aOther) const {
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

bool FixptType::equalsSameKind(const Type* aOther) const {
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
  return Type::isa(aObj) && dynamic_cast<const OpaqueType*>(aObj) != nullptr;
}

bool ComplexType::equalsSameKind(const Type* aOther) const {
  return sameType(fBase, static_cast<const ComplexType*>(aOther)->fBase);
}

bool PointerType::equalsSameKind(const Type* aOther) const {
  auto* other = static_cast<const PointerType*>(aOther);
  return fVxArray == other->fVxArray && sameType(fBase, other->fBase);
}

bool ReferenceType::equalsSameKind(const Type* aOther) const {
  return sameType(fBase, static_cast<const ReferenceType*>(aOther)->fBase);
}

bool StaticMatrixType::equalsSameKind(const Type* aOther) const {
  auto* other = static_cast<const StaticMatrixType*>(aOther);
  if (fRowMajor != other->fRowMajor || fDims.size() != other->fDims.size() || !sameType(fBase, other->fBase)) {
    return false;
  }
  for (size_t i = 0; i < fDims.size(); ++i) {
    if (!sameSize(fDims[i], other->fDims[i])) {
      return false;
    }
  }
  return true;
}

bool DynamicMatrixType::equalsSameKind(const Type* aOther) const {
  auto* other = static_cast<const DynamicMatrixType*>(aOther);
  if (fRowMajor != other->fRowMajor || fDims.size() != other->fDims.size() || !sameType(fBase, other->fBase)) {
    return false;
  }
  for (size_t i = 0; i < fDims.size(); ++i) {
    if (fDims[i].first != other->fDims[i].first || !sameSize(fDims[i].second, other->fDims[i].second)) {
      return false;
    }
  }
  return true;
}

bool FcnType::equalsSameKind(const Type* aOther) const {
  auto* other = static_cast<const FcnType*>(aOther);
  return sameTypes(fInputs, other->fInputs) && sameTypes(fOutputs, other->fOutputs);
}

bool AggregateType::equalsSameKind(const Type* aOther) const {
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

bool ClassType::equalsSameKind(const Type* aOther) const {
  return fBody == static_cast<const ClassType*>(aOther)->fBody;
}

bool EnumType::equalsSameKind(const Type* aOther) const {
  return fBody == static_cast<const EnumType*>(aOther)->fBody;
}

int64_t EnumType::valueOf(const char* aName, bool* aFound) const {
  for (const EnumElement& element : fBody->elements) {
    if (element.name == aName ||
        (element.name != nullptr && aName != nullptr && std::strcmp(element.name, aName) == 0)) {
      if (aFound != nullptr) {
        *aFound = true;
      }
      return element.value;
    }
  }
  if (aFound != nullptr) {
    *aFound = false;
  }
  return 0;
}

} // namespace CG
