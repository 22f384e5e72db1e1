// Diagnostics of the quill tool: "FILE:LINE:COL: error: MESSAGE", the source line and a caret.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quilltool {

// A place in the source text; line 1 is the first line, column 0 the first byte of a line.
struct SourcePlace {
  int line = 0;
  int column = 0;
};

// The place named by a "[Lline, Ccolumn]" prefix of a library message, if it has one.
bool placeInMessage(const std::string& aMessage, SourcePlace* aPlace);
// The line named by a "Line N:" prefix (N > 0), as the place of the line's first byte.
bool lineInMessage(const std::string& aMessage, SourcePlace* aPlace);

// The lines of a source text, indexed once so that any number of diagnostics stays linear in the text's size.
// The scanner does not count a newline inside a quoted literal, so its line numbers can fall behind the
// text's; aUncountedNewlines (offsets, in order) are those newlines.
class SourceLines {
public:
  explicit SourceLines(std::string_view aSource, const std::vector<size_t>& aUncountedNewlines = {});
  // Line aLine (1 is the first) without its line end; empty past the end.
  std::string line(int aLine) const;
  // The place in the text's lines of a place in the scanner's lines.
  SourcePlace textPlace(const SourcePlace& aScannerPlace) const;
  // The place of the first byte of line aLine that is not a blank (its first byte when it has none).
  SourcePlace firstToken(int aLine) const;

private:
  std::string_view fSource;
  std::vector<size_t> fStarts;
  // Where the scanner's lines start; empty when they are the text's lines.
  std::vector<size_t> fScannerStarts;
};

// Writes one diagnostic: the header line, then the source line and a caret under the place.
void report(std::ostream& aOut, const std::string& aFileName, const SourceLines& aSource, const SourcePlace& aPlace,
            const char* aSeverity, const std::string& aMessage);

} // namespace quilltool
