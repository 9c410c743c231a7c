// The inflater against independent encoders and decoders: whatever the own
// encoder, zlib and libdeflate write must come back byte for byte (and zlib
// must agree), fed in pieces of any size; every kind of damage ends in its
// own error, and zlib refuses the same streams.
#include "zip/Inflater.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "TestData.h"
#include "zip/DeflateEncoder.h"

#ifdef NS_TEST_HAVE_ZLIB
#include <libdeflate.h>
#include <zlib.h>

#include "ZlibReference.h"
#endif

namespace ns {
namespace {

using test::MakeData;
using test::TDataKind;
using Bytes = std::vector<uint8_t>;

constexpr TDataKind kKinds[] = {TDataKind::Zeros, TDataKind::Text,  TDataKind::Random,
                                TDataKind::Binary, TDataKind::Mixed, TDataKind::Code};

// The whole stream in memory, for the helpers below.
constexpr size_t kInMemory = 0;

// Decodes `stream` handing it out in pieces of random length up to
// `maxPiece` (one byte at a time with 1), as a file read would, or as a
// whole with kInMemory.
TInflateResult Inflate(TInflater& inflater, const Bytes& stream, Bytes& out, size_t maxPiece, uint64_t seed,
                       uint64_t limit = UINT64_MAX) {
  out.clear();
  if (maxPiece == kInMemory)
    return inflater.Inflate(
        stream.data(), stream.size(), [&](const uint8_t* data, size_t size) { out.insert(out.end(), data, data + size); },
        limit);
  std::mt19937_64 rng(seed);
  size_t offset = 0;
  return inflater.Inflate(
      [&](uint8_t* buffer, size_t room) {
        const size_t n = std::min({room, stream.size() - offset, size_t(1 + rng() % maxPiece)});
        if (n != 0) std::memcpy(buffer, stream.data() + offset, n);
        offset += n;
        return n;
      },
      [&](const uint8_t* data, size_t size) { out.insert(out.end(), data, data + size); }, limit);
}

Bytes OwnDeflate(const Bytes& data, int level, unsigned threads) {
  Bytes stream;
  DeflateEncoder encoder(level, [&](const uint8_t* p, size_t n) { stream.insert(stream.end(), p, p + n); }, threads);
  encoder.Write(data.data(), data.size());
  encoder.Finish();
  return stream;
}


// Decodes `stream` in several piece sizes; each time the data must be
// `expected`, and zlib must decode it to the same.
void ExpectDecodes(const Bytes& stream, const Bytes& expected) {
  TInflater inflater;
  Bytes out;
  for (size_t maxPiece : {kInMemory, size_t(1) << 20, size_t(4096), size_t(7)}) {
    // Byte-sized pieces over megabytes are slow under the sanitizers; the
    // boundaries they show are the same in a shorter stream.
    if (maxPiece < 10 && stream.size() > 200000) continue;
    SCOPED_TRACE("pieces up to " + std::to_string(maxPiece));
    const TInflateResult r = Inflate(inflater, stream, out, maxPiece, maxPiece);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.size, expected.size());
    ASSERT_TRUE(out == expected) << "decoded data differs";
  }
#ifdef NS_TEST_HAVE_ZLIB
  Bytes zlibOut;
  ASSERT_TRUE(test::ZlibInflates(stream.data(), stream.size(), zlibOut));
  ASSERT_TRUE(zlibOut == expected);
#endif
}

TEST(Inflater, DecodesTheOwnEncoderAtEveryLevelAndThreadCount) {
  // Past the output chunk and the encoder's segment size, so that matches
  // reach back across both.
  const size_t lengths[] = {0, 1, 300000, (size_t(1) << 20) + 70000};
  for (TDataKind kind : kKinds)
    for (size_t length : lengths) {
      const Bytes data = MakeData(kind, length, length + static_cast<uint64_t>(kind));
      for (int level = 1; level <= 9; ++level)
        for (unsigned threads : {1u, 2u}) {
          // Every level on the shorter input; the long one at the levels
          // whose match finders differ most.
          if (length > 300000 && level != 1 && level != 6 && level != 9) continue;
          SCOPED_TRACE(test::KindName(kind) + " length " + std::to_string(length) + " level " +
                       std::to_string(level) + " threads " + std::to_string(threads));
          ExpectDecodes(OwnDeflate(data, level, threads), data);
        }
    }
}

#ifdef NS_TEST_HAVE_ZLIB
Bytes ZlibDeflate(const Bytes& data, int level, int windowBits, int strategy, size_t flushEvery, int flush) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -windowBits, 8, strategy), Z_OK);
  // Each flush adds a few bytes the bound does not count.
  Bytes stream(deflateBound(&z, data.size()) + 64 + (data.size() / flushEvery + 1) * 16);
  z.next_out = stream.data();
  z.avail_out = static_cast<uInt>(stream.size());
  for (size_t pos = 0;;) {
    const size_t n = std::min(flushEvery, data.size() - pos);
    z.next_in = const_cast<Bytef*>(data.data() + pos);
    z.avail_in = static_cast<uInt>(n);
    pos += n;
    const bool last = pos == data.size();
    EXPECT_NE(deflate(&z, last ? Z_FINISH : flush), Z_STREAM_ERROR);
    if (last) break;
  }
  stream.resize(z.total_out);
  deflateEnd(&z);
  return stream;
}

