// Type builders: describe a type piece by piece and produce the IR type when built.
#include "ir/typebuilder.h"

#include "ir/scope.h"
#include "ir/strings.h"
#include "ir/typefactory.h"

#include <vector>

namespace CG {

// Types nest without bound: the parts are built first, from a stack of their own, so that make() finds each
// part built. Parts are made in order, each one's own parts before it.
Type* TypeBuilder::build() {
  // make() asks each part for its type again: a built part answers at once.
  if (fBuilt != nullptr)
    return fBuilt;
  std::vector<TypeBuilder*> parts;
  appendParts(parts);
  // Most builders (a basic or a named type) have no parts: they make their type without the walk, which
  // would allocate its stack for every variable and cast of a module.
  if (parts.empty()) {
    fBuilt = make();
    return fBuilt;
  }
  struct Pending {
    TypeBuilder* builder;
    bool partsPending;
  };
  std::vector<Pending> pending;
  auto pushParts = [&](TypeBuilder* aBuilder) {
    pending.push_back({aBuilder, true});
    for (auto part = parts.rbegin(); part != parts.rend(); ++part)
      if (*part != nullptr)
        pending.push_back({*part, false});
  };
  pushParts(this);
  while (!pending.empty()) {
    Pending top = pending.back();
    pending.pop_back();
    TypeBuilder* builder = top.builder;
    if (builder->fBuilt != nullptr)
      continue;
    if (top.partsPending) {
      builder->fBuilt = builder->make();
    } else {
      parts.clear();
      builder->appendParts(parts);
      pushParts(builder);
    }
  }
  return fBuilt;
}

CG_Ctx* TypeBuilder::ctx() const {
  return fScope->ctx();
}

Type* IntegerTypeBuilder::make() {
  return TypeFactory(ctx()).integerType(fSigned, fBits);
}

Type* MatrixTypeBuilder::make() {
  return TypeFactory(ctx()).matrixType(fElement->build(), fDims, fRowMajor);
}

Type* DynamicMatrixTypeBuilder::make() {
  return TypeFactory(ctx()).dynamicMatrixType(fElement->build(), fDims, fRowMajor);
}

void AggregateTypeBuilder::appendParts(std::vector<TypeBuilder*>& aParts) const {
  for (AggregateTypeFieldBuilder* field : fFields)
    aParts.push_back(field->typeBuilder());
}

Type* AggregateTypeBuilder::make() {
  std::vector<FieldDesc> fields;
  for (AggregateTypeFieldBuilder* field : fFields) {
    fields.push_back(FieldDesc{field->name(), field->typeBuilder()->build()});
  }
  TypeFactory factory(fCtx);
  if (fUnion) {
    return factory.unionType(scope(), name(), fTag, fields);
  }
  return factory.structType(scope(), name(), fTag, fields);
}

void ClassTypeBuilder::appendParts(std::vector<TypeBuilder*>& aParts) const {
  for (ClassTypeFieldBuilder* field : fFields)
    aParts.push_back(field->typeBuilder());
}

Type* ClassTypeBuilder::make() {
  std::vector<MemberDesc> members;
  for (ClassTypeFieldBuilder* field : fFields) {
    members.push_back(MemberDesc{field->name(), field->typeBuilder()->build(), field->visibility()});
  }
  std::vector<BaseDesc> bases;
  for (Inheritance* base : fBases) {
    bases.push_back(BaseDesc{base->base, base->visibility});
  }
  return TypeFactory(fCtx).classType(scope(), name(), members, bases);
}

void FcnTypeBuilder::appendParts(std::vector<TypeBuilder*>& aParts) const {
  aParts.insert(aParts.end(), fInputs.begin(), fInputs.end());
  aParts.insert(aParts.end(), fOutputs.begin(), fOutputs.end());
}

Type* FcnTypeBuilder::make() {
  std::vector<Type*> inputs;
  for (TypeBuilder* input : fInputs) {
    inputs.push_back(input->build());
  }
  std::vector<Type*> outputs;
  for (TypeBuilder* output : fOutputs) {
    outputs.push_back(output->build());
  }
  return TypeFactory(ctx()).fcnType(inputs, outputs);
}

Type* EnumTypeBuilder::make() {
  std::vector<EnumElement> elements;
  for (EnumTypeElement* element : fElements) {
    elements.push_back(EnumElement{element->name, element->value});
  }
  return TypeFactory(fCtx).enumType(scope(), name(), fTag, elements, nullptr);
}

Type* FixptTypeBuilder::make() {
  return TypeFactory(ctx()).fixptType(fSigned, fBits, fSlope, fExponent, fBias, fScaledDouble);
}

Type* ComplexTypeBuilder::make() {
  return TypeFactory(ctx()).complexType(inner()->build());
}

Type* PointerTypeBuilder::make() {
  return TypeFactory(ctx()).pointerType(inner()->build());
}

Type* ReferenceTypeBuilder::make() {
  return TypeFactory(ctx()).referenceType(inner()->build());
}

Type* VolatileTypeBuilder::make() {
  return TypeFactory(ctx()).qualifiedType(inner()->build(), false, true);
}

Type* ReadonlyTypeBuilder::make() {
  return TypeFactory(ctx()).qualifiedType(inner()->build(), true, false);
}

void WrappingTypeBuilder::appendParts(std::vector<TypeBuilder*>& aParts) const {
  aParts.push_back(fInner);
}

Type* RenamedTypeBuilder::make() {
  Type* type = inner()->build();
  if (fName == nullptr) {
    return type;
  }
  return TypeFactory(ctx()).namedCopy(type, scope(), fName);
}

void CopyTypeBuilder::appendParts(std::vector<TypeBuilder*>& aParts) const {
  aParts.push_back(fInner);
}

Type* CopyTypeBuilder::make() {
  Type* type = fInner->build();
  if (name() == nullptr) {
    return type;
  }
  return TypeFactory(ctx()).namedCopy(type, scope(), name());
}

} // namespace CG
