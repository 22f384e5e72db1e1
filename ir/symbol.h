// Named IR entities: variables, constants, functions and their kinds, symbolic sizes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "ir/containers.h"
#include "ir/obj.h"
#include "ir/scope.h"
#include "ir/value.h"

class MemPool;

namespace FXP {
class MathMode;
}

namespace CG {

class Cfg;
class ClassType;
class Fcn;
class FcnType;
class Scope;
class Type;

class Symbol : public CG_CtxObj {
public:
  static bool isa(const CG_Obj* aObj) {
    return aObj != nullptr &&
           (aObj->id() == CG_TYPE || aObj->id() == CG_CONST || aObj->id() == CG_VAR || aObj->id() == CG_SYMBOLIC_SIZE);
  }
  CG_DECLARE_CASTS(Symbol)

  char* name() const { return fName; }
  // The text must be interned in the context (see CG_Ctx::cgString).
  void setName(char* aName) { fName = aName; }
  // The scope whose symbol list holds this symbol (types made by the factory: the global scope).
  Scope* scope() const { return fScope; }
  Symbol* next() const { return fNext; }

  bool isPrivate() const { return hasFlag(kPrivate); }
  void setIsPrivate(bool aOn = true) { setFlag(kPrivate, aOn); }
  bool isImported() const { return hasFlag(kImported); }
  void setIsImported(bool aOn = true) { setFlag(kImported, aOn); }
  bool isExported() const { return hasFlag(kExported); }
  void setIsExported(bool aOn = true) { setFlag(kExported, aOn); }
  bool isExportedComplete() const { return hasFlag(kExportedComplete); }
  void setIsExportedComplete(bool aOn = true) { setFlag(kExportedComplete, aOn); }
  bool isExportedPartial() const { return hasFlag(kExportedPartial); }
  void setIsExportedPartial(bool aOn = true) { setFlag(kExportedPartial, aOn); }

protected:
  Symbol(CG_ObjId aId, CG_Ctx* aCtx, char* aName) : CG_CtxObj(aId, aCtx), fName(aName) {}
  // For symbols owned by a scope without being in its list.
  void setOwnerScope(Scope* aScope) { fScope = aScope; }

private:
  friend class Scope;
  static constexpr uint16_t kPrivate = 1;
  static constexpr uint16_t kImported = 2;
  static constexpr uint16_t kExported = 4;
  static constexpr uint16_t kExportedComplete = 8;
  static constexpr uint16_t kExportedPartial = 16;
  bool hasFlag(uint16_t aBit) const { return (fDerivedFlags & aBit) != 0; }
  void setFlag(uint16_t aBit, bool aOn) { fDerivedFlags = aOn ? (fDerivedFlags | aBit) : (fDerivedFlags & ~aBit); }

  char* fName;
  Scope* fScope = nullptr;
  Symbol* fNext = nullptr;
};

class Const;

class Var : public Symbol {
public:
  Var(CG_Ctx* aCtx, Type* aType, char* aName) : Symbol(CG_VAR, aCtx, aName), fType(aType) {}

  static bool isa(const CG_Obj* aObj) { return aObj != nullptr && aObj->id() == CG_VAR; }
  CG_DECLARE_CASTS(Var)

  Type* type() const { return fType; }
  void setType(Type* aType);
  Const* initialValue() const { return fInitialValue; }
  void setInitialValue(Const* aValue) { fInitialValue = aValue; }

