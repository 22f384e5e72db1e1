// QulEmitter spine: entry points, construction, dispatch on the object's kind, scope order, output primitives.
#include "emit/emitter.h"

#include "emit/listenerset.h"
#include "ir/cfg.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/predicate.h"
#include "ir/region.h"
#include "ir/scope.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "ir/typechecker.h"
#include "ir/typefactory.h"
#include "lang/optable.h"

#include <fstream>

namespace CG {

static const char* const kEmitterSource = "emit/emitter";
static const char* const kQuitEarly = "QulEmitter quit early";

//===-- Entry points ------------------------------------------------------------------------------------===//

std::string emitQuill(CG_Obj* aObj) {
  return emitQuillEx(aObj, QulEmitterOptions(nullptr, 3));
}

std::string emitQuillEx(CG_Obj* aObj, const QulEmitterOptions& aOptions) {
  return QulEmitter::emitObject(aObj, aOptions);
}

// Options for the contextual entry points: the marker is the filter and errors become markers in the text.
static QulEmitterOptions contextualOptions(ShouldEmitPredicate* aMarker) {
  QulEmitterOptions options(nullptr, 3);
  options.setFilter(aMarker);
  options.setThrowExceptionOnError(false);
  return options;
}

std::string emitQuillWithContext(CG_Obj* aObj) {
  if (!aObj || !aObj->ctx())
    return "// cannot emit anything for NULL input";
  ContextualMarker marker(aObj->ctx());
  marker.markAllRelatedTo(aObj);
  return QulEmitter::emitObject(aObj->ctx()->globalScope(), contextualOptions(&marker));
}

// The file is opened (and emptied) before the text is made, so a failure leaves it empty.
void printQuill(CG_Obj* aObj, const char* aFileName) {
  if (!aFileName)
    return;
  std::ofstream out(aFileName, std::ios::out | std::ios::trunc);
  out << emitQuillEx(aObj, QulEmitterOptions(nullptr, 3));
  out.close();
}

void printQuillWithContext(CG_Obj* aObj, const char* aFileName) {
  if (!aObj || !aObj->ctx() || !aFileName)
    return;
  FullyRecursiveContextualMarker marker(aObj->ctx());
  marker.markAllRelatedTo(aObj);
  std::ofstream out(aFileName, std::ios::out | std::ios::trunc);
  out << emitQuillEx(aObj->ctx()->globalScope(), contextualOptions(&marker));
  out.close();
}

std::string QulEmitter::emitObject(CG_Obj* aObj, const QulEmitterOptions& aOptions) {
  CG_ASSERT_MSG(aObj != 0, kEmitterSource, "aObj != 0");
  QulEmitter emitter(aObj->ctx(), aOptions);
  return emitter.emitTopLevel(aObj);
}

std::string QulEmitter::emitRegion(Region* aRegion, const QulEmitterOptions& aOptions) {
  // An empty region has no statement, so no context to print in.
  if (!aRegion || !aRegion->entry().node)
    return kQuitEarly;
  QulEmitter emitter(aRegion->entry().node->ctx(), aOptions);
  try {
    emitter.emitRegion(aRegion);
  } catch (const QulEmitterAborted&) {
    return kQuitEarly + emitter.takeText();
  }
  return emitter.takeText();
}

//===-- Construction ------------------------------------------------------------------------------------===//

// Reserves every operator name of the op table for the emitter it serves.
class SetQuillNameFunctor : public Functor {
public:
  explicit SetQuillNameFunctor(QulEmitter* aEmitter) : fEmitter(aEmitter) {}
  void operator()(int aOp, const char* aName) const override {
    fEmitter->reserveQulNameForOp(CG::OP(aOp), fEmitter->fCtx->cgString(aName));
  }

private:
  QulEmitter* fEmitter;
};

QulEmitter::QulEmitter(CG_Ctx* aCtx, const QulEmitterOptions& aOptions)
    : fPool(aCtx), fListeners(fPool.pool()->make<QulListenerSet>(aCtx)), fIndentLevel(0), fCtx(aCtx),
      fAliasManager(fPool.pool()->make<AliasManager>(fPool.pool(), aCtx)), fTypeChecker(aOptions.typeChecker()),
      fPst(nullptr), fUnstructuredStmtToLabelMap(nullptr), fGotoTargets(nullptr), fEmittedLabels(nullptr),
      fLoopRoundsReached(nullptr), fRegionContinuation(nullptr), fStopStmt(nullptr),
      fThrowExceptionOnError(aOptions.throwExceptionOnError()),
      fShouldNotInferTypes(!aOptions.printOnlyNotInferredTypes()),
      fShouldEmitLongFormConsts(aOptions.printOnlyLongFormConstants()),
      fPreparesBodiesAhead(aOptions.preparesBodiesAhead()),
      fUsesAhead(aOptions.typeChecker() ? nullptr : aOptions.graphUsesAhead()), fTextStream(aOptions.textStream()),
      fTextPieceSize(aOptions.textPieceSize()),
      fSegments(fPool.pool()->make<SegmentStream>(*aOptions.segmentStream())), fFilter(aOptions.filter()),
      fOpTable(aOptions.opTable()), fSymbolicSizeNames(nullptr) {
  CG_ASSERT_MSG(fFilter != 0, kEmitterSource, "fFilter != 0");
  if (!fTypeChecker)
    fTypeChecker = fPool.pool()->make<CoreDomainTypeChecker>(aCtx);
  if (!fOpTable)
    fOpTable = fPool.pool()->make<OpTable>();
  // A text passed on in pieces needs room for one piece and the line that ends it.
  fOutput.reserve(fTextStream ? fTextPieceSize + fTextPieceSize / 16 : aOptions.expectedTextSize());
  initNameMappings();
  fListeners->registerListeners(this);
  fSymbolicSizeNames = fPool.pool()->make<IdMap<SymbolicSize*, char*>>();
}

QulEmitter::~QulEmitter() = default;

void QulEmitter::initNameMappings() {
  static const struct {
    int kind;
    const char* name;
  } kBasicTypeNames[] = {
      {1, "void"},   {4, "int8"},    {5, "int16"},    {6, "int32"},    {7, "int64"}, {8, "uint8"},
      {9, "uint16"}, {10, "uint32"}, {11, "uint64"},  {12, "bool"},    {13, "char"}, {2, "single"},
      {3, "double"}, {14, "string"}, {16, "untyped"}, {17, "unknown"},
  };
  for (const auto& basic : kBasicTypeNames)
    reserveQulName(basic.kind, basic.name);
  fOpTable->initOps(SetQuillNameFunctor(this));
  fAliasManager->reserveUnregisteredOperatorKeywords();
  for (IntrinsicFcn* fcn : fCtx->intrinsicFcns())
    reserveQulName(fcn);
  for (LibraryFcn* fcn : fCtx->libraryFcns())
    reserveQulName(fcn);
}

//===-- Dispatch ----------------------------------------------------------------------------------------===//

std::string QulEmitter::emitTopLevel(CG_Obj* aObj) {
  fGraphUses.clear();
  if (fUsesAhead)
    fGraphUses = fUsesAhead->finish(fTypeChecker);
  try {
    char* typeText = dispatch(aObj);
    beginSegment(BLOCK_END);
    return typeText ? std::string(typeText) : takeText();
  } catch (const QulEmitterAborted&) {
    beginSegment(BLOCK_END);
    return kQuitEarly + takeText();
  }
}

// The text the emission returns: what is left of it after the pieces passed on to the text stream.
std::string QulEmitter::takeText() {
  if (!fTextStream)
    return fOutput.release();
  passOnText();
  return std::string();
}

void QulEmitter::passOnText() {
  fTextStream->write(fOutput.data(), static_cast<std::streamsize>(fOutput.length()));
  fPassedOnLength += fOutput.length();
  fOutput.clear();
}

// The text of a type, or null when the object printed into the output.
char* QulEmitter::dispatch(CG_Obj* aObj) {
  switch (aObj->id()) {
  case CG_TYPE:
    return typeExpr(Type::isa(aObj) ? Type::cast(aObj) : nullptr);
  case CG_CONST:
    if (cg_const_is_function(Const::cast(aObj))) {
      emitFcnDef(Fcn::cast(aObj));
      beginSegment(BLOCK_END);
    } else {
      emitConstDef(Const::cast(aObj));
    }
    return nullptr;
  case CG_VAR:
    emitVarDef(Var::cast(aObj));
    return nullptr;
  case CG_SCOPE:
    if (aObj == fCtx->globalScope())
      emitScope(Scope::cast(aObj));
    else
      emitModuleScope(Scope::cast(aObj));
    return nullptr;
  case CG_CFG:
    emitCfg(Cfg::cast(aObj));
    return nullptr;
  case CG_NODE:
    if (Node::cast(aObj)->def()->isStmt())
      emitStmt(Stmt::cast(aObj));
    else
      emitExpr(Expr::cast(aObj));
    return nullptr;
  case CG_SYMBOLIC_SIZE:
  case CG_NODEDEF:
    break;
  }
  client_assertion_failed(kEmitterSource, __LINE__, "We are still working on the general emitter configuration");
}

//===-- Scopes ------------------------------------------------------------------------------------------===//

// The named symbols of aScope and the scopes within it: about as many names as printing the scope hands out.
static size_t countNamedSymbols(Scope* aScope) {
  size_t count = 0;
  forEachScopeBelow(aScope, [&](Scope* aBelow) {
    for (Symbol* symbol = aBelow->firstSymbol(); symbol; symbol = symbol->next())
      count += symbol->name() && *symbol->name() ? 1 : 0;
  });
  return count;
}

void QulEmitter::emitScope(Scope* aScope) {
  if (!fFilter)
    abortEmission("fFilter == NULL", __LINE__);
  if (!fFilter->shouldEmit(aScope))
    return;
  ensureStackRoom();
  if (aScope == fCtx->globalScope()) {
    fAliasManager->expectNames(countNamedSymbols(aScope));
    emitRecursive(aScope);
    return;
  }
  beginSegment(BLOCK_COMPOUND);
  emitNewline();
  char* name = nameForDef(aScope->name());
  emitString("scope(");
  emitString(name);
  emitString("){");
  emitNewline();
  emitRecursive(aScope);
  beginSegment(BLOCK_CLOSE);
  emitString("}");
  emitNewline();
}

bool QulEmitter::isReservedScope(Scope* aScope) {
  return aScope == fCtx->reservedScope(0) || aScope == fCtx->reservedScope(1);
}

// The parameter and local scopes of a function with a body print inside the function, not as scopes.
bool QulEmitter::isSkippedFcnScope(Scope* aParent, Scope* aChild) {
  Fcn* fcn = aChild->owningFcn();
  if (!fcn || fcn->scope() != aParent || !fcn->cfg())
    return false;
  if (aChild == fcn->ioScope())
    return true;
  return aChild == fcn->localScope() && !IntrinsicFcn::isa(fcn) && !LibraryFcn::isa(fcn);
}

void QulEmitter::emitRecursive(Scope* aScope) {
  emitSymbolicSizeDefs(collectSymbolicSizes(aScope));
  emitTypeDefs(collectTypes(aScope));
  emitConstDefs(collectConsts(aScope));
  emitNewline();
  emitModuleVarDefs(collectScopeVars(aScope));
  emitFcnDefs(collectFcns(aScope));
  for (ChildScopeIterator it(aScope); it.hasCurrent(); it.advance()) {
    Scope* child = it.current();
    if (isSkippedFcnScope(aScope, child) || isReservedScope(child))
      continue;
    emitScope(child);
  }
}

void QulEmitter::emitModuleScope(Scope* aScope) {
  if (!fFilter)
    abortEmission("fFilter == NULL", __LINE__);
  if (!aScope)
    abortEmission("aScope == NULL", __LINE__);
  if (!fFilter->shouldEmit(aScope))
    return;
  forEachFcnWithGraph(aScope, [](Fcn* aFcn) { cg_cfg_make_compact(aFcn->cfg()); });
  emitSymbolicSizeDefs(collectSymbolicSizes(aScope));
  emitTypeDefs(collectTypes(aScope));
  emitConstDefs(collectConsts(aScope));
  beginSegment(BLOCK_COMPOUND);
  char* name = nameForDef(aScope->name());
  emitString("scope(");
  emitString(name);
  emitString("){");
  emitNewline();
  emitModuleVarDefs(collectScopeVars(aScope));
  emitFcnDefs(collectFcns(aScope));
  beginSegment(BLOCK_CLOSE);
  emitString("}");
  emitNewline();
}

//===-- Accessors and output primitives -----------------------------------------------------------------===//

CG_Ctx* QulEmitter::ctx() {
  return fCtx;
}
MemPool* QulEmitter::pool() {
  return fPool.pool();
}
StringBuffer& QulEmitter::stringBuffer() {
  return fOutput;
}
AliasManager* QulEmitter::aliasManager() {
  return fAliasManager;
}
TypeChecker* QulEmitter::typeChecker() {
  return fTypeChecker;
}
int QulEmitter::indentLevel() {
  return fIndentLevel;
}
void QulEmitter::indentIncrement() {
  ++fIndentLevel;
}
void QulEmitter::indentDecrement() {
  --fIndentLevel;
}
ShouldEmitPredicate* QulEmitter::filter() {
  return fFilter;
}

char* QulEmitter::getQulName(CG::OP aOp) {
  return fAliasManager->getNameForOp(aOp);
}
char* QulEmitter::getQulName(Symbol* aSymbol) {
  return fAliasManager->createOrGetQulNameForSymbol(aSymbol);
}
void QulEmitter::reserveQulName(LibraryFcn* aFcn) {
  fAliasManager->registerLibraryFcn(aFcn);
}
void QulEmitter::reserveQulName(IntrinsicFcn* aFcn) {
  fAliasManager->registerIntrinsicFcn(aFcn);
}

void QulEmitter::reserveQulName(int aBasicKind, const char* aName) {
  fAliasManager->registerTypeName(TypeFactory(fCtx).basicType(aBasicKind), aName);
}

void QulEmitter::reserveQulNameForOp(CG::OP aOp, const char* aName) {
  fAliasManager->registerOpName(aOp, aName);
}

void QulEmitter::emitString(const char* aText) {
  fOutput.append(aText);
}
void QulEmitter::emitString(char* aText) {
  fOutput.append(cg_string_toascii(aText));
}

// Four spaces per level.
void QulEmitter::emitIndent() {
  if (fIndentLevel > 0)
    fOutput.append(static_cast<size_t>(fIndentLevel) * 4, ' ');
}

void QulEmitter::emitNewline() {
  fOutput.append('\n');
  if (fTextStream && fOutput.length() >= fTextPieceSize)
    passOnText();
}

void QulEmitter::emitBar(bool& aWritten) {
  emitString(aWritten ? "," : "|");
  aWritten = true;
}

// A definition's own name: bare when it scans as an identifier, else quoted. An unnamed definition stays empty.
char* QulEmitter::nameForDef(char* aName) {
  if (!aName || !*aName)
    return fCtx->cgString("");
  if (fAliasManager->isQuillIdentifier(aName))
    return aName;
  return cg_string_createf(fCtx, "\"%s\"", cg_string_toascii(aName));
}

char* QulEmitter::intern(const std::string& aText) {
  return fCtx->cgString(aText.c_str());
}

char* QulEmitter::intern(const StringBuffer& aText) {
  return fCtx->cgString(aText.c_str());
}

// The annotations the listeners add, as "|item,item"; nothing is printed when none adds an item.
template <class T> void QulEmitter::emitListenerStringsFor(T* aObj) {
  std::string text;
  fListeners->collectInto(aObj, text);
  if (!text.empty())
    emitString(text.c_str());
}

void QulEmitter::emitListenerStrings(Var* aVar) {
  emitListenerStringsFor(aVar);
}
void QulEmitter::emitListenerStrings(Expr* aExpr) {
  emitListenerStringsFor(aExpr);
}
void QulEmitter::emitListenerStrings(Const* aConst) {
  emitListenerStringsFor(aConst);
}

void QulEmitter::abortEmission(const char* aMessage, int aLine) {
  throw QulEmitterAborted(aMessage, kEmitterSource, aLine);
}

} // namespace CG
