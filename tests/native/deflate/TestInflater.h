#pragma once
// A small, strict inflater for the tests, so that the encoder's output is
// checked by a decoder written independently of it in every build (the
// Windows builds have no zlib). Strict where the encoder promises more than
// RFC 1951 demands: Huffman codes must be complete and the stream must end
// exactly with the final block's last byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ns::test {

struct TInflateResult {
  bool ok = false;
  std::string error;
  std::vector<uint8_t> data;
  size_t blocks = 0;  // blocks in the stream, the empty aligning ones included
};

TInflateResult TestInflate(const uint8_t* in, size_t size);

}  // namespace ns::test