  bool isPassByReference() const { return has(kPassByReference); }
  void setPassByReference(bool aOn = true) { set(kPassByReference, aOn); }
  bool isAuto() const { return has(kAuto); }
  void setIsAuto(bool aOn = true) { set(kAuto, aOn); }
  bool isStatic() const { return has(kStatic); }
  void setIsStatic(bool aOn = true) { set(kStatic, aOn); }
  bool isAliasFlagSet() const { return has(kAlias); }
  void setAliasFlag(bool aOn = true) { set(kAlias, aOn); }
  bool isUnaliased() const { return has(kUnaliased); }
  void setUnaliased(bool aOn = true) { set(kUnaliased, aOn); }
  bool isAliasSafe() const { return has(kAliasSafe); }
  void setAliasSafe(bool aOn = true) { set(kAliasSafe, aOn); }
  bool isTemp() const { return has(kTemp); }
  void setIsTemp(bool aOn = true) { set(kTemp, aOn); }
  bool isReadOnly() const { return has(kReadOnly); }
  void setReadOnly(bool aOn = true) { set(kReadOnly, aOn); }
  bool isConstInC() const { return has(kConstInC); }
  void setConstInC(bool aOn = true) { set(kConstInC, aOn); }
  uint32_t varFlags() const { return fVarFlags; }

private:
  enum : uint32_t {
    kPassByReference = 1u << 0,
    kAuto = 1u << 1,
    kStatic = 1u << 2,
    kAlias = 1u << 3,
    kUnaliased = 1u << 4,
    kAliasSafe = 1u << 5,
    kTemp = 1u << 6,
    kReadOnly = 1u << 7,
    kConstInC = 1u << 8
  };
  bool has(uint32_t aBit) const { return (fVarFlags & aBit) != 0; }
  void set(uint32_t aBit, bool aOn) { fVarFlags = aOn ? (fVarFlags | aBit) : (fVarFlags & ~aBit); }

  friend class Fcn;

  Type* fType;
  Const* fInitialValue = nullptr;
  uint32_t fVarFlags = 0;
  // The function that took this variable as an input or output, so that asking costs no search of its list.
  const Fcn* fParameterOf = nullptr;
};

class Const : public Symbol {
public:
  Const(CG_Ctx* aCtx, Type* aType, Ref<Value> aValue, char* aName);
  ~Const();

  static bool isa(const CG_Obj* aObj) { return aObj != nullptr && aObj->id() == CG_CONST; }
  CG_DECLARE_CASTS(Const)

  // Functions compute their type from their inputs and outputs (Fcn::fcnType).
  Type* type() const { return isFcn() ? functionType() : fType; }
  // Fcn::isa without a dynamic cast or a virtual call: it runs for every constant operand the emitter meets.
  bool isFcn() const { return fSubclassByte == kFcnMark; }
  // The stored value (null for functions); the pool is not needed by this implementation.
  Ref<Value> value(MemPool* aPool = nullptr) const;
  void setValue(Ref<Value> aValue);
  void setNameUnsafe(char* aName) { setName(aName); }

protected:
  // Functions are marked in the object header's spare byte, before anything of theirs is built: a constant keeps
  // no virtual table, which would take a word in every one of them.
  static constexpr uint8_t kFcnMark = 1;
  struct FcnMark {};
  Const(CG_Ctx* aCtx, char* aName, FcnMark) : Const(aCtx, nullptr, Ref<Value>(), aName) { fSubclassByte = kFcnMark; }

private:
  // Fcn::fcnType, for a constant that is a function.
  Type* functionType() const;

  Type* fType;
  Ref<Value> fValue;
};

static_assert(!std::is_polymorphic_v<Const>, "a constant keeps no virtual table");
static_assert(sizeof(void*) != 8 || sizeof(Const) == 56, "a constant's flags share the header's word");

// Helpers for constants whose type is bool.
class BoolConst {
public:
  static bool isa(const Const* aConst);
  // True for a bool value that is true, or a nonzero quasi-numeric value on the bool type.
  static bool isTrue(const Const* aConst);
};

class ConstFactory {
public:
  explicit ConstFactory(CG_Ctx* aCtx) : fCtx(aCtx) {}
  // Appended to aScope when one is given; the name may be null.
  Const* create(Type* aType, Ref<Value> aValue, Scope* aScope, const char* aName);
  // Round to nearest, saturate on overflow.
  static const FXP::MathMode& defaultMathMode();

private:
  CG_Ctx* fCtx;
};

// Fixed to int: the IR stores visibilities as plain integers, and any stored value converts back.
enum Visibility : int { VISIBILITY_PUBLIC = 0, VISIBILITY_PROTECTED = 1, VISIBILITY_PRIVATE = 2 };

// A function. Its inputs and outputs are variables of its io scope; its body variables live in
// its local scope. The io scope is named after the function and the local scope "<name>$local";
// both have the defining scope as parent but only join its child scopes once a graph exists.
class Fcn : public Const {
public:
  Fcn(CG_Ctx* aCtx, Scope* aDefiningScope, char* aName);

