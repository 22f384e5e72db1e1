// The IR context: owns the pool, interned strings, root scopes, registries and type cache.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ir/containers.h"
#include "ir/mempool.h"
#include "ir/poolvector.h"
#include "ir/tag.h"

class CG_NodeDef;
class CG_Obj;

namespace CG {
class Cfg;
class Scope;
class IntrinsicFcn;
class LibraryFcn;
class TypeCache;
class SymbolicSizeCache;
} // namespace CG

class CG_Ctx {
public:
  CG_Ctx();
  ~CG_Ctx();
  CG_Ctx(const CG_Ctx&) = delete;
  CG_Ctx& operator=(const CG_Ctx&) = delete;

  MemPool* pool() { return fPool.get(); }

  // Interned copy of the text: equal texts give one pointer; null gives null.
  char* cgString(const char* aText);
  char* cgString(const std::string& aText);
  // The view's bytes, which may be a part of a longer text.
  char* cgString(std::string_view aText);
  // Makes room for about aCount more interned texts at once, instead of doubling the table on the way.
  void reserveStrings(size_t aCount);
  // How many distinct texts are interned.
  size_t numStrings() const { return fNumStrings; }

  // The root scope (name "").
  CG::Scope* globalScope() { return fGlobalScope; }
  // Scopes kept beside the root and never printed: 0 "$builtins" (intrinsic and library
  // functions), 1 "$prototypes". They are not children of the root scope. Null for other i.
  CG::Scope* reservedScope(int aIndex);

  // The graphs made in this context, by number: a statement keeps its graph's number, which takes half the room
  // of a pointer. Graphs are numbered from 0 as they are made and keep their number.
  uint32_t registerCfg(CG::Cfg* aCfg);
  CG::Cfg* cfg(uint32_t aNumber) const { return fCfgs[aNumber]; }

  // Operator definitions by opcode; null when unknown. Registering an opcode again replaces it.
  CG_NodeDef* nodeDef(int aOpcode) const;
  void registerNodeDef(CG_NodeDef* aDef);
  const std::vector<CG_NodeDef*>& nodeDefs() const { return fNodeDefList; }

  const std::vector<CG::IntrinsicFcn*>& intrinsicFcns() const { return fIntrinsicFcns; }
  const std::vector<CG::LibraryFcn*>& libraryFcns() const { return fLibraryFcns; }
  CG::IntrinsicFcn* findIntrinsicFcn(const char* aName) const;
  CG::LibraryFcn* findLibraryFcn(const char* aName) const;

  CG::TagHandler* handler(CG::Tag::Kind aKind) const;
  void registerHandler(CG::TagHandler* aHandler);
  void unregisterHandler(CG::TagHandler* aHandler);
  const std::vector<CG::TagHandler*>& handlers() const { return fHandlers; }
  // The tag lists of the objects that have tags: most objects (a module's nodes) have none, and
  // carry no list pointer of their own. Only CG_Obj reads and writes them.
  CG::TagLink* tagList(const CG_Obj* aObj) const { return fTagLists.get(aObj); }
  void setTagList(const CG_Obj* aObj, CG::TagLink* aList);

  CG::TypeCache& typeCache() { return *fTypeCache; }
  // Counts the changes of variables' types in this context: what was derived from them (a function's type from
  // its parameters') still holds while the count is the one it was derived at.
  uint64_t varTypeVersion() const { return fVarTypeVersion; }
  void noteVarTypeChanged() { ++fVarTypeVersion; }
  CG::SymbolicSizeCache& symbolicSizeCache() { return *fSizeCache; }

  // Objects named by TestIdTag, and the registered generic tag categories.
  std::unordered_map<std::string, CG_Obj*>& testIds() { return fTestIds; }
  std::set<std::string>& genericTagCategories() { return fGenericCategories; }

private:
  void createBuiltinFcns();
  // Where the definition of aOpcode is kept (null when there is none yet).
  CG_NodeDef*& nodeDefSlot(int aOpcode);

  std::unique_ptr<MemPool> fPool;
  CG::PoolVector<CG::Cfg*> fCfgs;
  // Open-addressing table of the interned texts: each slot holds the text's hash, length and copy (null
  // when free), in two words. Kept at most three quarters full: probes stay short, and a large module's
  // table stays about a fifth of a byte per byte of text (one name per 128 bytes).
  struct StringSlot {
    uint32_t hash;
    uint32_t length;
    const char* text;
  };
  char* internNew(std::string_view aText, uint32_t aHash, size_t aSlot);
  // Whether aCount texts fit in aNumSlots slots.
  static bool stringsFit(size_t aCount, size_t aNumSlots) { return aCount * 4 <= aNumSlots * 3; }
  void growStrings();
  void rehashStrings(size_t aNumSlots);

  std::vector<StringSlot, TableAllocator<StringSlot>> fStringSlots;
  size_t fNumStrings = 0;
  char* fEmptyString = nullptr;
  CG::Scope* fGlobalScope = nullptr;
  CG::Scope* fReservedScopes[2] = {nullptr, nullptr};
  // Node definitions by opcode: indexed up to kMaxIndexedOpcode (every built-in one; each node made looks its
  // definition up), in the map beyond.
  static constexpr int kMaxIndexedOpcode = 4095;
  std::vector<CG_NodeDef*> fNodeDefByOpcode;
  std::unordered_map<int, CG_NodeDef*> fNodeDefs;
  std::vector<CG_NodeDef*> fNodeDefList;
  std::vector<CG::IntrinsicFcn*> fIntrinsicFcns;
  std::vector<CG::LibraryFcn*> fLibraryFcns;
  std::vector<CG::TagHandler*> fHandlers;
  CG::IdMap<const CG_Obj*, CG::TagLink*> fTagLists;
  std::unique_ptr<CG::TypeCache> fTypeCache;
  uint64_t fVarTypeVersion = 0;
  std::unique_ptr<CG::SymbolicSizeCache> fSizeCache;
  std::unordered_map<std::string, CG_Obj*> fTestIds;
  std::set<std::string> fGenericCategories;
};

CG_NodeDef* cg_ctx_def(CG_Ctx* aCtx, int aOpcode);
