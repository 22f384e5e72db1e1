// How much of the current thread's stack a recursive walk may still use.
#pragma once

#include <stdexcept>

namespace CG {

// Thrown when a construct nests deeper than the stack left to the emitter can print.
class QulNestingTooDeep : public std::runtime_error {
public:
  QulNestingTooDeep() : std::runtime_error("nesting too deep to print: the thread's stack is nearly used up") {}
};

// The bottom of the current thread's stack and, above it, the floor a recursive walk must not go below: the
// room left under the floor serves the calls one step makes and the unwinding of an exception. A walk on a
// stack the thread does not own (a fiber's) is never stopped, since its bounds are unknown.
class StackRoom {
public:
  static StackRoom ofThisThread();

  bool isNearlyUsedUp() const {
    const char* frame = static_cast<const char*>(__builtin_frame_address(0));
    return frame >= fBottom && frame < fFloor;
  }

private:
  const char* fBottom = nullptr;
  const char* fFloor = nullptr;
};

} // namespace CG
