// Interned IR strings: equal texts share one pointer within a context.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

class CG_Ctx;

// Hash of a text, as the tables of interned texts spread them.
size_t cg_text_hash(std::string_view aText);

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
