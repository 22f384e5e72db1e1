// Function builder: collects a function's kind, name, inputs and outputs, then creates it.
#pragma once

#include <vector>

namespace CG {

class ClassType;
class Fcn;
class Scope;
class Var;

class FcnBuilder {
public:
  enum class Kind { FUNCTION, METHOD, PROTOTYPE };

  FcnBuilder(Scope* aScope, const char* aName, Kind aKind) : fScope(aScope), fName(aName), fKind(aKind) {}

  Scope* scope() const { return fScope; }
  const char* name() const { return fName; }
  Kind kind() const { return fKind; }
  void setOwningClass(ClassType* aClass) { fClass = aClass; }
  ClassType* owningClass() const { return fClass; }
  // Parameters are existing variables; they move into the function's input/output scope.
  void addInput(Var* aVar) { fInputs.push_back(aVar); }
  void addOutput(Var* aVar) { fOutputs.push_back(aVar); }
  const std::vector<Var*>& inputs() const { return fInputs; }
  const std::vector<Var*>& outputs() const { return fOutputs; }

  // Creates the function in the scope; a function or method also gets its graph.
  Fcn* build();

private:
  Fcn* createFcn() const;

  Scope* fScope;
  const char* fName;
  Kind fKind;
  ClassType* fClass = nullptr;
  std::vector<Var*> fInputs;
  std::vector<Var*> fOutputs;
};

} // namespace CG
