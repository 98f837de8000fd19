// Writes the synthetic registry as a REGEDIT4 file, for timing the scan
// under Wine against the same tree.
#include <cstdio>
#include <fstream>

#include "tests/bench/synthetic_registry.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_scan_tree out.reg\n");
    return 2;
  }
  int keys = 0;
  const std::string text = bench::SyntheticRegistryText(&keys);
  std::ofstream(argv[1], std::ios::binary) << text;
  std::printf("%d keys\n", keys);
  return 0;
}
