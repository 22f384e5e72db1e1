// The text the quill tool reads: a regular file is mapped rather than copied, a pipe is read into a string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quilltool {

// Mapping a large module costs neither a copy nor fresh zero-filled memory for one.
class InputText {
public:
  InputText() = default;
  explicit InputText(std::string aText) : fOwned(std::move(aText)) {}
  ~InputText();
  InputText(InputText&& aOther) noexcept;
  InputText& operator=(InputText&& aOther) noexcept;
  InputText(const InputText&) = delete;
  InputText& operator=(const InputText&) = delete;

  // Reads aFile ("-" is standard input) in place of the current text; false when it cannot be read.
  bool read(const std::string& aFile);
  std::string_view view() const;
  // The text before aOffset will not be read for a while: a mapped file gives back the memory of its pages there,
  // which a later read maps again from the file. A text read into memory keeps it.
  void letGoBefore(size_t aOffset);
  // Lets the text go; the view is empty afterwards.
  void release();

private:
  bool map(int aDescriptor, size_t aSize);
  bool readStream(int aDescriptor, size_t aSizeHint);

  std::string fOwned;
  void* fMapping = nullptr;
  size_t fMappedSize = 0;
  // The mapped pages before this offset have been given back.
  size_t fLetGo = 0;
};

} // namespace quilltool
