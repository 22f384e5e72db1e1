// Identity-keyed, insertion-ordered containers with fail-fast iterators.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "ir/mempool.h"

namespace CG {

[[noreturn]] void throwFailFastModification();

// Open-addressing index over a vector of entries kept in insertion order. Removed entries
// stay as holes until the next compaction, so positions held by iterators stay meaningful
// until the modification count tells them otherwise.
template <class K, class V> class IdTable {
  static_assert(std::is_pointer_v<K>, "keys are object identities");

public:
  // A removed entry keeps its place, with a key no object has, until the next compaction: a flag of its own
  // would pad a map entry of two words to three.
  struct Entry {
    K first;
    V second;
    const K& key() const { return first; }
    const V& value() const { return second; }
    bool isLive() const { return first != removedKey(); }
  };

  size_t size() const { return fLiveCount; }
  bool isEmpty() const { return fLiveCount == 0; }
  bool containsKey(K aKey) const { return findEntry(aKey) >= 0; }
  uint64_t modCount() const { return fModCount; }
  // Room for aCount entries in all, made at once: a table whose size is known ahead grows without the copies
  // that doubling leaves behind.
  void reserve(size_t aCount) {
    if (aCount > fEntries.capacity()) {
      fEntries.reserve(aCount);
    }
    size_t slots = slotsFor(aCount);
    if (slots > fSlots.size()) {
      reindex(slots);
    }
  }

  void clear() {
    fEntries.clear();
    fSlots.clear();
    fLiveCount = 0;
    fUsedSlots = 0;
    ++fModCount;
  }

  // Range-for support: visits live entries in insertion order, fail-fast like Iterator.
  class RangeIterator {
  public:
    RangeIterator(const IdTable* aTable, size_t aPos) : fTable(aTable), fPos(aPos), fExpectedMods(aTable->fModCount) {
      skipHoles();
    }
    const Entry& operator*() const {
      check();
      return fTable->fEntries[fPos];
    }
    const Entry* operator->() const { return &**this; }
    RangeIterator& operator++() {
      check();
      ++fPos;
      skipHoles();
      return *this;
    }
    bool operator!=(const RangeIterator& aOther) const { return fPos != aOther.fPos; }
    bool operator==(const RangeIterator& aOther) const { return fPos == aOther.fPos; }

  private:
    void check() const {
      if (fExpectedMods != fTable->fModCount) {
        throwFailFastModification();
      }
    }
    void skipHoles() {
      while (fPos < fTable->fEntries.size() && !fTable->fEntries[fPos].isLive()) {
        ++fPos;
      }
    }
    const IdTable* fTable;
    size_t fPos;
    uint64_t fExpectedMods;
  };

  RangeIterator begin() const { return RangeIterator(this, 0); }
  RangeIterator end() const { return RangeIterator(this, fEntries.size()); }

protected:
  static K removedKey() { return reinterpret_cast<K>(~uintptr_t{0}); }

  static constexpr int32_t kEmpty = -1;
  static constexpr int32_t kTombstone = -2;

  static size_t hashOf(K aKey) {
    uint64_t bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(aKey));
    bits ^= bits >> 33;
    bits *= 0xff51afd7ed558ccdULL;
    bits ^= bits >> 33;
    return static_cast<size_t>(bits);
  }

  // The entry index of aKey, or -1; aFirstTombstone, when given, receives the first removed slot the probe
  // passed (-1 when none), where an insertion of aKey can go.
  int64_t findEntry(K aKey, int64_t* aFirstTombstone = nullptr) const {
    if (aFirstTombstone != nullptr) {
      *aFirstTombstone = -1;
    }
    if (fSlots.empty()) {
      return -1;
    }
    size_t mask = fSlots.size() - 1;
    for (size_t slot = hashOf(aKey) & mask;; slot = (slot + 1) & mask) {
      int32_t index = fSlots[slot];
      if (index == kEmpty) {
        return -1;
      }
      if (index == kTombstone && aFirstTombstone != nullptr && *aFirstTombstone < 0) {
        *aFirstTombstone = static_cast<int64_t>(slot);
      }
      if (index >= 0 && fEntries[index].first == aKey) {
        return index;
      }
    }
  }

  // Returns the entry index for aKey, appending a new entry (and counting a modification) when the key is
  // absent. A removed slot on the key's probe is reused: a key removed and inserted again and again (a name
  // taken over by one function after another) keeps a short probe instead of lengthening it each time.
  size_t findOrInsert(K aKey, bool* aInserted) {
    int64_t tombstone = -1;
    int64_t existing = findEntry(aKey, &tombstone);
    *aInserted = existing < 0;
    if (existing >= 0) {
      return static_cast<size_t>(existing);
    }
    if (tombstone < 0 && (fUsedSlots + 1) * 4 >= fSlots.size() * 3) {
      rebuild();
    }
    fEntries.push_back(Entry{aKey, V{}});
    int32_t index = static_cast<int32_t>(fEntries.size() - 1);
    if (tombstone >= 0) {
      fSlots[tombstone] = index;
    } else {
      placeInSlots(aKey, index);
      ++fUsedSlots;
    }
    ++fLiveCount;
    ++fModCount;
    return fEntries.size() - 1;
  }

