// What the library accepts but the quill tool refuses, because the text it would print is wrong.
#pragma once

#include <string>

#include "emit/emitter.h"
#include "ir/containers.h"

class CG_Ctx;
class CG_Obj;

namespace CG {
class Fcn;
class Stmt;
} // namespace CG

namespace quilltool {

// A goto whose function defines no such label stays in the graph as a placeholder that cannot be printed.
class DanglingGotos {
public:
  // aFcn's graph is final: its statements are looked at now, while they are likely in the cache.
  void lookIn(CG::Fcn* aFcn);
  // The message for the first one in the module, its functions in scope order, placed when the goto carries
  // its source location; empty when there is none. The functions not looked in yet are looked in now.
  std::string message(CG_Ctx& aCtx);

private:
  CG::Stmt* firstGoto(CG::Fcn* aFcn);

  CG::IdSet<CG::Fcn*> fLookedIn;
  // The first function looked in that holds one, and the goto.
  CG::Fcn* fFcn = nullptr;
  CG::Stmt* fGoto = nullptr;
};

// The text emitQuillEx writes, and what went wrong while writing it. The emitter puts a note in the place of a
// function it cannot print and goes on; a failure outside a function ends the text early.
struct CheckedEmission {
  std::string text;
  // "function 'f': reason" or the reason alone; empty when everything printed.
  std::string failure;
};
CheckedEmission emitChecked(CG_Obj* aObj, const CG::QulEmitterOptions& aOptions);

} // namespace quilltool
