// Legal, unique Quill names for IR symbols, operators, types and built-in functions.
#include "emit/aliasmanager.h"

#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/mempool.h"
#include "ir/node.h"
#include "ir/scope.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/type.h"
#include "lang/keywords.h"

#include <boost/regex.hpp>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

namespace CG {

static const char* const kAliasSource = "emit/aliasmanager";

// The invariant's text is spelled out: it is part of the message users see.
#define ALIAS_ASSERT(cond, text)                                                                                       \
  do {                                                                                                                 \
    if (!(cond))                                                                                                       \
      client_assertion_failed(kAliasSource, __LINE__, text);                                                           \
  } while (0)

static bool isEmptyName(const char* aName) {
  return !aName || !*aName;
}

AliasManager::AliasManager(MemPool* aPool, CG_Ctx* aCtx) : fPool(aPool), fCtx(aCtx) {
  fKeywords = aPool->make<IdMap<char*, int>>();
  fQulNameToTokenInfo = aPool->make<IdMap<char*, TokenInfo*>>();
  fTokenToQulName = aPool->make<IdMap<CG_Obj*, char*>>();
  fAliasSearchFrom = aPool->make<IdMap<char*, int>>();
  fDefaultFcnName = aCtx->cgString("qulFcn");
  fDefaultTypeName = aCtx->cgString("qulType");
  fDefaultConstName = aCtx->cgString("qulConst");
  fDefaultVarName = aCtx->cgString("qulVar");
  registerKeywords();
}

void AliasManager::registerKeywords() {
  int count = 0;
  const ReservedWord* words = reservedWords(&count);
  for (int i = 0; i < count; ++i)
    addKeyword(words[i].text, words[i].isOperatorName);
}

void AliasManager::reserveUnregisteredOperatorKeywords() {
  int count = 0;
  const ReservedWord* words = reservedWords(&count);
  for (int i = 0; i < count; ++i) {
    char* word = fCtx->cgString(words[i].text);
    if (words[i].isOperatorName && !fQulNameToTokenInfo->containsKey(word)) {
      registerToken(nullptr, nullptr, word, false);
      fKeywords->put(word, kHeldForItsOperator);
    }
  }
}

// Operator names among the keywords are reserved when the operator itself is registered.
void AliasManager::addKeyword(const std::string& aWord, bool aIsOperatorName) {
  char* word = fCtx->cgString(aWord.c_str());
  fKeywords->put(word, kKeyword);
  if (!aIsOperatorName)
    registerToken(nullptr, nullptr, word, false);
}

// The single way a name is taken. A plain local name of another function may be taken over.
void AliasManager::registerToken(CG_Obj* aToken, Fcn* aFcn, char* aQuillName, bool aIsAlias) {
  Fcn* fcn = aFcn;
  if (TokenInfo* const* existing = fQulNameToTokenInfo->lookup(aQuillName)) {
    TokenInfo* ti = *existing;
    ALIAS_ASSERT(!ti->isAlias(), "!ti->isAlias()");
    ALIAS_ASSERT(ti->getFcn() != 0, "ti->getFcn()!=0");
    ALIAS_ASSERT(ti->getFcn() != fcn, "ti->getFcn() != fcn");
    deleteTokenInfo(aQuillName);
  }
  ALIAS_ASSERT(aToken == 0 || !tokenToQulName()->containsKey(aToken),
               "aToken == 0 || !tokenToQulName()->containsKey(aToken)");

  // A reserved name has no token: the null key is simply overwritten by each reservation.
  fTokenToQulName->put(aToken, aQuillName);
  void* memory = mempool_alloc_fast(fPool, sizeof(TokenInfo));
  fQulNameToTokenInfo->put(aQuillName, new (memory) TokenInfo(aFcn, aIsAlias));
}

void AliasManager::deleteTokenInfo(char* aQuillName) {
  TokenInfo* const* existing = fQulNameToTokenInfo->lookup(aQuillName);
  if (!existing)
    return;
  TokenInfo* ti = *existing;
  fQulNameToTokenInfo->remove(aQuillName);
  mempool_recycle(fPool, ti, sizeof(TokenInfo));
}

char* AliasManager::stripInvalidCharacters(char* aName) {
  std::string text = cg_string_toascii(aName);
  for (char& c : text)
    if (!std::isalnum(static_cast<unsigned char>(c)))
      c = '_';
  return fCtx->cgString(text.c_str());
}

// A name may be printed bare when the whole of it matches the identifier pattern and it is not a keyword.
bool AliasManager::isQuillIdentifier(char* aName) const {
  static const boost::regex identifier("[a-z_A-Z]+[a-z_A-Z0-9]*");
  const char* ascii = cg_string_toascii(aName);
  if (isEmptyName(ascii))
    return false;
  // One match record per thread, kept between calls: a record made for each name costs more than the match.
  thread_local boost::cmatch match;
  if (!boost::regex_match(ascii, ascii + std::strlen(ascii), match, identifier))
    return false;
  return !fKeywords->containsKey(aName);
}

Fcn* AliasManager::owningFcnOf(Symbol* aSymbol) const {
  Scope* scope = aSymbol->scope();
  return scope ? scope->owningFcn() : nullptr;
}

// Whether a named symbol needs an alias: its name is illegal, or taken by a name it may not share.
bool AliasManager::checkSymbolCache(Symbol* aSymbol) {
  char* name = aSymbol->name();
  if (!isQuillIdentifier(name))
    return true;
  TokenInfo* const* existing = fQulNameToTokenInfo->lookup(name);
  if (!existing)
    return false;
  const TokenInfo* owner = *existing;
  if (!owner->getFcn())
    return true;
  if (owner->getFcn() == owningFcnOf(aSymbol))
    return true;
  return owner->isAlias();
}

bool AliasManager::doesFcnNeedAlias(Symbol* aFcn) {
  return isEmptyName(aFcn->name()) || checkSymbolCache(aFcn);
}

bool AliasManager::doesConstNeedAlias(Symbol* aConst) {
  return !isEmptyName(aConst->name()) && checkSymbolCache(aConst);
}

bool AliasManager::doesTypeNeedAlias(Symbol* aType) {
  return !isEmptyName(aType->name()) && checkSymbolCache(aType);
}

bool AliasManager::isSymbolAliased(Symbol* aSymbol) {
  if (char* const* name = fTokenToQulName->lookup(aSymbol))
    return isAliasName(*name);
  return needsAlias(aSymbol);
}

bool AliasManager::isAliasName(char* aName) const {
  TokenInfo* const* info = fQulNameToTokenInfo->lookup(aName);
  return info && (*info)->isAlias();
}

// For a symbol without a name yet: whether the one it gets must be made up.
bool AliasManager::needsAlias(Symbol* aSymbol) {
  if (Fcn::isa(aSymbol))
    return doesFcnNeedAlias(aSymbol);
  if (Const::isa(aSymbol))
    return doesConstNeedAlias(aSymbol);
  if (Type::isa(aSymbol))
    return doesTypeNeedAlias(aSymbol);
  return isEmptyName(aSymbol->name()) || checkSymbolCache(aSymbol);
}

bool AliasManager::hasQulNameBeenCreated(Symbol* aSymbol) const {
  return fTokenToQulName->containsKey(aSymbol);
}

char* AliasManager::getDefaultQulName(Symbol* aSymbol) {
  if (Var::isa(aSymbol))
    return fDefaultVarName;
  if (Fcn::isa(aSymbol))
    return fDefaultFcnName;
  return fCtx->cgString("unknownSymbol");
}

// The base itself when free, else the base with the next free counter; the counter is kept per base so the
// search resumes where it stopped. A base starting with a digit gets a "_" so the alias scans as a name.
char* AliasManager::createAlias(char* aName) {
  char* base = stripInvalidCharacters(aName);
  if (std::isdigit(static_cast<unsigned char>(base[0])))
    base = cg_string_createf(fCtx, "_%s", base);
  int counter = std::max(1, fAliasSearchFrom->get(base));
  char* candidate = base;
  while (fQulNameToTokenInfo->containsKey(candidate)) {
    candidate = cg_string_createf(fCtx, "%s%d", base, counter);
    ++counter;
  }
  if (candidate != base)
    fAliasSearchFrom->put(base, counter);
  return candidate;
}

char* AliasManager::createOrGetQulNameForSymbol(Symbol* aSymbol) {
  if (char* const* cached = fTokenToQulName->lookup(aSymbol))
    return *cached;
  return createQulName(aSymbol, needsAlias(aSymbol));
}

AliasManager::QulName AliasManager::qulNameForSymbol(Symbol* aSymbol) {
  if (char* const* cached = fTokenToQulName->lookup(aSymbol))
    return {*cached, isAliasName(*cached)};
  bool aliased = needsAlias(aSymbol);
  return {createQulName(aSymbol, aliased), aliased};
}

char* AliasManager::createQulName(Symbol* aSymbol, bool aAliased) {
  Fcn* fcn = owningFcnOf(aSymbol);
  char* name = aSymbol->name();
  if (!aAliased) {
    if (isEmptyName(name))
      return name;
    registerToken(aSymbol, fcn, name, false);
    return name;
  }
  char* alias = createAlias(isEmptyName(name) ? getDefaultQulName(aSymbol) : name);
  registerToken(aSymbol, fcn, alias, true);
  return alias;
}

void AliasManager::expectNames(size_t aCount) {
  fQulNameToTokenInfo->reserve(fQulNameToTokenInfo->size() + aCount);
  fTokenToQulName->reserve(fTokenToQulName->size() + aCount);
}

char* AliasManager::getNameForOp(CG::OP aOp) {
  size_t slot = static_cast<size_t>(aOp);
  CG_NodeDef* def = CG_NodeDef::getDefByEnum(fCtx, aOp);
  if (slot < fOpNames.size() && fOpNames[slot].def == def && fOpNames[slot].name)
    return fOpNames[slot].name;
  char* name = nameForOp(aOp);
  if (name && slot < kMaxCachedOp) {
    if (slot >= fOpNames.size())
      fOpNames.resize(slot + 1);
    fOpNames[slot] = OpName{def, name};
  }
  return name;
}

// A keyword held back for an operator the table left out goes to that operator, which prints under it.
void AliasManager::releaseHeldKeyword(char* aName) {
  int* held = fKeywords->lookup(aName);
  if (!held || *held != kHeldForItsOperator)
    return;
  *held = kKeyword;
  deleteTokenInfo(aName);
}

char* AliasManager::nameForOp(CG::OP aOp) {
  CG_NodeDef* def = CG_NodeDef::getDefByEnum(fCtx, aOp);
  if (!def)
    return nullptr;
  if (char* const* cached = fTokenToQulName->lookup(def))
    return *cached;
  std::string text = cg_string_toascii(def->name());
  int op = static_cast<int>(aOp);
  bool custom = def->category() == 1 && (op < CG::OP::START || op > CG::OP::RESERVED_1162);
  if (custom && text.compare(0, 2, "|>") != 0)
    text = "|>" + text;
  char* name = fCtx->cgString(text.c_str());
  releaseHeldKeyword(name);
  registerToken(def, nullptr, name, false);
  return name;
}

void AliasManager::registerOpName(CG::OP aOp, const char* aName) {
  registerToken(CG_NodeDef::getDefByEnum(fCtx, aOp), nullptr, fCtx->cgString(aName), false);
}

void AliasManager::registerTypeName(Type* aType, const char* aName) {
  registerToken(aType, nullptr, fCtx->cgString(aName), false);
}

// A built-in function takes its name from whoever held it before.
void AliasManager::takeBuiltinName(CG_Obj* aFcn, const char* aName) {
  char* name = fCtx->cgString(aName);
  deleteTokenInfo(name);
  registerToken(aFcn, nullptr, name, false);
}

void AliasManager::registerIntrinsicFcn(IntrinsicFcn* aFcn) {
  takeBuiltinName(aFcn, aFcn->intrinsic()->name());
}

void AliasManager::registerLibraryFcn(LibraryFcn* aFcn) {
  takeBuiltinName(aFcn, aFcn->intrinsic()->name());
}

} // namespace CG
