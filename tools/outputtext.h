// Where the quill tool's printed text goes: standard output, written as the text prints when what was written
// can be taken back.
#pragma once

#include <sys/types.h>

namespace quilltool {

// A failure must leave no part of the text behind. Standard output that is a regular file, written at its end
// and not shared with standard error, can take the text as it prints: a failure cuts the file back to where the
// text began. Anything else (a pipe, a terminal) gets the text only once it is whole.
class TextOutput {
public:
  TextOutput();
  bool canTakeBack() const { return fStart >= 0; }
  // Cuts the file back to where the text began.
  void takeBack();

private:
  off_t fStart = -1;
};

} // namespace quilltool
