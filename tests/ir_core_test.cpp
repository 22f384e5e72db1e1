// Tests of the IR core: pools, strings, containers, text, errors, tags, scopes, types, values, filters.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "ir/containers.h"
#include "ir/ctx.h"
#include "ir/logger.h"
#include "ir/mempool.h"
#include "ir/node.h"
#include "ir/pageahead.h"
#include "ir/poolvector.h"
#include "ir/predicate.h"
#include "ir/scope.h"
#include "ir/stringbuffer.h"
#include "ir/strings.h"
#include "ir/symbol.h"
#include "ir/tag.h"
#include "ir/typefactory.h"
#include "ir/value.h"

using namespace CG;

namespace {

const char* kFailFast = "Fail-fast: Map modified for MapIterator";

template <class F> std::string internalMessageOf(F aAction) {
  try {
    aAction();
  } catch (const InternalException& error) {
    return error.what();
  }
  return "<no exception>";
}

// A fresh context, its type factory and its global scope.
class CtxTest : public ::testing::Test {
protected:
  CG_Ctx ctx;
  TypeFactory types{&ctx};
  Scope* global = ctx.globalScope();
};

using StringTest = CtxTest;
using AssertionTest = CtxTest;
using TypeTest = CtxTest;
using SymbolicSizeTest = CtxTest;
using ScopeTest = CtxTest;
using ContextTest = CtxTest;
using ValueTest = CtxTest;
using TagTest = CtxTest;
using MarkerTest = CtxTest;

// Notes its id in the log when destroyed.
struct Recorder {
  Recorder(std::vector<int>* aLog, int aId) : log(aLog), id(aId) {}
  ~Recorder() { log->push_back(id); }
  std::vector<int>* log;
  int id;
};

struct Reclaimed : Recorder {
  using PoolReclaimsStorage = void;
  using Recorder::Recorder;
};

} // namespace

TEST(MemPoolTest, FinalizersRunInReverseCreationOrder) {
  std::vector<int> order;
  {
    MemPool pool;
    for (int i = 0; i < 3; ++i)
      pool.make<Recorder>(&order, i);
    void* block = pool.alloc(40);
    pool.recycle(block, 40);
    EXPECT_EQ(pool.alloc(40), block);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pool.alloc(8, 64)) % 64, 0u);
  }
  EXPECT_EQ(order, (std::vector<int>{2, 1, 0}));
}

TEST(MemPoolTest, ClassesThatReclaimStorageGetNoFinalizer) {
  std::vector<int> destroyed;
  {
    MemPool pool;
    pool.make<Recorder>(&destroyed, 0);
    pool.make<Reclaimed>(&destroyed, 1);
    pool.make<Reclaimed>(&destroyed, 2);
  }
  EXPECT_EQ(destroyed, std::vector<int>{0});
}

// Enough blocks to fill several chunks, of which the later are large, with blocks of some megabytes among them
// that cross the huge pages of a chunk: each block keeps its bytes.
void fillChunksAndCheckBlocks(MemPool& aPool) {
  std::vector<std::pair<unsigned char*, size_t>> blocks;
  size_t total = 0;
  for (size_t size = 1; total < (40u << 20); size = size % 5000 + 97) {
    size_t blockSize = blocks.size() % 3000 == 2999 ? (3u << 20) + size : size;
    auto* block = static_cast<unsigned char*>(aPool.alloc(blockSize));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u);
    std::memset(block, static_cast<int>(blocks.size() & 0xFF), blockSize);
    blocks.emplace_back(block, blockSize);
    total += blockSize;
  }
  auto* huge = static_cast<unsigned char*>(aPool.alloc(20u << 20));
  std::memset(huge, 0xAB, 20u << 20);
  for (size_t i = 0; i < blocks.size(); ++i) {
    ASSERT_EQ(blocks[i].first[0], i & 0xFF);
    ASSERT_EQ(blocks[i].first[blocks[i].second - 1], i & 0xFF);
  }
  EXPECT_GE(aPool.bytesAllocated(), total + (20u << 20));
}

TEST(MemPoolTest, BlocksKeepAlignmentAndContentsAcrossGrowingChunks) {
  MemPool pool;
  pool.alloc(8, 8);
  void* narrow = pool.alloc(24, 8);
  ASSERT_EQ(reinterpret_cast<uintptr_t>(narrow) % 16, 8u);
  pool.recycle(narrow, 24);
  EXPECT_NE(pool.alloc(24, 16), narrow) << "a recycled block must not serve a stricter alignment";
  EXPECT_EQ(pool.alloc(24, 8), narrow);
  fillChunksAndCheckBlocks(pool);
}

TEST(MemPoolTest, BlocksKeepTheirContentsWhilePagesAreFaultedInAhead) {
  MemPool pool;
  {
    PagingAhead paging(&pool);
    fillChunksAndCheckBlocks(pool);
  }
  fillChunksAndCheckBlocks(pool);
}

#if defined(__linux__)
// Whether the first byte's page of the range is in memory.
bool isResident(void* aAddress) {
  auto page = reinterpret_cast<uintptr_t>(aAddress) & ~static_cast<uintptr_t>(sysconf(_SC_PAGESIZE) - 1);
  unsigned char resident = 0;
  return mincore(reinterpret_cast<void*>(page), 1, &resident) == 0 && (resident & 1) != 0;
}

// Small blocks until one opens a chunk of the largest size, which is mapped on its own: the chunks double up to
// it within the first 16 MB, and the block lies just past the start of a huge page. aLast is the last block.
char* openLargestChunk(MemPool& aPool, char*& aLast) {
  aLast = static_cast<char*>(aPool.alloc(64));
  for (int i = 0; i < 1000000; ++i) {
    auto* block = static_cast<char*>(aPool.alloc(64));
    bool newChunk = block != aLast + 64;
    aLast = block;
    if (newChunk && aPool.bytesAllocated() > (16u << 20))
      return block;
  }
  return nullptr;
}

// A pool paging ahead that has just opened a chunk of the largest size (opening, the block that opened it, is
// also the last handed out).
class PagedPoolTest : public ::testing::Test {
protected:
  void SetUp() override {
    pool.setPageAhead(&ahead);
    opening = openLargestChunk(pool, last);
    ASSERT_NE(nullptr, opening);
  }

  static constexpr size_t kChunk = 8u << 20;
  MemPool pool;
  PageAhead ahead;
  char* opening = nullptr;
  char* last = nullptr;
};

// The huge page after the one being filled is faulted in ahead; when paging ahead ends, the pool gives it back,
// since it never handed any of it out.
TEST_F(PagedPoolTest, APageFaultedInAheadAndNeverReachedIsGivenBack) {
  constexpr uintptr_t kHugePage = 2u << 20;
  char* nextPage = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(opening) & ~(kHugePage - 1)) + kHugePage);
  ahead.finish();
  void* probe = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  bool kernelPopulates = populatePages(probe, 4096);
  munmap(probe, 4096);
  if (kernelPopulates) {
    EXPECT_TRUE(isResident(nextPage));
  }
  pool.setPageAhead(nullptr);
  EXPECT_FALSE(isResident(nextPage));
  EXPECT_FALSE(isResident(nextPage + kHugePage - 1));
  // The pool goes on from where it was.
  auto* after = static_cast<char*>(pool.alloc(64));
  EXPECT_EQ(last + 64, after);
}

