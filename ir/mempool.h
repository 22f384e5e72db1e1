// Chunked bump arena that owns every IR object of a context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

class CG_Ctx;
namespace CG {
class PageAhead;
}

// A class whose destructor does nothing but forget pool memory declares
// `using PoolReclaimsStorage = void;`: the pool then keeps no finalizer for its objects and simply
// frees them with its chunks. Subclasses inherit the promise, so they must not own heap resources.
template <class T, class = void>
struct PoolNeedsFinalizer : std::bool_constant<!std::is_trivially_destructible_v<T>> {};
template <class T> struct PoolNeedsFinalizer<T, std::void_t<typename T::PoolReclaimsStorage>> : std::false_type {};

class MemPool {
public:
  MemPool();
  ~MemPool();
  MemPool(const MemPool&) = delete;
  MemPool& operator=(const MemPool&) = delete;

  // aAlign is a power of two.
  void* alloc(size_t aSize, size_t aAlign = alignof(std::max_align_t)) {
    // Most requests find no block of their size to reuse and room left in the chunk: inline, a bump.
    size_t sizeClass = granules(aSize);
    if (sizeClass >= kNumSizeClasses || fFreeLists[sizeClass] == nullptr) {
      if (void* block = bump(sizeClass * kGranule, aAlign)) {
        return block;
      }
    }
    return allocSlow(aSize, aAlign);
  }
  // A null-terminated copy of the text.
  char* copyText(std::string_view aText);
  // Hands a block back to a size-class free list; only for trivially destructible contents.
  void recycle(void* aBlock, size_t aSize);

  template <class T, class... A> T* make(A&&... aArgs) {
    void* storage = alloc(sizeof(T), alignof(T));
    T* object = new (storage) T(std::forward<A>(aArgs)...);
    if constexpr (PoolNeedsFinalizer<T>::value) {
      addFinalizer(&destroyObject<T>, object);
    }
    return object;
  }

  // While a page-ahead is set, the huge page after the one the pool fills is faulted in on its thread, in the
  // large chunks of a large module; near a chunk's end, that is the first page of the next chunk. Setting null
  // ends that, and gives back the pages faulted in ahead that the pool has not reached.
  void setPageAhead(CG::PageAhead* aAhead);

  size_t bytesAllocated() const { return fBytesAllocated; }
  // The context this pool was made for (null for a free-standing pool).
  CG_Ctx* owner() const { return fOwner; }
  void setOwner(CG_Ctx* aCtx) { fOwner = aCtx; }

private:
  struct Chunk;
  struct Finalizer;
  struct FreeBlock;
  // Free lists in steps of kGranule bytes, up to kNumSizeClasses * kGranule.
  static constexpr size_t kGranule = 8;
  static constexpr int kNumSizeClasses = 64;

  template <class T> static void destroyObject(void* aObject) { static_cast<T*>(aObject)->~T(); }

  void addFinalizer(void (*aDestroy)(void*), void* aObject);
  // aSize bytes at the chunk's cursor; null when the chunk has no room for them.
  void* bump(size_t aSize, size_t aAlign) {
    uintptr_t start = (reinterpret_cast<uintptr_t>(fCursor) + aAlign - 1) & ~(aAlign - 1);
    if (fCursor == nullptr || start + aSize > reinterpret_cast<uintptr_t>(fLimit)) {
      return nullptr;
    }
    fCursor = reinterpret_cast<char*>(start + aSize);
    fBytesAllocated += aSize;
    return reinterpret_cast<void*>(start);
  }
  void* allocSlow(size_t aSize, size_t aAlign);
  void* allocFromNewChunk(size_t aSize, size_t aAlign);
  // As bump, moving a limit short of the chunk's end on as far as the request needs.
  void* bumpInChunk(size_t aSize, size_t aAlign);
  // Paging ahead: the limit stops at the end of the huge page the cursor is in, and moving it on asks for the
  // page after.
  bool pagesAhead() const;
  // The end of the huge page the cursor is in (a chunk mapped on its own starts on a huge page).
  char* cursorsPageEnd() const;
  void limitToCursorsPage();
  bool moveLimitOn();
  void askForPageAfterLimit();
  void askForSpareChunk();
  void* takeSpareChunk(size_t aSize);
  void giveBackPagesAhead();
  void dropSpareChunk();
  // Granules a request takes; a request for nothing takes one.
  static size_t granules(size_t aSize) { return aSize == 0 ? 1 : (aSize + kGranule - 1) / kGranule; }
  static int sizeClassOf(size_t aSize);

  Chunk* fChunks = nullptr;
  char* fCursor = nullptr;
  // Bumps stop here: the end of the chunk, or while paging ahead, maybe the end of the cursor's huge page.
  char* fLimit = nullptr;
  char* fChunkEnd = nullptr;
  CG::PageAhead* fPageAhead = nullptr;
  // While paging ahead, the next chunk, mapped once the cursor reached the last megabyte of this one.
  void* fSpareChunk = nullptr;
  size_t fSpareChunkSize = 0;
  Finalizer* fLastFinalizer = nullptr;
  FreeBlock* fFreeLists[kNumSizeClasses] = {};
  size_t fBytesAllocated = 0;
  size_t fNextChunkSize;
  CG_Ctx* fOwner = nullptr;
};

// A block of memory for a pool chunk or a large table; a large block is backed by huge pages where the
// kernel allows. freeBlock takes the size the block was allocated with.
void* allocBlock(size_t aSize);
void freeBlock(void* aBlock, size_t aSize);
// Offers the whole huge pages within the range to the kernel as huge-page candidates, where it has them.
void adviseHugePages(void* aBegin, size_t aSize);
// Faults the whole pages within the range in at once, writable, leaving their contents as they are. On a virtual
// machine one call costs a small part of what a fault per page on first touch does. False when the kernel has no
// such request (before Linux 5.14): the pages then come in as they are touched.
bool populatePages(void* aBegin, size_t aSize);

// Allocator for the storage of tables that grow with a module and are read at random.
template <class T> struct TableAllocator {
  using value_type = T;
  TableAllocator() = default;
  template <class U> TableAllocator(const TableAllocator<U>&) {}
  T* allocate(size_t aCount) { return static_cast<T*>(allocBlock(aCount * sizeof(T))); }
  void deallocate(T* aBlock, size_t aCount) { freeBlock(aBlock, aCount * sizeof(T)); }
  template <class U> bool operator==(const TableAllocator<U>&) const { return true; }
  template <class U> bool operator!=(const TableAllocator<U>&) const { return false; }
};

void* mempool_alloc_fast(MemPool* aPool, size_t aSize);
void mempool_recycle(MemPool* aPool, void* aBlock, size_t aSize);

namespace CG {

// RAII owner of a fresh pool made for work on one context.
class ManagedCGPool {
public:
  explicit ManagedCGPool(CG_Ctx* aCtx);
  ~ManagedCGPool();
  ManagedCGPool(const ManagedCGPool&) = delete;
  ManagedCGPool& operator=(const ManagedCGPool&) = delete;

  MemPool* pool() const { return fPool; }
  operator MemPool*() const { return fPool; }
  CG_Ctx* ctx() const { return fCtx; }

private:
  CG_Ctx* fCtx;
  MemPool* fPool;
};

} // namespace CG
