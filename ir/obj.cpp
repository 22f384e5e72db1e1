// CG_Obj: tags from the context's handlers, tag list, checked casts.
#include "ir/obj.h"

#include <string>

#include "ir/ctx.h"
#include "ir/node.h"

// The derived class is not built yet, so the tags go in through the context given here.
CG_Obj::CG_Obj(CG_ObjId aId, CG_Ctx* aCtx) : fId(aId) {
  if (aCtx == nullptr) {
    return;
  }
  for (CG::TagHandler* handler : aCtx->handlers()) {
    CG::Tag* tag = handler->tagForNewObject(aCtx->pool(), this);
    if (tag != nullptr) {
      addTagIn(aCtx, tag);
    }
  }
}

CG_Ctx* CG_Obj::ctx() const {
  return fId == CG_NODE ? static_cast<const CG::Node*>(this)->ctx() : static_cast<const CG_CtxObj*>(this)->ctx();
}

CG::TagLink* CG_Obj::tagList() const {
  return fHasTags ? ctx()->tagList(this) : nullptr;
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
  addTagIn(ctx(), aTag);
}

void CG_Obj::addTagIn(CG_Ctx* aCtx, CG::Tag* aTag) {
  CG_ASSERT(aTag != nullptr, "ir/obj.cpp");
  CG_ASSERT_MSG(aCtx != nullptr, "ir/obj.cpp", "tagged object has a context");
  CG::TagLink* list = fHasTags ? aCtx->tagList(this) : nullptr;
  for (CG::TagLink* link = list; link != nullptr; link = link->next) {
    if (link->tag->kind() == aTag->kind()) {
      link->tag = aTag;
      return;
    }
  }
  aCtx->setTagList(this, aCtx->pool()->make<CG::TagLink>(CG::TagLink{aTag, list}));
  fHasTags = true;
}

bool CG_Obj::removeTag(CG::Tag::Kind aKind) {
  CG::TagLink* list = tagList();
  for (CG::TagLink** link = &list; *link != nullptr; link = &(*link)->next) {
    if ((*link)->tag->kind() == aKind) {
      *link = (*link)->next;
      ctx()->setTagList(this, list);
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
