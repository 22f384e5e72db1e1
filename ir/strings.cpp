// Interned IR strings and null-tolerant comparison.
#include "ir/strings.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "ir/ctx.h"

std::string cg_string_vformat(const char* aFormat, va_list aArgs) {
  if (aFormat == nullptr) {
    return std::string();
  }
  va_list copy;
  va_copy(copy, aArgs);
  int length = std::vsnprintf(nullptr, 0, aFormat, copy);
  va_end(copy);
  if (length <= 0) {
    return std::string();
  }
  std::string text(static_cast<size_t>(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, aFormat, aArgs);
  return text;
}

char* cg_string_create(CG_Ctx* aCtx, const char* aText) {
  return aCtx->cgString(aText);
}

char* cg_string_createf(CG_Ctx* aCtx, const char* aFormat, ...) {
  // Most texts fit the buffer and are formatted once.
  char buffer[256];
  va_list args;
  va_start(args, aFormat);
  va_list copy;
  va_copy(copy, args);
  int length = aFormat != nullptr ? std::vsnprintf(buffer, sizeof(buffer), aFormat, copy) : 0;
  va_end(copy);
  if (length >= static_cast<int>(sizeof(buffer))) {
    std::string text = cg_string_vformat(aFormat, args);
    va_end(args);
    return aCtx->cgString(text);
  }
  va_end(args);
  return aCtx->cgString(std::string_view(buffer, length > 0 ? static_cast<size_t>(length) : 0));
}

char* cg_string_toascii(const char* aText) {
  return const_cast<char*>(aText);
}

int cg_strcmp(const char* aLeft, const char* aRight) {
  return std::strcmp(aLeft != nullptr ? aLeft : "", aRight != nullptr ? aRight : "");
}

int cg_string_cmp(const char* aLeft, const char* aRight) {
  return cg_strcmp(aLeft, aRight);
}