  static bool isa(const CG_Obj* aObj) { return Const::isa(aObj) && static_cast<const Const*>(aObj)->isFcn(); }
  CG_DECLARE_CASTS(Fcn)

  // Appended to the scope's symbols.
  static Fcn* create(Scope* aScope, const char* aName);

  FcnType* fcnType() const;

  Scope* definingScope() const { return fDefiningScope; }
  Scope* ioScope() const { return fIoScope; }
  Scope* localScope() const { return fLocalScope; }
  Cfg* cfg() const { return fCfg; }
  // Makes the graph (start and end connected) and attaches the io and local scopes to the
  // defining scope's children. Returns the existing graph when there is one.
  Cfg* createCfg();

  int numInputs() const { return static_cast<int>(fInputs.size()); }
  Var* inputVar(int aIndex) const;
  int numOutputs() const { return static_cast<int>(fOutputs.size()); }
  Var* outputVar(int aIndex) const;
  Var* addInput(Type* aType, const char* aName);
  Var* addOutput(Type* aType, const char* aName);
  // Registers an existing variable of the io scope as the next input or output.
  void addInputVar(Var* aVar);
  void addOutputVar(Var* aVar);
  bool isInputOrOutput(const Var* aVar) const;

  virtual bool takesVariableInputs() const { return false; }
  // Intrinsic and library functions.
  virtual bool isCoreFcn() const { return false; }

  enum FcnFlag : uint32_t {
    PRE_CORE_SEMANTICS = 0x10,
    ENFORCE_CALL_BY_VALUE = 0x20,
    SCALARIZED = 0x40,
    COMPLEX_LOWERED = 0x80,
    FIXED_POINT_LOWERED = 0x100,
    MOVED_OUTPUTS_TO_INPUTS = 0x200,
    C_TYPING = 0x400,
    CPP_SEMANTICS = 0x800,
    DOM_VM = 0x1000
  };
  // The FcnFlag bits only; the other properties have their own accessors.
  uint32_t fcnFlags() const { return fFcnFlags; }
  void setFcnFlags(uint32_t aFlags) { fFcnFlags = aFlags; }

  bool hasPreCoreSemantics() const { return hasBit(PRE_CORE_SEMANTICS); }
  void setHasPreCoreSemantics(bool aOn = true) { setBit(PRE_CORE_SEMANTICS, aOn); }
  bool enforcesCallByValue() const { return hasBit(ENFORCE_CALL_BY_VALUE); }
  void setEnforceCallByValue(bool aOn = true) { setBit(ENFORCE_CALL_BY_VALUE, aOn); }
  bool isScalarized() const { return hasBit(SCALARIZED); }
  void setScalarized(bool aOn = true) { setBit(SCALARIZED, aOn); }
  bool isComplexLowered() const { return hasBit(COMPLEX_LOWERED); }
  void setComplexLowered(bool aOn = true) { setBit(COMPLEX_LOWERED, aOn); }
  bool isFixedPointLowered() const { return hasBit(FIXED_POINT_LOWERED); }
  void setFixedPointLowered(bool aOn = true) { setBit(FIXED_POINT_LOWERED, aOn); }
  bool hasMovedOutputsToInputs() const { return hasBit(MOVED_OUTPUTS_TO_INPUTS); }
  void setHasMovedOutputsToInputs(bool aOn = true) { setBit(MOVED_OUTPUTS_TO_INPUTS, aOn); }
  bool hasCTyping() const { return hasBit(C_TYPING); }
  void setHasCTyping(bool aOn = true) { setBit(C_TYPING, aOn); }
  bool hasCppSemantics() const { return hasBit(CPP_SEMANTICS); }
  void setHasCppSemantics(bool aOn = true) { setBit(CPP_SEMANTICS, aOn); }
  bool isDomVM() const { return hasBit(DOM_VM); }
  void setDomVM(bool aOn = true) { setBit(DOM_VM, aOn); }

