#pragma once
// What the benchmarks share: a clock, a byte buffer, reading an input file
// whole (a missing input ends the run, it cannot be measured), the load the
// machine had when a run began, and the table of goals a run ends with.
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

// Figures are compared only within a run; the load says how quiet it was.
inline void PrintLoadAverage() {
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    char line[128] = {};
    if (std::fgets(line, sizeof line, f) != nullptr) std::printf("load average at start: %s", line);
    std::fclose(f);
  }
}

class TGoals {
 public:
  // `measured` against `target`, from above or from below.
  void Add(const std::string& file, const std::string& what, double measured, double target, bool higherIsBetter) {
    goals_.push_back({file, what, measured, target, higherIsBetter});
  }

  // The table a run ends with: every goal, its ratio and whether it holds.
  void Print() const {
    std::printf("\nGoals (ratios measured in this run)\n");
    int met = 0;
    for (const TGoal& g : goals_) {
      const bool ok = g.higherIsBetter ? g.measured >= g.target : g.measured <= g.target;
      met += ok;
      std::printf("  %-16s %-34s %8.4f  target %s %.4f  %s\n", g.file.c_str(), g.what.c_str(), g.measured,
                  g.higherIsBetter ? ">=" : "<=", g.target, ok ? "met" : "NOT MET");
    }
    std::printf("  %d of %zu goals met\n", met, goals_.size());
  }

 private:
  struct TGoal {
    std::string file, what;
    double measured, target;
    bool higherIsBetter;
  };
  std::vector<TGoal> goals_;
};

}  // namespace bench
