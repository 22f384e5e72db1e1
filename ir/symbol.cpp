// Variables and constants: creation, stored values, bool and string helpers.
#include "ir/symbol.h"

#include "ir/ctx.h"
#include "ir/scope.h"
#include "ir/typefactory.h"

namespace CG {

void Var::setType(Type* aType) {
  fType = aType;
  ctx()->noteVarTypeChanged();
}

Const::Const(CG_Ctx* aCtx, Type* aType, Ref<Value> aValue, char* aName)
    : Symbol(CG_CONST, aCtx, aName), fType(aType), fValue(std::move(aValue)) {}

Const::~Const() = default;

Ref<Value> Const::value(MemPool*) const {
  return fValue;
}

void Const::setValue(Ref<Value> aValue) {
  fValue = std::move(aValue);
}

bool BoolConst::isa(const Const* aConst) {
  return aConst != nullptr && !Fcn::isa(aConst) && BoolType::isa(aConst->type());
}

bool BoolConst::isTrue(const Const* aConst) {
  CG_ASSERT(isa(aConst), "ir/symbol.cpp");
  Ref<Value> value = aConst->value();
  if (const BoolValue* boolValue = BoolValue::cast(value.get())) {
    return boolValue->isTrue();
  }
  if (const IntegerValue* integerValue = IntegerValue::cast(value.get())) {
    return !integerValue->dataValue().isZero();
  }
  return false;
}

Const* ConstFactory::create(Type* aType, Ref<Value> aValue, Scope* aScope, const char* aName) {
  auto* constant = fCtx->pool()->make<Const>(fCtx, aType, std::move(aValue), fCtx->cgString(aName));
  if (aScope != nullptr) {
    aScope->addSymbol(constant);
  }
  return constant;
}

const FXP::MathMode& ConstFactory::defaultMathMode() {
  return FXP::MathMode::nearestSaturate();
}

namespace ExprTools {

bool isIOVar(Var* aVar) {
  if (aVar == nullptr || aVar->scope() == nullptr) {
    return false;
  }
  Fcn* fcn = aVar->scope()->owningFcn();
  return fcn != nullptr && fcn->ioScope() == aVar->scope() && fcn->isInputOrOutput(aVar);
}

} // namespace ExprTools

} // namespace CG

bool cg_const_is_function(const CG::Const* aConst) {
  return CG::Fcn::isa(aConst);
}

CG::Var* cg_var_create(CG::Scope* aScope, CG::Type* aType, const char* aName) {
  CG_ASSERT(aScope != nullptr, "ir/symbol.cpp");
  CG_Ctx* ctx = aScope->ctx();
  auto* var = ctx->pool()->make<CG::Var>(ctx, aType, ctx->cgString(aName));
  aScope->addSymbol(var);
  return var;
}

CG::Const* cg_const(CG_Obj* aObj) {
  return CG::Const::cast(aObj);
}

CG::Const* cg_const_create_from_string(CG_Ctx* aCtx, const char* aText) {
  CG::ValueFactory values(aCtx, aCtx->pool());
  CG::TypeFactory types(aCtx);
  return CG::ConstFactory(aCtx).create(types.stringType(), values.stringValueRef(aText, false), nullptr, nullptr);
}

char* cg_const_string_value(CG::Const* aConst) {
  if (aConst == nullptr) {
    return nullptr;
  }
  CG::Ref<CG::Value> value = aConst->value();
  const CG::StringValue* text = CG::StringValue::cast(value.get());
  return text != nullptr ? const_cast<char*>(text->toString()) : nullptr;
}
