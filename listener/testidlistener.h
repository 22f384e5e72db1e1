// "test_id" annotations: an identifier tag that tests use to find IR objects.
#pragma once

#include "listener/emitterlistener.h"

class CG_Ctx;
class CG_Obj;

namespace CG {

class TestIdListener : public QulEmitterListener {
public:
  explicit TestIdListener(CG_Ctx* aCategory) : fCategory(aCategory) {}

  void addString(Var* aVar, std::vector<std::string>* aStrings) override;
  void addString(Type* aType, std::vector<std::string>* aStrings) override;
  void addString(Expr* aExpr, std::vector<std::string>* aStrings) override;
  void addString(Const* aConst, std::vector<std::string>* aStrings) override;

private:
  void addIdOf(CG_Obj* aObj, std::vector<std::string>* aStrings);

  bool fCategoryRegistered = false;
  CG_Ctx* fCategory;
};

} // namespace CG
