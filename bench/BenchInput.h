#pragma once
// What the benchmarks share: a clock, a byte buffer, and reading an input
// file whole (a missing input ends the run, it cannot be measured).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

inline Bytes ReadFile(const char* program, const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "%s: cannot read %s\n", program, path.c_str());
    std::exit(2);
  }
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

}  // namespace bench
