// Type emission: the printed form of every type kind, qualifiers, type annotations, and typedef collection.
#include "emit/emitter.h"

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
#include "ir/typechecker.h"
#include "lang/keywords.h"

#include <cstring>
#include <memory>
#include <vector>

namespace CG {

// The named type of which aType is a qualified form (the IR gives such a form the type's name), or aType
// itself. A typedef of a qualified type has a name of its own.
static Type* namedTypeQualified(Type* aType) {
  Type* base = aType->unqualified();
  if (base == aType || !base->name() || !*base->name() || !aType->name() || std::strcmp(aType->name(), base->name()))
    return aType;
  return base;
}

//===-- typeExpr ----------------------------------------------------------------------------------------===//

namespace {

// While one type's text is built: counts it among those being built and, once its parts' texts are in it (or
// the build fails), frees them.
class PartTypeTexts {
public:
  PartTypeTexts(std::vector<std::unique_ptr<char[]>>& aTexts, int& aDepth)
      : fTexts(aTexts), fDepth(aDepth), fFirst(aTexts.size()) {
    ++fDepth;
  }
  ~PartTypeTexts() { release(); }
  PartTypeTexts(const PartTypeTexts&) = delete;
  PartTypeTexts& operator=(const PartTypeTexts&) = delete;

  void release() {
    if (fReleased)
      return;
    fReleased = true;
    --fDepth;
    fTexts.resize(fFirst);
  }

private:
  std::vector<std::unique_ptr<char[]>>& fTexts;
  int& fDepth;
  size_t fFirst;
  bool fReleased = false;
};

} // namespace

// type-expr ::= ['readonly '] ['volatile '] kind-expr   (annotations inside the final ")" or after a scalar)
char* QulEmitter::typeExpr(Type* aType) {
  if (!aType)
    abortEmission("aType == NULL", __LINE__);
  if (fAliasManager->hasQulNameBeenCreated(aType))
    return getQulName(aType);
  ensureStackRoom();
  PartTypeTexts parts(fPartTypeTexts, fTypeExprDepth);
  StringBuffer text;
  if (aType->isReadonly())
    text.append("readonly ");
  if (aType->isVolatile())
    text.append("volatile ");
  // A qualified form of a named type prints as the qualifiers and the type's name, so that both read back as
  // one type.
  Type* named = namedTypeQualified(aType);
  if (named != aType && fAliasManager->hasQulNameBeenCreated(named))
    text.append(getQulName(named));
  else
    appendTypeKindExpr(text, aType);
  appendListenerStrings(text, aType);
  parts.release();
  return typeText(text);
}

// A type text is interned like the emitter's other texts, unless it is a long part of a type being built: the
// parts of a type nested n deep add up to n times its length.
char* QulEmitter::typeText(const StringBuffer& aText) {
  if (fTypeExprDepth == 0 || aText.length() <= kLongPartTypeText)
    return intern(aText);
  std::unique_ptr<char[]> copy(new char[aText.length() + 1]); // filled at once: no zeroing
  std::memcpy(copy.get(), aText.c_str(), aText.length() + 1);
  fPartTypeTexts.push_back(std::move(copy));
  return fPartTypeTexts.back().get();
}

// aOpening, the text of the type inside, and the closing parenthesis.
char* QulEmitter::wrappedTypeText(const char* aOpening, const char* aInner) {
  StringBuffer text;
  text.append(aOpening);
  text.append(aInner);
  text.append(')');
  return typeText(text);
}

void QulEmitter::appendListenerStrings(StringBuffer& aText, Type* aType) {
  std::string strings;
  fListeners->collectInto(aType, strings);
  if (strings.empty())
    return;
  bool closesWithParen = aText.length() > 0 && aText.lastChar() == ')';
  if (closesWithParen)
    aText.chop();
  aText.append(strings);
  if (closesWithParen)
    aText.append(')');
}

// An error type or a kind without a printed form: a marker in the text, or a logger error when asked.
static const char* unprintableType(bool aThrow, const char* aId, const char* aText, const char* aMarker) {
  if (aThrow)
    TheLogger::instance().throwInternalException(aId, "%s", aText);
  return aMarker;
}

void QulEmitter::appendTypeKindExpr(StringBuffer& aText, Type* aType) {
  const char* kindExpr = nullptr;
  switch (aType->classKind()) {
  case CLASS_BOOL:
    kindExpr = boolTypeExpr(aType);
    break;
  case CLASS_CHAR:
    kindExpr = "char";
    break;
  case CLASS_COMPLEX:
    kindExpr = complexTypeExpr(ComplexType::cast(aType));
    break;
  case CLASS_DOUBLE:
    kindExpr = doubleTypeExpr(aType);
    break;
  case CLASS_DYNAMIC_MATRIX:
    kindExpr = dynamicMatrixTypeExpr(DynamicMatrixType::cast(aType));
    break;
  case CLASS_ENUM:
    kindExpr = enumTypeExpr(EnumType::cast(aType));
    break;
  case CLASS_ERROR:
    kindExpr = unprintableType(fThrowExceptionOnError, "QulEmitter::typeExpr::ErrorType", "Error type", "error");
    break;
  case CLASS_FIXPT:
    kindExpr = fixptTypeExpr(FixptType::cast(aType));
    break;
  case CLASS_FCN:
  case CLASS_METHOD_FCN:
    kindExpr = fcnTypeExpr(FcnType::cast(aType));
    break;
  case CLASS_POINTER:
    kindExpr = pointerTypeExpr(PointerType::cast(aType));
    break;
  case CLASS_INTEGER:
  case CLASS_TARGET_INTEGER:
    kindExpr = integerTypeExpr(IntegerType::cast(aType));
    break;
  case CLASS_SINGLE:
    kindExpr = singleTypeExpr(aType);
    break;
  case CLASS_STATIC_MATRIX:
    kindExpr = matrixTypeExpr(StaticMatrixType::cast(aType));
    break;
  case CLASS_STRING:
    kindExpr = "string";
    break;
  case CLASS_STRUCT:
    kindExpr = structTypeExpr(StructType::cast(aType));
    break;
  case CLASS_KAL_INT:
    kindExpr = "kal_int";
    break;
  case CLASS_UNION:
    kindExpr = unionTypeExpr(UnionType::cast(aType));
    break;
  case CLASS_UNKNOWN:
    kindExpr = "unknown";
    break;
  case CLASS_UNTYPED:
    kindExpr = "untyped";
    break;
  case CLASS_VOID:
    kindExpr = voidTypeExpr(aType);
    break;
  case CLASS_CLASS:
    kindExpr = classTypeExpr(ClassType::cast(aType));
    break;
  case CLASS_REFERENCE:
    kindExpr = referenceTypeExpr(ReferenceType::cast(aType));
    break;
  default:
    kindExpr = unprintableType(fThrowExceptionOnError, "QulEmitter::typeExpr::UnknownType", "Unknown type",
                               "!!UnhandledType!!");
    break;
  }
  aText.append(cg_string_toascii(kindExpr));
}

//===-- Kind forms --------------------------------------------------------------------------------------===//

char* QulEmitter::boolTypeExpr(Type*) {
  return intern("bool");
}
char* QulEmitter::doubleTypeExpr(Type*) {
  return intern("double");
}
char* QulEmitter::singleTypeExpr(Type*) {
  return intern("single");
}
char* QulEmitter::voidTypeExpr(Type*) {
  return intern("void");
}

// integer ::= 'int8' | ... | 'uint' | ('signed' | 'unsigned') '(' bits ')'
char* QulEmitter::integerTypeExpr(IntegerType* aIntegerType) {
  if (!aIntegerType)
    abortEmission("aIntegerType == NULL", __LINE__);
  static const char* const kBasicNames[] = {nullptr, nullptr, nullptr,  nullptr,  "int8",   "int16", "int32",
                                            "int64", "uint8", "uint16", "uint32", "uint64", nullptr, nullptr,
                                            nullptr, nullptr, nullptr,  nullptr,  nullptr,  "int",   "uint"};
  int kind = aIntegerType->basicKind();
  if (kind >= 0 && kind <= 20 && kBasicNames[kind])
    return intern(kBasicNames[kind]);
  StringBuffer text;
  text.appendf("%s(%d)", aIntegerType->isSigned() ? "signed" : "unsigned", aIntegerType->numBits());
  return typeText(text);
}

// fixpt ::= ('fixpt' | 'scldbl') '(' signed ', ' bits ', ' slope ', ' exponent ', ' bias ')'
char* QulEmitter::fixptTypeExpr(FixptType* aFixptType) {
  if (!aFixptType)
    abortEmission("aFixptType == NULL", __LINE__);
  StringBuffer text;
  text.append(aFixptType->isScaledDouble() ? "scldbl(" : "fixpt(");
  text.appendf("%d, %d, ", aFixptType->isSigned() ? 1 : 0, aFixptType->numBits());
  text.append(aFixptType->slope(), 0);
  text.appendf(", %d, ", aFixptType->exponent());
  text.append(aFixptType->bias(), 0);
  text.append(')');
  return typeText(text);
}

// complex ::= 'complex(' type ')'
char* QulEmitter::complexTypeExpr(ComplexType* aComplexType) {
  if (!aComplexType)
    abortEmission("aComplexType == NULL", __LINE__);
  return wrappedTypeText("complex(", typeExpr(aComplexType->baseType()));
}

// pointer ::= 'vxArray' | 'pointer(' type ')'
char* QulEmitter::pointerTypeExpr(PointerType* aPointerType) {
  if (!aPointerType)
    abortEmission("aPointerType == NULL", __LINE__);
  if (aPointerType->isanVxArrayType())
    return intern("vxArray");
  return wrappedTypeText("pointer(", typeExpr(aPointerType->baseType()));
}

// reference ::= 'reference(' type ')'
char* QulEmitter::referenceTypeExpr(ReferenceType* aReferenceType) {
  if (!aReferenceType)
    abortEmission("aReferenceType == NULL", __LINE__);
  return wrappedTypeText("reference(", typeExpr(aReferenceType->baseType()));
}

char* QulEmitter::sizeText(SymbolicSize* aSize) {
  return intern(aSize->toString(fSymbolicSizeNames));
}

// matrix ::= ('matrix(' | 'rowmatrix(') type (', ' dim)* ')'    an undetermined dimension prints ":"
char* QulEmitter::matrixTypeExpr(StaticMatrixType* aMatrixType) {
  if (!aMatrixType)
    abortEmission("aMatrixType == NULL", __LINE__);
  StringBuffer text;
  text.append(aMatrixType->isRowMajor() ? "rowmatrix(" : "matrix(");
  text.append(cg_string_toascii(typeExpr(aMatrixType->baseType())));
  for (int i = 0; i < aMatrixType->numDims(); ++i) {
    SymbolicSize* dim = aMatrixType->dim(i);
    bool undetermined = dim->kind() == SymbolicSize::SIZE64_SIZE && dim->value() == Size64::unknown;
    text.append(", ");
    text.append(undetermined ? ":" : sizeText(dim));
  }
  text.append(')');
  return typeText(text);
}

// dynmatrix ::= ('dynmatrix(' | 'dynrowmatrix(') type (', ' [':'] bound)* ')'
char* QulEmitter::dynamicMatrixTypeExpr(DynamicMatrixType* aMatrixType) {
  if (!aMatrixType)
    abortEmission("aMatrixType == NULL", __LINE__);
  StringBuffer text;
  text.append(aMatrixType->isRowMajor() ? "dynrowmatrix(" : "dynmatrix(");
  text.append(cg_string_toascii(typeExpr(aMatrixType->baseType())));
  for (int i = 0; i < aMatrixType->numDims(); ++i) {
    text.append(", ");
    if (aMatrixType->isVariableDim(i))
      text.append(':');
    text.append(sizeText(aMatrixType->dimBound(i)));
  }
  text.append(')');
  return typeText(text);
}

// fcntype ::= 'fcntype((' types '),(' types '))'
char* QulEmitter::fcnTypeExpr(FcnType* aType) {
  if (!aType)
    abortEmission("aType == NULL", __LINE__);
  StringBuffer text;
  text.append("fcntype((");
  for (int i = 0; i < aType->numInputs(); ++i) {
    text.append(i ? ", " : "");
    text.append(typeExpr(aType->input(i)));
  }
  text.append("),(");
  for (int i = 0; i < aType->numOutputs(); ++i) {
    text.append(i ? ", " : "");
    text.append(typeExpr(aType->output(i)));
  }
  text.append("))");
  return typeText(text);
}

// A field or member name: bare when it scans as an identifier, else single-quoted.
static void appendFieldName(StringBuffer& aText, AliasManager* aNames, char* aName) {
  if (aNames->isQuillIdentifier(aName)) {
    aText.append(aName);
    return;
  }
  aText.append('\'');
  aText.append(cg_string_toascii(aName));
  aText.append('\'');
}

char* QulEmitter::aggregateFieldsExpr(const char* aKeyword, AggregateType* aAggregate) {
  StringBuffer text;
  text.append(aKeyword);
  text.append('(');
  for (int i = 0; i < aAggregate->numFields(); ++i) {
    text.append(i ? ",(" : "(");
    text.append(typeExpr(aAggregate->fieldType(i)));
    text.append(',');
    appendFieldName(text, fAliasManager, aAggregate->fieldName(i));
    text.append(')');
  }
  text.append(')');
  return typeText(text);
}

// struct ::= 'struct(' ('(' type ',' name ')'),* ')'
char* QulEmitter::structTypeExpr(StructType* aStructType) {
  if (!aStructType)
    abortEmission("aStructType == NULL", __LINE__);
  return aggregateFieldsExpr("struct", aStructType);
}

// union ::= 'union(' ('(' type ',' name ')'),* ')'
char* QulEmitter::unionTypeExpr(UnionType* aUnionType) {
  if (!aUnionType)
    abortEmission("aUnionType == NULL", __LINE__);
  return aggregateFieldsExpr("union", aUnionType);
}

// class ::= 'class(' ('(' [visibility] type ',' name ')'),* [':' (visibility ' ' base), *] ')'
char* QulEmitter::classTypeExpr(ClassType* aClassType) {
  if (!aClassType)
    abortEmission("aClassType == NULL", __LINE__);
  StringBuffer text;
  text.append("class(");
  for (int i = 0; i < aClassType->numMembers(); ++i) {
    text.append(i ? ",(" : "(");
    if (aClassType->memberVisibility(i) != VISIBILITY_PUBLIC)
      emitVisibilityKind(text, Visibility(aClassType->memberVisibility(i)), false);
    text.append(cg_string_toascii(typeExpr(aClassType->memberType(i))));
    text.append(',');
    appendFieldName(text, fAliasManager, aClassType->memberName(i));
    text.append(')');
  }
  for (int i = 0; i < aClassType->numBaseClasses(); ++i) {
    text.append(i ? ", " : ":");
    emitVisibilityKind(text, Visibility(aClassType->baseVisibility(i)), false);
    text.append(' ');
    text.append(cg_string_toascii(aClassType->baseClass(i)->name()));
  }
  text.append(')');
  return typeText(text);
}

// enum ::= 'enum ' tag '(' ('(' name ',' value ')'),* ')'    a reserved word as name is written #word#
char* QulEmitter::enumTypeExpr(EnumType* aEnumType) {
  if (!aEnumType)
    abortEmission("aEnumType == NULL", __LINE__);
  StringBuffer text;
  text.append("enum ");
  text.append(cg_string_toascii(aEnumType->tag()));
  text.append('(');
  for (int i = 0; i < aEnumType->numElements(); ++i) {
    text.append(i ? ",(" : "(");
    const char* name = cg_string_toascii(aEnumType->elementName(i));
    if (isLiteralKeyword(name))
      text.appendf("#%s#", name);
    else
      text.append(name);
    text.appendf(",%lld)", static_cast<long long>(aEnumType->elementValue(i)));
  }
  text.append(')');
  return typeText(text);
}

//===-- Typedef collection ------------------------------------------------------------------------------===//

// A type is collected once, when it belongs to the scope (classes wherever they are) and is not a
// function type.
static bool isUncollectedType(IdSet<Type*>* aSet, Scope* aScope, Type* aType) {
  if (!aType)
    return false;
  if (aType->scope() != aScope && !ClassType::isa(aType))
    return false;
  return !aSet->containsKey(aType) && !FcnType::isa(aType);
}

// A qualified form of a named type is collected as that type: its qualifiers print in front of the name.
void QulEmitter::addTypeIfNecessary(IdSet<Type*>* aSet, IdLinkedList<Type*>* aList, Scope* aScope, Type* aType) {
  if (aType)
    aType = namedTypeQualified(aType);
  if (!isUncollectedType(aSet, aScope, aType))
    return;
  if (ClassType::isa(aType))
    return addClassAfterItsBases(aSet, aList, ClassType::cast(aType));
  aList->append(aType);
  aSet->add(aType);
}

// A class names its base classes, so their typedefs come first: each class after its bases, depth first, on a
// stack of its own, as class hierarchies can be deep.
void QulEmitter::addClassAfterItsBases(IdSet<Type*>* aSet, IdLinkedList<Type*>* aList, ClassType* aClass) {
  struct Pending {
    ClassType* cls;
    int nextBase;
  };
  std::vector<Pending> pending{{aClass, 0}};
  aSet->add(aClass);
  while (!pending.empty()) {
    Pending& top = pending.back();
    if (top.nextBase == top.cls->numBaseClasses()) {
      aList->append(top.cls);
      pending.pop_back();
      continue;
    }
    ClassType* base = top.cls->baseClass(top.nextBase++);
    if (base && !aSet->containsKey(base)) {
      aSet->add(base);
      pending.push_back({base, 0});
    }
  }
}

void QulEmitter::collectTypesFromScopeVars(Scope* aScope, IdSet<Type*>* aSet, IdLinkedList<Type*>* aList) {
  if (!aScope)
    return;
  for (Symbol* sym = aScope->firstSymbol(); sym; sym = sym->next()) {
    if (Var::isa(sym))
      addTypeIfNecessary(aSet, aList, aScope, Var::cast(sym)->type());
    else if (Const::isa(sym) && sym->name() && *sym->name())
      addTypeIfNecessary(aSet, aList, aScope, Const::cast(sym)->type());
  }
}

// Types of the graph's expressions that the type checker would not infer, and of the constants used.
void QulEmitter::collectTypesFromGraph(Fcn* aFcn, Scope* aScope, IdSet<Type*>* aSet, IdLinkedList<Type*>* aList) {
  for (Type* type : graphUses(aFcn).types)
    addTypeIfNecessary(aSet, aList, aScope, type);
}

// A body's statements in IR order, as the second thread found them.
struct StmtOrder : WorkAhead::Product {
  explicit StmtOrder(std::vector<Stmt*> aStmts) : stmts(std::move(aStmts)) {}
  std::vector<Stmt*> stmts;
};

// Finding a body's statement order waits on memory at every edge, so the second thread finds it ahead of
// graphUses. It does no more: the walk of the expressions, done there as well, held the printing up.
static std::unique_ptr<WorkAhead::Product> findStmtOrder(Fcn* aFcn) {
  return std::make_unique<StmtOrder>(aFcn->cfg()->orderedStmts());
}

// What graphUses noted of aFcn's graph as it is now; null when the graph changed since, or was never walked.
const GraphUses* QulEmitter::currentGraphUses(Fcn* aFcn) const {
  auto found = fGraphUses.find(aFcn);
  return found != fGraphUses.end() && found->second.version == aFcn->cfg()->version() ? &found->second : nullptr;
}

// The lists are kept until the scope's constants are collected.
const GraphUses& QulEmitter::graphUses(Fcn* aFcn) {
  if (const GraphUses* current = currentGraphUses(aFcn))
    return *current;
  std::unique_ptr<StmtOrder> order = fOrdersAhead != nullptr ? fOrdersAhead->take<StmtOrder>(aFcn) : nullptr;
  if (!order)
    order = std::make_unique<StmtOrder>(aFcn->cfg()->orderedStmts());
  return fGraphUses[aFcn] = walkGraphUses(aFcn, order->stmts, fTypeChecker);
}

// Functions with a body in the scope and every scope below it: a scope's own functions first, then its
// children in order.
static std::vector<Fcn*> functionsWithBodyBelow(Scope* aScope) {
  std::vector<Fcn*> fcns;
  forEachScopeBelow(aScope, [&](Scope* aBelow) {
    forEachFcnWithGraph(aBelow, [&](Fcn* aFcn) { fcns.push_back(aFcn); });
  });
  return fcns;
}

// The functions whose graphs graphUses has not walked as they are now.
std::vector<Fcn*> QulEmitter::graphsToWalk(const std::vector<Fcn*>& aFcns) const {
  std::vector<Fcn*> unwalked;
  for (Fcn* fcn : aFcns)
    if (currentGraphUses(fcn) == nullptr)
      unwalked.push_back(fcn);
  return unwalked;
}

IdLinkedList<Type*>* QulEmitter::collectTypes(Scope* aScope) {
  if (!fFilter)
    abortEmission("fFilter == NULL", __LINE__);
  IdLinkedList<Type*>* list = newList<Type>();
  if (!fFilter->shouldEmit(nullptr)) {
    for (Symbol* sym = aScope->firstSymbol(); sym; sym = sym->next())
      if (Type::isa(sym) && fFilter->shouldEmit(sym))
        list->append(Type::cast(sym));
    return list;
  }
  IdSet<Type*>* set = pool()->make<IdSet<Type*>>();
  collectTypesFromScopeVars(aScope, set, list);
  std::vector<Fcn*> fcns = functionsWithBodyBelow(aScope);
  LentWorkAhead ordersAhead(fOrdersAhead, fPreparesBodiesAhead, graphsToWalk(fcns), findStmtOrder);
  for (Fcn* fcn : fcns) {
    collectTypesFromScopeVars(fcn->ioScope(), set, list);
    collectTypesFromScopeVars(fcn->localScope(), set, list);
    collectTypesFromGraph(fcn, aScope, set, list);
  }
  return list;
}

void QulEmitter::emitTypeDefs(IdLinkedList<Type*>* aTypeSet) {
  if (!aTypeSet)
    abortEmission("aTypeSet == NULL", __LINE__);
  for (Type* type : *aTypeSet)
    if (!fAliasManager->hasQulNameBeenCreated(type))
      emitTypeDef(type);
}

// typedef ::= [alias ' <- '] 'typedef(' type-expr ',' name ');'
void QulEmitter::emitTypeDef(Type* aType) {
  if (!fFilter)
    abortEmission("fFilter == NULL", __LINE__);
  if (!aType)
    abortEmission("aType == NULL", __LINE__);
  if (!fFilter->shouldEmit(aType))
    return;
  char* expr = typeExpr(aType);
  AliasManager::QulName alias = fAliasManager->qulNameForSymbol(aType);
  if (!aType->name() || !*aType->name())
    return;
  beginSegment(BLOCK_SIMPLE);
  emitIndent();
  if (alias.aliased) {
    emitString(alias.name);
    emitString(" <- ");
  }
  char* name = nameForDef(aType->name());
  emitString("typedef(");
  emitString(cg_string_toascii(expr));
  emitString(",");
  emitString(name);
  emitString(");");
  emitNewline();
}

} // namespace CG
