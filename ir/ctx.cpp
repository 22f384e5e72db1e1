// CG_Ctx: pool, string interning, root scopes, operator registry and built-in functions.
#include "ir/ctx.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "ir/logger.h"
#include "ir/node.h"
#include "ir/op.h"
#include "ir/scope.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/typefactory.h"

CG_Ctx::CG_Ctx()
    : fPool(std::make_unique<MemPool>()), fCfgs(fPool.get()), fTypeCache(std::make_unique<CG::TypeCache>()),
      fSizeCache(std::make_unique<CG::SymbolicSizeCache>()) {
  fPool->setOwner(this);
  fEmptyString = cgString("");
  fGlobalScope = fPool->make<CG::Scope>(this, nullptr, fEmptyString);
  fReservedScopes[0] = fPool->make<CG::Scope>(this, nullptr, cgString("$builtins"));
  fReservedScopes[1] = fPool->make<CG::Scope>(this, nullptr, cgString("$prototypes"));
  CG::registerBuiltinNodeDefs(this);
  createBuiltinFcns();
}

// Objects in the pool are finalized first; the tables that point at them go afterwards.
CG_Ctx::~CG_Ctx() {
  fPool.reset();
}

char* CG_Ctx::cgString(const char* aText) {
  if (aText == nullptr) {
    return nullptr;
  }
  return cgString(std::string_view(aText));
}

char* CG_Ctx::cgString(const std::string& aText) {
  return cgString(aText.c_str());
}

char* CG_Ctx::cgString(std::string_view aText) {
  if (fStringSlots.empty()) {
    growStrings();
  }
  if (aText.size() > UINT32_MAX) {
    CG::TheLogger::instance().throwInternalException("CG/Ctx/string", "a text of %zu bytes is too long to intern",
                                                     aText.size());
  }
  auto hash = static_cast<uint32_t>(cg_text_hash(aText));
  size_t mask = fStringSlots.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const StringSlot& entry = fStringSlots[slot];
    if (entry.text == nullptr) {
      return internNew(aText, hash, slot);
    }
    // An empty view may have no data pointer at all, which memcmp must not be given.
    if (entry.hash == hash && entry.length == aText.size() &&
        (aText.empty() || std::memcmp(entry.text, aText.data(), aText.size()) == 0)) {
      return const_cast<char*>(entry.text);
    }
  }
}

// Copies the text into the pool and files it in the free slot the lookup ended on.
char* CG_Ctx::internNew(std::string_view aText, uint32_t aHash, size_t aSlot) {
  char* copy = fPool->copyText(aText);
  fStringSlots[aSlot] = StringSlot{aHash, static_cast<uint32_t>(aText.size()), copy};
  if (!stringsFit(++fNumStrings, fStringSlots.size())) {
    growStrings();
  }
  return copy;
}

// The string table starts with this many slots and doubles.
static constexpr size_t kFirstStringSlots = 512;

void CG_Ctx::growStrings() {
  rehashStrings(fStringSlots.empty() ? kFirstStringSlots : fStringSlots.size() * 2);
}

void CG_Ctx::reserveStrings(size_t aCount) {
  size_t numSlots = fStringSlots.empty() ? kFirstStringSlots : fStringSlots.size();
  while (!stringsFit(fNumStrings + aCount, numSlots)) {
    numSlots *= 2;
  }
  if (numSlots > fStringSlots.size()) {
    rehashStrings(numSlots);
  }
}

// Moves every text to a table of aNumSlots slots (a power of two).
void CG_Ctx::rehashStrings(size_t aNumSlots) {
  cg_rehash_text_slots(fStringSlots, aNumSlots, StringSlot{0, 0, nullptr},
                       [](const StringSlot& aSlot) { return aSlot.text == nullptr; });
}

uint32_t CG_Ctx::registerCfg(CG::Cfg* aCfg) {
  if (fCfgs.size() >= UINT32_MAX) {
    CG::TheLogger::instance().throwInternalException("CG/Ctx/cfgs", "more than %u graphs in one context", UINT32_MAX);
  }
  fCfgs.push_back(aCfg);
  return static_cast<uint32_t>(fCfgs.size() - 1);
}

CG::Scope* CG_Ctx::reservedScope(int aIndex) {
  return (aIndex == 0 || aIndex == 1) ? fReservedScopes[aIndex] : nullptr;
}

CG_NodeDef* CG_Ctx::nodeDef(int aOpcode) const {
  if (aOpcode >= 0 && aOpcode <= kMaxIndexedOpcode) {
    return static_cast<size_t>(aOpcode) < fNodeDefByOpcode.size() ? fNodeDefByOpcode[aOpcode] : nullptr;
  }
  auto found = fNodeDefs.find(aOpcode);
  return found != fNodeDefs.end() ? found->second : nullptr;
}

