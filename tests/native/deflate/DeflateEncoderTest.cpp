// The deflate encoder: every output is decoded by independent inflaters
// (the strict test inflater in every build, zlib natively) and must give the
// input back, whatever the data, its length, the way it is cut into Write
// calls and the number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <stdexcept>
#include <vector>

#include "TestData.h"
#include "zip/DeflateEncoder.h"
#include "zip/Inflater.h"

#ifdef NS_TEST_HAVE_ZLIB
#include <zlib.h>
#endif

namespace ns {
namespace {

using test::MakeData;
using test::TDataKind;

// The encoder's segment size, as a length that matters at the joins.
constexpr size_t kSegment = size_t(1) << 20;

struct TEncoded {
  std::vector<uint8_t> bytes;
  LiteralCounts literals;
};

// Writes `data` in pieces of random length (all at once when maxPiece is 0).
TEncoded Encode(const std::vector<uint8_t>& data, unsigned threads, size_t maxPiece, uint64_t seed, int level = 6) {
  TEncoded e;
  DeflateEncoder encoder(level, [&](const uint8_t* p, size_t n) { e.bytes.insert(e.bytes.end(), p, p + n); },
                         threads);
  std::mt19937_64 rng(seed);
  for (size_t pos = 0; pos < data.size();) {
    const size_t n = maxPiece == 0 ? data.size() - pos : std::min(data.size() - pos, size_t(1 + rng() % maxPiece));
    encoder.Write(data.data() + pos, n);
    pos += n;
  }
  encoder.Finish();
  e.literals = encoder.FirstBlockLiterals();
  return e;
}

#ifdef NS_TEST_HAVE_ZLIB
std::vector<uint8_t> ZlibInflate(const std::vector<uint8_t>& in, size_t expectedSize) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  std::vector<uint8_t> out(expectedSize + 1);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  EXPECT_EQ(rc, Z_STREAM_END);
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the stream";
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}
#endif

// The program's own strict inflater, written independently of the encoder,
// is the judge in every build (the Windows builds have no zlib).
void ExpectRoundTrip(const std::vector<uint8_t>& data, const TEncoded& e) {
  std::vector<uint8_t> decoded;
  const TInflateResult r = InflateBuffer(e.bytes.data(), e.bytes.size(), decoded);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(decoded.size(), data.size());
  ASSERT_TRUE(decoded == data) << "decoded data differs";
#ifdef NS_TEST_HAVE_ZLIB
  ASSERT_TRUE(ZlibInflate(e.bytes, data.size()) == data) << "zlib decodes other data";
#endif
}

TEST(DeflateEncoder, RoundTripsEveryKindLengthAndThreadCount) {
  const size_t first = DeflateEncoder::FirstBlockCapacity();
  const size_t lengths[] = {0, 1, 2, 3, 4, 5, 100, 4095, 4097, first - 1, first, first + 1,
                            kSegment - 1, kSegment, kSegment + 1, 2 * kSegment + 12345};
  const TDataKind kinds[] = {TDataKind::Zeros, TDataKind::Text, TDataKind::Random, TDataKind::Binary,
                             TDataKind::Mixed, TDataKind::Code};
  for (TDataKind kind : kinds)
    for (size_t length : lengths)
      for (unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(test::KindName(kind) + " length " + std::to_string(length) + " threads " +
                     std::to_string(threads));
        const auto data = MakeData(kind, length, length * 31 + static_cast<uint64_t>(kind));
        ExpectRoundTrip(data, Encode(data, threads, 0, 1));
      }
}

TEST(DeflateEncoder, OutputDoesNotDependOnWriteSplitsOrThreads) {
  // Segments are cut by input position alone, so the stream is the same
  // byte for byte however the input arrives and whoever compresses it.
  const auto data = MakeData(TDataKind::Mixed, 3 * kSegment + 777, 5);
  const TEncoded reference = Encode(data, 1, 0, 1);
  ExpectRoundTrip(data, reference);
  const struct {
    unsigned threads;
    size_t maxPiece;
  } cases[] = {{1, 1}, {1, 7}, {2, 70000}, {2, 3000000}, {3, 50}, {64, 100000}};
  for (const auto& c : cases) {
    SCOPED_TRACE("threads " + std::to_string(c.threads) + " pieces up to " + std::to_string(c.maxPiece));
    // Single-byte writes over megabytes are slow under the sanitizers: a
    // shorter prefix shows the same.
    const std::vector<uint8_t> input =
        c.maxPiece < 10 ? std::vector<uint8_t>(data.begin(), data.begin() + kSegment + 99) : data;
    const TEncoded expected = c.maxPiece < 10 ? Encode(input, 1, 0, 1) : reference;
    EXPECT_TRUE(Encode(input, c.threads, c.maxPiece, c.maxPiece).bytes == expected.bytes);
  }
  // Input read straight into the encoder's own space, in pieces of any
  // length up to what it offers, makes the same stream.
  for (unsigned threads : {1u, 2u}) {
    SCOPED_TRACE("filled in place, threads " + std::to_string(threads));
    std::vector<uint8_t> bytes;
    DeflateEncoder encoder(6, [&](const uint8_t* p, size_t n) { bytes.insert(bytes.end(), p, p + n); }, threads);
    std::mt19937_64 rng(threads);
    for (size_t pos = 0; pos < data.size();) {
      const std::span<uint8_t> space = encoder.InputSpace();
      ASSERT_FALSE(space.empty());
      const size_t n = std::min({data.size() - pos, space.size(), size_t(1 + rng() % 400000)});
      std::copy_n(data.begin() + static_cast<ptrdiff_t>(pos), n, space.begin());
      encoder.Commit(n);
      pos += n;
    }
    EXPECT_THROW(encoder.Commit(encoder.InputSpace().size() + 1), std::logic_error);
    encoder.Finish();
    EXPECT_TRUE(bytes == reference.bytes);
  }
}

TEST(DeflateEncoder, StartsNoMoreWorkersThanProcessorsOrSegments) {
  // One processor compresses on the caller's thread alone; otherwise a
  // worker is started only for a segment in flight.
  const struct {
    unsigned processors;
    size_t length;
    unsigned maxWorkers;
  } cases[] = {
      {1, 5 * kSegment, 0},           // one processor: no worker at all
      {4, kSegment / 2, 0},           // a single, last segment: the caller's own
      {2, 6 * kSegment, 2},           // as many as the processors
      {64, 2 * kSegment + 5, 3},      // as many as the segments
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("processors " + std::to_string(c.processors) + " length " + std::to_string(c.length));
    const auto data = MakeData(TDataKind::Text, c.length, 3);
    std::vector<uint8_t> out;
    DeflateEncoder encoder(6, [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); }, c.processors);
    encoder.Write(data.data(), data.size());
    encoder.Finish();
    EXPECT_LE(encoder.WorkerThreads(), c.maxWorkers);
    if (c.maxWorkers > 0) {
      EXPECT_GE(encoder.WorkerThreads(), 1u);
    }
    ExpectRoundTrip(data, TEncoded{out, {}});
  }
}