TEST(Inflater, DecodesZlibStreamsOfEveryLevelStrategyWindowAndFlush) {
  const Bytes mixed = MakeData(TDataKind::Mixed, 400000, 3);
  const Bytes text = MakeData(TDataKind::Text, 200000, 4);
  for (int level = 0; level <= 9; ++level) {
    SCOPED_TRACE("level " + std::to_string(level));
    ExpectDecodes(ZlibDeflate(mixed, level, 15, Z_DEFAULT_STRATEGY, mixed.size(), Z_NO_FLUSH), mixed);
  }
  const struct {
    const char* what;
    int windowBits, strategy;
    size_t flushEvery;
    int flush;
  } cases[] = {
      {"fixed codes only", 15, Z_FIXED, SIZE_MAX, Z_NO_FLUSH},
      {"Huffman codes only, no matches", 15, Z_HUFFMAN_ONLY, SIZE_MAX, Z_NO_FLUSH},
      {"runs only", 15, Z_RLE, SIZE_MAX, Z_NO_FLUSH},
      {"filtered", 15, Z_FILTERED, SIZE_MAX, Z_NO_FLUSH},
      {"512-byte window", 9, Z_DEFAULT_STRATEGY, SIZE_MAX, Z_NO_FLUSH},
      {"empty stored blocks of sync flushes", 15, Z_DEFAULT_STRATEGY, 1000, Z_SYNC_FLUSH},
      {"partial flushes", 15, Z_DEFAULT_STRATEGY, 777, Z_PARTIAL_FLUSH},
      {"full flushes", 12, Z_DEFAULT_STRATEGY, 5000, Z_FULL_FLUSH},
      {"blocks that end mid-byte", 15, Z_FIXED, 50, Z_BLOCK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const Bytes* data : {&mixed, &text})
      ExpectDecodes(ZlibDeflate(*data, 6, c.windowBits, c.strategy, std::min(c.flushEvery, data->size()), c.flush),
                    *data);
  }
}

TEST(Inflater, DecodesLibdeflateStreamsOfEveryLevel) {
  for (TDataKind kind : {TDataKind::Text, TDataKind::Code, TDataKind::Mixed, TDataKind::Random}) {
    const Bytes data = MakeData(kind, 500000, 7);
    for (int level = 0; level <= 12; ++level) {
      SCOPED_TRACE(test::KindName(kind) + " level " + std::to_string(level));
      libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
      ASSERT_NE(compressor, nullptr);
      Bytes stream(libdeflate_deflate_compress_bound(compressor, data.size()));
      stream.resize(libdeflate_deflate_compress(compressor, data.data(), data.size(), stream.data(), stream.size()));
      libdeflate_free_compressor(compressor);
      ExpectDecodes(stream, data);
    }
  }
}
#endif

// Streams written bit by bit, first bit lowest, as deflate packs them.
class TBitWriter {
 public:
  TBitWriter& Put(unsigned value, unsigned bits) {
    for (unsigned i = 0; i < bits; ++i, ++count_) {
      if (count_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(1u << (count_ % 8));
    }
    return *this;
  }
  // A Huffman code goes out highest bit first.
  TBitWriter& Code(unsigned code, unsigned length) {
    for (unsigned i = length; i-- > 0;) Put((code >> i) & 1, 1);
    return *this;
  }
  TBitWriter& Header(bool final, unsigned type) { return Put(final ? 1 : 0, 1).Put(type, 2); }
  // A symbol of the fixed literal/length code.
  TBitWriter& Fixed(unsigned symbol) {
    if (symbol < 144) return Code(0x30 + symbol, 8);
    if (symbol < 256) return Code(0x190 + symbol - 144, 9);
    if (symbol < 280) return Code(symbol - 256, 7);
    return Code(0xC0 + symbol - 280, 8);
  }
  TBitWriter& Bytes(std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) Put(b, 8);
    return *this;
  }
  const std::vector<uint8_t>& Result() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  unsigned count_ = 0;
};

