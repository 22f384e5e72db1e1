// Tag kinds, tag handlers and the origin, test id and category helpers.
#include "ir/tag.h"

#include "ir/ctx.h"
#include "ir/obj.h"

namespace CG {

Tag::~Tag() = default;
TagSourceLocationVisitor::~TagSourceLocationVisitor() = default;
TagCreator::~TagCreator() = default;
TagHandler::~TagHandler() = default;

Tag* TagHandler::tagForNewObject(MemPool*, CG_Obj*) {
  return nullptr;
}

Tag* TagHandlerForSourceLocation::tagForNewObject(MemPool* aPool, CG_Obj* aObj) {
  return fCreator != nullptr ? fCreator->create(aPool, aObj) : nullptr;
}

int OriginTag::origin(CG_Obj* aObj) {
  auto* tag = aObj != nullptr ? static_cast<OriginTag*>(aObj->tag(Tag::ORIGIN)) : nullptr;
  return tag != nullptr ? tag->value() : COMPILER;
}

void OriginTag::setOrigin(CG_Obj* aObj, int aOrigin) {
  CG_ASSERT(aObj != nullptr, "ir/tag.cpp");
  aObj->addTag(aObj->ctx()->pool()->make<OriginTag>(aOrigin));
}

void TestIdTag::setId(CG_Obj* aObj, const std::string& aId) {
  CG_ASSERT(aObj != nullptr, "ir/tag.cpp");
  auto& ids = aObj->ctx()->testIds();
  if (const std::string* previous = id(aObj)) {
    ids.erase(*previous);
  }
  aObj->addTag(aObj->ctx()->pool()->make<TestIdTag>(aId));
  ids[aId] = aObj;
}

const std::string* TestIdTag::id(CG_Obj* aObj) {
  auto* tag = aObj != nullptr ? static_cast<TestIdTag*>(aObj->tag(Tag::TEST_ID)) : nullptr;
  return tag != nullptr ? &tag->value() : nullptr;
}

CG_Obj* TestIdTag::find(CG_Ctx* aCtx, const std::string& aId) {
  auto found = aCtx->testIds().find(aId);
  return found != aCtx->testIds().end() ? found->second : nullptr;
}

bool GenericTagCategory::categoryIsRegistered(CG_Ctx* aCtx, const std::string& aCategory) {
  return aCtx->genericTagCategories().count(aCategory) != 0;
}

void GenericTagCategory::registerCategory(CG_Ctx* aCtx, const std::string& aCategory) {
  aCtx->genericTagCategories().insert(aCategory);
}

} // namespace CG

void cg_ctx_register_handler(CG_Ctx* aCtx, CG::TagHandler* aHandler) {
  aCtx->registerHandler(aHandler);
}

void cg_ctx_unregister_handler(CG_Ctx* aCtx, CG::TagHandler* aHandler) {
  aCtx->unregisterHandler(aHandler);
}
