// Type builders: describe a type piece by piece and produce the IR type when built.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "ir/type.h"

class CG_Ctx;
class MemPool;

namespace CG {

class Scope;
class SymbolicSize;

// A builder produces its type once; later calls of build() return the same type.
class TypeBuilder {
public:
  explicit TypeBuilder(Scope* aScope) : fScope(aScope) {}
  virtual ~TypeBuilder() = default;
  TypeBuilder(const TypeBuilder&) = delete;
  TypeBuilder& operator=(const TypeBuilder&) = delete;

  Type* build();
  Scope* scope() const { return fScope; }
  void setScope(Scope* aScope) { fScope = aScope; }
  CG_Ctx* ctx() const;

protected:
  // The type, its parts already built.
  virtual Type* make() = 0;
  // The builders of the types this one is made of.
  virtual void appendParts(std::vector<TypeBuilder*>&) const {}

private:
  Scope* fScope;
  Type* fBuilt = nullptr;
};

// A builder whose type can carry a name of its own (aggregates, enums, classes).
class NamedTypeBuilder : public TypeBuilder {
public:
  NamedTypeBuilder(Scope* aScope, const char* aName) : TypeBuilder(aScope), fName(aName) {}
  static bool isa(const TypeBuilder* aBuilder) { return dynamic_cast<const NamedTypeBuilder*>(aBuilder) != nullptr; }
  static NamedTypeBuilder* cast(TypeBuilder* aBuilder) { return dynamic_cast<NamedTypeBuilder*>(aBuilder); }
  const char* name() const { return fName; }
  void setName(const char* aName) { fName = aName; }

private:
  const char* fName;
};

class ExistingTypeBuilder : public TypeBuilder {
public:
  // Made for every use of a type's name and holds only pointers: the pool frees it without a destructor.
  using PoolReclaimsStorage = void;

