// Growable text builder used by the emitter, with exact double formatting.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

namespace CG {

// Shortest text that reads back to the same double; always carries "." or an exponent.
// NaN gives "NaN", infinities "Inf" and "-Inf".
std::string doubleToText(double aValue);

class StringBuffer {
public:
  StringBuffer() = default;
  explicit StringBuffer(const std::string& aText) : fText(aText) {}

  StringBuffer& append(const char* aText);
  StringBuffer& append(const std::string& aText);
  StringBuffer& append(char aChar);
  StringBuffer& append(size_t aCount, char aChar) {
    fText.append(aCount, aChar);
    return *this;
  }
  StringBuffer& append(int aValue) { return append(static_cast<long long>(aValue)); }
  StringBuffer& append(long aValue) { return append(static_cast<long long>(aValue)); }
  StringBuffer& append(long long aValue);
  StringBuffer& append(unsigned aValue) { return append(static_cast<unsigned long long>(aValue)); }
  StringBuffer& append(unsigned long aValue) { return append(static_cast<unsigned long long>(aValue)); }
  StringBuffer& append(unsigned long long aValue);
  // The two flags are accepted for call compatibility and do not change the text.
  StringBuffer& append(double aValue, bool aUnused1 = false, bool aUnused2 = false);
  StringBuffer& appendf(const char* aFormat, ...) __attribute__((format(printf, 2, 3)));
  // Expands C escape sequences (\n \t \\ \' \" \a \b \f \r \v, octal \NNN, hex \xHH) into bytes.
  StringBuffer& appendFormat(const char* aText);

  const char* c_str() const { return fText.c_str(); }
  std::string str() const { return fText; }
  // Hands the text over and leaves the buffer empty.
  std::string release() { return std::move(fText); }
  size_t length() const { return fText.size(); }
  bool empty() const { return fText.empty(); }
  char lastChar() const { return fText.empty() ? '\0' : fText.back(); }
  void chop(size_t aCount = 1) { fText.resize(aCount >= fText.size() ? 0 : fText.size() - aCount); }
  void clear() { fText.clear(); }
  void reserve(size_t aBytes) { fText.reserve(aBytes); }

private:
  std::string fText;
};

} // namespace CG
