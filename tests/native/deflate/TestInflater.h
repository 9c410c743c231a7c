#pragma once
// The encoder's streams decoded by the program's own strict inflater, which
// is written independently of the encoder and is the judge in the Windows
// builds, where there is no zlib.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zip/Inflater.h"

namespace ns::test {

struct TInflateResult {
  bool ok = false;
  std::string error;
  std::vector<uint8_t> data;
  size_t blocks = 0;  // blocks in the stream, the empty aligning ones included
};

inline TInflateResult TestInflate(const uint8_t* in, size_t size) {
  TInflateResult r;
  const ns::TInflateResult decoded = InflateBuffer(in, size, r.data);
  r.ok = decoded.ok;
  r.error = decoded.error;
  r.blocks = static_cast<size_t>(decoded.blocks);
  return r;
}

}  // namespace ns::test
