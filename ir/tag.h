// Tags attached to IR objects: source locations, origins, test ids, generic categories.
#pragma once

#include <string>

class CG_Ctx;
class CG_Obj;
class MemPool;

namespace CG {

class Tag {
public:
  enum Kind { GENERIC = 1, SOURCE_LOCATION = 2, ORIGIN = 3, TEST_ID = 4 };
  virtual ~Tag();
  virtual Kind kind() const { return GENERIC; }
};

// One entry of an object's tag list (the context keeps the lists).
struct TagLink {
  Tag* tag;
  TagLink* next;
};

class TagSourceLocationVisitor;

// A location in the client's source. The virtual order is part of the interface.
class TagSourceLocation : public Tag {
public:
  Kind kind() const override { return SOURCE_LOCATION; }
  virtual std::string toPrettyPrintString() const = 0;
  virtual int getLocationType() const = 0;
  virtual std::string toString() const = 0;
  virtual std::string getSIDStr() const = 0;
  virtual std::string getNAGStr() const = 0;
  virtual std::string getTraceStr() const = 0;
  virtual TagSourceLocation* clone(MemPool* aPool) const = 0;
  virtual std::string getSourceBlockFullPath() const = 0;
  virtual void accept(TagSourceLocationVisitor* aVisitor) = 0;
};

class TagSourceLocationVisitor {
public:
  virtual ~TagSourceLocationVisitor();
  virtual void visit(TagSourceLocation* aTag) = 0;
};

class TagCreator {
public:
  virtual ~TagCreator();
  virtual Tag* create(MemPool* aPool, CG_Obj* aObj) = 0;
  virtual Tag::Kind kind() const = 0;
};

class TagHandler {
public:
  virtual ~TagHandler();
  virtual Tag::Kind kind() const { return Tag::GENERIC; }
  // Tag for a new object of the context, or null. Called from the CG_Obj constructor, so
  // the object is not fully built yet.
  virtual Tag* tagForNewObject(MemPool* aPool, CG_Obj* aObj);
};

// While a creator is set, every new object of the context gets the tag the creator makes.
// The creator is not owned.
class TagHandlerForSourceLocation : public TagHandler {
public:
  Tag::Kind kind() const override { return Tag::SOURCE_LOCATION; }
  void setCreator(TagCreator* aCreator) { fCreator = aCreator; }
  void resetCreator() { fCreator = nullptr; }
  TagCreator* creator() const { return fCreator; }
  Tag* tagForNewObject(MemPool* aPool, CG_Obj* aObj) override;

private:
  TagCreator* fCreator = nullptr;
};

class OriginTag : public Tag {
public:
  enum Origin { COMPILER = 0, LIBRARY = 1, USER = 2 };
  explicit OriginTag(int aOrigin) : fOrigin(aOrigin) {}
  Kind kind() const override { return ORIGIN; }
  int value() const { return fOrigin; }

  // 0 (COMPILER) when untagged; any int is stored as given.
  static int origin(CG_Obj* aObj);
  static void setOrigin(CG_Obj* aObj, int aOrigin);

private:
  int fOrigin;
};

// A name given to an object by a test so it can be found again in its context.
class TestIdTag : public Tag {
public:
  explicit TestIdTag(const std::string& aId) : fId(aId) {}
  Kind kind() const override { return TEST_ID; }
  const std::string& value() const { return fId; }

  static void setId(CG_Obj* aObj, const std::string& aId);
  static const std::string* id(CG_Obj* aObj);
  static CG_Obj* find(CG_Ctx* aCtx, const std::string& aId);

private:
  std::string fId;
};

class GenericTagCategory {
public:
  static bool categoryIsRegistered(CG_Ctx* aCtx, const std::string& aCategory);
  static void registerCategory(CG_Ctx* aCtx, const std::string& aCategory);
};

} // namespace CG

void cg_ctx_register_handler(CG_Ctx* aCtx, CG::TagHandler* aHandler);
void cg_ctx_unregister_handler(CG_Ctx* aCtx, CG::TagHandler* aHandler);
