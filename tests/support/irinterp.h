// Runs function graphs of a small int32 subset (assignments, ifs, switches, loops, joins) to compare their meaning.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace CG {
class Fcn;
} // namespace CG

namespace quilltest {

// Meaning of the subset, shared by every interpreter of it:
// - int32 values; + - * and unary - wrap at 32 bits; comparisons are signed and give 1 or 0;
// - a for loop's head assigns the start when entered and adds the step when its body comes back; its test
//   continues while index <= end (step >= 0) or index >= end (step < 0): both bounds are inclusive;
// - a switch takes the first case whose value equals its operand, else the default.
// A run counts events: assignments, tests, and a for loop's start and step. Jumps and joins are free, so the same
// program gives the same count whichever way its control flow is laid out.
enum class RunEnd {
  Finished,
  OutOfEvents, // the event budget ran out: the values are those after the last event allowed
  Spins,       // control went round a cycle without any event: it would never stop
  Broken       // the graph holds something outside the subset or leaves a port unconnected
};

struct RunResult {
  RunEnd end = RunEnd::Finished;
  long events = 0;
  // In the order of RunSetup::names.
  std::vector<int32_t> values;
  // What could not be run (Broken only).
  std::string problem;

  bool operator==(const RunResult& aOther) const {
    return end == aOther.end && events == aOther.events && values == aOther.values && problem == aOther.problem;
  }
  bool operator!=(const RunResult& aOther) const { return !(*this == aOther); }
};

struct RunSetup {
  std::vector<std::string> names;
  std::vector<int32_t> initial;
  long eventBudget = 0;
};

// "finished after 12 events: a=1 b=2 r=3", for failure messages.
std::string describe(const RunResult& aResult, const std::vector<std::string>& aNames);

// The value of a binary operator of the subset (its CG::OP number) on two values.
int32_t applyBinary(int aOpcode, int32_t aLeft, int32_t aRight);
bool isBinaryOfSubset(int aOpcode);

// Counts events and watches for cycles without events over a program of aPositions places.
class RunMeter {
public:
  RunMeter(long aEventBudget, size_t aPositions) : fBudget(aEventBudget), fPositions(aPositions) {}
  // False when the budget is spent: the event must not happen.
  bool allowEvent();
  // False when more free steps have passed since the last event than there are places to be.
  bool allowFreeStep();
  long events() const { return fEvents; }

private:
  long fBudget;
  size_t fPositions;
  long fEvents = 0;
  size_t fFreeSteps = 0;
};

// Runs the function's graph from its start statement with the named variables set to their initial values.
RunResult runFcnGraph(CG::Fcn* aFcn, const RunSetup& aSetup);

} // namespace quilltest
