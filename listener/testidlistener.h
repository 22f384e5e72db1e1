// "test_id" annotations: an identifier tag that tests use to find IR objects.
#pragma once

#include "listener/emitterlistener.h"
#include "listener/parserlistener.h"

class CG_Ctx;
class CG_Obj;

namespace CG {

class TestIdListener : public QulEmitterListener, public QulParserListener {
public:
  explicit TestIdListener(CG_Ctx* aCategory) : fCategory(aCategory) {}

  void addString(Var* aVar, std::vector<std::string>* aStrings) override;
  void addString(Type* aType, std::vector<std::string>* aStrings) override;
  void addString(Expr* aExpr, std::vector<std::string>* aStrings) override;
  void addString(Const* aConst, std::vector<std::string>* aStrings) override;

  // Parse side: a "test_id" string names the object it annotates.
  const char* tag() override { return "test_id"; }

protected:
  void registerValue(CG_Obj* aObj, QulOptionalParameterValue* aValue) override;

private:
  void addIdOf(CG_Obj* aObj, std::vector<std::string>* aStrings);

  bool fCategoryRegistered = false;
  CG_Ctx* fCategory;
};

} // namespace CG
