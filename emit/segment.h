// Segment listing: character offsets of the definitions, statements and blocks in the emitted text.
#pragma once

#include <boost/shared_ptr.hpp>

#include <deque>
#include <ostream>
#include <vector>

namespace CG {

// The kind of mark the emitter sends when a construct or one of its parts begins.
enum BlockType {
  BLOCK_SIMPLE = 0,      // a construct with a start and an end: 2 slots
  BLOCK_COMPOUND = 1,    // a construct with a head and a body: 4 slots
  BLOCK_ALTERNATIVE = 2, // a further part of the open compound construct: 2 more slots
  BLOCK_CLOSE = 3,       // the closing part of the open compound construct begins
  BLOCK_END = 4,         // the whole emission ends: flushes the stack
};

// The offsets of one construct, printed once all its slots are filled.
class Segment {
public:
  Segment(BlockType aType, int aOffset);

  void addSlot() { fSlots += 2; }
  void append(int aOffset) { fOffsets.push_back(aOffset); }
  bool full() const { return static_cast<int>(fOffsets.size()) == fSlots; }
  void print(std::ostream& aOut) const;

private:
  int fSlots;
  std::vector<int> fOffsets;
};

// A stack of open segments over the listing stream; a segment is written as soon as it is complete.
class SegmentStream {
public:
  explicit SegmentStream(std::ostream& aOut);

  void begin(BlockType aType, int aOffset);

private:
  boost::shared_ptr<Segment> createElement(BlockType aType, int aOffset);
  void endTopBefore(int aOffset);
  void flushAll();
  Segment& top();

  std::deque<boost::shared_ptr<Segment>> fStack;
  std::ostream* fOut;
};

} // namespace CG
