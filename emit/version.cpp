// Version and build date of the Quill library.
#include "emit/version.h"

extern "C" {
__attribute__((visibility("default"))) const char* brisk_quill_version = "0.1.0";
__attribute__((visibility("default"))) const char* brisk_quill_build_date = __DATE__;
}