TEST(DeflateEncoder, StretchesOfShortAndLongMatchesAlternate) {
  // Machine code (mostly short matches) and text (long ones) in turns of
  // varied length: the match finder changes how it keys its long chains
  // back and forth, within segments and across their joins, and the stream
  // must not depend on where a thread started.
  std::mt19937_64 rng(11);
  std::vector<uint8_t> data;
  for (unsigned i = 0; data.size() < 3 * kSegment; ++i) {
    const auto piece = MakeData(i % 2 == 0 ? TDataKind::Code : TDataKind::Text, 20000 + rng() % 300000, i);
    data.insert(data.end(), piece.begin(), piece.end());
  }
  const TEncoded one = Encode(data, 1, 0, 1);
  ExpectRoundTrip(data, one);
  EXPECT_TRUE(Encode(data, 2, 100000, 2).bytes == one.bytes);
  for (int level : {1, 4, 9}) {
    SCOPED_TRACE("level " + std::to_string(level));
    ExpectRoundTrip(data, Encode(data, 2, 0, 1, level));
  }
}

TEST(DeflateEncoder, EveryLevelRoundTrips) {
  const auto data = MakeData(TDataKind::Mixed, 300000, 9);
  for (int level = 1; level <= 9; ++level) {
    SCOPED_TRACE("level " + std::to_string(level));
    ExpectRoundTrip(data, Encode(data, 1, 0, 1, level));
  }
}

TEST(DeflateEncoder, InputUpToTheFirstBlockCapacityIsOneBlock) {
  const size_t first = DeflateEncoder::FirstBlockCapacity();
  for (TDataKind kind : {TDataKind::Text, TDataKind::Random, TDataKind::Binary, TDataKind::Mixed})
    for (size_t length : {size_t(1), size_t(1000), first}) {
      SCOPED_TRACE(test::KindName(kind) + " length " + std::to_string(length));
      const auto data = MakeData(kind, length, 3);
      const TEncoded e = Encode(data, 2, 999, 4);
      std::vector<uint8_t> decoded;
      const TInflateResult r = InflateBuffer(e.bytes.data(), e.bytes.size(), decoded);
      ASSERT_TRUE(r.ok) << r.error;
      EXPECT_EQ(r.blocks, 1u);
    }
}

