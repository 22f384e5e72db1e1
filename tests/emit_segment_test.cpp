// Segment listing: offsets of constructs in the emitted text.
#include "emit/segment.h"

#include "ir/logger.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>
#include <vector>

namespace {

using CG::BlockType;
using Mark = std::pair<int, int>; // block type (may be out of range), offset

std::string listing(const std::vector<Mark>& aMarks) {
  std::ostringstream out;
  CG::SegmentStream stream(out);
  for (const Mark& mark : aMarks)
    stream.begin(static_cast<BlockType>(mark.first), mark.second);
  return out.str();
}

struct SegmentCase {
  const char* name;
  std::vector<Mark> marks;
  const char* expected;
};

class SegmentListing : public ::testing::TestWithParam<SegmentCase> {};

TEST_P(SegmentListing, WritesOffsetsAsSegmentsComplete) {
  EXPECT_EQ(GetParam().expected, listing(GetParam().marks)) << GetParam().name;
}

const char* const kUnfinished = "\nerror: stack not empty when the end segment was reached\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, SegmentListing,
    ::testing::Values(SegmentCase{"simple definition, then end", {{0, 0}, {4, 10}}, "0 9 \n"},
                      SegmentCase{"end on an empty stack writes nothing", {{4, 5}}, ""},
                      // A loop: head at 0, one body statement at 12, closing part at 30, next mark at 33.
                      SegmentCase{"compound with one statement",
                                  {{1, 0}, {0, 12}, {3, 30}, {0, 33}, {4, 40}},
                                  "12 29 \n0 11 30 32 \n33 39 \n"},
                      SegmentCase{"compound with empty body", {{1, 0}, {3, 8}, {4, 10}}, "0 7 8 9 \n"},
                      // An if with an else branch: six offsets.
                      SegmentCase{"alternative adds two slots",
                                  {{1, 0}, {0, 10}, {2, 20}, {0, 30}, {3, 40}, {4, 42}},
                                  "10 19 \n30 39 \n0 9 20 29 40 41 \n"},
                      SegmentCase{"inner segments complete before outer ones",
                                  {{1, 0}, {1, 5}, {0, 9}, {3, 15}, {3, 20}, {4, 25}},
                                  "9 14 \n5 8 15 19 \n0 4 20 24 \n"},
                      SegmentCase{"unfinished compound at end",
                                  {{1, 0}, {0, 4}, {4, 9}},
                                  "4 8 \n\nerror: stack not empty when the end segment was reached\n0 3 \n"},
                      SegmentCase{
                          "unknown mark types only complete the top", {{0, 0}, {7, 6}, {-1, 9}, {4, 12}}, "0 5 \n"}));

TEST(SegmentListing, UnfinishedListingNamesTheError) {
  std::string text = listing({{1, 0}, {4, 3}});
  EXPECT_NE(std::string::npos, text.find(kUnfinished));
  EXPECT_EQ(std::string(kUnfinished) + "0 2 \n", text);
}

TEST(SegmentListing, StreamWithoutBufferRecordsNothing) {
  std::ostream dropped(nullptr);
  CG::SegmentStream stream(dropped);
  stream.begin(CG::BLOCK_CLOSE, 3); // would need an open compound segment
  stream.begin(CG::BLOCK_END, 4);
  SUCCEED();
}

TEST(Segment, RefusesAlternativeAsFirstMark) {
  EXPECT_THROW(CG::Segment(CG::BLOCK_ALTERNATIVE, 0), CG::AssertionException);
  try {
    CG::Segment(CG::BLOCK_CLOSE, 0);
  } catch (const CG::AssertionException& error) {
    EXPECT_EQ("unexepcted block type", error.expression());
    EXPECT_EQ("emit/segment", error.file());
  }
}

TEST(SegmentListing, CloseWithoutOpenCompoundIsRefused) {
  std::ostringstream out;
  CG::SegmentStream stream(out);
  EXPECT_THROW(stream.begin(CG::BLOCK_CLOSE, 0), CG::AssertionException);
}

} // namespace