  // Whether the function may store the address of an argument; true by default.
  // setDoesNotStoreAddr(b) is setStoreAddr(!b).
  bool hasStoreAddr() const { return fStoreAddr; }
  void setStoreAddr(bool aOn = true) { fStoreAddr = aOn; }
  bool doesNotStoreAddr() const { return !fStoreAddr; }
  void setDoesNotStoreAddr(bool aOn = true) { fStoreAddr = !aOn; }
  bool hasMoveBarrier() const { return fMoveBarrier; }
  void setHasMoveBarrier(bool aOn = true) { fMoveBarrier = aOn; }
  bool isGlobalIndependent() const { return fGlobalIndependent; }
  void setGlobalIndependent(bool aOn = true) { fGlobalIndependent = aOn; }
  bool isCevalCall() const { return fCevalCall; }
  void setCevalCall(bool aOn = true) { fCevalCall = aOn; }
  bool isShared() const { return fShared; }
  void setShared(bool aOn = true) { fShared = aOn; }
  bool isScalarKernel() const { return fScalarKernel; }
  void setScalarKernel(bool aOn = true) { fScalarKernel = aOn; }
  bool isFoldingSuppressed() const { return fFoldingSuppressed; }
  void setFoldingSuppressed(bool aOn = true) { fFoldingSuppressed = aOn; }
  bool isGpuFcn() const { return fGpuFcn; }
  void setIsGpuFcn(bool aOn = true) { fGpuFcn = aOn; }
  bool isNoReturn() const { return fNoReturn; }
  void setNoReturn(bool aOn = true) { fNoReturn = aOn; }
  bool hasCoreSemantics() const { return fCoreSemantics; }
  void setHasCoreSemantics(bool aOn = true) { fCoreSemantics = aOn; }

protected:
  virtual bool isMethod() const { return false; }
  void attachScopesToDefiningScope();

private:
  bool hasBit(uint32_t aBit) const { return (fFcnFlags & aBit) != 0; }
  void setBit(uint32_t aBit, bool aOn) { fFcnFlags = aOn ? (fFcnFlags | aBit) : (fFcnFlags & ~aBit); }
  Var* makeIoVar(Type* aType, const char* aName);
  bool cachedTypeMatches() const;

  Scope* fDefiningScope;
  // The type derived from the parameters, and the context's count of variable type changes then; written under
  // the type cache's lock, as a thread finding types may read them.
  mutable FcnType* fCachedType = nullptr;
  mutable uint64_t fCachedTypeVersion = 0;
  Scope* fIoScope;
  Scope* fLocalScope;
  Cfg* fCfg = nullptr;
  std::vector<Var*> fInputs;
  std::vector<Var*> fOutputs;
  uint32_t fFcnFlags = 0;
  bool fStoreAddr = true;
  bool fMoveBarrier = false;
  bool fGlobalIndependent = false;
  bool fCevalCall = false;
  bool fShared = false;
  bool fScalarKernel = false;
  bool fFoldingSuppressed = false;
  bool fGpuFcn = false;
  bool fNoReturn = false;
  bool fCoreSemantics = false;
};

class MethodConst : public Fcn {
public:
  enum Kind {
    METHOD = 0,
    CONSTRUCTOR = 1,
    DESTRUCTOR = 2,
    STATIC = 3,
    VIRTUAL_DESTRUCTOR = 4,
    VIRTUAL = 5,
    PURE_VIRTUAL_DESTRUCTOR = 6,
    PURE_VIRTUAL = 7
  };

  MethodConst(CG_Ctx* aCtx, Scope* aScope, char* aName, ClassType* aOwner, int aKind, int aVisibility)
      : Fcn(aCtx, aScope, aName), fOwner(aOwner), fMethodKind(aKind), fVisibility(aVisibility) {}

