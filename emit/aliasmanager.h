// Legal, unique Quill names for IR symbols, operators, types and built-in functions.
#pragma once

#include "ir/containers.h"
#include "ir/op.h"

#include <string>
#include <vector>

class CG_Ctx;
class CG_NodeDef;
class CG_Obj;
class MemPool;

namespace CG {

class Fcn;
class IntrinsicFcn;
class LibraryFcn;
class Symbol;
class Type;

// Decides, once per emission, the name under which each IR object is printed. Every map is keyed by pointer
// identity: names are interned in the context, so equal texts are equal pointers.
class AliasManager {
public:
  // Who owns a name: the function whose scope holds the symbol (null at module level), and whether the name
  // was made up by createAlias rather than taken from the symbol.
  class TokenInfo {
  public:
    TokenInfo(Fcn* aFcn, bool aIsAlias) : fFcn(aFcn), fIsAlias(aIsAlias) {}
    Fcn* getFcn() const { return fFcn; }
    bool isAlias() const { return fIsAlias; }

  private:
    Fcn* fFcn;
    bool fIsAlias;
  };

  AliasManager(MemPool* aPool, CG_Ctx* aCtx);
  AliasManager(const AliasManager&) = default;
  AliasManager& operator=(const AliasManager&) = default;
  ~AliasManager() = default;

  // A symbol's printed name, and whether it was made up (an alias) rather than taken from the symbol.
  struct QulName {
    char* name;
    bool aliased;
  };

  char* createOrGetQulNameForSymbol(Symbol* aSymbol);
  bool isSymbolAliased(Symbol* aSymbol);
  // What isSymbolAliased and then createOrGetQulNameForSymbol answer, in one search of the tables.
  QulName qulNameForSymbol(Symbol* aSymbol);
  bool hasQulNameBeenCreated(Symbol* aSymbol) const;
  bool isQuillIdentifier(char* aName) const;
  char* getNameForOp(CG::OP aOp);

  void registerOpName(CG::OP aOp, const char* aName);
  void registerTypeName(Type* aType, const char* aName);
  // Makes the name tables large enough for aCount more names at once: a module's tables then grow once, not
  // by doubling, which leaves the copies it outgrew behind.
  void expectNames(size_t aCount);

  void registerIntrinsicFcn(IntrinsicFcn* aFcn);
  void registerLibraryFcn(LibraryFcn* aFcn);
  // After the operator names are registered: reserves the keywords that are operator names but that the
  // operator table left unregistered, so that no symbol prints under one of them.
  void reserveUnregisteredOperatorKeywords();

protected:
  char* createAlias(char* aName);
  char* stripInvalidCharacters(char* aName);
  bool checkSymbolCache(Symbol* aSymbol);
  bool needsAlias(Symbol* aSymbol);
  bool isAliasName(char* aName) const;
  char* createQulName(Symbol* aSymbol, bool aAliased);
  bool doesConstNeedAlias(Symbol* aConst);
  bool doesFcnNeedAlias(Symbol* aFcn);
  bool doesTypeNeedAlias(Symbol* aType);
  char* getDefaultQulName(Symbol* aSymbol);
  char* defaultFcnQulName() const { return fDefaultFcnName; }
  char* defaultLocalVarQulName() const { return fDefaultVarName; }
  void registerToken(CG_Obj* aToken, Fcn* aFcn, char* aQuillName, bool aIsAlias);
  void deleteTokenInfo(char* aQuillName);
  MemPool* pool() const { return fPool; }
  IdMap<char*, TokenInfo*>* qulNameToTokenInfo() const { return fQulNameToTokenInfo; }
  IdMap<CG_Obj*, char*>* tokenToQulName() const { return fTokenToQulName; }

private:
  void registerKeywords();
  void addKeyword(const std::string& aWord, bool aIsOperatorName);
  void takeBuiltinName(CG_Obj* aFcn, const char* aName);
  Fcn* owningFcnOf(Symbol* aSymbol) const;
  char* nameForOp(CG::OP aOp);
  void releaseHeldKeyword(char* aName);

  static constexpr size_t kMaxCachedOp = 4096;

  MemPool* fPool;
  CG_Ctx* fCtx;
  char* fDefaultFcnName;
  char* fDefaultTypeName;
  char* fDefaultConstName;
  char* fDefaultVarName;
  IdMap<char*, TokenInfo*>* fQulNameToTokenInfo;
  // Per alias base, the counter after the last alias made on it. A taken name is never given up, so a new
  // search for the base starts there, even after a function takes the plain base over.
  IdMap<char*, int>* fAliasSearchFrom;
  IdMap<CG_Obj*, char*>* fTokenToQulName;
  // Each keyword, and whether it is held back for an operator that the operator table left out.
  enum KeywordUse : int { kKeyword = 1, kHeldForItsOperator = 2 };
  IdMap<char*, int>* fKeywords;
  // getNameForOp's answers by opcode, each with the definition it names: a definition that replaces
  // another under the same opcode gets a name of its own.
  struct OpName {
    CG_NodeDef* def = nullptr;
    char* name = nullptr;
  };
  std::vector<OpName> fOpNames;
};

} // namespace CG
