// Diagnostics of the quill tool: "FILE:LINE:COL: error: MESSAGE", the source line and a caret.
#include "tools/diagnostics.h"

#include <algorithm>
#include <cstdio>

namespace quilltool {

bool placeInMessage(const std::string& aMessage, SourcePlace* aPlace) {
  int line = 0;
  int column = 0;
  size_t open = aMessage.find("[L");
  if (open == std::string::npos || std::sscanf(aMessage.c_str() + open, "[L%d, C%d]", &line, &column) != 2)
    return false;
  aPlace->line = line;
  aPlace->column = column;
  return true;
}

bool lineInMessage(const std::string& aMessage, SourcePlace* aPlace) {
  int line = 0;
  if (std::sscanf(aMessage.c_str(), "Line %d:", &line) != 1 || line <= 0)
    return false;
  aPlace->line = line;
  aPlace->column = 0;
  return true;
}

SourceLines::SourceLines(std::string_view aSource, const std::vector<size_t>& aUncountedNewlines) : fSource(aSource) {
  fStarts.push_back(0);
  for (size_t at = aSource.find('\n'); at != std::string_view::npos; at = aSource.find('\n', at + 1))
    fStarts.push_back(at + 1);
  if (aUncountedNewlines.empty())
    return;
  auto uncounted = aUncountedNewlines.begin();
  for (size_t start : fStarts) {
    while (uncounted != aUncountedNewlines.end() && *uncounted + 1 < start)
      ++uncounted;
    if (uncounted == aUncountedNewlines.end() || *uncounted + 1 != start)
      fScannerStarts.push_back(start);
  }
}

// A place names the byte before its column (the last byte of the token read), or the line's first byte.
SourcePlace SourceLines::textPlace(const SourcePlace& aScannerPlace) const {
  if (fScannerStarts.empty() || aScannerPlace.line < 1 || static_cast<size_t>(aScannerPlace.line) > fScannerStarts.size())
    return aScannerPlace;
  int before = aScannerPlace.column > 0 ? 1 : 0;
  size_t offset = fScannerStarts[aScannerPlace.line - 1] + aScannerPlace.column - before;
  size_t line = static_cast<size_t>(std::upper_bound(fStarts.begin(), fStarts.end(), offset) - fStarts.begin());
  return SourcePlace{static_cast<int>(line), static_cast<int>(offset - fStarts[line - 1]) + before};
}

std::string SourceLines::line(int aLine) const {
  if (aLine < 1 || static_cast<size_t>(aLine) > fStarts.size())
    return std::string();
  size_t start = fStarts[aLine - 1];
  size_t end = fSource.find('\n', start);
  std::string_view line = fSource.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  return std::string(line);
}

SourcePlace SourceLines::firstToken(int aLine) const {
  std::string text = line(aLine);
  size_t first = text.find_first_not_of(" \t\r");
  return SourcePlace{aLine, first == std::string::npos ? 0 : static_cast<int>(first) + 1};
}

// The column counts the bytes of the line up to the end of the last token read, so the caret stands under
// that token's last byte.
void report(std::ostream& aOut, const std::string& aFileName, const SourceLines& aSource, const SourcePlace& aPlace,
            const char* aSeverity, const std::string& aMessage) {
  // The header names the caret's column, counted from 1: a place before the line's first byte is at it.
  int column = std::max(aPlace.column, 1);
  // Built whole and written once: the error stream is unbuffered, and a text may carry many warnings.
  std::string text = aFileName + ':' + std::to_string(aPlace.line) + ':' + std::to_string(column) + ": " +
                     aSeverity + ": " + aMessage;
  if (aMessage.empty() || aMessage.back() != '\n')
    text += '\n';
  std::string line = aSource.line(aPlace.line);
  text += line + '\n';
  // One blank per character before the caret: a tab stays a tab, and a multi-byte UTF-8 character, whose
  // continuation bytes take no place on the screen, gets one blank.
  size_t caret = static_cast<size_t>(column - 1);
  for (size_t i = 0; i < caret; ++i) {
    char byte = i < line.size() ? line[i] : ' ';
    if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80)
      text += byte == '\t' ? '\t' : ' ';
  }
  text += "^\n";
  aOut << text;
}

} // namespace quilltool