  static bool isa(const CG_Obj* aObj) {
    return Fcn::isa(aObj) && dynamic_cast<const MethodConst*>(static_cast<const Fcn*>(aObj)) != nullptr;
  }
  CG_DECLARE_CASTS(MethodConst)

  static MethodConst* create(Scope* aScope, const char* aName, ClassType* aOwner, int aMethodKind, int aVisibility);

  ClassType* owningClass() const { return fOwner; }
  int methodKind() const { return fMethodKind; }
  void setMethodKind(int aKind) { fMethodKind = aKind; }
  int visibility() const { return fVisibility; }
  void setVisibility(int aVisibility) { fVisibility = aVisibility; }

protected:
  bool isMethod() const override { return true; }

private:
  ClassType* fOwner;
  int fMethodKind;
  int fVisibility;
};

// A declaration of a function defined elsewhere; never has a graph.
class CorePrototype : public Fcn {
public:
  CorePrototype(CG_Ctx* aCtx, Scope* aScope, char* aName) : Fcn(aCtx, aScope, aName) {}

  static bool isa(const CG_Obj* aObj) {
    return Fcn::isa(aObj) && dynamic_cast<const CorePrototype*>(static_cast<const Fcn*>(aObj)) != nullptr;
  }
  CG_DECLARE_CASTS(CorePrototype)

  static CorePrototype* create(Scope* aScope, const char* aName);

  void forceVariadic() { fVariadic = true; }
  bool isVariadic() const { return fVariadic; }
  bool takesVariableInputs() const override { return fVariadic; }
  void setIsExternalFcnAndRehash() { fExternal = true; }
  bool isExternalFcn() const { return fExternal; }

private:
  bool fVariadic = false;
  bool fExternal = false;
};

class Intrinsic {
public:
  Intrinsic(char* aName, int aCode) : fName(aName), fCode(aCode) {}
  char* name() const { return fName; }
  int code() const { return fCode; }

private:
  char* fName;
  int fCode;
};

class AlgorithmIntrinsic {
public:
  AlgorithmIntrinsic(char* aName, int aCode) : fName(aName), fCode(aCode) {}
  char* name() const { return fName; }
  int code() const { return fCode; }

private:
  char* fName;
  int fCode;
};

// A math primitive the code generator knows (sqrt, abs, sin ...).
class IntrinsicFcn : public Fcn {
public:
  IntrinsicFcn(CG_Ctx* aCtx, Scope* aScope, char* aName, Intrinsic* aIntrinsic, bool aRealizedInIR)
      : Fcn(aCtx, aScope, aName), fIntrinsic(aIntrinsic), fRealizedInIR(aRealizedInIR) {}

  static bool isa(const CG_Obj* aObj) {
    return Fcn::isa(aObj) && dynamic_cast<const IntrinsicFcn*>(static_cast<const Fcn*>(aObj)) != nullptr;
  }
  CG_DECLARE_CASTS(IntrinsicFcn)

  Intrinsic* intrinsic() const { return fIntrinsic; }
  // Whether the intrinsic is expanded into IR operators rather than called.
  bool isRealizedInIR() const { return fRealizedInIR; }
  bool isCoreFcn() const override { return true; }

private:
  Intrinsic* fIntrinsic;
  bool fRealizedInIR;
};

// A C library routine the code generator knows (memcpy, memset).
class LibraryFcn : public Fcn {
public:
  LibraryFcn(CG_Ctx* aCtx, Scope* aScope, char* aName, AlgorithmIntrinsic* aIntrinsic)
      : Fcn(aCtx, aScope, aName), fIntrinsic(aIntrinsic) {}

  static bool isa(const CG_Obj* aObj) {
    return Fcn::isa(aObj) && dynamic_cast<const LibraryFcn*>(static_cast<const Fcn*>(aObj)) != nullptr;
  }
  CG_DECLARE_CASTS(LibraryFcn)