// The canonical codes deflate assigns to a table of code lengths.
std::vector<unsigned> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  unsigned perLength[16] = {}, next[16] = {};
  for (uint8_t l : lengths) ++perLength[l];
  perLength[0] = 0;
  for (unsigned l = 1, code = 0; l < 16; ++l) {
    code = (code + perLength[l - 1]) << 1;
    next[l] = code;
  }
  std::vector<unsigned> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
  return codes;
}

// One code length instruction of a dynamic header: a length 0-15, or a
// repeat (16-18) with its extra bits.
struct TLengthOp {
  unsigned symbol;
  unsigned extra = 0;
};

// A final dynamic block's header with a complete code length code (four
// bits for symbols 0-12, five for 13-18) and the given instructions.
void DynamicHeader(TBitWriter& w, unsigned litLenCount, unsigned distCount, const std::vector<TLengthOp>& ops,
                   std::vector<uint8_t> precode = {}) {
  static const unsigned kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  if (precode.empty())
    for (unsigned s = 0; s < 19; ++s) precode.push_back(s < 13 ? 4 : 5);
  w.Header(true, 2).Put(litLenCount - 257, 5).Put(distCount - 1, 5).Put(15, 4);
  for (unsigned i = 0; i < 19; ++i) w.Put(precode[kOrder[i]], 3);
  const std::vector<unsigned> codes = CanonicalCodes(precode);
  for (const TLengthOp& op : ops) {
    w.Code(codes[op.symbol], precode[op.symbol]);
    if (op.symbol == 16) w.Put(op.extra, 2);
    if (op.symbol == 17) w.Put(op.extra, 3);
    if (op.symbol == 18) w.Put(op.extra, 7);
  }
}

// The instructions that give these code lengths one by one.
std::vector<TLengthOp> Plain(const std::vector<uint8_t>& litLen, const std::vector<uint8_t>& dist) {
  std::vector<TLengthOp> ops;
  for (uint8_t l : litLen) ops.push_back({l});
  for (uint8_t l : dist) ops.push_back({l});
  return ops;
}

// Code lengths of a complete literal/length code over the literals, the
// end-of-block code and the first length code: 254 codes of 8 bits, 4 of 9.
std::vector<uint8_t> CompleteLitLen(size_t count = 258) {
  std::vector<uint8_t> lengths(count, 0);
  for (unsigned s = 0; s < 254; ++s) lengths[s] = 8;
  lengths[254] = lengths[255] = lengths[256] = lengths[257] = 9;
  return lengths;
}

Bytes Dynamic(unsigned litLenCount, unsigned distCount, const std::vector<TLengthOp>& ops,
              std::vector<uint8_t> precode = {}) {
  TBitWriter w;
  DynamicHeader(w, litLenCount, distCount, ops, precode);
  return w.Result();
}