// Populating faults in the pages wholly inside the range, and only those, and leaves every byte as it was.
TEST(PageTest, PopulatingFaultsInTheWholePagesOfTheRangeAndKeepsTheirBytes) {
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  auto* region = static_cast<char*>(mmap(nullptr, 8 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(MAP_FAILED, static_cast<void*>(region));
  std::memset(region + page, 0x5A, 100);
  bool kernelPopulates = populatePages(region + page + 1, 5 * page);
  EXPECT_EQ(0x5A, region[page]);
  EXPECT_EQ(0x5A, region[page + 99]);
  EXPECT_EQ(0, region[page + 100]);
  if (kernelPopulates) {
    EXPECT_FALSE(isResident(region));
    EXPECT_TRUE(isResident(region + 2 * page));
    EXPECT_TRUE(isResident(region + 5 * page));
    EXPECT_FALSE(isResident(region + 6 * page)) << "a page the range only reaches into stays out";
  }
  munmap(region, 8 * page);
}

// A block of some hundred kilobytes is filled at once, so it comes in whole when it is allocated.
TEST(PageTest, MidSizedBlocksAreInMemoryFromTheStart) {
  constexpr size_t kSize = 300 * 1024;
  auto* block = static_cast<char*>(allocBlock(kSize));
  EXPECT_TRUE(isResident(block));
  EXPECT_TRUE(isResident(block + kSize - 1));
  std::memset(block, 7, kSize);
  EXPECT_EQ(7, block[kSize - 1]);
  freeBlock(block, kSize);
}

// Near the end of a chunk the next one is mapped ahead. Given back when paging ahead ends there, it must not be
// the chunk the pool opens next; the chunk after a spare that was taken must be a chunk of its own.
TEST_F(PagedPoolTest, AChunkMappedAheadIsTakenOnceAndNeverAfterItIsGivenBack) {
  auto fillUpTo = [&](char* aEnd) {
    while (last < aEnd)
      last = static_cast<char*>(pool.alloc(64));
  };
  fillUpTo(opening + kChunk - (256u << 10));
  ahead.finish();
  pool.setPageAhead(nullptr);
  pool.setPageAhead(&ahead);
  std::vector<char*> blocks;
  for (int chunk = 0; chunk < 3; ++chunk) {
    auto* block = static_cast<char*>(pool.alloc(kChunk / 2));
    std::memset(block, chunk + 1, kChunk / 2);
    blocks.push_back(block);
    last = static_cast<char*>(pool.alloc(64));
    fillUpTo(block + kChunk - (256u << 10));
  }
  pool.setPageAhead(nullptr);
  for (size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(i + 1, static_cast<size_t>(blocks[i][0]));
    EXPECT_EQ(i + 1, static_cast<size_t>(blocks[i][kChunk / 2 - 1]));
  }
}
#endif

TEST_F(StringTest, EqualTextsShareOnePointer) {
  std::string built = std::string("al") + "pha";
  char* alpha = cg_string_create(&ctx, "alpha");
  EXPECT_EQ(alpha, ctx.cgString(built));
  EXPECT_EQ(alpha, cg_string_createf(&ctx, "%s%s", "alp", "ha"));
  for (size_t length : {255u, 256u, 1000u}) {
    std::string longText(length, 'x');
    EXPECT_EQ(ctx.cgString(longText + "!"), cg_string_createf(&ctx, "%s%c", longText.c_str(), '!'));
  }
  EXPECT_NE(alpha, ctx.cgString("alpha "));
  EXPECT_EQ(ctx.cgString(""), cg_string_create(&ctx, ""));
  EXPECT_EQ(nullptr, ctx.cgString(static_cast<const char*>(nullptr)));
  EXPECT_EQ(alpha, cg_string_toascii(alpha));
  EXPECT_EQ(0, cg_strcmp(nullptr, ""));
  EXPECT_LT(cg_string_cmp(nullptr, "a"), 0);
  CG_Ctx other;
  EXPECT_NE(alpha, other.cgString("alpha"));
  // The table keeps 32-bit lengths: a longer text is refused before a byte of it is read.
  EXPECT_THROW(ctx.cgString(std::string_view("x", size_t{1} << 32)), InternalException);
}

// Texts interned before the table is grown, by doubling or by a reservation, keep their pointers.
TEST_F(StringTest, TextsKeepTheirPointersWhenTheTableGrows) {
  std::vector<char*> interned;
  auto internMore = [&](int aCount) {
    for (int i = 0; i < aCount; ++i)
      interned.push_back(ctx.cgString("name" + std::to_string(interned.size())));
  };
  internMore(3000);
  ctx.reserveStrings(50000);
  internMore(3000);
  ctx.reserveStrings(0);
  for (size_t i = 0; i < interned.size(); ++i)
    ASSERT_EQ(interned[i], ctx.cgString("name" + std::to_string(i))) << i;
}

// A table emptied and filled again (scratch reused from one function to the next) behaves as a new one.
TEST(ContainerTest, MapKeepsInsertionOrderThroughRemovalsRegrowthAndReuse) {
  std::vector<int> storage(2000);
  IdMap<int*, int> map;
  for (unsigned round = 0; round < 2; ++round) {
    std::map<int*, int> reference;
    std::vector<int*> expectedOrder;
    std::mt19937 random(7 + round);
    for (int step = 0; step < 20000; ++step) {
      // The null key is a key like any other.
      int* key = random() % 100 == 0 ? nullptr : &storage[random() % storage.size()];
      if (random() % 3 == 0) {
        bool removed = map.remove(key);
        EXPECT_EQ(removed, reference.erase(key) == 1);
        if (removed)
          expectedOrder.erase(std::find(expectedOrder.begin(), expectedOrder.end(), key));
        continue;
      }
      if (reference.count(key) == 0)
        expectedOrder.push_back(key);
      map.put(key, step);
      reference[key] = step;
    }
    ASSERT_EQ(map.size(), reference.size()) << round;
    std::vector<int*> order;
    for (const auto& entry : map) {
      order.push_back(entry.first);
      EXPECT_EQ(entry.second, reference[entry.first]);
    }
    EXPECT_EQ(order, expectedOrder) << round;
    int* absent = &storage[0];
    if (!map.containsKey(absent)) {
      EXPECT_EQ(map.get(absent), 0);
      EXPECT_EQ(map.lookup(absent), nullptr);
    }
    map.clear();
    EXPECT_TRUE(map.isEmpty());
    EXPECT_TRUE(map.begin() == map.end());
  }
}

// Room reserved for a table's final size is made once: its values stay in place while it fills, and the entries
// removed before stay removed.
TEST(ContainerTest, ReservedMapFillsWithoutMovingItsValues) {
  std::vector<int> storage(3000);
  IdMap<int*, int> map;
  for (int i = 0; i < 100; ++i)
    map.put(&storage[i], i);
  for (int i = 0; i < 100; i += 2)
    map.remove(&storage[i]);
  map.reserve(3000);
  int* kept = map.lookup(&storage[1]);
  for (int i = 100; i < 3000; ++i)
    map.put(&storage[i], i);
  EXPECT_EQ(map.lookup(&storage[1]), kept);
  EXPECT_EQ(map.size(), 2950u);
  EXPECT_FALSE(map.containsKey(&storage[0]));
  std::vector<int> values;
  for (const auto& entry : map)
    values.push_back(entry.second);
  std::vector<int> expected;
  for (int i = 1; i < 3000; ++i)
    if (i >= 100 || i % 2 == 1)
      expected.push_back(i);
  EXPECT_EQ(values, expected);
}

TEST(ContainerTest, OverwriteKeepsPositionAndDoesNotInvalidateIterators) {
  int a = 0, b = 0, c = 0;
  IdMap<int*, const char*> map;
  map.put(&a, "a");
  map.put(&b, "b");
  map.put(&c, "c");
  IdMap<int*, const char*>::Iterator it(map);
  map.put(&a, "A");
  std::string text;
  for (; it.hasCurrent(); it.advance())
    text += it.value();
  EXPECT_EQ(text, "Abc");
  *map.lookup(&b) = "B";
  EXPECT_STREQ(map.get(&b), "B");
}

TEST(ContainerTest, StructuralChangeDuringIterationFailsFast) {
  int a = 0, b = 0, c = 0;
  using Map = IdMap<int*, int>;
  struct Case {
    const char* name;
    void (*change)(Map&, int*);
  };
  const Case cases[] = {
      {"put new key", [](Map& aMap, int* aKey) { aMap.put(aKey, 9); }},
      {"remove", [](Map& aMap, int*) { aMap.remove(aMap.begin()->first); }},
      {"clear", [](Map& aMap, int*) { aMap.clear(); }},
  };
  for (const Case& testCase : cases) {
    Map map;
    map.put(&a, 1);
    map.put(&b, 2);
    Map::Iterator it = map.iterator();
    testCase.change(map, &c);
    EXPECT_EQ(internalMessageOf([&] { it.advance(); }), kFailFast) << testCase.name;
  }
  Map map;
  map.put(&a, 1);
  map.put(&b, 2);
  EXPECT_EQ(internalMessageOf([&] {
              for (const auto& entry : map)
                map.remove(entry.first);
            }),
            kFailFast);
  IdSet<int*> set;
  set.add(&a);
  IdSet<int*>::Iterator setIt(set);
  set.add(&b);
  EXPECT_EQ(internalMessageOf([&] { setIt.current(); }), kFailFast);
}

TEST(ContainerTest, SetAndLinkedList) {
  int items[5] = {};
  IdSet<int*> set;
  EXPECT_TRUE(set.add(&items[1]));
  EXPECT_FALSE(set.add(&items[1]));
  EXPECT_TRUE(set.contains(&items[1]));
  EXPECT_TRUE(set.remove(&items[1]));
  EXPECT_FALSE(set.remove(&items[1]));
  EXPECT_TRUE(set.isEmpty());

  IdLinkedList<int*> list;
  list.append(&items[1]);
  list.append(&items[2]);
  list.prepend(&items[0]);
  EXPECT_FALSE(list.append(&items[2]));
  EXPECT_EQ(list.size(), 3u);
  EXPECT_EQ(list.first(), &items[0]);
  EXPECT_EQ(list.last(), &items[2]);
  EXPECT_EQ(list.at(1), &items[1]);
  EXPECT_TRUE(list.remove(&items[1]));
  EXPECT_FALSE(list.contains(&items[1]));
  std::vector<int*> seen;
  for (int* item : list)
    seen.push_back(item);
  EXPECT_EQ(seen, (std::vector<int*>{&items[0], &items[2]}));
  IdLinkedList<int*>::Iterator it(list);
  list.append(&items[4]);
  EXPECT_EQ(internalMessageOf([&] { it.current(); }), kFailFast);
}

namespace {

std::vector<int> itemsOf(const PoolVector<int>& aList) {
  return std::vector<int>(aList.begin(), aList.end());
}

std::vector<int> countingTo(int aCount) {
  std::vector<int> items;
  for (int i = 0; i < aCount; ++i)
    items.push_back(i);
  return items;
}

} // namespace

// Segments hold 8, 16, 32, ... items: the sizes sit on both sides of their edges.
TEST(PoolVectorTest, IndexAndIterationAgreeAcrossSegmentEdges) {
  for (int size : {0, 1, 7, 8, 9, 23, 24, 25, 56, 1000}) {
    MemPool pool;
    PoolVector<int> list(&pool);
    for (int i = 0; i < size; ++i)
      list.push_back(i);
    ASSERT_EQ(list.size(), static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
      ASSERT_EQ(list[i], i) << "size " << size;
    EXPECT_EQ(itemsOf(list), countingTo(size)) << "size " << size;
  }
}

// 56 items fill the segments the list holds itself; 130 need the table of further segments.
TEST(PoolVectorTest, TruncatedRoomIsFilledAgainWithoutNewMemory) {
  for (int size : {56, 130}) {
    for (int kept : {0, 5, 8, 24, 30, 60}) {
      if (kept > size)
        continue;
      MemPool pool;
      PoolVector<int> list(&pool);
      for (int i = 0; i < size; ++i)
        list.push_back(i);
      size_t bytes = pool.bytesAllocated();
      list.truncate(kept);
      EXPECT_EQ(itemsOf(list), countingTo(kept)) << "kept " << kept;
      for (int i = kept; i < size; ++i)
        list.push_back(i);
      EXPECT_EQ(itemsOf(list), countingTo(size)) << "kept " << kept;
      EXPECT_EQ(pool.bytesAllocated(), bytes) << "kept " << kept;
    }
  }
}

TEST(PoolVectorTest, KeepIfCompactsInOrderAcrossSegments) {
  MemPool pool;
  PoolVector<int> list(&pool);
  for (int i = 0; i < 100; ++i)
    list.push_back(i);
  list.keepIf([](int aItem) { return aItem % 3 == 0; });
  std::vector<int> expected;
  for (int i = 0; i < 100; i += 3)
    expected.push_back(i);
  EXPECT_EQ(itemsOf(list), expected);
  list.keepIf([](int) { return false; });
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(itemsOf(list), std::vector<int>{});
}

TEST(StringBufferTest, DoublesRoundTripWithFloatingForm) {
  const double values[] = {0.1,
                           1e300,
                           5e-324,
                           -0.0,
                           2.0,
                           123456789.0,
                           1.0 / 3.0,
                           -2.5e-7,
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::min()};
  for (double value : values) {
    std::string text = doubleToText(value);
    EXPECT_NE(text.find_first_of(".eE"), std::string::npos) << text;
    double back = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
  }
  EXPECT_EQ(doubleToText(0.1), "0.1");
  EXPECT_EQ(doubleToText(2.0), "2.0");
  EXPECT_EQ(doubleToText(-0.0), "-0.0");
  StringBuffer buffer;
  buffer.append(std::nan("")).append(' ').append(HUGE_VAL).append(' ').append(-HUGE_VAL);
  EXPECT_EQ(buffer.str(), "NaN Inf -Inf");
}

TEST(StringBufferTest, EscapesAndEditing) {
  StringBuffer buffer;
  buffer.appendFormat("a\\n\\t\\\\\\'\\\"\\101\\x41\\0z");
  EXPECT_EQ(buffer.str(), std::string("a\n\t\\'\"AA\0z", 10));
  buffer.clear();
  // Hex digits of either case, at most two; the rest of the short escapes; an unknown one keeps its character.
  buffer.appendFormat("\\x4f\\xAb1\\b\\f\\r\\v\\?\\q\\");
  EXPECT_EQ(buffer.str(), "O\xab" "1\b\f\r\v?q\\");
  buffer.clear();
  buffer.append(-12LL).append(',').append(18446744073709551615ULL).appendf("|%03d", 7);
  EXPECT_EQ(buffer.str(), "-12,18446744073709551615|007");
  buffer.chop(4);
  EXPECT_EQ(buffer.lastChar(), '5');
  buffer.chop(100);
  EXPECT_TRUE(buffer.empty());
}

// The buffer keeps free room past its text: a shortened text must still read back exactly, through c_str and
// after growth, and release hands over the text alone.
TEST(StringBufferTest, TextStaysExactThroughGrowthChopAndRelease) {
  StringBuffer buffer;
  EXPECT_STREQ(buffer.c_str(), "");
  std::string expected;
  for (int i = 0; i < 1000; ++i) {
    buffer.append("ab").append(3, 'c').append(i);
    expected += "abccc" + std::to_string(i);
  }
  EXPECT_EQ(buffer.length(), expected.size());
  buffer.chop(3);
  expected.resize(expected.size() - 3);
  EXPECT_STREQ(buffer.c_str(), expected.c_str());
  buffer.appendf("%s", "");
  buffer.append('x');
  expected += 'x';
  EXPECT_EQ(buffer.str(), expected);
  buffer.reserve(1 << 20);
  EXPECT_EQ(buffer.str(), expected);
  EXPECT_EQ(buffer.release(), expected);
  EXPECT_TRUE(buffer.empty());
  EXPECT_STREQ(buffer.append("again").c_str(), "again");
  StringBuffer reserved;
  reserved.reserve(100);
  std::string threeHundred;
  for (int i = 0; i < 100; ++i) {
    reserved.append("xyz");
    threeHundred += "xyz";
  }
  EXPECT_EQ(reserved.release(), threeHundred);
  // Megabytes, in pieces of every length: the room made for them in large slices keeps every byte written.
  StringBuffer large;
  std::string largeExpected;
  for (int i = 0; largeExpected.size() < (3u << 20); ++i) {
    std::string piece(static_cast<size_t>(i % 700 + 1), static_cast<char>('a' + i % 26));
    large.append(piece);
    largeExpected += piece;
  }
  EXPECT_EQ(large.release(), largeExpected);
}

namespace {

class RecordingHandler : public Corvid::System::Handler {
public:
  void publish(const Corvid::System::LogRecord& aRecord) override { records.push_back(aRecord); }
  std::vector<Corvid::System::LogRecord> records;
};

class LoggerTest : public ::testing::Test {
protected:
  void SetUp() override { TheLogger::instance().logger()->addHandler(&fHandler); }
  void TearDown() override { TheLogger::instance().logger()->removeHandler(&fHandler); }
  RecordingHandler fHandler;
};

} // namespace

TEST_F(LoggerTest, LevelsAndTaskComponents) {
  TheLogger& logger = TheLogger::instance();
  {
    TheLogger task(MessageId{"Quill", "parse", "", 0}, Corvid::System::ALL);
    logger.logInfo("q:info", "n=%d", 1);
    logger.logWarning("q:warn", "%s", "w");
    logger.logSevere("q:severe", "s");
  }
  logger.logInfo("q:after", "x");
  ASSERT_EQ(fHandler.records.size(), 4u);
  EXPECT_EQ(fHandler.records[0].level, 64);
  EXPECT_EQ(fHandler.records[0].message, "n=1");
  EXPECT_EQ(fHandler.records[1].level, 128);
  EXPECT_EQ(fHandler.records[2].level, 192);
  EXPECT_EQ(fHandler.records[2].component, "Quill");
  EXPECT_EQ(fHandler.records[2].subcomponent, "parse");
  EXPECT_EQ(fHandler.records[3].component, "");
  {
    TheLogger quiet(MessageId{"Quill", "emit", "", 0}, Corvid::System::WARNING);
    logger.logInfo("q:dropped", "x");
  }
  EXPECT_EQ(fHandler.records.size(), 4u);
}

TEST_F(LoggerTest, ThrowsTypedExceptionsAfterPublishing) {
  TheLogger& logger = TheLogger::instance();
  try {
    logger.throwUserException("q:user", "bad token '%s' at %d", "x", 3);
    FAIL();
  } catch (const MessageException& error) {
    EXPECT_STREQ(error.what(), "bad token 'x' at 3");
    EXPECT_EQ(error.id(), "q:user");
  }
  try {
    logger.throwInternalException("q:internal", "%d", 5);
    FAIL();
  } catch (const std::logic_error& error) {
    ASSERT_NE(dynamic_cast<const InternalException*>(&error), nullptr);
    EXPECT_STREQ(error.what(), "5");
  }
  ASSERT_EQ(fHandler.records.size(), 2u);
  EXPECT_EQ(fHandler.records[1].level, 192);
  EXPECT_EQ(fHandler.records[1].id, "q:internal");
}

TEST_F(AssertionTest, ExceptionCarriesFileLineAndExpression) {
  int line = 0;
  try {
    int count = 2;
    line = __LINE__ + 1;
    CG_ASSERT(count == 3, "ir_core_test.cpp");
    FAIL();
  } catch (const AssertionException& error) {
    EXPECT_EQ(error.file(), "ir_core_test.cpp");
    EXPECT_EQ(error.line(), line);
    EXPECT_EQ(error.expression(), "count == 3");
    EXPECT_EQ(std::string(error.what()),
              "Assertion failed: count == 3 (ir_core_test.cpp:" + std::to_string(line) + ")");
  }
  EXPECT_THROW(client_assertion_failed("f.c", 1, "x"), AssertionException);
  EXPECT_THROW(Var::cast(ctx.globalScope()), AssertionException);
  EXPECT_EQ(Var::cast(static_cast<CG_Obj*>(nullptr)), nullptr);
}

// Parts a type cannot print without are refused when the type is made.
TEST_F(TypeTest, FactoryRefusesMissingDimensionsAndBases) {
  EXPECT_THROW(types.dynamicMatrixType(types.doubleType(), {{true, nullptr}}, false), AssertionException);
  EXPECT_THROW(types.classType(ctx.globalScope(), "C", {}, {{nullptr, 0}}), AssertionException);
}

TEST_F(TypeTest, WordLayoutPerFactoryType) {
  struct Row {
    Type* type;
    int basicKind;
    int classKind;
  };
  SymbolicSizeFactory sizes(&ctx);
  const Row rows[] = {
      {types.voidType(), 1, 22},
      {types.singleType(), 2, 13},
      {types.doubleType(), 3, 4},
      {types.signedInt8Type(), 4, 12},
      {types.signedInt64Type(), 7, 12},
      {types.unsignedInt8Type(), 8, 12},
      {types.unsignedInt64Type(), 11, 12},
      {types.boolType(), 12, 1},
      {types.charType(), 13, 2},
      {types.stringType(), 14, 15},
      {types.untypedType(), 16, 21},
      {types.unknownType(), 17, 19},
      {types.intType(), 19, 20},
      {types.uintType(), 20, 20},
      {types.errorType(), 0, 7},
      {types.kalIntType(), 0, 17},
      {types.integerType(true, 24), 0, 12},
      {types.fixptType(true, 16, 1.0, -4, 0.0, false), 0, 8},
      {types.complexType(types.doubleType()), 0, 3},
      {types.pointerType(types.charType()), 0, 11},
      {types.referenceType(types.charType()), 0, 26},
      {types.matrixType(types.doubleType(), {sizes.size64(2)}, true), 0, 14},
      {types.dynamicMatrixType(types.doubleType(), {{true, sizes.size64(8)}}, false), 0, 5},
      {types.fcnType({}, {}), 0, 9},
      {types.fcnType({}, {}, true), 0, 24},
      {types.opaqueType(10), 0, 10},
      {types.opaqueType(25), 0, 25},
      {types.opaqueType(-3), 0, -3},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.type->basicKind(), row.basicKind) << row.classKind;
    EXPECT_EQ(row.type->classKind(), row.classKind) << row.basicKind;
    EXPECT_EQ(row.type->word() & ~0x3fffffu, 0u);
    EXPECT_FALSE(row.type->isReadonly());
  }
  EXPECT_EQ(types.basicType(6), types.signedInt32Type());
  EXPECT_THROW(types.basicType(15), AssertionException);
  EXPECT_EQ(types.opaqueType(-3)->word(), 0x3du << 16);

  Type* readonlyVolatile = types.qualifiedType(types.signedInt32Type(), true, true);
  EXPECT_EQ(readonlyVolatile->word(), (6u | (12u << 16) | (1u << 22) | (1u << 23)));
}

TEST_F(TypeTest, StructuralTypesAreUniquedAndQualifiedFormsDistinct) {
  TypeFactory again(&ctx);
  IntegerType* int32 = types.signedInt32Type();
  EXPECT_EQ(int32, again.integerType(true, 32));
  EXPECT_EQ(types.pointerType(int32), again.pointerType(again.signedInt32Type()));
  EXPECT_EQ(types.fcnType({int32}, {types.boolType()}), again.fcnType({int32}, {types.boolType()}));
  EXPECT_NE(types.fcnType({int32}, {}), types.fcnType({}, {int32}));
  EXPECT_EQ(types.fixptType(true, 16, 1.5, -3, 0.25, false), types.fixptType(true, 16, 1.5, -3, 0.25, false));
  EXPECT_NE(types.fixptType(true, 16, 1.5, -3, 0.25, false), types.fixptType(true, 16, 1.5, -3, 0.5, false));

  Type* readonlyInt = types.qualifiedType(int32, true, false);
  EXPECT_NE(readonlyInt, int32);
  EXPECT_EQ(readonlyInt, types.qualifiedType(int32, true, false));
  EXPECT_TRUE(readonlyInt->isReadonly());
  EXPECT_FALSE(readonlyInt->isVolatile());
  EXPECT_EQ(readonlyInt->unqualified(), int32);
  EXPECT_TRUE(IntegerType::isa(readonlyInt));
  EXPECT_EQ(IntegerType::cast(readonlyInt)->numBits(), 32);
  EXPECT_FALSE(readonlyInt->equals(int32));
  EXPECT_EQ(types.qualifiedType(readonlyInt, false, true), types.qualifiedType(int32, true, true));
  EXPECT_EQ(types.qualifiedType(int32, false, false), int32);
  EXPECT_EQ(readonlyInt->scope(), ctx.globalScope());
  EXPECT_EQ(ctx.globalScope()->firstSymbol(), nullptr);
}

TEST_F(TypeTest, NamedTypesAreDistinctSymbols) {
  Type* int32 = types.signedInt32Type();
  std::vector<FieldDesc> fields = {{ctx.cgString("x"), int32}, {ctx.cgString("y"), types.doubleType()}};
  StructType* first = types.structType(global, "Point", "tagPoint", fields);
  StructType* second = types.structType(global, "Point2", "tagPoint", fields);
  EXPECT_NE(first, second);
  EXPECT_FALSE(first->equals(second));
  EXPECT_TRUE(types.pointerType(first)->equals(types.pointerType(first)));
  EXPECT_FALSE(types.pointerType(first)->equals(types.pointerType(second)));
  EXPECT_EQ(first->fieldIndex(ctx.cgString("y")), 1);
  StructType* anonymous = types.structType(global, nullptr, nullptr, {});
  Type* alias = types.namedCopy(int32, global, "myint");
  EXPECT_NE(alias, int32);
  EXPECT_TRUE(alias->equals(int32));
  EXPECT_TRUE(types.pointerType(alias)->equals(types.pointerType(int32)));

  Type* readonlyPoint = types.qualifiedType(first, true, false);
  first->addField(ctx.cgString("z"), int32);
  EXPECT_EQ(StructType::cast(readonlyPoint)->numFields(), 3);

  EnumType* color =
      types.enumType(global, "Color", "Color", {{ctx.cgString("RED"), 1}, {ctx.cgString("BLUE"), 4}}, nullptr);
  bool found = false;
  EXPECT_EQ(color->valueOf("BLUE", &found), 4);
  EXPECT_TRUE(found);
  color->valueOf("GREEN", &found);
  EXPECT_FALSE(found);
  // An element added after a lookup is found by the next one; of two equal names the first counts.
  color->addElement(ctx.cgString("GREEN"), 2);
  color->addElement(ctx.cgString("RED"), 9);
  EXPECT_EQ(color->valueOf("GREEN", &found), 2);
  EXPECT_TRUE(found);
  EXPECT_EQ(color->valueOf(std::string("RED").c_str(), &found), 1);
  EXPECT_EQ(color->baseType(), types.embeddedIntegerType());

  std::vector<Symbol*> symbols;
  for (Symbol* symbol = global->firstSymbol(); symbol != nullptr; symbol = symbol->next())
    symbols.push_back(symbol);
  EXPECT_EQ(symbols, (std::vector<Symbol*>{first, second, alias, color}));
  EXPECT_EQ(anonymous->scope(), global);
}

TEST_F(SymbolicSizeTest, UniquingAndText) {
  SymbolicSizeFactory sizes(&ctx);
  SymbolicSize* n = sizes.idSize(ctx.globalScope(), "N");
  SymbolicSize* sum = sizes.binopSize("+", n, sizes.size64(3));
  EXPECT_EQ(sizes.size64(3), sizes.size64(3));
  EXPECT_EQ(sum, sizes.binopSize("+", n, sizes.size64(3)));
  EXPECT_EQ(sizes.unopSize("-u", sum)->toString(), "-u(+(N,3))");
  IdMap<SymbolicSize*, char*> names;
  names.put(n, ctx.cgString("rows"));
  EXPECT_EQ(sum->toString(&names), "+(rows,3)");
  EXPECT_EQ(sizes.unknownSize()->toString(), "");
  EXPECT_TRUE(sizes.size64(Size64::unknown)->isUnknown());
  EXPECT_TRUE(SymbolicSizeFactory::isSizeOperator("max", 2));
  EXPECT_FALSE(SymbolicSizeFactory::isSizeOperator("-u", 2));
  EXPECT_TRUE(SymbolicSizeFactory::isSizeOperator("-u", 1));
}

// Two scopes a and b in the global scope, in that order.
class ScopeTree : public CtxTest {
protected:
  Scope* a = cg_scope_create(global, "a", ctx.pool());
  Scope* b = cg_scope_create(global, "b", ctx.pool());
};

TEST_F(ScopeTree, ChildOrderLookupAndDestroy) {
  Scope* inner = cg_scope_create(a, "inner", ctx.pool());
  EXPECT_EQ(global->childScopes(), (std::vector<Scope*>{a, b}));
  EXPECT_EQ(global->findSubScope("b"), b);
  EXPECT_EQ(global->findSubScope("inner"), nullptr);
  EXPECT_FALSE(global->hasChildScope(ctx.reservedScope(0)));
  EXPECT_EQ(ctx.reservedScope(2), nullptr);

  Var* outer = cg_var_create(global, types.doubleType(), "v");
  Var* shadow = cg_var_create(inner, types.signedInt32Type(), "v");
  EXPECT_EQ(cg_scope_tree_find_by_name(inner, "v", CG_VAR), shadow);
  EXPECT_EQ(cg_scope_tree_find_by_name(b, "v", CG_VAR), outer);
  EXPECT_EQ(cg_scope_tree_find_by_name(b, "v", CG_CONST), nullptr);

  Scope* detached = cg_scope_create(nullptr, "d", ctx.pool());
  EXPECT_EQ(detached->parent(), nullptr);
  EXPECT_EQ(detached->ctx(), &ctx);

  cg_scope_destroy(a);
  EXPECT_EQ(global->childScopes(), (std::vector<Scope*>{b}));
  EXPECT_EQ(inner->firstSymbol(), shadow);
  cg_scope_destroy(inner);
  EXPECT_EQ(inner->firstSymbol(), nullptr);
  EXPECT_EQ(shadow->scope(), nullptr);
}

// A scope stands in a child list at most once, whether the list is its parent's or another scope's, and
// leaves it when removed, also after a removal and a second adding.
TEST_F(ScopeTree, ChildListHoldsEachScopeOnce) {
  Scope* foreign = cg_scope_create(a, "foreign", ctx.pool());
  global->addChildScope(a);
  EXPECT_EQ(global->childScopes(), (std::vector<Scope*>{a, b}));

  global->removeChildScope(a);
  global->removeChildScope(a);
  EXPECT_FALSE(global->hasChildScope(a));
  global->addChildScope(a);
  global->addChildScope(a);
  EXPECT_EQ(global->childScopes(), (std::vector<Scope*>{b, a}));

  global->addChildScope(foreign);
  global->addChildScope(foreign);
  EXPECT_TRUE(global->hasChildScope(foreign));
  EXPECT_TRUE(a->hasChildScope(foreign));
  EXPECT_EQ(global->childScopes(), (std::vector<Scope*>{b, a, foreign}));
  global->removeChildScope(foreign);
  EXPECT_FALSE(global->hasChildScope(foreign));
  EXPECT_TRUE(a->hasChildScope(foreign));
  EXPECT_FALSE(global->hasChildScope(nullptr));
}

// Printing and collecting walk down the child lists: a list that leads back up would never end.
TEST_F(ScopeTree, AScopeCannotHoldItselfOrAScopeAboveIt) {
  Scope* inner = cg_scope_create(a, "inner", ctx.pool());
  Scope* deepest = cg_scope_create(inner, "deepest", ctx.pool());
  EXPECT_THROW(a->addChildScope(a), AssertionException);
  EXPECT_THROW(deepest->addChildScope(global), AssertionException);
  EXPECT_THROW(deepest->addChildScope(a), AssertionException);
  b->addChildScope(inner);
  EXPECT_THROW(deepest->addChildScope(b), AssertionException);
  EXPECT_EQ(deepest->childScopes(), std::vector<Scope*>{});
  b->addChildScope(deepest);
  EXPECT_EQ(b->childScopes(), (std::vector<Scope*>{inner, deepest}));
}

TEST_F(ScopeTest, FunctionScopesJoinTheTreeOnlyWithAGraph) {
  Fcn* fcn = Fcn::create(global, "f");
  Var* in = fcn->addInput(types.doubleType(), "u");
  Var* out = fcn->addOutput(types.boolType(), "y");
  Var* local = cg_var_create(fcn->localScope(), types.signedInt32Type(), "t");
  EXPECT_TRUE(global->childScopes().empty());
  EXPECT_EQ(fcn->ioScope()->parent(), global);
  EXPECT_EQ(fcn->ioScope()->owningFcn(), fcn);
  EXPECT_EQ(cg_scope_create(fcn->localScope(), "block", ctx.pool())->owningFcn(), fcn);
  EXPECT_EQ(global->owningFcn(), nullptr);
  EXPECT_EQ(cg_scope_tree_find_by_name(fcn->localScope(), "u", CG_VAR), in);
  EXPECT_TRUE(ExprTools::isIOVar(in));
  EXPECT_TRUE(ExprTools::isIOVar(out));
  EXPECT_FALSE(ExprTools::isIOVar(local));
  // Only registered inputs and outputs count: not a variable merely made in the io scope, nor one moved out.
  Fcn* other = Fcn::create(global, "g");
  Var* stray = cg_var_create(other->ioScope(), types.doubleType(), "s");
  EXPECT_FALSE(ExprTools::isIOVar(stray));
  other->addInputVar(stray);
  EXPECT_TRUE(ExprTools::isIOVar(stray));
  global->addSymbol(stray);
  EXPECT_FALSE(ExprTools::isIOVar(stray));

  FcnType* type = FcnType::cast(fcn->type());
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type, types.fcnType({types.doubleType()}, {types.boolType()}));
  EXPECT_TRUE(cg_const_is_function(fcn));
  // The type is remembered, and follows a parameter that changes its type or a parameter added.
  in->setType(types.signedInt32Type());
  EXPECT_EQ(fcn->type(), types.fcnType({types.signedInt32Type()}, {types.boolType()}));
  fcn->addInput(types.boolType(), "v");
  EXPECT_EQ(fcn->type(), types.fcnType({types.signedInt32Type(), types.boolType()}, {types.boolType()}));
  in->setType(types.doubleType());

  ASSERT_NE(fcn->createCfg(), nullptr);
  EXPECT_EQ(fcn->createCfg(), fcn->cfg());
  EXPECT_EQ(global->childScopes(), (std::vector<Scope*>{fcn->ioScope(), fcn->localScope()}));

  CorePrototype* prototype = CorePrototype::create(ctx.reservedScope(1), "ext");
  EXPECT_THROW(prototype->createCfg(), AssertionException);
  EXPECT_FALSE(prototype->takesVariableInputs());
  prototype->forceVariadic();
  EXPECT_TRUE(prototype->takesVariableInputs());

  fcn->setScalarized();
  fcn->setDomVM();
  EXPECT_EQ(fcn->fcnFlags(), 0x1040u);
  EXPECT_TRUE(fcn->hasStoreAddr());
  fcn->setDoesNotStoreAddr();
  EXPECT_FALSE(fcn->hasStoreAddr());
}

// A module of many small functions holds as many graphs: an empty one (start joined to end) must stay small.
TEST_F(ScopeTest, AnEmptyGraphTakesLittleMemory) {
  Fcn* fcn = Fcn::create(ctx.globalScope(), "f");
  size_t before = ctx.pool()->bytesAllocated();
  ASSERT_NE(fcn->createCfg(), nullptr);
  EXPECT_LE(ctx.pool()->bytesAllocated() - before, 640u);
}

TEST_F(ContextTest, BuiltinFunctionsLiveInReservedScope) {
  ASSERT_EQ(ctx.intrinsicFcns().size(), 10u);
  ASSERT_EQ(ctx.libraryFcns().size(), 2u);
  IntrinsicFcn* max = ctx.findIntrinsicFcn("max");
  ASSERT_NE(max, nullptr);
  EXPECT_EQ(max->scope(), ctx.reservedScope(0));
  EXPECT_EQ(max->numInputs(), 2);
  EXPECT_TRUE(max->isCoreFcn());
  EXPECT_STREQ(max->intrinsic()->name(), "max");
  // Seen as a plain constant, a function still answers as one: its kind and its type.
  const Const* asConst = max;
  EXPECT_TRUE(Fcn::isa(asConst));
  EXPECT_TRUE(IntrinsicFcn::isa(asConst));
  EXPECT_FALSE(LibraryFcn::isa(asConst));
  EXPECT_EQ(asConst->type(), max->fcnType());
  EXPECT_TRUE(LibraryFcn::isa(ctx.libraryFcns()[0]));
  EXPECT_FALSE(Fcn::isa(cg_const_create_from_string(&ctx, "max")));
  EXPECT_STREQ(ctx.libraryFcns()[1]->intrinsic()->name(), "memset");
  EXPECT_EQ(ctx.libraryFcns()[0]->numInputs(), 3);
  EXPECT_NE(ctx.nodeDef(1009), nullptr);
  EXPECT_EQ(cg_ctx_def(&ctx, 999), nullptr);
}

// Built-in opcodes are looked up by index, others through the map: both find the latest definition.
TEST_F(ContextTest, NodeDefinitionsAreFoundByAnyOpcode) {
  for (int opcode : {3000, 4095, 4096, 70000, -5}) {
    SCOPED_TRACE(opcode);
    EXPECT_EQ(ctx.nodeDef(opcode), nullptr);
    CG_NodeDef* first = CG_NodeDef::create(&ctx, 0, "first", 0, 1, 1, 1, 0, nullptr, nullptr, opcode, 0, 0);
    EXPECT_EQ(ctx.nodeDef(opcode), first);
    CG_NodeDef* second = CG_NodeDef::create(&ctx, 0, "second", 0, 1, 1, 1, 0, nullptr, nullptr, opcode, 0, 0);
    EXPECT_EQ(ctx.nodeDef(opcode), second);
  }
  EXPECT_EQ(ctx.nodeDef(4094), nullptr);
}

TEST_F(ValueTest, FactoryTypesAndStoresValues) {
  ValueFactory values(&ctx, ctx.pool());
  Ref<Value> negative = values.integerValueRef(types.signedInt16Type(), -300);
  ASSERT_TRUE(IntegerValue::isa(negative.get()));
  EXPECT_EQ(IntegerValue::cast(negative.get())->toString(10), "-300");
  EXPECT_EQ(negative->type(), types.signedInt16Type());
  EXPECT_EQ(DoubleValue::cast(negative.get()), nullptr);

  Ref<Value> flag = values.quasiNumericValueRef(
      types.boolType(), FXP::DataValue::fromString(FXP::DataType::boolT(), "1", FXP::MathMode::floorWrap()));
  EXPECT_TRUE(IntegerValue::isa(flag.get()));
  Const* flagConst = ConstFactory(&ctx).create(types.boolType(), flag, ctx.globalScope(), "on");
  EXPECT_TRUE(BoolConst::isa(flagConst));
  EXPECT_TRUE(BoolConst::isTrue(flagConst));
  EXPECT_FALSE(
      BoolConst::isTrue(ConstFactory(&ctx).create(types.boolType(), values.boolValueRef(false), nullptr, nullptr)));

  // Whether a value is kept as a word or whole, it gives back the data value it was made from.
  struct Case {
    QuasiNumericType* type;
    FXP::DataType dataType;
    const char* text;
  };
  const Case cases[] = {
      {types.signedInt64Type(), types.signedInt64Type()->fxpType(), "-9223372036854775808"},
      {types.unsignedInt64Type(), types.unsignedInt64Type()->fxpType(), "18446744073709551615"},
      {types.integerType(true, 128), types.integerType(true, 128)->fxpType(), "-170141183460469231731687303715884105728"},
      // A data value of another data type than the value's type keeps that data type.
      {types.signedInt8Type(), FXP::DataType::intT(true, 16), "-300"},
      {types.boolType(), FXP::DataType::boolT(), "0"},
  };
  for (const Case& entry : cases) {
    SCOPED_TRACE(entry.text);
    FXP::DataValue data = FXP::DataValue::fromString(entry.dataType, entry.text, FXP::MathMode::floorWrap());
    Ref<Value> value = values.quasiNumericValueRef(entry.type, data);
    ASSERT_TRUE(IntegerValue::isa(value.get()));
    EXPECT_EQ(IntegerValue::cast(value.get())->dataValue(), data);
    EXPECT_EQ(IntegerValue::cast(value.get())->toString(10), entry.text);
  }

  Const* text = cg_const_create_from_string(&ctx, "hello");
  EXPECT_EQ(cg_const_string_value(text), ctx.cgString("hello"));
  EXPECT_EQ(text->scope(), nullptr);

  SymbolicSizeFactory sizes(&ctx);
  for (bool rowMajor : {true, false}) {
    StaticMatrixType* type = types.matrixType(types.doubleType(), {sizes.size64(2), sizes.size64(3)}, rowMajor);
    Ref<Value> matrix = values.matrixValueCGRef(type);
    auto* elements = StaticMatrixValue::cast(matrix.get());
    ASSERT_NE(elements, nullptr);
    const uint64_t index[] = {1, 0};
    elements->setElement(index, values.doubleValueRef(types.doubleType(), 7.5));
    EXPECT_EQ(DoubleValue::cast(elements->element(index).get())->value(), 7.5);
    EXPECT_NE(elements->elementAt(rowMajor ? 3 : 1).get(), nullptr);
    const uint64_t outside[] = {2, 0};
    EXPECT_THROW(elements->element(outside), AssertionException);
  }

  EnumType* color = types.enumType(ctx.globalScope(), "Color", nullptr, {{ctx.cgString("RED"), 3}}, nullptr);
  Ref<Value> red = values.enumValueRef(color, ctx.cgString("RED"));
  EXPECT_EQ(EnumValue::cast(red.get())->value(), 3);
  EXPECT_THROW(values.enumValueRef(color, ctx.cgString("BLUE")), AssertionException);

  StructType* pair = types.structType(ctx.globalScope(), "Pair", nullptr,
                                      {{ctx.cgString("a"), types.charType()}, {ctx.cgString("b"), types.charType()}});
  Ref<Value> record = values.structValueCGRef(pair);
  StructValue::cast(record.get())->setField(1, values.charValueRef('q'));
  EXPECT_EQ(CharValue::cast(StructValue::cast(record.get())->field(1).get())->toChar(), 'q');
  EXPECT_FALSE(StructValue::cast(record.get())->field(0));
}

namespace {

class FixedTag : public TagSourceLocation {
public:
  std::string toPrettyPrintString() const override { return "here"; }
  int getLocationType() const override { return 0; }
  std::string toString() const override { return "here"; }
  std::string getSIDStr() const override { return ""; }
  std::string getNAGStr() const override { return ""; }
  std::string getTraceStr() const override { return ""; }
  TagSourceLocation* clone(MemPool* aPool) const override { return aPool->make<FixedTag>(); }
  std::string getSourceBlockFullPath() const override { return ""; }
  void accept(TagSourceLocationVisitor* aVisitor) override { aVisitor->visit(this); }
};

class FixedTagCreator : public TagCreator {
public:
  Tag* create(MemPool* aPool, CG_Obj*) override { return aPool->make<FixedTag>(); }
  Tag::Kind kind() const override { return Tag::SOURCE_LOCATION; }
};

} // namespace

TEST_F(TagTest, CreatorOriginAndTestIds) {
  TagHandlerForSourceLocation handler;
  FixedTagCreator creator;
  cg_ctx_register_handler(&ctx, &handler);
  EXPECT_EQ(ctx.handler(Tag::SOURCE_LOCATION), &handler);
  handler.setCreator(&creator);
  Var* tagged = cg_var_create(ctx.globalScope(), types.doubleType(), "a");
  handler.resetCreator();
  Var* plain = cg_var_create(ctx.globalScope(), types.doubleType(), "b");
  cg_ctx_unregister_handler(&ctx, &handler);
  EXPECT_NE(tagged->tag(Tag::SOURCE_LOCATION), nullptr);
  EXPECT_EQ(plain->tag(Tag::SOURCE_LOCATION), nullptr);

  EXPECT_EQ(OriginTag::origin(plain), OriginTag::COMPILER);
  OriginTag::setOrigin(plain, OriginTag::USER);
  OriginTag::setOrigin(plain, 77);
  EXPECT_EQ(OriginTag::origin(plain), 77);

  TestIdTag::setId(plain, "first");
  TestIdTag::setId(plain, "second");
  EXPECT_EQ(TestIdTag::find(&ctx, "second"), plain);
  EXPECT_EQ(TestIdTag::find(&ctx, "first"), nullptr);
  EXPECT_EQ(*TestIdTag::id(plain), "second");

  EXPECT_FALSE(GenericTagCategory::categoryIsRegistered(&ctx, "opt"));
  GenericTagCategory::registerCategory(&ctx, "opt");
  EXPECT_TRUE(GenericTagCategory::categoryIsRegistered(&ctx, "opt"));
}

// One tag per kind and object: adding replaces, removing the last leaves none, objects do not share.
TEST_F(TagTest, TagsPerKindAndObject) {
  Var* first = cg_var_create(ctx.globalScope(), types.signedInt32Type(), "first");
  Var* second = cg_var_create(ctx.globalScope(), types.signedInt32Type(), "second");
  EXPECT_EQ(first->tag(Tag::ORIGIN), nullptr);
  EXPECT_FALSE(first->removeTag(Tag::ORIGIN));
  OriginTag::setOrigin(first, 1);
  TestIdTag::setId(first, "t1");
  OriginTag::setOrigin(first, 2);
  OriginTag::setOrigin(second, 1);
  EXPECT_EQ(OriginTag::origin(first), 2);
  EXPECT_EQ(OriginTag::origin(second), 1);
  EXPECT_EQ(*TestIdTag::id(first), "t1");
  EXPECT_EQ(TestIdTag::id(second), nullptr);
  EXPECT_TRUE(first->removeTag(Tag::ORIGIN));
  EXPECT_EQ(first->tag(Tag::ORIGIN), nullptr);
  EXPECT_EQ(*TestIdTag::id(first), "t1");
  EXPECT_TRUE(first->removeTag(Tag::TEST_ID));
  EXPECT_EQ(first->tag(Tag::TEST_ID), nullptr);
  OriginTag::setOrigin(first, 2);
  EXPECT_EQ(OriginTag::origin(first), 2);
  EXPECT_EQ(OriginTag::origin(second), 1);
}

TEST_F(MarkerTest, MarksWhatAnObjectNeedsAndNothingElse) {
  Scope* module = cg_scope_create(global, "m", ctx.pool());
  Scope* nested = cg_scope_create(module, "n", ctx.pool());
  StructType* point = types.structType(module, "P", nullptr, {{ctx.cgString("x"), types.singleType()}});
  Var* used = cg_var_create(module, types.pointerType(point), "p");
  Var* unrelated = cg_var_create(module, types.charType(), "c");
  Var* deep = cg_var_create(nested, types.boolType(), "d");
  Fcn* fcn = Fcn::create(module, "f");
  Var* input = fcn->addInput(types.signedInt8Type(), "u");

  ContextualMarker marker(&ctx);
  EXPECT_TRUE(ShouldEmitPredicate().shouldEmit(nullptr));
  EXPECT_FALSE(marker.shouldEmit(nullptr));
  marker.markAllRelatedTo(used);
  for (CG_Obj* expected :
       std::vector<CG_Obj*>{used, point, types.pointerType(point), types.singleType(), module, global}) {
    EXPECT_TRUE(marker.shouldEmit(expected));
  }
  for (CG_Obj* rejected : std::vector<CG_Obj*>{unrelated, deep, nested, fcn, types.charType()})
    EXPECT_FALSE(marker.shouldEmit(rejected));
  marker.markAllRelatedTo(fcn);
  EXPECT_TRUE(marker.shouldEmit(input));
  EXPECT_TRUE(marker.shouldEmit(types.signedInt8Type()));
  EXPECT_TRUE(marker.shouldEmit(fcn->localScope()));

  ContextualMarker scopeMarker(&ctx);
  scopeMarker.markAllRelatedTo(module);
  EXPECT_TRUE(scopeMarker.shouldEmit(unrelated));
  EXPECT_FALSE(scopeMarker.shouldEmit(deep));
  FullyRecursiveContextualMarker recursive(&ctx);
  recursive.markAllRelatedTo(module);
  EXPECT_TRUE(recursive.shouldEmit(deep));
  EXPECT_TRUE(recursive.shouldEmit(types.boolType()));
  EXPECT_FALSE(recursive.shouldEmit(ctx.reservedScope(0)));
}
