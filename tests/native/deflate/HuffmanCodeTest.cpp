// Code lengths for deflate blocks: complete codes, and as short in total as
// a textbook Huffman code wherever the length limit does not bind.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <queue>
#include <random>
#include <string>
#include <vector>

#include "zip/deflate/HuffmanCode.h"

namespace ns::deflate {
namespace {

// The total cost of an optimal unlimited Huffman code, and its deepest code.
struct TReference {
  uint64_t cost = 0;
  unsigned depth = 0;
};

TReference Huffman(const std::vector<uint32_t>& freq) {
  // (weight, depth of the deepest leaf below)
  using TNode = std::pair<uint64_t, unsigned>;
  std::priority_queue<TNode, std::vector<TNode>, std::greater<>> heap;
  for (uint32_t f : freq)
    if (f != 0) heap.push({f, 0});
  TReference r;
  while (heap.size() > 1) {
    const TNode a = heap.top();
    heap.pop();
    const TNode b = heap.top();
    heap.pop();
    r.cost += a.first + b.first;  // every merge lengthens the codes below it by one
    heap.push({a.first + b.first, std::max(a.second, b.second) + 1});
  }
  if (!heap.empty()) r.depth = heap.top().second;
  return r;
}

TEST(HuffmanCode, LengthsAreCompleteAndOptimalWhereTheLimitAllows) {
  std::mt19937 rng(7);
  // Frequency tables as blocks have them: skewed, flat with many ties,
  // sparse, and counts beyond a million (which take another way to sort).
  const std::vector<std::function<uint32_t(unsigned)>> shapes = {
      [&](unsigned s) { return rng() % 3 == 0 ? 0u : 1 + 100000 / (1 + s) + rng() % 7; },
      [&](unsigned) { return 1 + rng() % 4; },
      [&](unsigned) { return rng() % 10 == 0 ? 1 + rng() % 500 : 0u; },
      [&](unsigned s) { return (s % 5 == 0 ? 3000000u : 0u) + 1 + rng() % 2000; },
  };
  for (unsigned count : {19u, 30u, 286u})
    for (size_t shape = 0; shape < shapes.size(); ++shape)
      for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE("count " + std::to_string(count) + " shape " + std::to_string(shape) + " round " +
                     std::to_string(round));
        std::vector<uint32_t> freq(count);
        for (unsigned s = 0; s < count; ++s) freq[s] = shapes[shape](s);
        std::vector<uint8_t> lengths(count);
        BuildCodeLengths(freq.data(), count, 15, lengths.data());

        uint64_t kraft = 0;  // in units of 2^-15
        uint64_t cost = 0;
        unsigned used = 0;
        for (unsigned s = 0; s < count; ++s) {
          ASSERT_LE(lengths[s], 15);
          if (freq[s] != 0) {
            ASSERT_NE(lengths[s], 0) << "symbol " << s << " has no code";
          }
          if (lengths[s] != 0) {
            kraft += uint64_t(1) << (15 - lengths[s]);
            ++used;
          }
          cost += uint64_t(freq[s]) * lengths[s];
        }
        ASSERT_EQ(kraft, uint64_t(1) << 15) << "the code is not complete";
        ASSERT_GE(used, 2u);
        const TReference best = Huffman(freq);
        if (best.depth <= 15 && best.depth > 0) {
          EXPECT_EQ(cost, best.cost);
        }
      }
}

}  // namespace
}  // namespace ns::deflate
