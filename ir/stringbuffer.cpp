// Text builder: appends, printf formatting, escape expansion and round-trip doubles.
#include "ir/stringbuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ir/mempool.h"

namespace CG {

namespace {

// Fewest significant digits (1..17) whose %.*g text reads back as exactly aValue.
std::string shortestRoundTrip(double aValue) {
  char text[40];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, aValue);
    if (std::strtod(text, nullptr) == aValue) {
      break;
    }
  }
  return text;
}

bool looksLikeFloat(const std::string& aText) {
  return aText.find_first_of(".eE") != std::string::npos;
}

int hexDigitValue(char aChar) {
  if (aChar >= '0' && aChar <= '9') {
    return aChar - '0';
  }
  if (aChar >= 'a' && aChar <= 'f') {
    return aChar - 'a' + 10;
  }
  if (aChar >= 'A' && aChar <= 'F') {
    return aChar - 'A' + 10;
  }
  return -1;
}

// The byte a single-character escape stands for, or -1 when the character is not one.
int simpleEscape(char aChar) {
  switch (aChar) {
  case 'n':
    return '\n';
  case 't':
    return '\t';
  case '\\':
    return '\\';
  case '\'':
    return '\'';
  case '"':
    return '"';
  case 'a':
    return '\a';
  case 'b':
    return '\b';
  case 'f':
    return '\f';
  case 'r':
    return '\r';
  case 'v':
    return '\v';
  case '?':
    return '?';
  }
  return -1;
}

} // namespace

std::string doubleToText(double aValue) {
  if (std::isnan(aValue)) {
    return "NaN";
  }
  if (std::isinf(aValue)) {
    return aValue > 0 ? "Inf" : "-Inf";
  }
  std::string text = shortestRoundTrip(aValue);
  if (!looksLikeFloat(text)) {
    text += ".0";
  }
  return text;
}

StringBuffer& StringBuffer::append(long long aValue) {
  return append(std::to_string(aValue));
}

StringBuffer& StringBuffer::append(unsigned long long aValue) {
  return append(std::to_string(aValue));
}

StringBuffer& StringBuffer::append(double aValue, bool, bool) {
  return append(doubleToText(aValue));
}

StringBuffer& StringBuffer::appendf(const char* aFormat, ...) {
  va_list args;
  va_start(args, aFormat);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, aFormat, copy);
  va_end(copy);
  if (length > 0) {
    // vsnprintf writes a null byte after the text: one byte more than the text keeps.
    size_t size = static_cast<size_t>(length);
    std::vsnprintf(room(size + 1), size + 1, aFormat, args);
    chop();
  }
  va_end(args);
  return *this;
}

std::string StringBuffer::release() {
  fStorage.resize(fLength);
  fLength = 0;
  std::string text = std::move(fStorage);
  fStorage.clear();
  return text;
}

// A long text is then written with one page fault per huge page.
void StringBuffer::reserve(size_t aBytes) {
  fStorage.reserve(aBytes);
  adviseHugePages(fStorage.data(), fStorage.capacity());
}

// Capacity doubles, which keeps appends amortized constant, and a new block is offered huge pages. Room within
// the capacity is made a slice at a time, because making room writes zeros: memory is touched only as the text
// nears it, not a whole doubling ahead.
void StringBuffer::grow(size_t aCount) {
  constexpr size_t kMinSlice = 64;
  constexpr size_t kMaxSlice = size_t{1} << 20;
  size_t needed = fLength + aCount;
  if (needed > fStorage.capacity()) {
    reserve(std::max(needed, 2 * fStorage.capacity()));
  }
  constexpr size_t kMinPopulatedSlice = 64 * 1024;
  size_t slice = std::clamp(fStorage.size(), kMinSlice, kMaxSlice);
  size_t size = std::min(fStorage.capacity(), std::max(needed, fStorage.size() + slice));
  if (size - fStorage.size() >= kMinPopulatedSlice) {
    populatePages(fStorage.data() + fStorage.size(), size - fStorage.size());
  }
  fStorage.resize(size);
}

void StringBuffer::terminate() const {
  if (fStorage.size() == fLength) {
    fStorage.push_back('\0');
  } else {
    fStorage[fLength] = '\0';
  }
}

// Unknown escapes keep the escaped character; a trailing lone backslash is kept.
StringBuffer& StringBuffer::appendFormat(const char* aText) {
  if (aText == nullptr) {
    return *this;
  }
  for (const char* cursor = aText; *cursor != '\0'; ++cursor) {
    if (*cursor != '\\' || cursor[1] == '\0') {
      append(*cursor);
      continue;
    }
    ++cursor;
    int simple = simpleEscape(*cursor);
    if (simple >= 0) {
      append(static_cast<char>(simple));
      continue;
    }
    if (*cursor >= '0' && *cursor <= '7') {
      int value = 0;
      for (int count = 0; count < 3 && *cursor >= '0' && *cursor <= '7'; ++count, ++cursor) {
        value = value * 8 + (*cursor - '0');
      }
      --cursor;
      append(static_cast<char>(value & 0xff));
      continue;
    }
    if (*cursor == 'x' && hexDigitValue(cursor[1]) >= 0) {
      int value = 0;
      for (int count = 0; count < 2 && hexDigitValue(cursor[1]) >= 0; ++count) {
        ++cursor;
        value = value * 16 + hexDigitValue(*cursor);
      }
      append(static_cast<char>(value));
      continue;
    }
    append(*cursor);
  }
  return *this;
}

} // namespace CG
