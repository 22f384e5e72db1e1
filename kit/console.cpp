// Console output and null-tolerant C string helpers.
#include "kit/console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int voxPrintf(const char* aFormat, ...) {
  va_list arguments;
  va_start(arguments, aFormat);
  int written = std::vprintf(aFormat, arguments);
  va_end(arguments);
  std::fflush(stdout);
  return written;
}

const char* lcp_strchr(const char* aText, int aChar) {
  if (!aText)
    return nullptr;
  return std::strchr(aText, aChar);
}