TEST(Inflater, RefusesEveryKindOfDamageWithItsOwnError) {
  const Bytes valid = OwnDeflate(MakeData(TDataKind::Text, 5000, 1), 6, 1);
  const auto with = [](Bytes b, std::initializer_list<uint8_t> more) {
    b.insert(b.end(), more);
    return b;
  };
  std::vector<uint8_t> allOnes(19, 1), lone(19, 0);
  lone[0] = 1;
  std::vector<uint8_t> noEnd = CompleteLitLen();
  noEnd[256] = 0;
  std::vector<uint8_t> twoCodes(257, 0);
  twoCodes[0] = twoCodes[256] = 2;

  const struct {
    const char* what;
    Bytes stream;
    const char* error;
  } cases[] = {
      {"block type 3", TBitWriter().Header(true, 3).Result(), "invalid block type"},
      {"stored length check", TBitWriter().Header(true, 0).Put(0, 5).Bytes({5, 0, 0, 0}).Result(),
       "stored block length does not match its complement"},
      {"stored data cut", TBitWriter().Header(true, 0).Put(0, 5).Bytes({5, 0, 0xFA, 0xFF, 'a', 'b'}).Result(),
       "the stream ends before its final block does"},
      {"287 literal/length codes", TBitWriter().Header(true, 2).Put(30, 5).Put(0, 5).Put(0, 4).Result(),
       "too many literal/length or distance codes"},
      {"31 distance codes", TBitWriter().Header(true, 2).Put(0, 5).Put(30, 5).Put(0, 4).Result(),
       "too many literal/length or distance codes"},
      {"over-subscribed code length code", Dynamic(257, 1, {}, allOnes), "over-subscribed code length code"},
      {"incomplete code length code", Dynamic(257, 1, {}, lone), "incomplete code length code"},
      {"repeat first", Dynamic(257, 1, {{16, 0}}), "code length repeated with no previous length"},
      {"zeros past the last code", Dynamic(257, 1, {{18, 127}, {18, 127}}), "code lengths run past the number of codes"},
      {"repeat past the last code", Dynamic(257, 1, {{18, 127}, {18, 106}, {8}, {16, 3}}),
       "code lengths run past the number of codes"},
      {"no end-of-block code", Dynamic(258, 1, Plain(noEnd, {1})), "no code for the end of the block"},
      {"over-subscribed literal/length code", Dynamic(257, 1, Plain(std::vector<uint8_t>(257, 1), {1})),
       "over-subscribed literal/length code"},
      {"incomplete literal/length code", Dynamic(257, 1, Plain(twoCodes, {1})), "incomplete literal/length code"},
      {"over-subscribed distance code", Dynamic(258, 3, Plain(CompleteLitLen(), {1, 1, 1})),
       "over-subscribed distance code"},
      {"incomplete distance code", Dynamic(258, 1, Plain(CompleteLitLen(), {2})), "incomplete distance code"},
      {"literal/length code 286", TBitWriter().Header(true, 1).Fixed(286).Result(), "invalid literal/length code"},
      {"distance code 30", TBitWriter().Header(true, 1).Fixed('a').Fixed(257).Code(30, 5).Result(),
       "invalid distance code"},
      {"distance before any data", TBitWriter().Header(true, 1).Fixed(257).Code(0, 5).Fixed(256).Result(),
       "distance reaches before the start of the data"},
      {"distance one past the data",
       TBitWriter().Header(true, 1).Fixed('a').Fixed('b').Fixed(257).Code(2, 5).Fixed(256).Result(),
       "distance reaches before the start of the data"},
      {"empty input", {}, "the stream ends before its final block does"},
      {"no final block", TBitWriter().Header(false, 0).Put(0, 5).Bytes({0, 0, 0xFF, 0xFF}).Result(),
       "the stream ends before its final block does"},
      {"no end-of-block code after the data", TBitWriter().Header(true, 1).Fixed('a').Result(),
       "the stream ends before its final block does"},
      {"cut in the middle", Bytes(valid.begin(), valid.begin() + valid.size() / 2),
       "the stream ends before its final block does"},
      {"last byte missing", Bytes(valid.begin(), valid.end() - 1), "the stream ends before its final block does"},
      {"a byte after the final block", with(valid, {0}), "data follows the final block"},
      {"a second stream after the first", with(valid, {0x03, 0x00}), "data follows the final block"},
  };
  TInflater inflater;
  Bytes out;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (size_t maxPiece : {kInMemory, size_t(1) << 20, size_t(1)}) {
      const TInflateResult r = Inflate(inflater, c.stream, out, maxPiece, 1);
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.error, c.error);
    }
#ifdef NS_TEST_HAVE_ZLIB
    EXPECT_FALSE(test::ZlibInflates(c.stream.data(), c.stream.size(), out)) << "zlib takes it";
#endif
  }
  // The same object still decodes a sound stream after all that.
  const TInflateResult r = Inflate(inflater, valid, out, 100, 1);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(out == MakeData(TDataKind::Text, 5000, 1));
}

TEST(Inflater, TakesTheSparseCodesTheFormatAllows) {
  // One distance code of one bit, no distance code at all, and a literal
  // block with the end-of-block code alone: legal, and zlib takes them.
  std::vector<uint8_t> litLen = CompleteLitLen();
  std::vector<unsigned> codes = CanonicalCodes(litLen);
  const auto symbol = [&](TBitWriter& w, unsigned s) { w.Code(codes[s], litLen[s]); };

  TBitWriter oneDistance;
  DynamicHeader(oneDistance, 258, 1, Plain(litLen, {1}));
  symbol(oneDistance, 'x');
  symbol(oneDistance, 257);  // length 3
  oneDistance.Code(0, 1);   // distance 1
  symbol(oneDistance, 256);
  ExpectDecodes(oneDistance.Result(), Bytes(4, 'x'));

  TBitWriter noDistance;
  DynamicHeader(noDistance, 258, 1, Plain(litLen, {0}));
  symbol(noDistance, 'y');
  symbol(noDistance, 256);
  ExpectDecodes(noDistance.Result(), Bytes(1, 'y'));

  std::vector<uint8_t> endOnly(257, 0);
  endOnly[256] = 1;
  TBitWriter empty;
  DynamicHeader(empty, 257, 1, Plain(endOnly, {0}));
  empty.Code(0, 1);
  ExpectDecodes(empty.Result(), {});
}

