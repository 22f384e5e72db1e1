// Seeded generator of random, well-formed IR modules for the emitter's property tests and benchmarks.
#pragma once

#include <cstdint>
#include <string>

class CG_Ctx;

namespace quilltest {

struct IrGenOptions {
  uint64_t seed = 1;
  // About the number of statements generated over all function bodies.
  int size = 100;
  // Adds graphs that only goto/label text can express: shared labels, backward jumps, jumps into and out of
  // branches and loops, merge chains.
  bool unstructured = false;
  // Puts a counted plain statement after every unstructured graph and at the start of every non-empty part of
  // one, so that no jump of a graph lands on a join followed by another join or by a loop head.
  bool separateJoins = false;
  // Sets flags, origins and parallel-loop flags (printed as annotations). Turning it off keeps the same module
  // otherwise: the random choices are still drawn.
  bool annotations = true;
};

// Every counted statement carries one marker that appears nowhere else in the module's text: "s<k>" in
// comments and literal text, the integer kMarkerBase + k in init, assignment and call statements.
constexpr long long kMarkerBase = 1000000000;

struct IrGenSummary {
  // Markers 0 .. numMarkedStmts - 1 were each given to exactly one statement.
  int numMarkedStmts = 0;
  int numFcns = 0;
};

// Fills the context's global scope: named types of every kind, named constants, module variables with flags and
// origins, a nested scope, and functions whose bodies nest control flow. The same options give the same module.
IrGenSummary generateModule(CG_Ctx* aCtx, const IrGenOptions& aOptions);

} // namespace quilltest

namespace quilltest {

// The text of a generated module (structured and unstructured bodies, no annotations, so that it also parses) of
// about aTargetBytes, as the emitter prints it. The statement count is scaled from a sample module.
std::string generateModuleText(uint64_t aSeed, double aTargetBytes);

} // namespace quilltest
