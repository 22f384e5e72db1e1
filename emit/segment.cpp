// Segment listing: character offsets of the definitions, statements and blocks in the emitted text.
#include "emit/segment.h"

#include "ir/logger.h"

namespace CG {

static const char* const kSegmentSource = "emit/segment";

Segment::Segment(BlockType aType, int aOffset) : fSlots(0) {
  if (aType == BLOCK_SIMPLE)
    fSlots = 2;
  else if (aType == BLOCK_COMPOUND)
    fSlots = 4;
  else
    client_assertion_failed(kSegmentSource, __LINE__, "unexepcted block type");
  append(aOffset);
}

void Segment::print(std::ostream& aOut) const {
  for (int offset : fOffsets)
    aOut << offset << ' ';
  aOut << '\n';
}

SegmentStream::SegmentStream(std::ostream& aOut) : fOut(&aOut) {}

boost::shared_ptr<Segment> SegmentStream::createElement(BlockType aType, int aOffset) {
  return boost::shared_ptr<Segment>(new Segment(aType, aOffset));
}

Segment& SegmentStream::top() {
  if (fStack.empty())
    client_assertion_failed(kSegmentSource, __LINE__, "an open compound segment");
  return *fStack.back();
}

// The construct on top of the stack ends just before the new mark.
void SegmentStream::endTopBefore(int aOffset) {
  if (fStack.empty())
    return;
  Segment& segment = *fStack.back();
  segment.append(aOffset - 1);
  if (!segment.full())
    return;
  segment.print(*fOut);
  fStack.pop_back();
}

void SegmentStream::flushAll() {
  if (fStack.empty())
    return;
  *fOut << "\nerror: stack not empty when the end segment was reached\n";
  while (!fStack.empty()) {
    fStack.back()->print(*fOut);
    fStack.pop_back();
  }
}

void SegmentStream::begin(BlockType aType, int aOffset) {
  // A stream without a buffer drops everything written to it; the listing is then not worth building.
  if (!fOut->rdbuf())
    return;
  endTopBefore(aOffset);
  switch (static_cast<int>(aType)) {
  case BLOCK_SIMPLE:
  case BLOCK_COMPOUND:
    fStack.push_back(createElement(aType, aOffset));
    return;
  case BLOCK_ALTERNATIVE:
    top().addSlot();
    top().append(aOffset);
    return;
  case BLOCK_CLOSE:
    top().append(aOffset);
    return;
  case BLOCK_END:
    flushAll();
    return;
  default:
    return;
  }
}

} // namespace CG