  ExistingTypeBuilder(Scope* aScope, Type* aType) : TypeBuilder(aScope), fType(aType) {}

protected:
  Type* make() override { return fType; }

private:
  Type* fType;
};

class BasicTypeBuilder : public TypeBuilder {
public:
  using TypeBuilder::TypeBuilder;
};

class IntegerTypeBuilder : public BasicTypeBuilder {
public:
  IntegerTypeBuilder(Scope* aScope, int aBits, bool aSigned)
      : BasicTypeBuilder(aScope), fBits(aBits), fSigned(aSigned) {}

protected:
  Type* make() override;

private:
  int fBits;
  bool fSigned;
};

class MatrixTypeBuilder : public TypeBuilder {
public:
  MatrixTypeBuilder(Scope* aScope, TypeBuilder* aElement, bool aRowMajor)
      : TypeBuilder(aScope), fElement(aElement), fRowMajor(aRowMajor) {}
  void setDims(std::vector<SymbolicSize*> aDims) { fDims = std::move(aDims); }

protected:
  Type* make() override;
  void appendParts(std::vector<TypeBuilder*>& aParts) const override { aParts.push_back(fElement); }

private:
  TypeBuilder* fElement;
  std::vector<SymbolicSize*> fDims;
  bool fRowMajor;
};

class DynamicMatrixTypeBuilder : public TypeBuilder {
public:
  DynamicMatrixTypeBuilder(Scope* aScope, TypeBuilder* aElement, bool aRowMajor)
      : TypeBuilder(aScope), fElement(aElement), fRowMajor(aRowMajor) {}
  void setDims(std::vector<std::pair<bool, SymbolicSize*>> aDims) { fDims = std::move(aDims); }

protected:
  Type* make() override;
  void appendParts(std::vector<TypeBuilder*>& aParts) const override { aParts.push_back(fElement); }

private:
  TypeBuilder* fElement;
  std::vector<std::pair<bool, SymbolicSize*>> fDims;
  bool fRowMajor;
};

class AggregateTypeFieldBuilder {
public:
  AggregateTypeFieldBuilder(char* aName, TypeBuilder* aType, int aOffset, int aSize, bool aPadding)
      : fName(aName), fType(aType), fOffset(aOffset), fSize(aSize), fPadding(aPadding) {}
  char* name() const { return fName; }
  TypeBuilder* typeBuilder() const { return fType; }
  bool isPadding() const { return fPadding; }
  int offset() const { return fOffset; }
  int size() const { return fSize; }

private:
  char* fName;
  TypeBuilder* fType;
  int fOffset;
  int fSize;
  bool fPadding;
};

class AggregateTypeBuilder : public NamedTypeBuilder {
public:
  AggregateTypeBuilder(CG_Ctx* aCtx, MemPool* aPool, Scope* aScope, const char* aName, const char* aTag, bool aUnion)
      : NamedTypeBuilder(aScope, aName), fCtx(aCtx), fPool(aPool), fTag(aTag), fUnion(aUnion) {}
  void addField(AggregateTypeFieldBuilder* aField) { fFields.push_back(aField); }

protected:
  Type* make() override;
  void appendParts(std::vector<TypeBuilder*>& aParts) const override;

private:
  CG_Ctx* fCtx;
  MemPool* fPool;
  const char* fTag;
  bool fUnion;
  std::vector<AggregateTypeFieldBuilder*> fFields;
};

class StructTypeBuilder : public AggregateTypeBuilder {
public:
  StructTypeBuilder(CG_Ctx* aCtx, MemPool* aPool, Scope* aScope, const char* aName, const char* aTag)
      : AggregateTypeBuilder(aCtx, aPool, aScope, aName, aTag, false) {}
};

class UnionTypeBuilder : public AggregateTypeBuilder {
public:
  UnionTypeBuilder(CG_Ctx* aCtx, MemPool* aPool, Scope* aScope, const char* aName, const char* aTag)
      : AggregateTypeBuilder(aCtx, aPool, aScope, aName, aTag, true) {}
};

class ClassTypeFieldBuilder {
public:
  ClassTypeFieldBuilder(char* aName, TypeBuilder* aType, int aOffset) : fName(aName), fType(aType), fOffset(aOffset) {}
  void setVisibility(Visibility aVisibility) { fVisibility = aVisibility; }
  Visibility visibility() const { return fVisibility; }
  char* name() const { return fName; }
  TypeBuilder* typeBuilder() const { return fType; }
  int offset() const { return fOffset; }

private:
  char* fName;
  TypeBuilder* fType;
  int fOffset;
  Visibility fVisibility = VISIBILITY_PUBLIC;
};

struct Inheritance {
  ClassType* base;
  Visibility visibility;
};

class ClassTypeBuilder : public NamedTypeBuilder {
public:
  ClassTypeBuilder(CG_Ctx* aCtx, MemPool* aPool, Scope* aScope)
      : NamedTypeBuilder(aScope, nullptr), fCtx(aCtx), fPool(aPool) {}
  void addField(ClassTypeFieldBuilder* aField) { fFields.push_back(aField); }
  void addBaseClass(Inheritance* aBase) { fBases.push_back(aBase); }

protected:
  Type* make() override;
  void appendParts(std::vector<TypeBuilder*>& aParts) const override;

private:
  CG_Ctx* fCtx;
  MemPool* fPool;
  std::vector<ClassTypeFieldBuilder*> fFields;
  std::vector<Inheritance*> fBases;
};

class FcnTypeBuilder : public TypeBuilder {
public:
  explicit FcnTypeBuilder(Scope* aScope) : TypeBuilder(aScope) {}
  void addInput(TypeBuilder* aType) { fInputs.push_back(aType); }
  void addOutput(TypeBuilder* aType) { fOutputs.push_back(aType); }

protected:
  Type* make() override;
  void appendParts(std::vector<TypeBuilder*>& aParts) const override;

private:
  std::vector<TypeBuilder*> fInputs;
  std::vector<TypeBuilder*> fOutputs;
};

struct EnumTypeElement {
  EnumTypeElement(char* aName, int64_t aValue) : name(aName), value(aValue) {}
  char* name;
  int64_t value;
};

class EnumTypeBuilder : public NamedTypeBuilder {
public:
  EnumTypeBuilder(CG_Ctx* aCtx, MemPool* aPool, Scope* aScope, const char* aName)
      : NamedTypeBuilder(aScope, aName), fCtx(aCtx), fPool(aPool) {}
  void addElement(EnumTypeElement* aElement) { fElements.push_back(aElement); }
  void setTag(const char* aTag) { fTag = aTag; }

protected:
  Type* make() override;

private:
  CG_Ctx* fCtx;
  MemPool* fPool;
  const char* fTag = nullptr;
  std::vector<EnumTypeElement*> fElements;
};

class FixptTypeBuilder : public TypeBuilder {
public:
  FixptTypeBuilder(Scope* aScope, bool aScaledDouble, bool aSigned, int aBits, double aSlope, int aExponent,
                   double aBias)
      : TypeBuilder(aScope), fScaledDouble(aScaledDouble), fSigned(aSigned), fBits(aBits), fSlope(aSlope),
        fExponent(aExponent), fBias(aBias) {}

protected:
  Type* make() override;

private:
  bool fScaledDouble;
  bool fSigned;
  int fBits;
  double fSlope;
  int fExponent;
  double fBias;
};

// Builders that wrap one inner builder.
class WrappingTypeBuilder : public TypeBuilder {
public:
  WrappingTypeBuilder(Scope* aScope, TypeBuilder* aInner) : TypeBuilder(aScope), fInner(aInner) {}
  TypeBuilder* inner() const { return fInner; }
  void setBaseType(TypeBuilder* aInner) { fInner = aInner; }

protected:
  void appendParts(std::vector<TypeBuilder*>& aParts) const override;

private:
  TypeBuilder* fInner;
};

#define CG_WRAPPING_TYPE_BUILDER(aClass)                                                                               \
  class aClass : public WrappingTypeBuilder {                                                                          \
  public:                                                                                                              \
    using WrappingTypeBuilder::WrappingTypeBuilder;                                                                    \
                                                                                                                       \
  protected:                                                                                                           \
    Type* make() override;                                                                                             \
  };

CG_WRAPPING_TYPE_BUILDER(ComplexTypeBuilder)
CG_WRAPPING_TYPE_BUILDER(PointerTypeBuilder)
CG_WRAPPING_TYPE_BUILDER(ReferenceTypeBuilder)
CG_WRAPPING_TYPE_BUILDER(VolatileTypeBuilder)
CG_WRAPPING_TYPE_BUILDER(ReadonlyTypeBuilder)
#undef CG_WRAPPING_TYPE_BUILDER

// An alias name for the inner builder's type: the type itself gets the name when it has none,
// otherwise a named copy is made.
class RenamedTypeBuilder : public WrappingTypeBuilder {
public:
  RenamedTypeBuilder(Scope* aScope, TypeBuilder* aInner, const char* aName)
      : WrappingTypeBuilder(aScope, aInner), fName(aName) {}

protected:
  Type* make() override;

private:
  const char* fName;
};

// A distinct named copy of the inner builder's type (a typedef of a structural type).
class CopyTypeBuilder : public NamedTypeBuilder {
public:
  CopyTypeBuilder(Scope* aScope, TypeBuilder* aInner, const char* aName)
      : NamedTypeBuilder(aScope, aName), fInner(aInner) {}

protected:
  Type* make() override;
  void appendParts(std::vector<TypeBuilder*>& aParts) const override;

private:
  TypeBuilder* fInner;
};

} // namespace CG
