// libFuzzer target: damaged deflate streams. Whatever the input, the
// inflater must neither crash nor hang, and must agree with zlib: it takes
// a stream exactly when zlib decodes it to its end with nothing left over,
// and then gives the same data. The first byte chooses how the stream is
// cut into pieces for the inflater, since a stream may end, or a code be
// split, at any piece boundary; 0 gives it the whole stream in memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ZlibReference.h"
#include "zip/Inflater.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "inflate_fuzzer: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = data[0];
  ++data;
  --size;

  static ns::TInflater inflater;
  std::vector<uint8_t> out;
  size_t offset = 0;
  const auto sink = [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); };
  const ns::TInflateResult r = piece == 0 ? inflater.Inflate(data, size, sink)
                                          : inflater.Inflate(
                                                [&](uint8_t* buffer, size_t room) {
                                                  const size_t n = std::min({room, size - offset, piece});
                                                  if (n != 0) std::memcpy(buffer, data + offset, n);
                                                  offset += n;
                                                  return n;
                                                },
                                                sink);
  Require(r.ok == r.error.empty(), "an error without text, or a text without error");
  Require(r.size == out.size(), "size differs from the data handed out");

  std::vector<uint8_t> expected;
  const bool zlibOk = ns::test::ZlibInflates(data, size, expected);
  Require(r.ok == zlibOk, r.ok ? "takes a stream zlib refuses" : "refuses a stream zlib takes");
  if (r.ok) Require(out == expected, "data differs from zlib's");
  return 0;
}
