// Faults in memory a pool is about to fill, on a second thread: zeroing fresh pages is then paid for off the
// thread that fills them. It is worth most where memory comes to a process cold, as on a virtual machine whose
// host has taken back what no process used for a while.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

class MemPool;

namespace CG {

class PageAhead {
public:
  // The thread starts when the first range is asked for; without one to spare, nothing is faulted in ahead.
  PageAhead();
  ~PageAhead();
  PageAhead(const PageAhead&) = delete;
  PageAhead& operator=(const PageAhead&) = delete;

  // Asks for the pages of the range to be faulted in, writable, and returns at once. Their contents stay as
  // they are: the range may be written meanwhile.
  void populate(void* aBegin, size_t aSize);
  // Waits until every range asked for is faulted in, or given up.
  void finish();

private:
  void run();

  std::deque<std::pair<void*, size_t>> fRanges;
  bool fBusy = false;
  bool fStopping = false;
  bool fNoThread = false;
  std::mutex fMutex;
  std::condition_variable fChanged;
  std::thread fThread;
};

// Pages ahead for a pool while it lives: the pool gives back on its end what was faulted in and not reached.
class PagingAhead {
public:
  explicit PagingAhead(MemPool* aPool);
  ~PagingAhead();
  PagingAhead(const PagingAhead&) = delete;
  PagingAhead& operator=(const PagingAhead&) = delete;

private:
  PageAhead fAhead;
  MemPool* fPool;
};

} // namespace CG
