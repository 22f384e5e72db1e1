// Growable text builder used by the emitter, with exact double formatting.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <utility>

namespace CG {

// Shortest text that reads back to the same double; always carries "." or an exponent.
// NaN gives "NaN", infinities "Inf" and "-Inf".
std::string doubleToText(double aValue);

// The text lives in a string whose size is the room made so far; the bytes past the text are free room, so an
// append is a length check and a copy.
class StringBuffer {
public:
  StringBuffer() = default;
  explicit StringBuffer(const std::string& aText) { append(aText); }

  StringBuffer& append(const char* aText) { return aText != nullptr ? append(aText, std::strlen(aText)) : *this; }
  StringBuffer& append(const char* aText, size_t aLength) {
    if (aLength > 0) {
      std::memcpy(room(aLength), aText, aLength);
    }
    return *this;
  }
  StringBuffer& append(const std::string& aText) { return append(aText.data(), aText.size()); }
  StringBuffer& append(char aChar) {
    *room(1) = aChar;
    return *this;
  }
  StringBuffer& append(size_t aCount, char aChar) {
    if (aCount > 0) {
      std::memset(room(aCount), aChar, aCount);
    }
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

  const char* c_str() const {
    terminate();
    return fStorage.data();
  }
  std::string str() const { return std::string(fStorage.data(), fLength); }
  // The text, not terminated.
  const char* data() const { return fStorage.data(); }
  // Hands the text over and leaves the buffer empty.
  std::string release();
  size_t length() const { return fLength; }
  bool empty() const { return fLength == 0; }
  char lastChar() const { return fLength == 0 ? '\0' : fStorage[fLength - 1]; }
  void chop(size_t aCount = 1) { fLength = aCount >= fLength ? 0 : fLength - aCount; }
  void clear() { fLength = 0; }
  void reserve(size_t aBytes);

private:
  // aCount bytes at the end of the text, counted in its length, for the caller to fill.
  char* room(size_t aCount) {
    if (fStorage.size() - fLength < aCount) {
      grow(aCount);
    }
    char* at = &fStorage[fLength];
    fLength += aCount;
    return at;
  }
  void grow(size_t aCount);
  // A null byte right after the text, which c_str() hands out.
  void terminate() const;

  mutable std::string fStorage;
  size_t fLength = 0;
};

} // namespace CG
