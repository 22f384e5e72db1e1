// Text builder: appends, printf formatting, escape expansion and round-trip doubles.
#include "ir/stringbuffer.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

StringBuffer& StringBuffer::append(const char* aText) {
  if (aText != nullptr) {
    fText += aText;
  }
  return *this;
}

StringBuffer& StringBuffer::append(const std::string& aText) {
  fText += aText;
  return *this;
}

StringBuffer& StringBuffer::append(char aChar) {
  fText += aChar;
  return *this;
}

StringBuffer& StringBuffer::append(long long aValue) {
  fText += std::to_string(aValue);
  return *this;
}

StringBuffer& StringBuffer::append(unsigned long long aValue) {
  fText += std::to_string(aValue);
  return *this;
}

StringBuffer& StringBuffer::append(double aValue, bool, bool) {
  fText += doubleToText(aValue);
  return *this;
}

StringBuffer& StringBuffer::appendf(const char* aFormat, ...) {
  va_list args;
  va_start(args, aFormat);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, aFormat, copy);
  va_end(copy);
  if (length > 0) {
    size_t oldSize = fText.size();
    fText.resize(oldSize + static_cast<size_t>(length) + 1);
    std::vsnprintf(&fText[oldSize], static_cast<size_t>(length) + 1, aFormat, args);
    fText.resize(oldSize + static_cast<size_t>(length));
  }
  va_end(args);
  return *this;
}

// Unknown escapes keep the escaped character; a trailing lone backslash is kept.
StringBuffer& StringBuffer::appendFormat(const char* aText) {
  if (aText == nullptr) {
    return *this;
  }
  for (const char* cursor = aText; *cursor != '\0'; ++cursor) {
    if (*cursor != '\\' || cursor[1] == '\0') {
      fText += *cursor;
      continue;
    }
    ++cursor;
    int simple = simpleEscape(*cursor);
    if (simple >= 0) {
      fText += static_cast<char>(simple);
      continue;
    }
    if (*cursor >= '0' && *cursor <= '7') {
      int value = 0;
      for (int count = 0; count < 3 && *cursor >= '0' && *cursor <= '7'; ++count, ++cursor) {
        value = value * 8 + (*cursor - '0');
      }
      --cursor;
      fText += static_cast<char>(value & 0xff);
      continue;
    }
    if (*cursor == 'x' && hexDigitValue(cursor[1]) >= 0) {
      int value = 0;
      for (int count = 0; count < 2 && hexDigitValue(cursor[1]) >= 0; ++count) {
        ++cursor;
        value = value * 16 + hexDigitValue(*cursor);
      }
      fText += static_cast<char>(value);
      continue;
    }
    fText += *cursor;
  }
  return *this;
}

} // namespace CG
