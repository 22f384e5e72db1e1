// Definitions: which symbols of a scope are written and in which order, and the printed form of symbolic
// sizes, constants, variables and function headers and bodies.
#include "emit/emitter.h"

#include <vector>

#include "emit/listenerset.h"
#include "emit/workahead.h"
#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/predicate.h"
#include "ir/scope.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/type.h"

namespace CG {

static bool hasName(Symbol* aSymbol) {
  return aSymbol->name() && *aSymbol->name();
}

// Built-in functions print nowhere unless the IR realises them as ordinary functions.
static bool isPrintedFcn(Fcn* aFcn) {
  if (LibraryFcn::isa(aFcn))
    return false;
  return !IntrinsicFcn::isa(aFcn) || IntrinsicFcn::cast(aFcn)->isRealizedInIR();
}

// "alias <- " in front of a definition printed under an alias.
void QulEmitter::emitAliasPrefix(Symbol* aSymbol) {
  AliasManager::QulName name = fAliasManager->qulNameForSymbol(aSymbol);
  if (!name.aliased)
    return;
  emitString(cg_string_toascii(name.name));
  emitString(" <- ");
}

//===-- Collectors --------------------------------------------------------------------------------------===//

IdLinkedList<SymbolicSize*>* QulEmitter::collectSymbolicSizes(Scope* aScope) {
  IdLinkedList<SymbolicSize*>* list = newList<SymbolicSize>();
  for (Symbol* sym = aScope ? aScope->firstSymbol() : nullptr; sym; sym = sym->next())
    if (SymbolicSize::isa(sym))
      list->append(SymbolicSize::cast(sym));
  return list;
}

IdLinkedList<Var*>* QulEmitter::collectScopeVars(Scope* aScope) {
  IdLinkedList<Var*>* list = newList<Var>();
  for (Symbol* sym = aScope ? aScope->firstSymbol() : nullptr; sym; sym = sym->next())
    if (Var::isa(sym))
      list->append(Var::cast(sym));
  return list;
}

IdLinkedList<Fcn*>* QulEmitter::collectFcns(Scope* aScope) {
  IdLinkedList<Fcn*>* list = newList<Fcn>();
  for (Symbol* sym = aScope ? aScope->firstSymbol() : nullptr; sym; sym = sym->next())
    if (Fcn::isa(sym) && isPrintedFcn(Fcn::cast(sym)))
      list->append(Fcn::cast(sym));
  return list;
}

// Named constants that the function's graph uses, in statement order, as the walk for its types met them. The
// types were collected before: what the walk noted is needed no more, and its lists go before the bodies print.
void QulEmitter::collectConstsFromGraph(Fcn* aFcn, IdSet<Const*>* aSeen, IdLinkedList<Const*>* aList) {
  for (Const* constant : graphUses(aFcn).consts)
    if (aSeen->add(constant))
      aList->append(constant);
  fGraphUses.erase(aFcn);
}

// With a filter that accepts everything the constants come from the function bodies, so an unused named
// constant is not defined; with a contextual marker they come from the scope's own symbols.
IdLinkedList<Const*>* QulEmitter::collectConsts(Scope* aModuleScope) {
  if (!aModuleScope)
    abortEmission("aModuleScope == NULL", __LINE__);
  if (!fFilter)
    abortEmission("fFilter == NULL", __LINE__);
  IdLinkedList<Const*>* list = newList<Const>();
  if (!fFilter->shouldEmit(nullptr)) {
    for (Symbol* sym = aModuleScope->firstSymbol(); sym; sym = sym->next())
      if (Const::isa(sym) && !cg_const_is_function(Const::cast(sym)) && fFilter->shouldEmit(sym))
        list->append(Const::cast(sym));
    return list;
  }
  IdSet<Const*>* seen = pool()->make<IdSet<Const*>>();
  forEachFcnWithGraph(aModuleScope, [&](Fcn* aFcn) { collectConstsFromGraph(aFcn, seen, list); });
  return list;
}

//===-- Symbolic sizes ----------------------------------------------------------------------------------===//

void QulEmitter::emitSymbolicSizeDefs(IdLinkedList<SymbolicSize*>* aSizes) {
  if (!fFilter)
    abortEmission("fFilter == NULL", __LINE__);
  if (!aSizes)
    abortEmission("aSizeList == NULL", __LINE__);
  for (SymbolicSize* size : *aSizes)
    if (fFilter->shouldEmit(size))
      emitSymbolicSizeDef(size);
}

// symbolicid-def ::= 'symbolicid(' name ');'
void QulEmitter::emitSymbolicSizeDef(SymbolicSize* aSize) {
  if (!aSize)
    abortEmission("aSize == NULL", __LINE__);
  if (aSize->kind() != SymbolicSize::SYMBOLIC_ID_SIZE)
    return;
  char* name = fAliasManager->createOrGetQulNameForSymbol(aSize);
  fSymbolicSizeNames->put(aSize, name);
  emitString("symbolicid(");
  emitString(cg_string_toascii(name));
  emitString(");");
  emitNewline();
}

//===-- Constants ---------------------------------------------------------------------------------------===//

bool QulEmitter::isImmediateConst(Const* aConst) {
  return !fAliasManager->hasQulNameBeenCreated(aConst) && !cg_const_is_function(aConst);
}

void QulEmitter::emitConstDefs(IdLinkedList<Const*>* aConstList) {
  if (!aConstList)
    abortEmission("aConstList == NULL", __LINE__);
  for (Const* constant : *aConstList) {
    emitConstDef(constant);
    emitNewline();
  }
}

// const-def ::= [alias ' <- '] 'constdef(' type ',' value ',' name ');' | immediate-const-def ';'
void QulEmitter::emitConstDef(Const* aConst) {
  if (!aConst)
    abortEmission("aConst == NULL", __LINE__);
  beginSegment(BLOCK_SIMPLE);
  emitIndent();
  emitAliasPrefix(aConst);
  if (hasName(aConst)) {
    char* type = typeExpr(aConst->type());
    emitString("constdef(");
    emitString(type);
    emitString(",");
    emitConstLiteral(aConst);
    char* name = nameForDef(aConst->name());
    emitString(",");
    emitString(name);
    emitString(")");
  } else {
    emitImmediateConstDef(aConst);
  }
  emitString(";");
}

// immediate-const-def ::= 'constdef(' type ',' value ')'
void QulEmitter::emitImmediateConstDef(Const* aConst) {
  if (!aConst)
    abortEmission("aConst == NULL", __LINE__);
  char* type = typeExpr(aConst->type());
  emitString("constdef(");
  emitString(type);
  emitString(",");
  if (BoolType::isa(aConst->type())) {
    emitString(BoolConst::isTrue(aConst) ? "true" : "false");
    emitString(")");
    return;
  }
  emitConstLiteral(aConst);
  emitString(")");
}

//===-- Variables ---------------------------------------------------------------------------------------===//

void QulEmitter::emitModuleVarDefs(IdLinkedList<Var*>* aVars) {
  emitVarDefs(aVars);
}
void QulEmitter::emitLocalVarDefs(IdLinkedList<Var*>* aVars) {
  emitVarDefs(aVars);
}

void QulEmitter::emitVarDefs(IdLinkedList<Var*>* aVars) {
  if (!fFilter)
    abortEmission("fFilter == NULL", __LINE__);
  if (!aVars)
    abortEmission("aVarList == NULL", __LINE__);
  for (Var* var : *aVars) {
    if (!fFilter->shouldEmit(var))
      continue;
    emitVarDef(var);
    emitString(";");
    emitNewline();
  }
}

// var-def ::= [alias ' <- '] 'var(' type [',' name] [' <- ' value ' '] [annotations] ')'
void QulEmitter::emitVarDef(Var* aVar) {
  if (!aVar) {
    if (fThrowExceptionOnError)
      TheLogger::instance().throwInternalException("QulEmitter::emitVarDef::InvalidVariable",
                                                   "Variable does not exist");
    emitString("!!Empty variable!!");
    return;
  }
  emitIndent();
  emitAliasPrefix(aVar);
  if (!ExprTools::isIOVar(aVar))
    beginSegment(BLOCK_SIMPLE);
  char* type = cg_string_toascii(typeExpr(aVar->type()));
  char* name = hasName(aVar) ? nameForDef(aVar->name()) : nullptr;
  emitString("var(");
  emitString(type);
  if (name) {
    emitString(",");
    emitString(name);
  }
  if (aVar->initialValue()) {
    emitString(" <- ");
    emitConstLiteral(aVar->initialValue());
    emitString(" ");
  }
  emitListenerStrings(aVar);
  emitString(")");
}

//===-- Functions ---------------------------------------------------------------------------------------===//

void QulEmitter::emitFcnDefs(IdLinkedList<Fcn*>* aFcns) {
  if (!aFcns)
    abortEmission("aFcnList == NULL", __LINE__);
  std::vector<Fcn*> printed;
  std::vector<Fcn*> bodies;
  for (Fcn* fcn : *aFcns) {
    if (!isPrintedFcn(fcn))
      continue;
    printed.push_back(fcn);
    if (fcn->cfg() != nullptr && !fcn->cfg()->isClassic())
      bodies.push_back(fcn);
  }
  LentWorkAhead treesAhead(fTreesAhead, fPreparesBodiesAhead, bodies,
                           [ctx = fCtx](Fcn* aFcn) { return std::make_unique<PooledPst>(ctx, aFcn); });
  for (Fcn* fcn : printed)
    emitFcnDef(fcn);
}

// A function that cannot be printed ends with a note and a closing brace; the next function still prints.
// The indentation the failed body left behind is undone first.
void QulEmitter::emitFcnDef(Fcn* aFcn) {
  if (!aFcn)
    abortEmission("aFcn == NULL", __LINE__);
  int indentLevel = fIndentLevel;
  try {
    emitFcnHeader(aFcn);
    emitFcnBody(aFcn);
  } catch (const std::exception& error) {
    fIndentLevel = indentLevel;
    beginSegment(BLOCK_CLOSE);
    emitString("Could not emit function '");
    emitString(aFcn->name() ? aFcn->name() : "");
    emitString("' because I caught a ");
    emitString(error.what());
    emitString("\n}\n");
  } catch (...) {
    fIndentLevel = indentLevel;
    beginSegment(BLOCK_CLOSE);
    emitString("Could not emit function '");
    emitString(aFcn->name() ? aFcn->name() : "");
    emitString("'\n}\n");
  }
}

static const char* methodKindText(int aKind) {
  static const char* const kKinds[] = {nullptr,
                                       "\"constructor\"",
                                       "\"destructor\"",
                                       "\"static\"",
                                       "\"virtual destructor\"",
                                       "\"virtual\"",
                                       "\"pure virtual destructor\"",
                                       "\"pure virtual\""};
  if (aKind < 0 || aKind > 7)
    client_assertion_failed("emit/emit_defs", __LINE__, "meth->methodKind() == PURE_VIRTUAL_DESTRUCTOR");
  return kKinds[aKind];
}

// fcn-header ::= [alias ' <- '] ('function(' | 'method(' | 'prototype(') '(' inputs '),(' outputs ')'
//                [',' class] [',' name] [annotations] ')' (';' for a prototype)
void QulEmitter::emitFcnHeader(Fcn* aFcn) {
  emitIndent();
  emitAliasPrefix(aFcn);
  beginSegment(BLOCK_COMPOUND);
  MethodConst* method = MethodConst::isa(aFcn) ? MethodConst::cast(aFcn) : nullptr;
  bool isPrototype = CorePrototype::isa(aFcn);
  emitString(method ? "method(" : isPrototype ? "prototype(" : "function(");
  emitString("(");
  for (int i = 0; i < aFcn->numInputs(); ++i) {
    emitString(i ? "," : "");
    emitVarDef(aFcn->inputVar(i));
  }
  emitString("),(");
  for (int i = 0; i < aFcn->numOutputs(); ++i) {
    emitString(i ? "," : "");
    emitVarDef(aFcn->outputVar(i));
  }
  emitString(")");
  if (method) {
    char* owner = typeExpr(method->owningClass());
    emitString(",");
    emitString(owner);
  }
  if (hasName(aFcn)) {
    char* name = nameForDef(aFcn->name());
    emitString(",");
    emitString(name);
  }
  if (method)
    emitMethodParams(method);
  else
    emitListenerStrings(static_cast<Const*>(aFcn));
  emitString(")");
  if (isPrototype) {
    beginSegment(BLOCK_CLOSE);
    emitString(";");
  }
  emitNewline();
}

// method-params ::= ' | ' ['"kind":' kind] [',' '"vis":' visibility]
void QulEmitter::emitMethodParams(MethodConst* aMethod) {
  int kind = aMethod->methodKind();
  const char* kindText = methodKindText(kind);
  bool hasVisibility = aMethod->visibility() != VISIBILITY_PUBLIC;
  if (!kindText && !hasVisibility)
    return;
  emitString(" | ");
  if (kindText) {
    emitString("\"kind\":");
    emitString(kindText);
    if (hasVisibility)
      emitString(",");
  }
  if (hasVisibility)
    emitVisibilityKind(fOutput, Visibility(aMethod->visibility()), true);
}

void QulEmitter::emitVisibilityKind(StringBuffer& aBuffer, Visibility aKind, bool aWithKey) {
  static const char* const kVisibilities[] = {"\"public\"", "\"protected\"", "\"private\""};
  if (aKind < VISIBILITY_PUBLIC || aKind > VISIBILITY_PRIVATE)
    client_assertion_failed("emit/emit_defs", __LINE__, "aKind == VISIBILITY_PUBLIC");
  if (aWithKey)
    aBuffer.append("\"vis\":");
  aBuffer.append(kVisibilities[aKind]);
}

// fcn-body ::= '{' local-var-defs statements '}'
void QulEmitter::emitFcnBody(Fcn* aFcn) {
  if (!aFcn->cfg())
    return;
  emitString("{");
  indentIncrement();
  emitNewline();
  emitCfg(aFcn->cfg());
  beginSegment(BLOCK_CLOSE);
  indentDecrement();
  emitString("}");
  emitNewline();
}

void QulEmitter::emitFcnLocalVars(Fcn* aFcn) {
  emitLocalVarDefs(collectScopeVars(aFcn->localScope()));
}

} // namespace CG
