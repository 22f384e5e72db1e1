// Function builder: collects a function's kind, name, inputs and outputs, then creates it.
#include "ir/fcnbuilder.h"

#include "ir/cfg.h"
#include "ir/scope.h"
#include "ir/symbol.h"

namespace CG {

Fcn* FcnBuilder::createFcn() const {
  switch (fKind) {
  case Kind::FUNCTION:
    return Fcn::create(fScope, fName);
  case Kind::METHOD:
    return MethodConst::create(fScope, fName, fClass, MethodConst::METHOD, VISIBILITY_PUBLIC);
  case Kind::PROTOTYPE:
    return CorePrototype::create(fScope, fName);
  }
  return nullptr;
}

Fcn* FcnBuilder::build() {
  Fcn* fcn = createFcn();
  for (Var* input : fInputs) {
    fcn->ioScope()->addSymbol(input);
    fcn->addInputVar(input);
  }
  for (Var* output : fOutputs) {
    fcn->ioScope()->addSymbol(output);
    fcn->addOutputVar(output);
  }
  if (fKind != Kind::PROTOTYPE) {
    fcn->createCfg();
  }
  return fcn;
}

} // namespace CG
