// Stack bounds of the current thread, found once per thread.
#include "emit/stackroom.h"

#include <pthread.h>

#include <algorithm>
#include <cstddef>

namespace CG {

namespace {

// A quarter of the stack, at most 256 KB, stays below the floor: several times what the deepest step
// between two checks needs, sanitizer builds included.
constexpr size_t kMaxReserve = size_t{256} << 10;

} // namespace

StackRoom StackRoom::ofThisThread() {
  thread_local const StackRoom room = [] {
    StackRoom found;
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
      return found;
    void* bottom = nullptr;
    size_t size = 0;
    if (pthread_attr_getstack(&attributes, &bottom, &size) == 0 && bottom != nullptr) {
      found.fBottom = static_cast<const char*>(bottom);
      found.fFloor = found.fBottom + std::min(size / 4, kMaxReserve);
    }
    pthread_attr_destroy(&attributes);
    return found;
  }();
  return room;
}

} // namespace CG