  bool eraseKey(K aKey) {
    if (fSlots.empty()) {
      return false;
    }
    size_t mask = fSlots.size() - 1;
    for (size_t slot = hashOf(aKey) & mask;; slot = (slot + 1) & mask) {
      int32_t index = fSlots[slot];
      if (index == kEmpty) {
        return false;
      }
      if (index >= 0 && fEntries[index].first == aKey) {
        fSlots[slot] = kTombstone;
        fEntries[index].first = removedKey();
        fEntries[index].second = V{};
        --fLiveCount;
        ++fModCount;
        if (fEntries.size() > 16 && fLiveCount * 2 < fEntries.size()) {
          rebuild();
        }
        return true;
      }
    }
  }

  Entry& entryAt(size_t aIndex) { return fEntries[aIndex]; }
  const std::vector<Entry, TableAllocator<Entry>>& entries() const { return fEntries; }

private:
  template <class C> friend class IdIterator;

  void placeInSlots(K aKey, int32_t aIndex) {
    size_t mask = fSlots.size() - 1;
    size_t slot = hashOf(aKey) & mask;
    while (fSlots[slot] != kEmpty) {
      slot = (slot + 1) & mask;
    }
    fSlots[slot] = aIndex;
  }

  // Drops removed entries (keeping order) and re-indexes into a table sized for the live count. The entries close
  // up in place: a table emptied and filled again (scratch reused for one function after another) keeps the room
  // it had instead of growing it anew.
  void rebuild() {
    if (fLiveCount < fEntries.size()) {
      auto isRemoved = [](const Entry& aEntry) { return !aEntry.isLive(); };
      fEntries.erase(std::remove_if(fEntries.begin(), fEntries.end(), isRemoved), fEntries.end());
    }
    // Room for as many entries again before the next rebuild.
    reindex(slotsFor(2 * fEntries.size() + 1));
  }

  // The fewest slots (a power of two) that hold aCount entries without findOrInsert growing the table.
  static size_t slotsFor(size_t aCount) {
    size_t capacity = 8;
    while (capacity * 3 <= (aCount + 1) * 4) {
      capacity *= 2;
    }
    return capacity;
  }

  // Slots for the live entries only: a removed entry keeps its place in the entries but loses its slot.
  void reindex(size_t aSlots) {
    fSlots.assign(aSlots, kEmpty);
    fUsedSlots = 0;
    for (size_t i = 0; i < fEntries.size(); ++i) {
      if (fEntries[i].isLive()) {
        placeInSlots(fEntries[i].first, static_cast<int32_t>(i));
        ++fUsedSlots;
      }
    }
  }

  std::vector<Entry, TableAllocator<Entry>> fEntries;
  std::vector<int32_t, TableAllocator<int32_t>> fSlots;
  size_t fLiveCount = 0;
  size_t fUsedSlots = 0;
  uint64_t fModCount = 0;
};

// Java-style cursor: for (Iterator it(c); it.hasCurrent(); it.advance()) use(it.current());
template <class C> class IdIterator {
public:
  explicit IdIterator(const C& aContainer) : fTable(&aContainer), fPos(0), fExpectedMods(aContainer.modCount()) {
    skipHoles();
  }
  bool hasCurrent() const { return fPos < fTable->fEntries.size(); }
  void advance() {
    check();
    ++fPos;
    skipHoles();
  }

protected:
  const auto& entry() const {
    check();
    return fTable->fEntries[fPos];
  }

private:
  void check() const {
    if (fExpectedMods != fTable->modCount()) {
      throwFailFastModification();
    }
  }
  void skipHoles() {
    while (fPos < fTable->fEntries.size() && !fTable->fEntries[fPos].isLive()) {
      ++fPos;
    }
  }
  const typename C::Table* fTable;
  size_t fPos;
  uint64_t fExpectedMods;
};

