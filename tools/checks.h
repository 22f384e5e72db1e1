// What the library accepts but the quill tool refuses, because the text it would print is wrong.
#pragma once

#include <string>

#include "emit/emitter.h"

class CG_Ctx;
class CG_Obj;

namespace quilltool {

// A goto whose function defines no such label stays in the graph as a placeholder that cannot be printed. The
// message for the first one, placed when the goto carries its source location; empty when there is none.
std::string danglingGotoMessage(CG_Ctx& aCtx);

// The text emitQuillEx writes, and what went wrong while writing it. The emitter puts a note in the place of a
// function it cannot print and goes on; a failure outside a function ends the text early.
struct CheckedEmission {
  std::string text;
  // "function 'f': reason" or the reason alone; empty when everything printed.
  std::string failure;
};
CheckedEmission emitChecked(CG_Obj* aObj, const CG::QulEmitterOptions& aOptions);

} // namespace quilltool
