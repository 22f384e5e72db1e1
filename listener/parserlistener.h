// Base of the parse-side listeners: each answers one annotation tag and may help build IR objects.
#pragma once

#include <vector>

#include "ir/strings.h"
#include "lang/optparam.h"

class CG_Obj;

namespace CG {

class Expr;
class FcnBuilder;
class SeseStmt;
class Type;
class TypeBuilder;

using QulParserParams = std::vector<QulOptionalParameter*>;
using QulParserExprs = std::vector<Expr*>;

class QulParserListener {
public:
  virtual void start() {}
  virtual void objPreConstr(FcnBuilder*, QulParserParams*) {}
  virtual void objConstr(CG_Obj* aObj, QulOptionalParameter* aParam) {
    if (cg_strcmp(aParam->tag(), tag()) == 0) {
      registerValue(aObj, aParam->value());
    }
  }
  virtual void objConstrEnd(CG_Obj*) {}
  virtual Expr* exprConstr(const char*, QulParserExprs*, Type*) { return nullptr; }
  virtual SeseStmt* seseStmtConstr(const char*, QulParserExprs*) { return nullptr; }
  virtual void typeDefn(TypeBuilder*, QulParserParams*) {}
  virtual void end() {}
  virtual ~QulParserListener() = default;
  virtual const char* tag() = 0;

protected:
  virtual void registerValue(CG_Obj* aObj, QulOptionalParameterValue* aValue) = 0;
};

} // namespace CG
