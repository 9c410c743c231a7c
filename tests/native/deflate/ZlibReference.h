#pragma once
// zlib's verdict on a whole raw deflate stream: the reference the inflater's
// tests and fuzzer hold it against.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ns::test {

// True, with the data in `out`, when the stream decodes to its end with no
// input left over; false for a stream zlib refuses or that is cut short.
inline bool ZlibInflates(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  out.assign(size * 4 + 1024, 0);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  int rc = Z_OK;
  size_t produced = 0;
  while (rc == Z_OK) {
    if (produced == out.size()) out.resize(out.size() * 2);
    z.next_out = out.data() + produced;
    z.avail_out = static_cast<uInt>(out.size() - produced);
    rc = inflate(&z, Z_NO_FLUSH);
    produced = out.size() - z.avail_out;
    if (rc == Z_BUF_ERROR && z.avail_out != 0) break;  // the input ended inside the stream
    if (rc == Z_BUF_ERROR) rc = Z_OK;
  }
  out.resize(produced);
  inflateEnd(&z);
  return rc == Z_STREAM_END && z.avail_in == 0;
}

}  // namespace ns::test
