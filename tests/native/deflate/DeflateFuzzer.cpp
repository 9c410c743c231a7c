// libFuzzer target: whatever the input, the encoder's stream must decode
// (by zlib) to exactly that input, for any level, thread count and way of
// cutting the input into Write calls; and the CRC-32 variants must agree.
// The first two bytes choose the settings. With NS_FUZZ_SEGMENT_JOINS=1 in
// the environment, one settings value in 256 repeats the input past the
// segment size so that segment joins are fuzzed too; such runs take a
// hundred times longer, and the fuzzer's comparison tracing finds that
// value at once, so they are kept for runs of their own.
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "zip/Crc32Impl.h"
#include "zip/DeflateEncoder.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "deflate_fuzzer: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t settings = data[0];
  const uint8_t piece = data[1];
  data += 2;
  size -= 2;

  std::vector<uint8_t> input(data, data + size);
  static const bool joins = std::getenv("NS_FUZZ_SEGMENT_JOINS") != nullptr;
  if (joins && settings == 0xFF && size > 0) {
    const size_t target = (size_t(1) << 20) + size_t(piece) * 1024;
    input.reserve(target);  // no reallocation below, so the input may copy from itself
    while (input.size() < target) {
      const size_t n = std::min(input.size(), target - input.size());
      input.insert(input.end(), input.begin(), input.begin() + static_cast<ptrdiff_t>(n));
    }
  }
  const int level = 1 + settings % 9;
  const unsigned threads = 1 + ((settings >> 4) & 1);

  std::vector<uint8_t> stream;
  ns::DeflateEncoder encoder(level, [&](const uint8_t* p, size_t n) { stream.insert(stream.end(), p, p + n); },
                             threads);
  const size_t step = piece == 0 ? input.size() + 1 : piece;
  for (size_t pos = 0; pos < input.size(); pos += step)
    encoder.Write(input.data() + pos, std::min(step, input.size() - pos));
  encoder.Finish();

  std::vector<uint8_t> back(input.size() + 1);
  z_stream z{};
  Check(inflateInit2(&z, -15) == Z_OK, "inflateInit2");
  z.next_in = stream.data();
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = back.data();
  z.avail_out = static_cast<uInt>(back.size());
  const int rc = inflate(&z, Z_FINISH);
  Check(rc == Z_STREAM_END, "stream does not decode");
  Check(z.avail_in == 0, "bytes after the final block");
  Check(z.total_out == input.size() && (input.empty() || std::memcmp(back.data(), input.data(), input.size()) == 0),
        "decoded data differs");
  inflateEnd(&z);

  const uint32_t expected = static_cast<uint32_t>(::crc32(0, input.data(), static_cast<uInt>(input.size())));
  Check(ns::crc32::Generic(0, input.data(), input.size()) == expected, "generic CRC-32");
  if (ns::crc32::HavePclmul()) Check(ns::crc32::Pclmul(0, input.data(), input.size()) == expected, "folding CRC-32");
  return 0;
}
