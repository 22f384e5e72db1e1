// Base of every IR object: kind id, owning context, traversal flags and tags.
#pragma once

#include <cstdint>

#include "ir/logger.h"
#include "ir/tag.h"

enum CG_ObjId {
  CG_TYPE = 1,
  CG_CONST = 2,
  CG_VAR = 3,
  CG_SYMBOLIC_SIZE = 4,
  CG_SCOPE = 5,
  CG_CFG = 8,
  CG_NODE = 10,
  CG_NODEDEF = 11
};

class CG_Ctx;
class CG_NodeDef;

class CG_Obj {
public:
  CG_Obj(const CG_Obj&) = delete;
  CG_Obj& operator=(const CG_Obj&) = delete;

  CG_ObjId id() const { return static_cast<CG_ObjId>(fId); }
  CG_Ctx* ctx() const;

  void markVisited() { fFlags |= kVisited; }
  void clearVisited() { fFlags &= ~kVisited; }
  bool visited() const { return (fFlags & kVisited) != 0; }
  void markDone() { fFlags |= kDone; }
  void clearDone() { fFlags &= ~kDone; }
  bool done() const { return (fFlags & kDone) != 0; }
  void copyFlagsFrom(const CG_Obj* aOther) { fFlags = aOther->fFlags; }

  // At most one tag per kind; adding a tag of a kind already present replaces it.
  CG::Tag* tag(CG::Tag::Kind aKind) const;
  void addTag(CG::Tag* aTag);
  bool removeTag(CG::Tag::Kind aKind);

protected:
  // Asks the context's tag handlers for the tags every new object gets.
  CG_Obj(CG_ObjId aId, CG_Ctx* aCtx);
  // Objects are destroyed as their own class (a pool keeps a typed finalizer), never through this base.
  ~CG_Obj() = default;

private:
  static constexpr uint8_t kVisited = 1;
  static constexpr uint8_t kDone = 2;

  CG::TagLink* tagList() const;
  void addTagIn(CG_Ctx* aCtx, CG::Tag* aTag);

  // Three bytes, and a fourth for the derived class: the fields of the derived class start right behind.
  uint8_t fId;
  uint8_t fFlags = 0;
  // The context holds a tag list for this object. A list left behind by an object that died before
  // this one took its memory is never read: this object starts without.
  bool fHasTags = false;

protected:
  // Nodes keep their kind here, and constants whether they are functions: the byte is one that the next four-byte
  // field would leave as padding.
  uint8_t fSubclassByte = 0;
};

// Base of every object that keeps its context itself. Nodes do not: they are by far the most numerous
// objects, and they reach the context through their definition.
class CG_CtxObj : public CG_Obj {
public:
  CG_Ctx* ctx() const { return fCtx; }

protected:
  CG_CtxObj(CG_ObjId aId, CG_Ctx* aCtx) : CG_Obj(aId, aCtx), fCtx(aCtx) {}
  ~CG_CtxObj() = default;

  // Four bytes that the base's header leaves before the context pointer, for the derived class's own flags: a
  // module holds very many symbols, and a field of their own would take a word in each.
  uint32_t fDerivedFlags = 0;

private:
  CG_Ctx* fCtx;
};

namespace CG {

[[noreturn]] void failedCast(const CG_Obj* aObj, const char* aClassName);

// cast() support: null passes through, an object of another class is an assertion failure.
template <class T> T* checkedCast(CG_Obj* aObj, const char* aClassName) {
  if (aObj != nullptr && !T::isa(aObj)) {
    failedCast(aObj, aClassName);
  }
  return static_cast<T*>(aObj);
}

template <class T> const T* checkedCast(const CG_Obj* aObj, const char* aClassName) {
  if (aObj != nullptr && !T::isa(aObj)) {
    failedCast(aObj, aClassName);
  }
  return static_cast<const T*>(aObj);
}

} // namespace CG

#define CG_DECLARE_CASTS(aClass)                                                                                       \
  static aClass* cast(CG_Obj* aObj) {                                                                                  \
    return ::CG::checkedCast<aClass>(aObj, #aClass);                                                                   \
  }                                                                                                                    \
  static const aClass* cast(const CG_Obj* aObj) {                                                                      \
    return ::CG::checkedCast<aClass>(aObj, #aClass);                                                                   \
  }