  AlgorithmIntrinsic* intrinsic() const { return fIntrinsic; }
  bool isCoreFcn() const override { return true; }

private:
  AlgorithmIntrinsic* fIntrinsic;
};

struct Size64 {
  static constexpr uint64_t unknown = ~0ull;
};

// A dimension size: a constant, a named size, or an operator over sizes.
class SymbolicSize : public Symbol {
public:
  enum Kind { SIZE64_SIZE = 0, SYMBOLIC_ID_SIZE = 1, UNOP_SIZE = 2, BINOP_SIZE = 3 };

  SymbolicSize(CG_Ctx* aCtx, Kind aKind, char* aName, uint64_t aValue, char* aOpName, SymbolicSize* aLeft,
               SymbolicSize* aRight)
      : Symbol(CG_SYMBOLIC_SIZE, aCtx, aName), fKind(aKind), fValue(aValue),
        fOpName(aOpName), fOperands{aLeft, aRight} {}

  static bool isa(const CG_Obj* aObj) { return aObj != nullptr && aObj->id() == CG_SYMBOLIC_SIZE; }
  CG_DECLARE_CASTS(SymbolicSize)

  int kind() const { return fKind; }
  uint64_t value() const { return fValue; }
  bool isUnknown() const { return fKind == SIZE64_SIZE && fValue == Size64::unknown; }
  char* opName() const { return fOpName; }
  SymbolicSize* operand(int aIndex) const { return (aIndex == 0 || aIndex == 1) ? fOperands[aIndex] : nullptr; }
  int numOperands() const { return fKind == UNOP_SIZE ? 1 : fKind == BINOP_SIZE ? 2 : 0; }
  // Decimal value, "" for unknown; an id prints its name from aNames or its own name;
  // operators print "op(a)" and "op(a,b)".
  std::string toString(const IdMap<SymbolicSize*, char*>* aNames = nullptr) const;
  // Same structure (ids by identity).
  bool equals(const SymbolicSize* aOther) const;

private:
  Kind fKind;
  uint64_t fValue;
  char* fOpName;
  SymbolicSize* fOperands[2];
};

// Per-context uniquing of constant and operator sizes.
class SymbolicSizeCache {
public:
  std::map<uint64_t, SymbolicSize*> constants;
  std::map<std::tuple<char*, SymbolicSize*, SymbolicSize*>, SymbolicSize*> operators;
};

// Constant sizes are uniqued per value and operator sizes per (operator, operands); neither
// is in a scope. Id sizes are symbols appended to their scope.
class SymbolicSizeFactory {
public:
  explicit SymbolicSizeFactory(CG_Ctx* aCtx) : fCtx(aCtx) {}
  SymbolicSize* size64(uint64_t aValue);
  SymbolicSize* unknownSize() { return size64(Size64::unknown); }
  SymbolicSize* idSize(Scope* aScope, const char* aName);
  SymbolicSize* unopSize(const char* aOp, SymbolicSize* aOperand);
  SymbolicSize* binopSize(const char* aOp, SymbolicSize* aLeft, SymbolicSize* aRight);
  // "-u" is the unary operator; "+", "-", "*", "/", "%", "max", "min", "||" are binary.
  static bool isSizeOperator(const char* aName, int aArity);

private:
  CG_Ctx* fCtx;
};

namespace ExprTools {
// The variable is an input or output of a function.
bool isIOVar(Var* aVar);
} // namespace ExprTools

// The functions of aScope that have a graph, in definition order.
template <class Visit> void forEachFcnWithGraph(Scope* aScope, Visit&& aVisit) {
  for (Symbol* symbol = aScope->firstSymbol(); symbol != nullptr; symbol = symbol->next()) {
    if (Fcn::isa(symbol) && Fcn::cast(symbol)->cfg() != nullptr) {
      aVisit(Fcn::cast(symbol));
    }
  }
}

} // namespace CG

CG::Var* cg_var_create(CG::Scope* aScope, CG::Type* aType, const char* aName);
bool cg_const_is_function(const CG::Const* aConst);
CG::Const* cg_const(CG_Obj* aObj);
CG::Const* cg_const_create_from_string(CG_Ctx* aCtx, const char* aText);
char* cg_const_string_value(CG::Const* aConst);
