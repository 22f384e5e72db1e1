// Reading the tool's input: mapped when it is a regular file, read in blocks otherwise.
#include "tools/inputtext.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quilltool {

InputText::~InputText() {
  release();
}

InputText::InputText(InputText&& aOther) noexcept
    : fOwned(std::move(aOther.fOwned)), fMapping(std::exchange(aOther.fMapping, nullptr)),
      fMappedSize(std::exchange(aOther.fMappedSize, 0)), fLetGo(std::exchange(aOther.fLetGo, 0)) {}

InputText& InputText::operator=(InputText&& aOther) noexcept {
  if (this != &aOther) {
    release();
    fOwned = std::move(aOther.fOwned);
    fMapping = std::exchange(aOther.fMapping, nullptr);
    fMappedSize = std::exchange(aOther.fMappedSize, 0);
    fLetGo = std::exchange(aOther.fLetGo, 0);
  }
  return *this;
}

bool InputText::read(const std::string& aFile) {
  release();
  bool isStdin = aFile == "-";
  int descriptor = isStdin ? STDIN_FILENO : open(aFile.c_str(), O_RDONLY);
  if (descriptor < 0)
    return false;
  // Standard input may be a file already partly read by someone else: only a file read from its start is mapped.
  struct stat status;
  bool regular = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && lseek(descriptor, 0, SEEK_CUR) == 0;
  size_t size = regular ? static_cast<size_t>(status.st_size) : 0;
  bool done = (regular && size > 0 && map(descriptor, size)) || readStream(descriptor, size);
  if (!isStdin)
    close(descriptor);
  return done;
}

bool InputText::map(int aDescriptor, size_t aSize) {
  void* mapping = mmap(nullptr, aSize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, aDescriptor, 0);
  if (mapping == MAP_FAILED)
    return false;
  fMapping = mapping;
  fMappedSize = aSize;
  return true;
}

// A regular file that cannot be mapped is read into a buffer of its size; a pipe grows the buffer a block at
// a time, when a read has filled it.
bool InputText::readStream(int aDescriptor, size_t aSizeHint) {
  size_t block = aSizeHint > 0 ? aSizeHint + 1 : 1 << 20;
  size_t size = 0;
  for (;;) {
    if (size == fOwned.size())
      fOwned.resize(size + block);
    ssize_t got = ::read(aDescriptor, &fOwned[size], fOwned.size() - size);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0) {
      fOwned.clear();
      return false;
    }
    size += static_cast<size_t>(got);
    if (got == 0)
      break;
  }
  fOwned.resize(size);
  return true;
}

// Pages go back a megabyte at a time, which keeps the calls few, and all of them once the text is read to its
// end: what the parse does after reading it needs the memory more. A page read again later, for a message's
// source line, comes back from the file.
void InputText::letGoBefore(size_t aOffset) {
  constexpr size_t kStep = 1 << 20;
  // A reading that starts again from the beginning gives pages back again.
  if (aOffset < fLetGo)
    fLetGo = 0;
  if (fMapping == nullptr || aOffset > fMappedSize)
    return;
  bool atEnd = aOffset == fMappedSize;
  size_t end = atEnd ? fMappedSize : aOffset & ~(static_cast<size_t>(sysconf(_SC_PAGESIZE)) - 1);
  if (end <= fLetGo || (end < fLetGo + kStep && !atEnd))
    return;
  if (madvise(static_cast<char*>(fMapping) + fLetGo, end - fLetGo, MADV_DONTNEED) == 0)
    fLetGo = end;
}

std::string_view InputText::view() const {
  if (fMapping != nullptr)
    return std::string_view(static_cast<const char*>(fMapping), fMappedSize);
  return fOwned;
}

void InputText::release() {
  if (fMapping != nullptr)
    munmap(fMapping, fMappedSize);
  fMapping = nullptr;
  fMappedSize = 0;
  fLetGo = 0;
  std::string().swap(fOwned);
}

} // namespace quilltool
