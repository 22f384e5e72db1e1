// Emit-side annotation listeners: rounding, overflow, instrumentation, property, flags, origin, enum base type.
#include "emit/listeners.h"

#include "emit/emitter.h"
#include "ir/logger.h"
#include "ir/node.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/tag.h"
#include "ir/type.h"
#include "ir/typefactory.h"

namespace CG {

namespace {
struct ModeItem {
  unsigned mode;
  const char* item;
};

const ModeItem kRoundingItems[] = {
    {0x100, "\"rounding\":\"ceiling\""},    {0x200, "\"rounding\":\"zero\""},  {0x300, "\"rounding\":\"nearest\""},
    {0x400, "\"rounding\":\"convergent\""}, {0x500, "\"rounding\":\"floor\""}, {0x600, "\"rounding\":\"nearest_ob\""},
};

const ModeItem kOverflowItems[] = {
    {0x800, "\"overflow\":\"saturate\""},
    {0x10000, "\"overflow\":\"portwrap\""},
};

// A listener that meets a value it cannot print reports the broken invariant and adds nothing; the emission
// goes on, so one odd mode does not cost the whole text.
void reportInvariant(const char* aSource, const char* aInvariant) {
  TheLogger::instance().logSevere("QulEmitterListener::addString::InvariantViolated", "Assertion failed: %s (%s)",
                                  aInvariant, aSource);
}

// The item for a mode; a mode outside the table is reported and adds nothing.
template <size_t N>
void addModeItem(const ModeItem (&aTable)[N], unsigned aMode, const char* aSource, const char* aInvariant,
                 std::vector<std::string>* aStrings) {
  if (aMode == 0)
    return;
  for (const ModeItem& entry : aTable) {
    if (entry.mode == aMode) {
      aStrings->push_back(entry.item);
      return;
    }
  }
  reportInvariant(aSource, aInvariant);
}

struct FcnFlagItem {
  bool (*holds)(Fcn*);
  const char* item;
};

bool isVariadicPrototype(Fcn* aFcn) {
  CorePrototype* prototype = CorePrototype::isa(aFcn) ? CorePrototype::cast(aFcn) : nullptr;
  return prototype && prototype->isVariadic();
}

bool isExternalPrototype(Fcn* aFcn) {
  CorePrototype* prototype = CorePrototype::isa(aFcn) ? CorePrototype::cast(aFcn) : nullptr;
  return prototype && prototype->isExternalFcn();
}

const FcnFlagItem kFcnFlagItems[] = {
    {isVariadicPrototype, "cgflag:variadic"},
    {isExternalPrototype, "cgflag:externalFcn"},
    {[](Fcn* f) { return f->hasPreCoreSemantics(); }, "cgflag:preCoreSemantics"},
    {[](Fcn* f) { return f->enforcesCallByValue(); }, "cgflag:enforceCallByValue"},
    {[](Fcn* f) { return f->isScalarized(); }, "cgflag:scalarized"},
    {[](Fcn* f) { return f->isComplexLowered(); }, "cgflag:complexLowered"},
    {[](Fcn* f) { return f->isFixedPointLowered(); }, "cgflag:fixedPointLowered"},
    {[](Fcn* f) { return f->hasMovedOutputsToInputs(); }, "cgflag:outputsMovedToInputs"},
    {[](Fcn* f) { return f->hasCTyping(); }, "cgflag:cTyping"},
    {[](Fcn* f) { return f->hasCppSemantics(); }, "cgflag:cppSemantics"},
    {[](Fcn* f) { return f->isDomVM(); }, "cgflag:domVM"},
};

struct VarFlagItem {
  bool (*holds)(Var*);
  const char* item;
};

const VarFlagItem kVarFlagItems[] = {
    {[](Var* v) { return v->visited(); }, "cgflag:visited"},
    {[](Var* v) { return v->isPassByReference(); }, "cgflag:ref"},
    {[](Var* v) { return v->isStatic(); }, "cgflag:static"},
    {[](Var* v) { return v->isAliasFlagSet(); }, "cgflag:aliased"},
    {[](Var* v) { return v->isAliasSafe(); }, "cgflag:aliasSafe"},
    {[](Var* v) { return v->isUnaliased(); }, "cgflag:unaliased"},
    {[](Var* v) { return v->isReadOnly(); }, "cgflag:readonly"},
    {[](Var* v) { return v->isConstInC(); }, "cgflag:constInC"},
};

Fcn* functionOf(Const* aConst) {
  return aConst && cg_const_is_function(aConst) ? Fcn::cast(aConst) : nullptr;
}
} // namespace

void QulRoundingEmitterListener::addString(Expr* aExpr, std::vector<std::string>* aStrings) {
  addModeItem(kRoundingItems, cg_node_rounding_mode(aExpr), "emit/qulroundingemitterlistener",
              "roundingMode==CG_NODE_ROUND_SIMPLEST", aStrings);
}

void QulOverflowEmitterListener::addString(Expr* aExpr, std::vector<std::string>* aStrings) {
  addModeItem(kOverflowItems, cg_node_overflow_mode(aExpr), "emit/quloverflowemitterlistener",
              "overflowMode==CG_NODE_WRAP_ON_OVERFLOW", aStrings);
}

void QulInstrumentationEmitterListener::addString(Expr* aExpr, std::vector<std::string>* aStrings) {
  if (aExpr->breakpointOnOverflow())
    aStrings->push_back("\"instrumentation\":\"wrap\"");
}

void QulPropertyEmitterListener::addString(Const* aConst, std::vector<std::string>* aStrings) {
  Fcn* fcn = functionOf(aConst);
  if (fcn && !fcn->hasStoreAddr())
    aStrings->push_back("\"prop\":\"fcnDoesNotStoreAddr\"");
}

void QulFlagEmitterListener::addString(Const* aConst, std::vector<std::string>* aStrings) {
  Fcn* fcn = functionOf(aConst);
  if (!fcn)
    return;
  for (const FcnFlagItem& flag : kFcnFlagItems)
    if (flag.holds(fcn))
      aStrings->push_back(flag.item);
}

void QulFlagEmitterListener::addString(Var* aVar, std::vector<std::string>* aStrings) {
  for (const VarFlagItem& flag : kVarFlagItems)
    if (flag.holds(aVar))
      aStrings->push_back(flag.item);
}

void OriginEmitterListener::addString(Var* aVar, std::vector<std::string>* aStrings) {
  switch (OriginTag::origin(aVar)) {
  case OriginTag::COMPILER:
    return;
  case OriginTag::LIBRARY:
    aStrings->push_back("origin:\"library\"");
    return;
  case OriginTag::USER:
    aStrings->push_back("origin:\"user\"");
    return;
  default:
    reportInvariant("emit/originemitterlistener", "Unexpected Origin in OriginEmitterListener::addString");
  }
}

void QulBaseTypeEmitterListener::addString(Type* aType, std::vector<std::string>* aStrings) {
  EnumType* enumType = EnumType::isa(aType) ? EnumType::cast(aType) : nullptr;
  if (!enumType || !enumType->baseType() || !fEmitter)
    return;
  Type* embedded = TypeFactory(aType->ctx()).embeddedIntegerType();
  if (enumType->baseType() == embedded)
    return;
  aStrings->push_back(std::string("BaseType:") + cg_string_toascii(fEmitter->typeExpr(enumType->baseType())));
}

} // namespace CG