TEST(DeflateEncoder, CountsTheLiteralsOfTheFirstBlock) {
  const size_t first = DeflateEncoder::FirstBlockCapacity();
  // Text has no byte of the binary group; a block of high bytes only those.
  const auto text = MakeData(TDataKind::Text, 3 * first, 1);
  const TEncoded t = Encode(text, 1, 0, 1);
  EXPECT_EQ(t.literals.binary, 0u);
  EXPECT_GT(t.literals.text, 0u);
  EXPECT_LT(t.literals.text, first) << "matches cover part of the first block";

  std::vector<uint8_t> high(5000);
  for (size_t i = 0; i < high.size(); ++i) high[i] = static_cast<uint8_t>(128 + (i * 7919) % 128);
  const TEncoded h = Encode(high, 1, 0, 1);
  EXPECT_EQ(h.literals.text, 0u);
  EXPECT_GT(h.literals.binary, 0u);

  // Random data is stored: every byte of the first block counts, and only
  // the first block's bytes.
  const auto random = MakeData(TDataKind::Random, first + 5000, 2);
  const TEncoded r = Encode(random, 1, 0, 1);
  uint64_t binary = 0, textBytes = 0;
  for (size_t i = 0; i < first; ++i) ++((random[i] >= 7 && random[i] < 128) ? textBytes : binary);
  EXPECT_EQ(r.literals.binary, binary);
  EXPECT_EQ(r.literals.text, textBytes);

  EXPECT_EQ(Encode({}, 1, 0, 1).literals.binary + Encode({}, 1, 0, 1).literals.text, 0u);
}

TEST(DeflateEncoder, IncompressibleDataGrowsByAtMostOneInTwoThousand) {
  for (unsigned threads : {1u, 2u}) {
    const auto data = MakeData(TDataKind::Random, 5 * kSegment + 3, threads);
    const TEncoded e = Encode(data, threads, 0, 1);
    ExpectRoundTrip(data, e);
    EXPECT_LE(e.bytes.size(), data.size() + data.size() / 2000);
  }
}

TEST(DeflateEncoder, RepeatedRandomDataIsCompressed) {
  // High byte entropy yet full of repeats: must not be mistaken for
  // incompressible data.
  const auto piece = MakeData(TDataKind::Random, 3000, 8);
  std::vector<uint8_t> data;
  while (data.size() < 400000) data.insert(data.end(), piece.begin(), piece.end());
  const TEncoded e = Encode(data, 1, 0, 1);
  ExpectRoundTrip(data, e);
  EXPECT_LT(e.bytes.size(), data.size() / 20);
}

TEST(DeflateEncoder, HalfRandomLayoutsAreCompressed) {
  // Records of random bytes and zeros: random data to any sample that
  // sees only one of their parts, yet half of it compresses away.
  for (size_t period : {128, 256, 1024, 4096}) {
    SCOPED_TRACE("period " + std::to_string(period));
    const auto random = MakeData(TDataKind::Random, 2 * kSegment, period);
    std::vector<uint8_t> data(random.begin(), random.end());
    for (size_t i = 0; i < data.size(); ++i)
      if (i % period >= period / 2) data[i] = 0;
    const TEncoded e = Encode(data, 1, 0, 1);
    ExpectRoundTrip(data, e);
    EXPECT_LT(e.bytes.size(), data.size() * 56 / 100);
  }
}

TEST(DeflateEncoder, SinkFailureReachesTheCallerAndDestructionIsSafe) {
  const auto data = MakeData(TDataKind::Text, 6 * kSegment, 4);
  for (unsigned threads : {1u, 2u}) {
    SCOPED_TRACE(threads);
    size_t calls = 0;
    auto encoder = std::make_unique<DeflateEncoder>(
        6,
        [&](const uint8_t*, size_t) {
          if (++calls == 2) throw std::runtime_error("disk full");
        },
        threads);
    EXPECT_THROW(
        {
          encoder->Write(data.data(), data.size());
          encoder->Finish();
        },
        std::runtime_error);
    // The stream has a hole now: the encoder refuses to go on.
    EXPECT_THROW(encoder->Write(data.data(), 100), std::logic_error);
    EXPECT_THROW(encoder->Finish(), std::logic_error);
    encoder.reset();
  }
}

}  // namespace
}  // namespace ns
