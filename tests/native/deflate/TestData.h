#pragma once
// Deterministic inputs of the kinds the encoder treats differently.
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace ns::test {

enum class TDataKind { Zeros, Text, Random, Binary, Mixed, Code };

inline std::string KindName(TDataKind kind) {
  switch (kind) {
    case TDataKind::Zeros: return "zeros";
    case TDataKind::Text: return "text";
    case TDataKind::Random: return "random";
    case TDataKind::Binary: return "binary";
    case TDataKind::Mixed: return "mixed";
    case TDataKind::Code: return "code";
  }
  return "?";
}

inline std::vector<uint8_t> MakeData(TDataKind kind, size_t size, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<uint8_t> d;
  d.reserve(size + 64);
  static const char* kWords[] = {"backup ", "archive ", "infobase ", "the ", "of ", "dump ",
                                 "schedule ", "server ", "\r\n", "task ", "report ", "2026 "};
  // Machine-code-like: instructions of a few fixed bytes, some followed by
  // a random operand, so that most matches are shorter than eight bytes.
  std::vector<std::vector<uint8_t>> instructions(kind == TDataKind::Code ? 64 : 0);
  for (auto& op : instructions) {
    op.resize(1 + rng() % 4);
    for (auto& b : op) b = static_cast<uint8_t>(rng());
  }
  while (d.size() < size) {
    switch (kind) {
      case TDataKind::Zeros:
        d.push_back(0);
        break;
      case TDataKind::Text:
        for (const char* w = kWords[rng() % 12]; *w; ++w) d.push_back(static_cast<uint8_t>(*w));
        break;
      case TDataKind::Random:
        d.push_back(static_cast<uint8_t>(rng()));
        break;
      case TDataKind::Binary: {
        // Little records: a counter, a small value, padding.
        const uint32_t v = static_cast<uint32_t>(d.size() / 16);
        const uint8_t rec[16] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), 0, uint8_t(rng() % 7), 0, 0, 0,
                                 0xFF, 0xFE, uint8_t(rng()), 0, 0, 0, 0, 0x80};
        d.insert(d.end(), rec, rec + 16);
        break;
      }
      case TDataKind::Mixed: {
        // Alternating stretches of text and random bytes of varied length.
        const size_t n = 100 + rng() % 20000;
        const bool random = rng() % 2 != 0;
        for (size_t i = 0; i < n; ++i) {
          if (random) d.push_back(static_cast<uint8_t>(rng()));
          else if (i % 7 == 0) d.push_back(' ');
          else d.push_back(static_cast<uint8_t>('a' + rng() % 6));
        }
        break;
      }
      case TDataKind::Code: {
        // The lower of two picks: a few instructions are far more common.
        const uint64_t a = rng() % 64, b = rng() % 64;
        const auto& op = instructions[std::min(a, b)];
        d.insert(d.end(), op.begin(), op.end());
        if (rng() % 3 == 0) d.push_back(static_cast<uint8_t>(rng()));
        break;
      }
    }
  }
  d.resize(size);
  return d;
}

}  // namespace ns::test
