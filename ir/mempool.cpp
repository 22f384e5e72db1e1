// Chunked bump arena with finalizers and size-class recycling.
#include "ir/mempool.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "ir/ctx.h"
#include "ir/pageahead.h"

#if defined(__linux__) && !defined(MADV_POPULATE_WRITE)
#define MADV_POPULATE_WRITE 23
#endif

namespace {

// Chunks start small, so a context that holds a few objects stays small, and double up to a limit,
// so a large module needs few chunks.
constexpr size_t kFirstChunkSize = 64 * 1024;
constexpr size_t kLargestChunkSize = 8 * 1024 * 1024;
constexpr size_t kHugePageSize = 2 * 1024 * 1024;
// How far from a chunk's end its pool asks for the next chunk while paging ahead.
constexpr size_t kSpareChunkLead = 1024 * 1024;
// Blocks larger than this are mapped on their own: only large modules make them, and a table that grows by
// doubling frees copies of itself that would otherwise hold their memory in the heap. Those of a huge page up to
// this size stay in the heap, which keeps them resident for the next module.
constexpr size_t kLargestHeapBlockSize = 4 * 1024 * 1024;

size_t alignUp(size_t aValue, size_t aAlign) {
  return (aValue + aAlign - 1) & ~(aAlign - 1);
}

// A block of aSize bytes (a whole number of huge pages) has a mapping of its own.
bool isMappedBlock(size_t aSize) {
  return aSize > kLargestHeapBlockSize;
}

// Blocks from this size up to a huge page are mapped on their own and faulted in whole as they are mapped.
constexpr size_t kSmallestPopulatedBlockSize = 128 * 1024;

bool isPopulatedBlock(size_t aSize) {
  return aSize >= kSmallestPopulatedBlockSize && aSize < kHugePageSize;
}

size_t pageSize() {
#if defined(__linux__)
  static const auto size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return size;
#else
  return 4096;
#endif
}

// aSize bytes, rounded up to whole pages, all of them in memory; null when there is no memory.
void* mapPopulatedBlock(size_t aSize) {
#if defined(__linux__)
  void* mapping = mmap(nullptr, alignUp(aSize, pageSize()), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  return mapping == MAP_FAILED ? nullptr : mapping;
#else
  return std::malloc(aSize);
#endif
}

// aSize bytes, a multiple of the huge-page size, aligned to a huge page; null when there is no memory.
void* mapBlock(size_t aSize) {
#if defined(__linux__)
  size_t mapped = aSize + kHugePageSize;
  void* mapping = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) {
    return nullptr;
  }
  auto begin = reinterpret_cast<uintptr_t>(mapping);
  uintptr_t aligned = alignUp(begin, kHugePageSize);
  if (aligned > begin) {
    munmap(mapping, aligned - begin);
  }
  if (begin + mapped > aligned + aSize) {
    munmap(reinterpret_cast<void*>(aligned + aSize), begin + mapped - (aligned + aSize));
  }
  return reinterpret_cast<void*>(aligned);
#else
  return std::aligned_alloc(kHugePageSize, aSize);
#endif
}

void unmapBlock(void* aBlock, size_t aSize) {
#if defined(__linux__)
  munmap(aBlock, aSize);
#else
  (void)aSize;
  std::free(aBlock);
#endif
}

} // namespace

// Filling a huge page costs one page fault per 2 MB, not per 4 KB, and reading it at random costs no
// page-table walks.
void adviseHugePages(void* aBegin, size_t aSize) {
#if defined(MADV_HUGEPAGE)
  auto begin = reinterpret_cast<uintptr_t>(aBegin);
  uintptr_t first = alignUp(begin, kHugePageSize);
  uintptr_t last = (begin + aSize) & ~(kHugePageSize - 1);
  if (first < last) {
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#else
  (void)aBegin;
  (void)aSize;
#endif
}

bool populatePages(void* aBegin, size_t aSize) {
#if defined(__linux__)
  auto begin = reinterpret_cast<uintptr_t>(aBegin);
  uintptr_t first = alignUp(begin, pageSize());
  uintptr_t last = (begin + aSize) & ~(pageSize() - 1);
  return first >= last || madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE) == 0 ||
         errno != EINVAL;
#else
  (void)aBegin;
  (void)aSize;
  return false;
#endif
}

// A block of some hundred kilobytes or more: of its own mapping faulted in at once, or of huge pages; null when
// there is no memory.
static void* allocLargeBlock(size_t aSize) {
  if (isPopulatedBlock(aSize)) {
    return mapPopulatedBlock(aSize);
  }
  size_t size = alignUp(aSize, kHugePageSize);
  void* block = isMappedBlock(size) ? mapBlock(size) : std::aligned_alloc(kHugePageSize, size);
  if (block != nullptr) {
    adviseHugePages(block, size);
  }
  return block;
}

