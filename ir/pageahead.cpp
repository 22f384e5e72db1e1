// The thread that faults in the pages a pool is about to fill.
#include "ir/pageahead.h"

#include <system_error>

#include "ir/mempool.h"

namespace CG {

PageAhead::PageAhead() = default;

PageAhead::~PageAhead() {
  if (!fThread.joinable())
    return;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fStopping = true;
  }
  fChanged.notify_all();
  fThread.join();
}

// The thread starts with the first range: a small module never asks for one.
void PageAhead::populate(void* aBegin, size_t aSize) {
  if (aSize == 0 || fNoThread)
    return;
  if (!fThread.joinable()) {
    try {
      fThread = std::thread(&PageAhead::run, this);
    } catch (const std::system_error&) {
      // No thread to spare: the pool's own thread faults its pages in as it fills them.
      fNoThread = true;
      return;
    }
  }
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fRanges.emplace_back(aBegin, aSize);
  }
  fChanged.notify_all();
}

void PageAhead::finish() {
  std::unique_lock<std::mutex> lock(fMutex);
  fChanged.wait(lock, [&] { return fRanges.empty() && !fBusy; });
}

// A kernel without the request for populating memory (before Linux 5.14) refuses it: the thread then only
// drains its list.
void PageAhead::run() {
  bool kernelPopulates = true;
  std::unique_lock<std::mutex> lock(fMutex);
  for (;;) {
    fChanged.wait(lock, [&] { return fStopping || !fRanges.empty(); });
    if (fStopping)
      return;
    auto [begin, size] = fRanges.front();
    fRanges.pop_front();
    fBusy = true;
    lock.unlock();
    if (kernelPopulates && !populatePages(begin, size))
      kernelPopulates = false;
    lock.lock();
    fBusy = false;
    fChanged.notify_all();
  }
}

PagingAhead::PagingAhead(MemPool* aPool) : fPool(aPool) {
  fPool->setPageAhead(&fAhead);
}

PagingAhead::~PagingAhead() {
  fPool->setPageAhead(nullptr);
}

} // namespace CG
