// A growing list in a memory pool whose items never move.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <new>
#include <type_traits>

#include "ir/mempool.h"

namespace CG {

// Items sit in segments taken from the pool, each segment twice as long as the one before. Growing adds a
// segment: nothing is copied, no memory is left behind for the pool to carry, and the room kept for growth
// is at most the last segment. An index finds its segment from its leading bit. The first segments are listed
// in the vector itself and the rest in a table taken from the pool once they are needed, so that the many
// short lists of a module (a small function's nodes) cost little.
template <class T> class PoolVector {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                "the pool frees segments without destroying their items");

public:
  // Walks a segment by pointer and steps to the next segment at its end, unless the list ends there.
  template <class Item> class Iterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = Item*;
    using reference = Item&;

    Iterator(const PoolVector* aList, Item* aAt, int aSegment)
        : fList(aList), fAt(aAt), fSegmentEnd(aSegment < 0 ? nullptr : aAt + segmentLength(aSegment)),
          fSegment(aSegment) {}
    Item& operator*() const { return *fAt; }
    Iterator& operator++() {
      if (++fAt == fSegmentEnd && fAt != fList->fNext) {
        fAt = fList->fSegments[++fSegment];
        fSegmentEnd = fAt + segmentLength(fSegment);
      }
      return *this;
    }
    bool operator==(const Iterator& aOther) const { return fAt == aOther.fAt; }
    bool operator!=(const Iterator& aOther) const { return fAt != aOther.fAt; }

  private:
    const PoolVector* fList;
    Item* fAt;
    Item* fSegmentEnd;
    int fSegment;
  };
  using iterator = Iterator<T>;
  using const_iterator = Iterator<const T>;

  explicit PoolVector(MemPool* aPool) : fPool(aPool) {}
  PoolVector(const PoolVector&) = delete;
  PoolVector& operator=(const PoolVector&) = delete;

  size_t size() const { return fSize; }
  bool empty() const { return fSize == 0; }
  T& operator[](size_t aIndex) {
    int segment = segmentOf(aIndex);
    return fSegments[segment][aIndex - capacityOf(segment)];
  }
  const T& operator[](size_t aIndex) const { return const_cast<PoolVector&>(*this)[aIndex]; }
  iterator begin() { return fSize == 0 ? end() : iterator(this, fSegments[0], 0); }
  iterator end() { return iterator(this, fNext, -1); }
  const_iterator begin() const { return fSize == 0 ? end() : const_iterator(this, fSegments[0], 0); }
  const_iterator end() const { return const_iterator(this, fNext, -1); }

  void push_back(const T& aItem) {
    if (fNext == fLimit) {
      addSegment();
    }
    *fNext++ = aItem;
    ++fSize;
  }
  // Keeps, in order, the items aKeep says yes to.
  template <class Keep> void keepIf(Keep aKeep) {
    size_t kept = 0;
    iterator to = begin();
    for (const T& item : *this) {
      if (aKeep(item)) {
        *to = item;
        ++to;
        ++kept;
      }
    }
    truncate(kept);
  }
  // Keeps the first aCount items; the segments behind them stay for later items.
  void truncate(size_t aCount) {
    if (aCount >= fSize) {
      return;
    }
    fSize = aCount;
    int segment = segmentOf(aCount);
    fNext = fSegments[segment] + (aCount - capacityOf(segment));
    fLimit = fSegments[segment] + segmentLength(segment);
  }

private:
  static constexpr size_t kFirstSegmentSize = 8;
  // Room for more items than an int can number (graphs number their nodes with ints).
  static constexpr int kMaxSegments = 29;
  static constexpr int kInlineSegments = 3;

  // Segment k holds the kFirstSegmentSize * 2^k indexes from kFirstSegmentSize * (2^k - 1) on.
  static int segmentOf(size_t aIndex) {
    return 63 - __builtin_clzll(static_cast<unsigned long long>(aIndex / kFirstSegmentSize + 1));
  }
  static size_t capacityOf(int aNumSegments) { return kFirstSegmentSize * ((size_t{1} << aNumSegments) - 1); }
  static size_t segmentLength(int aSegment) { return kFirstSegmentSize << aSegment; }

  // The next segment: one kept from before a truncation, else a new one.
  void addSegment() {
    int segment = segmentOf(fSize);
    if (segment == fNumSegments) {
      if (fNumSegments == kMaxSegments) {
        throw std::bad_alloc();
      }
      if (fNumSegments == kInlineSegments) {
        moveSegmentsToTable();
      }
      fSegments[fNumSegments++] = static_cast<T*>(fPool->alloc(segmentLength(segment) * sizeof(T), alignof(T)));
    }
    fNext = fSegments[segment];
    fLimit = fNext + segmentLength(segment);
  }

  void moveSegmentsToTable() {
    auto** table = static_cast<T**>(fPool->alloc(kMaxSegments * sizeof(T*), alignof(T*)));
    std::copy(fInlineSegments, fInlineSegments + kInlineSegments, table);
    fSegments = table;
  }

  MemPool* fPool;
  size_t fSize = 0;
  // Where the next item goes, and the end of its segment.
  T* fNext = nullptr;
  T* fLimit = nullptr;
  int fNumSegments = 0;
  T** fSegments = fInlineSegments;
  T* fInlineSegments[kInlineSegments] = {};
};

} // namespace CG
