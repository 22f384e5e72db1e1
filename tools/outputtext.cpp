// Standard output for the printed text, and taking back what was written of it.
#include "tools/outputtext.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quilltool {

// The text is written as it prints only where cutting the file back loses nothing else: at the end of the file
// (a file opened for appending takes each write at its end, whatever the offset says), and not into the file
// that standard error writes to, whose messages would land inside the text.
TextOutput::TextOutput() {
  struct stat status;
  if (fstat(STDOUT_FILENO, &status) != 0 || !S_ISREG(status.st_mode))
    return;
  struct stat errors;
  if (fstat(STDERR_FILENO, &errors) == 0 && errors.st_dev == status.st_dev && errors.st_ino == status.st_ino)
    return;
  int flags = fcntl(STDOUT_FILENO, F_GETFL);
  if (flags < 0)
    return;
  off_t start = (flags & O_APPEND) != 0 ? status.st_size : lseek(STDOUT_FILENO, 0, SEEK_CUR);
  if (start == status.st_size)
    fStart = start;
}

void TextOutput::takeBack() {
  if (!canTakeBack())
    return;
  std::fflush(stdout);
  if (ftruncate(STDOUT_FILENO, fStart) == 0)
    lseek(STDOUT_FILENO, fStart, SEEK_SET);
}

} // namespace quilltool
