// The text the quill tool reads: a regular file is mapped rather than copied, a pipe is read into a string.
#pragma once

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
  // Lets the text go; the view is empty afterwards.
  void release();

private:
  bool map(int aDescriptor, size_t aSize);
  bool readStream(int aDescriptor, size_t aSizeHint);

  std::string fOwned;
  void* fMapping = nullptr;
  size_t fMappedSize = 0;
};

} // namespace quilltool
