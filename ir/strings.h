// Interned IR strings: equal texts share one pointer within a context.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class CG_Ctx;

// Hash of a text, as the tables of interned texts spread them. Most texts are identifiers of a few bytes: eight
// bytes are mixed per step, and the multiply-and-fold at the end spreads them into the low bits the table's mask
// keeps.
inline size_t cg_text_hash(std::string_view aText) {
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

// Moves the slots of an open-addressed table of texts (linear probing on each slot's `hash`) to a table of
// aNumSlots slots, a power of two; the slots for which aIsEmpty holds are left behind.
template <class Slots, class IsEmpty>
void cg_rehash_text_slots(Slots& aSlots, size_t aNumSlots, const typename Slots::value_type& aEmpty,
                          IsEmpty aIsEmpty) {
  Slots old(aNumSlots, aEmpty, aSlots.get_allocator());
  old.swap(aSlots);
  size_t mask = aNumSlots - 1;
  for (const auto& entry : old) {
    if (aIsEmpty(entry)) {
      continue;
    }
    size_t slot = entry.hash & mask;
    while (!aIsEmpty(aSlots[slot])) {
      slot = (slot + 1) & mask;
    }
    aSlots[slot] = entry;
  }
}

// printf into a new string (a null format gives "").
std::string cg_string_vformat(const char* aFormat, va_list aArgs);

char* cg_string_create(CG_Ctx* aCtx, const char* aText);
char* cg_string_createf(CG_Ctx* aCtx, const char* aFormat, ...) __attribute__((format(printf, 2, 3)));
// IR strings are stored as bytes already, so the ASCII form is the string itself.
char* cg_string_toascii(const char* aText);
// strcmp that reads null as "".
int cg_strcmp(const char* aLeft, const char* aRight);
int cg_string_cmp(const char* aLeft, const char* aRight);
