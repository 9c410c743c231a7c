// libFuzzer target: damaged deflate streams. Whatever the input, the
// inflater must neither crash nor hang, and must agree with zlib: it takes
// a stream exactly when zlib decodes it to its end with nothing left over,
// and then gives the same data. The first byte chooses how the stream is
// cut into pieces for the inflater, since a stream may end, or a code be
// split, at any piece boundary.
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "zip/Inflater.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "inflate_fuzzer: %s\n", what);
    std::abort();
  }
}

// zlib's verdict and data.
bool ZlibInflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  z_stream z{};
  Require(inflateInit2(&z, -15) == Z_OK, "inflateInit2");
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = data[0] == 0 ? size : data[0];
  ++data;
  --size;

  static ns::TInflater inflater;
  std::vector<uint8_t> out;
  size_t offset = 0;
  const ns::TInflateResult r = inflater.Inflate(
      [&](uint8_t* buffer, size_t room) {
        const size_t n = std::min({room, size - offset, piece});
        if (n != 0) std::memcpy(buffer, data + offset, n);
        offset += n;
        return n;
      },
      [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); });
  Require(r.ok == r.error.empty(), "an error without text, or a text without error");
  Require(r.size == out.size(), "size differs from the data handed out");

  std::vector<uint8_t> expected;
  const bool zlibOk = ZlibInflate(data, size, expected);
  Require(r.ok == zlibOk, r.ok ? "takes a stream zlib refuses" : "refuses a stream zlib takes");
  if (r.ok) Require(out == expected, "data differs from zlib's");
  return 0;
}
