// The scanner's numbering of names: an open-addressed table of hashes and numbers over the names' texts.
#include "parse/namenumbers.h"

#include "ir/strings.h"

namespace CG {

namespace {

constexpr size_t kFirstSlotCount = 1024;

// Whether aCount names leave a table of aSlotCount slots sparse enough for short probes.
bool namesFit(size_t aCount, size_t aSlotCount)
{
    return aCount * 2 <= aSlotCount;
}

} // namespace

uint32_t NameNumbers::numberOf(std::string_view aText)
{
    if (fSlots.empty()) {
        rehash(kFirstSlotCount);
    }
    auto hash = static_cast<uint32_t>(cg_text_hash(aText));
    size_t mask = fSlots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot& entry = fSlots[slot];
        if (entry.number == kEmpty) {
            addName(aText, hash, slot);
            return kFirstSeen;
        }
        if (entry.hash == hash && sameName(fNames[entry.number], aText)) {
            return entry.number;
        }
    }
}

void NameNumbers::clear()
{
    fSlots.clear();
    fNames.clear();
    fTexts.clear();
}

void NameNumbers::addName(std::string_view aText, uint32_t aHash, size_t aSlot)
{
    auto number = static_cast<uint32_t>(fNames.size());
    fNames.push_back(Name{static_cast<uint32_t>(fTexts.size()), static_cast<uint32_t>(aText.size())});
    fTexts.append(aText);
    fSlots[aSlot] = Slot{aHash, number};
    if (!namesFit(fNames.size(), fSlots.size())) {
        rehash(fSlots.size() * 2);
    }
}

void NameNumbers::rehash(size_t aSlotCount)
{
    cg_rehash_text_slots(fSlots, aSlotCount, Slot{0, kEmpty}, [](const Slot& aSlot) { return aSlot.number == kEmpty; });
}

} // namespace CG
