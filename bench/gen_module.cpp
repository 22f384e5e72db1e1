// Writes a generated Quill module of about the given size to a file (input for the whole-process timing script
// and for the training run of a profiled build).
#include "tests/support/irgen.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: gen_module MEGABYTES FILE [SEED]\n");
    return 2;
  }
  // The benchmarks' modules come from one seed; another seed gives a module of the same kind with other content.
  unsigned long seed = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 20261205;
  std::ofstream out(argv[2], std::ios::binary);
  out << quilltest::generateModuleText(seed, std::atof(argv[1]) * 1e6);
  return out ? 0 : 1;
}
