// Version and build date of the Quill library.
#pragma once

extern "C" {
extern const char* brisk_quill_version;
extern const char* brisk_quill_build_date;
}