template <class K, class V> class IdMap : public IdTable<K, V> {
  using Base = IdTable<K, V>;

public:
  using Table = Base;

  class Iterator : public IdIterator<IdMap> {
  public:
    explicit Iterator(const IdMap& aMap) : IdIterator<IdMap>(aMap) {}
    K key() const { return this->entry().first; }
    V value() const { return this->entry().second; }
    K current() const { return key(); }
  };

  Iterator iterator() const { return Iterator(*this); }

  // Overwriting an existing key keeps its position and is not a structural change.
  void put(K aKey, V aValue) {
    bool inserted = false;
    size_t index = this->findOrInsert(aKey, &inserted);
    this->entryAt(index).second = std::move(aValue);
  }
  V get(K aKey) const {
    int64_t index = this->findEntry(aKey);
    return index < 0 ? V{} : this->entries()[index].second;
  }
  V* lookup(K aKey) { return const_cast<V*>(std::as_const(*this).lookup(aKey)); }
  const V* lookup(K aKey) const {
    int64_t index = this->findEntry(aKey);
    return index < 0 ? nullptr : &this->entries()[static_cast<size_t>(index)].second;
  }
  bool remove(K aKey) { return this->eraseKey(aKey); }
};

template <class T> class IdSet : public IdTable<T, char> {
  using Base = IdTable<T, char>;

public:
  using Table = Base;

  class Iterator : public IdIterator<IdSet> {
  public:
    explicit Iterator(const IdSet& aSet) : IdIterator<IdSet>(aSet) {}
    T current() const { return this->entry().first; }
  };

  Iterator iterator() const { return Iterator(*this); }

  bool add(T aItem) {
    bool inserted = false;
    this->findOrInsert(aItem, &inserted);
    return inserted;
  }
  bool contains(T aItem) const { return this->containsKey(aItem); }
  bool remove(T aItem) { return this->eraseKey(aItem); }
};

// Set of interned strings; pointer identity is text identity.
class StringIdSet : public IdSet<char*> {};

// Ordered list of distinct items: append/prepend of an item already present does nothing and
// returns false. Items sit in a vector beside an identity index: append, contains and at(i) are
// O(1) (average for contains), prepend and remove shift the items behind.
template <class T> class IdLinkedList {
public:
  bool append(T aItem) {
    if (!fIndex.add(aItem)) {
      return false;
    }
    fItems.push_back(aItem);
    ++fModCount;
    return true;
  }
  bool prepend(T aItem) {
    if (!fIndex.add(aItem)) {
      return false;
    }
    fItems.insert(fItems.begin(), aItem);
    ++fModCount;
    return true;
  }
  size_t size() const { return fItems.size(); }
  bool isEmpty() const { return fItems.empty(); }
  T first() const { return fItems.empty() ? T{} : fItems.front(); }
  T last() const { return fItems.empty() ? T{} : fItems.back(); }
  T at(size_t aIndex) const { return aIndex < fItems.size() ? fItems[aIndex] : T{}; }
  bool contains(T aItem) const { return fIndex.contains(aItem); }
  bool remove(T aItem) {
    if (!fIndex.remove(aItem)) {
      return false;
    }
    for (auto position = fItems.begin(); position != fItems.end(); ++position) {
      if (*position == aItem) {
        fItems.erase(position);
        break;
      }
    }
    ++fModCount;
    return true;
  }
  void clear() {
    fItems.clear();
    fIndex.clear();
    ++fModCount;
  }
  uint64_t modCount() const { return fModCount; }

  class Iterator {
  public:
    explicit Iterator(const IdLinkedList& aList) : fList(&aList), fPos(0), fExpectedMods(aList.fModCount) {}
    bool hasCurrent() const { return fPos < fList->fItems.size(); }
    T current() const {
      check();
      return fList->fItems[fPos];
    }
    void advance() {
      check();
      ++fPos;
    }

  private:
    void check() const {
      if (fExpectedMods != fList->fModCount) {
        throwFailFastModification();
      }
    }
    const IdLinkedList* fList;
    size_t fPos;
    uint64_t fExpectedMods;
  };

  Iterator iterator() const { return Iterator(*this); }

  class RangeIterator {
  public:
    RangeIterator(const IdLinkedList* aList, size_t aPos) : fList(aList), fPos(aPos), fExpectedMods(aList->fModCount) {}
    T operator*() const {
      check();
      return fList->fItems[fPos];
    }
    RangeIterator& operator++() {
      check();
      ++fPos;
      return *this;
    }
    bool operator!=(const RangeIterator& aOther) const { return fPos != aOther.fPos; }

  private:
    void check() const {
      if (fExpectedMods != fList->fModCount) {
        throwFailFastModification();
      }
    }
    const IdLinkedList* fList;
    size_t fPos;
    uint64_t fExpectedMods;
  };

  RangeIterator begin() const { return RangeIterator(this, 0); }
  RangeIterator end() const { return RangeIterator(this, fItems.size()); }

private:
  std::vector<T> fItems;
  IdSet<T> fIndex;
  uint64_t fModCount = 0;
};

} // namespace CG
