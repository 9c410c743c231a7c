#pragma once
// Tells cheaply whether a stretch of input would gain nothing from deflate:
// random data and data compressed before. Such stretches are stored, and the
// match search never sees them.
#include <cstddef>
#include <cstdint>

namespace ns::deflate {

// Input is classified in stretches of this size. 4 KiB separates the
// records of a dump from the compressed data between them closely enough,
// while the order-0 estimate is still sound.
constexpr size_t kProbeChunkSize = 4096;

class TIncompressibleProbe {
 public:
  void Reset();

  // [pos, pos + size) of the segment buffer `base`, at most one chunk.
  // True when its byte statistics are nearly uniform and no repeated
  // content shows within the window. Chunks are to be passed in ascending
  // order.
  bool IsIncompressible(const uint8_t* base, int32_t pos, size_t size);

 private:
  bool HasRepeats(const uint8_t* base, int32_t pos, size_t size);

  static constexpr unsigned kAnchorBits = 12;
  int32_t anchors_[1u << kAnchorBits];
};

}  // namespace ns::deflate
