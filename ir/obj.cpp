// CG_Obj: tags from the context's handlers, tag list, checked casts.
#include "ir/obj.h"

#include <string>

#include "ir/ctx.h"

CG_Obj::CG_Obj(CG_ObjId aId, CG_Ctx* aCtx) : fCtx(aCtx), fId(aId) {
  if (aCtx == nullptr) {
    return;
  }
  for (CG::TagHandler* handler : aCtx->handlers()) {
    CG::Tag* tag = handler->tagForNewObject(aCtx->pool(), this);
    if (tag != nullptr) {
      addTag(tag);
    }
  }
}

CG_Obj::~CG_Obj() = default;

CG::TagLink* CG_Obj::tagList() const {
  return fHasTags ? fCtx->tagList(this) : nullptr;
}

CG::Tag* CG_Obj::tag(CG::Tag::Kind aKind) const {
  for (CG::TagLink* link = tagList(); link != nullptr; link = link->next) {
    if (link->tag->kind() == aKind) {
      return link->tag;
    }
  }
  return nullptr;
}

void CG_Obj::addTag(CG::Tag* aTag) {
  CG_ASSERT(aTag != nullptr, "ir/obj.cpp");
  CG::TagLink* list = tagList();
  for (CG::TagLink* link = list; link != nullptr; link = link->next) {
    if (link->tag->kind() == aTag->kind()) {
      link->tag = aTag;
      return;
    }
  }
  CG_ASSERT_MSG(fCtx != nullptr, "ir/obj.cpp", "tagged object has a context");
  fCtx->setTagList(this, fCtx->pool()->make<CG::TagLink>(CG::TagLink{aTag, list}));
  fHasTags = true;
}

bool CG_Obj::removeTag(CG::Tag::Kind aKind) {
  CG::TagLink* list = tagList();
  for (CG::TagLink** link = &list; *link != nullptr; link = &(*link)->next) {
    if ((*link)->tag->kind() == aKind) {
      *link = (*link)->next;
      fCtx->setTagList(this, list);
      fHasTags = list != nullptr;
      return true;
    }
  }
  return false;
}

namespace CG {

void failedCast(const CG_Obj*, const char* aClassName) {
  std::string expression = std::string("object is a ") + aClassName;
  // The exception copies the text before this frame unwinds.
  client_assertion_failed("ir/obj.h", __LINE__, expression.c_str());
}

} // namespace CG
