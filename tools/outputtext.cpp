// Standard output for the printed text, and taking back what was written of it.
#include "tools/outputtext.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quilltool {

// A file opened for appending takes each write at its end, whatever the offset says.
TextOutput::TextOutput() {
  struct stat status;
  if (fstat(STDOUT_FILENO, &status) != 0 || !S_ISREG(status.st_mode))
    return;
  int flags = fcntl(STDOUT_FILENO, F_GETFL);
  if (flags < 0)
    return;
  fStart = (flags & O_APPEND) != 0 ? status.st_size : lseek(STDOUT_FILENO, 0, SEEK_CUR);
}

void TextOutput::takeBack() {
  if (!canTakeBack())
    return;
  std::fflush(stdout);
  if (ftruncate(STDOUT_FILENO, fStart) == 0)
    lseek(STDOUT_FILENO, fStart, SEEK_SET);
}

} // namespace quilltool
