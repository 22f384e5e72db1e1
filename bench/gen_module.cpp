// Writes a generated Quill module of about the given size to a file (input for the whole-process timing script).
#include "tests/support/irgen.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gen_module MEGABYTES FILE\n");
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << quilltest::generateModuleText(20261205, std::atof(argv[1]) * 1e6);
  return out ? 0 : 1;
}