// A block of some hundred kilobytes is a table filled as soon as it is made, or a pool chunk filled to its end:
// it is faulted in whole as it is mapped, which costs far less than a fault per page as it is filled. Blocks of
// huge-page size and more are aligned to it, so that all of them can be huge pages.
void* allocBlock(size_t aSize) {
  if (aSize < kSmallestPopulatedBlockSize) {
    return ::operator new(aSize);
  }
  void* block = allocLargeBlock(aSize);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return block;
}

void freeBlock(void* aBlock, size_t aSize) {
  if (aSize < kSmallestPopulatedBlockSize) {
    ::operator delete(aBlock);
  } else if (isPopulatedBlock(aSize)) {
    unmapBlock(aBlock, alignUp(aSize, pageSize()));
  } else if (size_t size = alignUp(aSize, kHugePageSize); isMappedBlock(size)) {
    unmapBlock(aBlock, size);
  } else {
    std::free(aBlock);
  }
}

struct MemPool::Chunk {
  Chunk* next;
  size_t size;
};

struct MemPool::Finalizer {
  void (*destroy)(void*);
  void* object;
  Finalizer* previous;
};

struct MemPool::FreeBlock {
  FreeBlock* next;
};

MemPool::MemPool() : fNextChunkSize(kFirstChunkSize) {}

MemPool::~MemPool() {
  for (Finalizer* finalizer = fLastFinalizer; finalizer != nullptr; finalizer = finalizer->previous) {
    finalizer->destroy(finalizer->object);
  }
  while (fChunks != nullptr) {
    Chunk* next = fChunks->next;
    freeBlock(fChunks, fChunks->size);
    fChunks = next;
  }
  dropSpareChunk();
}

// A recycled block of the size when one is aligned enough, else room in the chunk or in a new one.
void* MemPool::allocSlow(size_t aSize, size_t aAlign) {
  aSize = granules(aSize) * kGranule;
  int sizeClass = sizeClassOf(aSize);
  if (sizeClass >= 0 && fFreeLists[sizeClass] != nullptr &&
      (reinterpret_cast<uintptr_t>(fFreeLists[sizeClass]) & (aAlign - 1)) == 0) {
    FreeBlock* block = fFreeLists[sizeClass];
    fFreeLists[sizeClass] = block->next;
    return block;
  }
  void* block = bumpInChunk(aSize, aAlign);
  return block != nullptr ? block : allocFromNewChunk(aSize, aAlign);
}

void* MemPool::bumpInChunk(size_t aSize, size_t aAlign) {
  void* block = bump(aSize, aAlign);
  while (block == nullptr && moveLimitOn()) {
    block = bump(aSize, aAlign);
  }
  return block;
}

void* MemPool::allocFromNewChunk(size_t aSize, size_t aAlign) {
  size_t header = alignUp(sizeof(Chunk), alignof(std::max_align_t));
  size_t needed = header + aSize + aAlign;
  size_t size = fNextChunkSize;
  if (fNextChunkSize < kLargestChunkSize) {
    fNextChunkSize *= 2;
  }
  if (needed > size) {
    size = alignUp(needed, kFirstChunkSize);
  }
  void* block = takeSpareChunk(size);
  auto* chunk = static_cast<Chunk*>(block != nullptr ? block : allocBlock(size));
  chunk->next = fChunks;
  chunk->size = size;
  fChunks = chunk;
  fCursor = reinterpret_cast<char*>(chunk) + header;
  fChunkEnd = reinterpret_cast<char*>(chunk) + size;
  fLimit = fChunkEnd;
  if (fPageAhead != nullptr) {
    limitToCursorsPage();
  }
  return bumpInChunk(aSize, aAlign);
}

//===-- Paging ahead ----------------------------------------------------------------------------------------===//

void MemPool::setPageAhead(CG::PageAhead* aAhead) {
  if (fPageAhead != nullptr) {
    fPageAhead->finish();
    giveBackPagesAhead();
  }
  fPageAhead = aAhead;
  fLimit = fChunkEnd;
  if (fPageAhead != nullptr) {
    limitToCursorsPage();
  }
}

// Only the chunks mapped on their own are paged ahead: they are whole huge pages, which nothing else shares.
bool MemPool::pagesAhead() const {
  return fPageAhead != nullptr && fChunks != nullptr && isMappedBlock(fChunks->size);
}

char* MemPool::cursorsPageEnd() const {
  return reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(fCursor) & ~(kHugePageSize - 1)) + kHugePageSize);
}

