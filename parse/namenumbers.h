// The scanner's numbering of the names it reads, in the order they first appear in a scan. The parser interns a
// name's text once, at its first appearance, and finds it again by number: a name seen before crosses from the
// scanner to the parser as a number instead of as text to copy, hash and compare again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace CG {

class NameNumbers {
public:
    static constexpr uint32_t kFirstSeen = UINT32_MAX;

    // aText's number when it was seen before; else kFirstSeen, and aText now has the next number.
    uint32_t numberOf(std::string_view aText);
    void clear();

private:
    // A slot of the open-addressed table: kEmpty, or the number of a name whose hash it keeps.
    struct Slot {
        uint32_t hash;
        uint32_t number;
    };
    struct Name {
        uint32_t offset;
        uint32_t length;
    };
    static constexpr uint32_t kEmpty = UINT32_MAX;

    bool sameName(const Name& aName, std::string_view aText) const
    {
        return std::string_view(fTexts.data() + aName.offset, aName.length) == aText;
    }
    void addName(std::string_view aText, uint32_t aHash, size_t aSlot);
    void rehash(size_t aSlotCount);

    std::vector<Slot> fSlots;
    // By number: where each name's text is in fTexts.
    std::vector<Name> fNames;
    std::string fTexts;
};

} // namespace CG
