// Base of the emit-side annotation listeners: each adds finished optional-parameter items for an object.
#pragma once

#include <string>
#include <vector>

namespace CG {

class Const;
class Expr;
class Type;
class Var;

class QulEmitterListener {
public:
  virtual ~QulEmitterListener() = default;
  virtual void addString(Var* aVar, std::vector<std::string>* aStrings) = 0;
  virtual void addString(Type* aType, std::vector<std::string>* aStrings) = 0;
  virtual void addString(Expr* aExpr, std::vector<std::string>* aStrings) = 0;
  virtual void addString(Const* aConst, std::vector<std::string>* aStrings) = 0;
};

// A listener that serves only some object kinds derives from this and overrides those.
class QulEmitterListenerDefaults : public QulEmitterListener {
public:
  void addString(Var*, std::vector<std::string>*) override {}
  void addString(Type*, std::vector<std::string>*) override {}
  void addString(Expr*, std::vector<std::string>*) override {}
  void addString(Const*, std::vector<std::string>*) override {}
};

} // namespace CG