TEST(Inflater, MatchesReachIntoStoredDataHandedOutBefore) {
  // Stored data goes to the sink from where the input holds it, and only
  // what a window needs is kept: matches after it must still find every
  // byte of the last 32 KiB, whether the stored data came in one block or
  // several, long or short, and across the boundaries of the input pieces.
  const Bytes noise = MakeData(TDataKind::Random, 70000, 7);
  const auto stored = [&](TBitWriter& w, size_t from, size_t size) {
    w.Header(false, 0).Put(0, 5);  // the header's 3 bits, padded to the byte
    const unsigned n = static_cast<unsigned>(size);
    w.Put(n, 16).Put(~n & 0xFFFF, 16);
    for (size_t i = 0; i < size; ++i) w.Put(noise[from + i], 8);
  };
  // A fixed block of matches at distances 1, 7, 8, 15, 16, 300, 32767 and
  // 32768, each as long as the distance allows up to 258, then a literal.
  const auto matches = [](TBitWriter& w, Bytes& expected) {
    w.Header(true, 1);
    // Distance codes from the format's table: base and extra bits.
    const unsigned base[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                               193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    for (unsigned distance : {1u, 7u, 8u, 15u, 16u, 300u, 32767u, 32768u}) {
      w.Fixed(284).Put(30, 5);  // length 227 + 30
      unsigned code = 0;
      while (code + 1 < 30 && base[code + 1] <= distance) ++code;
      w.Code(code, 5).Put(distance - base[code], code < 4 ? 0 : code / 2 - 1);
      for (unsigned i = 0; i < 257; ++i) expected.push_back(expected[expected.size() - distance]);
    }
    w.Fixed('z').Fixed(256);
    expected.push_back('z');
  };
  const struct {
    const char* what;
    std::vector<size_t> blocks;  // sizes of the stored blocks, in order
  } cases[] = {
      {"one long block", {65535}},
      {"a long block, then short ones", {65535, 100, 3, 20000}},
      {"short blocks only", {5000, 1, 30000, 2000}},
      {"a block of exactly a window", {32768}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TBitWriter w;
    Bytes expected;
    size_t at = 0;
    for (size_t size : c.blocks) {
      stored(w, at, size);
      expected.insert(expected.end(), noise.begin() + at, noise.begin() + at + size);
      at = (at + size) % 4000;
    }
    matches(w, expected);
    ExpectDecodes(w.Result(), expected);
  }
}

TEST(Inflater, StopsAtTheSizeLimit) {
  // A few bytes that expand to megabytes: the decoder stops at the limit
  // instead of producing all of it.
  const Bytes zeros(8 << 20, 0);
  const Bytes stream = OwnDeflate(zeros, 6, 1);
  TInflater inflater;
  Bytes out;
  TInflateResult r = Inflate(inflater, stream, out, 1 << 20, 1, zeros.size() - 1);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "the stream holds more data than expected");
  EXPECT_LT(r.size, zeros.size());
  r = Inflate(inflater, stream, out, 1 << 20, 1, zeros.size());
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.size, zeros.size());
}

TEST(Inflater, FailuresOfSourceAndSinkReachTheCaller) {
  const Bytes data = MakeData(TDataKind::Text, 2 << 20, 2);
  const Bytes stream = OwnDeflate(data, 6, 1);
  TInflater inflater;
  EXPECT_THROW(inflater.Inflate([](uint8_t*, size_t) -> size_t { throw std::runtime_error("read error"); },
                                [](const uint8_t*, size_t) {}),
               std::runtime_error);
  size_t offset = 0;
  const auto source = [&](uint8_t* buffer, size_t room) {
    const size_t n = std::min(room, stream.size() - offset);
    std::memcpy(buffer, stream.data() + offset, n);
    offset += n;
    return n;
  };
  EXPECT_THROW(inflater.Inflate(source, [](const uint8_t*, size_t) { throw std::runtime_error("disk full"); }),
               std::runtime_error);
  Bytes out;
  const TInflateResult r = Inflate(inflater, stream, out, 1 << 16, 3);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(out == data);
}

}  // namespace
}  // namespace ns