void MemPool::limitToCursorsPage() {
  if (!pagesAhead()) {
    return;
  }
  fLimit = std::min(cursorsPageEnd(), fChunkEnd);
  askForPageAfterLimit();
}

// In the chunk's last huge page the limit stops once more, kSpareChunkLead short of the end: the page after is the
// next chunk's first, and it is asked for there.
bool MemPool::moveLimitOn() {
  if (fLimit == fChunkEnd) {
    return false;
  }
  char* spareMark = fChunkEnd - kSpareChunkLead;
  if (fLimit < spareMark) {
    fLimit = std::min(fLimit + kHugePageSize, spareMark);
    if (fLimit < spareMark) {
      askForPageAfterLimit();
    }
    return true;
  }
  fLimit = fChunkEnd;
  askForSpareChunk();
  return true;
}

void MemPool::askForPageAfterLimit() {
  if (fLimit < fChunkEnd) {
    fPageAhead->populate(fLimit, std::min(kHugePageSize, static_cast<size_t>(fChunkEnd - fLimit)));
  }
}

// The next chunk is mapped before it is needed, so that its first page is faulted in ahead like the others. Only
// near the end of this chunk: a page faulted in for a chunk the pool never reaches is memory held for nothing.
void MemPool::askForSpareChunk() {
  if (fSpareChunk != nullptr || !isMappedBlock(fNextChunkSize)) {
    return;
  }
  try {
    fSpareChunk = allocBlock(fNextChunkSize);
  } catch (const std::bad_alloc&) {
    return;
  }
  fSpareChunkSize = fNextChunkSize;
  fPageAhead->populate(fSpareChunk, kHugePageSize);
}

// The spare chunk when it has aSize bytes; null, keeping it, when not (a chunk for one large block).
void* MemPool::takeSpareChunk(size_t aSize) {
  if (fSpareChunk == nullptr || aSize != fSpareChunkSize) {
    return nullptr;
  }
  fSpareChunkSize = 0;
  return std::exchange(fSpareChunk, nullptr);
}

void MemPool::dropSpareChunk() {
  if (fSpareChunk != nullptr) {
    freeBlock(fSpareChunk, fSpareChunkSize);
  }
  fSpareChunk = nullptr;
  fSpareChunkSize = 0;
}

// The chunk's memory past the cursor's huge page was never handed out, nor was the spare chunk's.
void MemPool::giveBackPagesAhead() {
  dropSpareChunk();
#if defined(__linux__)
  if (!pagesAhead()) {
    return;
  }
  char* pageEnd = cursorsPageEnd();
  if (pageEnd < fChunkEnd) {
    madvise(pageEnd, static_cast<size_t>(fChunkEnd - pageEnd), MADV_DONTNEED);
  }
#endif
}

// Size classes are multiples of the granule; larger blocks are not recycled.
int MemPool::sizeClassOf(size_t aSize) {
  size_t index = granules(aSize);
  return index < kNumSizeClasses ? static_cast<int>(index) : -1;
}

char* MemPool::copyText(std::string_view aText) {
  auto* copy = static_cast<char*>(alloc(aText.size() + 1, 1));
  if (!aText.empty()) {
    std::memcpy(copy, aText.data(), aText.size());
  }
  copy[aText.size()] = '\0';
  return copy;
}

void MemPool::recycle(void* aBlock, size_t aSize) {
  if (aBlock == nullptr || aSize < sizeof(FreeBlock)) {
    return;
  }
  int sizeClass = sizeClassOf(aSize);
  if (sizeClass < 0) {
    return;
  }
  auto* block = static_cast<FreeBlock*>(aBlock);
  block->next = fFreeLists[sizeClass];
  fFreeLists[sizeClass] = block;
}

void MemPool::addFinalizer(void (*aDestroy)(void*), void* aObject) {
  auto* finalizer = static_cast<Finalizer*>(alloc(sizeof(Finalizer), alignof(Finalizer)));
  finalizer->destroy = aDestroy;
  finalizer->object = aObject;
  finalizer->previous = fLastFinalizer;
  fLastFinalizer = finalizer;
}

void* mempool_alloc_fast(MemPool* aPool, size_t aSize) {
  return aPool->alloc(aSize);
}

void mempool_recycle(MemPool* aPool, void* aBlock, size_t aSize) {
  aPool->recycle(aBlock, aSize);
}

namespace CG {

ManagedCGPool::ManagedCGPool(CG_Ctx* aCtx) : fCtx(aCtx), fPool(new MemPool()) {
  fPool->setOwner(aCtx);
}

ManagedCGPool::~ManagedCGPool() {
  delete fPool;
}

} // namespace CG
