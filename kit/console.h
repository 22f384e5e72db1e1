// Console output and null-tolerant C string helpers.
#ifndef QUILL_KIT_CONSOLE_H
#define QUILL_KIT_CONSOLE_H

// printf to standard output, flushed at once; returns the number of bytes
// written, or a negative value on an output error.
int voxPrintf(const char* aFormat, ...) __attribute__((format(printf, 1, 2)));

// strchr that accepts a null string and then finds nothing.
const char* lcp_strchr(const char* aText, int aChar);

#endif
