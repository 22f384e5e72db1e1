// Interned IR strings and null-tolerant comparison.
#include "ir/strings.h"

#include <cstdarg>
#include <cstdint>
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

// Hash of an interned text. Most texts are identifiers of a few bytes: eight bytes are mixed per
// step, and the multiply-and-fold at the end spreads them into the low bits the table's mask keeps.
size_t cg_text_hash(std::string_view aText) {
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  const char* bytes = aText.data();
  size_t left = aText.size();
  uint64_t hash = left * kMultiplier;
  for (; left >= sizeof(uint64_t); left -= sizeof(uint64_t), bytes += sizeof(uint64_t)) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 32;
  }
  // The last 1 to 7 bytes in at most two loads that stay inside the text (they may overlap).
  uint64_t tail = 0;
  if (left >= 4) {
    uint32_t first;
    uint32_t last;
    std::memcpy(&first, bytes, sizeof first);
    std::memcpy(&last, bytes + left - sizeof last, sizeof last);
    tail = (static_cast<uint64_t>(first) << 32) | last;
  } else if (left > 0) {
    auto byteAt = [bytes](size_t aIndex) { return static_cast<uint64_t>(static_cast<unsigned char>(bytes[aIndex])); };
    tail = (byteAt(0) << 16) | (byteAt(left / 2) << 8) | byteAt(left - 1);
  }
  hash = (hash ^ tail) * kMultiplier;
  return static_cast<size_t>(hash ^ (hash >> 32));
}
