// Diagnostics of the quill tool: "FILE:LINE:COL: error: MESSAGE", the source line and a caret.
#include "tools/diagnostics.h"

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

static std::string lineOf(const std::string& aSource, int aLine) {
  size_t start = 0;
  for (int line = 1; line < aLine && start != std::string::npos; ++line) {
    start = aSource.find('\n', start);
    if (start != std::string::npos)
      ++start;
  }
  if (start == std::string::npos || start > aSource.size())
    return std::string();
  size_t end = aSource.find('\n', start);
  return aSource.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The column counts the bytes of the line up to the end of the last token read, so the caret stands under
// that token's last byte.
void report(std::ostream& aOut, const std::string& aFileName, const std::string& aSource, const SourcePlace& aPlace,
            const char* aSeverity, const std::string& aMessage) {
  aOut << aFileName << ':' << aPlace.line << ':' << aPlace.column << ": " << aSeverity << ": " << aMessage;
  if (aMessage.empty() || aMessage.back() != '\n')
    aOut << '\n';
  std::string text = lineOf(aSource, aPlace.line);
  aOut << text << '\n';
  int caret = aPlace.column > 0 ? aPlace.column - 1 : 0;
  for (int i = 0; i < caret; ++i)
    aOut << (i < static_cast<int>(text.size()) && text[i] == '\t' ? '\t' : ' ');
  aOut << "^\n";
}

} // namespace quilltool