CG_NodeDef*& CG_Ctx::nodeDefSlot(int aOpcode) {
  if (aOpcode >= 0 && aOpcode <= kMaxIndexedOpcode) {
    if (static_cast<size_t>(aOpcode) >= fNodeDefByOpcode.size()) {
      fNodeDefByOpcode.resize(static_cast<size_t>(aOpcode) + 1, nullptr);
    }
    return fNodeDefByOpcode[aOpcode];
  }
  return fNodeDefs[aOpcode];
}

void CG_Ctx::registerNodeDef(CG_NodeDef* aDef) {
  CG_ASSERT(aDef != nullptr, "ir/ctx.cpp");
  CG_NodeDef*& slot = nodeDefSlot(aDef->opcode());
  if (slot != nullptr) {
    std::replace(fNodeDefList.begin(), fNodeDefList.end(), slot, aDef);
  } else {
    fNodeDefList.push_back(aDef);
  }
  slot = aDef;
}

CG::IntrinsicFcn* CG_Ctx::findIntrinsicFcn(const char* aName) const {
  for (CG::IntrinsicFcn* fcn : fIntrinsicFcns) {
    if (cg_strcmp(fcn->name(), aName) == 0) {
      return fcn;
    }
  }
  return nullptr;
}

CG::LibraryFcn* CG_Ctx::findLibraryFcn(const char* aName) const {
  for (CG::LibraryFcn* fcn : fLibraryFcns) {
    if (cg_strcmp(fcn->name(), aName) == 0) {
      return fcn;
    }
  }
  return nullptr;
}

CG::TagHandler* CG_Ctx::handler(CG::Tag::Kind aKind) const {
  for (CG::TagHandler* handler : fHandlers) {
    if (handler->kind() == aKind) {
      return handler;
    }
  }
  return nullptr;
}

void CG_Ctx::setTagList(const CG_Obj* aObj, CG::TagLink* aList) {
  if (aList != nullptr) {
    fTagLists.put(aObj, aList);
  } else {
    fTagLists.remove(aObj);
  }
}

void CG_Ctx::registerHandler(CG::TagHandler* aHandler) {
  CG_ASSERT(aHandler != nullptr, "ir/ctx.cpp");
  if (std::find(fHandlers.begin(), fHandlers.end(), aHandler) == fHandlers.end()) {
    fHandlers.push_back(aHandler);
  }
}

void CG_Ctx::unregisterHandler(CG::TagHandler* aHandler) {
  fHandlers.erase(std::remove(fHandlers.begin(), fHandlers.end(), aHandler), fHandlers.end());
}

namespace {

struct IntrinsicDesc {
  const char* name;
  int numInputs;
  bool realizedInIR;
};

// Math intrinsics on double; abs, min and max expand to IR operators, the rest are calls.
constexpr IntrinsicDesc kIntrinsics[] = {
    {"sqrt", 1, false}, {"abs", 1, true},    {"sin", 1, false},  {"cos", 1, false}, {"exp", 1, false},
    {"log", 1, false},  {"floor", 1, false}, {"ceil", 1, false}, {"min", 2, true},  {"max", 2, true},
};

} // namespace

// memcpy(void* dst, readonly void* src, uint64 n) -> void*; memset(void* dst, int32 c, uint64 n) -> void*.
void CG_Ctx::createBuiltinFcns() {
  CG::Scope* builtins = fReservedScopes[0];
  CG::TypeFactory types(this);
  CG::Type* doubleType = types.doubleType();
  int code = 0;
  for (const IntrinsicDesc& desc : kIntrinsics) {
    char* name = cgString(desc.name);
    auto* intrinsic = fPool->make<CG::Intrinsic>(name, code++);
    auto* fcn = fPool->make<CG::IntrinsicFcn>(this, builtins, name, intrinsic, desc.realizedInIR);
    builtins->addSymbol(fcn);
    fcn->addInput(doubleType, "x");
    if (desc.numInputs == 2) {
      fcn->addInput(doubleType, "y");
    }
    fcn->addOutput(doubleType, "y0");
    fIntrinsicFcns.push_back(fcn);
  }
  CG::Type* voidPointer = types.pointerType(types.voidType());
  CG::Type* readonlyVoidPointer = types.pointerType(types.qualifiedType(types.voidType(), true, false));
  CG::Type* secondInput[] = {readonlyVoidPointer, types.signedInt32Type()};
  const char* names[] = {"memcpy", "memset"};
  for (int index = 0; index < 2; ++index) {
    char* name = cgString(names[index]);
    auto* intrinsic = fPool->make<CG::AlgorithmIntrinsic>(name, index);
    auto* fcn = fPool->make<CG::LibraryFcn>(this, builtins, name, intrinsic);
    builtins->addSymbol(fcn);
    fcn->addInput(voidPointer, "dst");
    fcn->addInput(secondInput[index], index == 0 ? "src" : "c");
    fcn->addInput(types.unsignedInt64Type(), "n");
    fcn->addOutput(voidPointer, "y0");
    fLibraryFcns.push_back(fcn);
  }
}

CG_NodeDef* cg_ctx_def(CG_Ctx* aCtx, int aOpcode) {
  return aCtx->nodeDef(aOpcode);
}
