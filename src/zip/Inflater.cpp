#include "zip/Inflater.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "zip/Crc32Impl.h"
#include "zip/deflate/DeflateTables.h"
#include "zip/inflate/DecodeTable.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define NS_INFLATE_BMI2 1
#else
#define NS_INFLATE_BMI2 0
#endif

namespace ns {

using namespace inflate;

namespace {

#if NS_INFLATE_BMI2
bool HaveBmi2() {
  if (crc32::CpuFeaturesDisabled()) return false;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return (b & bit_BMI) != 0 && (b & bit_BMI2) != 0;
}
#endif

static_assert(std::endian::native == std::endian::little, "the bit buffer is filled by little-endian loads");

// The data kept for matches to copy from.
constexpr size_t kWindow = deflate::kWindowSize;
// Data handed to the sink at a time: large enough that moving the window
// down after each piece costs little (an eighth), small enough that the
// piece is still in the cache when the sink reads it.
constexpr size_t kChunk = size_t(1) << 18;
// How far one match may write past the flush mark: its length, and the
// 32 bytes its copy may round up by.
constexpr size_t kCopySlack = deflate::kMaxMatch + 64;
// Input asked of the source at a time.
constexpr size_t kInputSize = size_t(1) << 17;
// Input bytes kept before the next one when more is read: the whole bytes
// the bit buffer may hold, which a stored block takes back from the input.
constexpr size_t kInputBack = 8;
// The decode loop runs without checks on the input while this much is left:
// one pass of it refills twice at most, 7 bytes each, reading 8.
constexpr ptrdiff_t kFastInput = 32;

// Every code and its extra bits fit into what one refill leaves in the bit
// buffer: literal/length code 15 + 5 extra, distance code 15 + 13 extra.
constexpr unsigned kRefilledBits = 56;

enum class TError {
  None,
  BlockType,
  StoredLength,
  TooManyCodes,
  PrecodeOverSubscribed,
  PrecodeIncomplete,
  RepeatWithoutLength,
  LengthsRunPast,
  NoEndOfBlock,
  LitLenOverSubscribed,
  LitLenIncomplete,
  DistOverSubscribed,
  DistIncomplete,
  BadLitLenCode,
  BadDistCode,
  DistanceTooFar,
  Truncated,
  Trailing,
  TooLong,
};

const char* Text(TError error) {
  switch (error) {
    case TError::None: return "";
    case TError::BlockType: return "invalid block type";
    case TError::StoredLength: return "stored block length does not match its complement";
    case TError::TooManyCodes: return "too many literal/length or distance codes";
    case TError::PrecodeOverSubscribed: return "over-subscribed code length code";
    case TError::PrecodeIncomplete: return "incomplete code length code";
    case TError::RepeatWithoutLength: return "code length repeated with no previous length";
    case TError::LengthsRunPast: return "code lengths run past the number of codes";
    case TError::NoEndOfBlock: return "no code for the end of the block";
    case TError::LitLenOverSubscribed: return "over-subscribed literal/length code";
    case TError::LitLenIncomplete: return "incomplete literal/length code";
    case TError::DistOverSubscribed: return "over-subscribed distance code";
    case TError::DistIncomplete: return "incomplete distance code";
    case TError::BadLitLenCode: return "invalid literal/length code";
    case TError::BadDistCode: return "invalid distance code";
    case TError::DistanceTooFar: return "distance reaches before the start of the data";
    case TError::Truncated: return "the stream ends before its final block does";
    case TError::Trailing: return "data follows the final block";
    case TError::TooLong: return "the stream holds more data than expected";
  }
  return "?";
}

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

}  // namespace

struct TInflater::Impl {
  // Buffers, allocated once per object and left uninitialised: a checker
  // made for one small entry should not pay for clearing them.
  std::unique_ptr<uint8_t[]> input{new uint8_t[kInputSize]};
  std::unique_ptr<uint8_t[]> output{new uint8_t[kWindow + kChunk + kCopySlack]};
  uint32_t litLen[kLitLenTableSize];
  uint32_t dist[kDistTableSize];
  uint32_t precode[kPrecodeTableSize];
  uint32_t fixedLitLen[size_t(1) << kLitLenMainBits];
  uint32_t fixedDist[size_t(1) << kDistMainBits];

  // The stream being decoded.
  const Source* source = nullptr;  // none when the whole stream is in memory
  const Sink* sink = nullptr;
  const uint8_t* in = nullptr;
  const uint8_t* inEnd = nullptr;
  bool sourceDone = false;
  // Bits not yet consumed, the next one lowest. Bits above `bitsLeft` may
  // hold the start of the next input bytes (the fast refill loads whole
  // words and counts whole bytes), which the next refill puts there again.
  // The whole bytes counted are always the input bytes just before `in`.
  uint64_t bitBuffer = 0;
  unsigned bitsLeft = 0;
  // Zero bytes added past the end of the input so that the refill needs no
  // check in the hot loop; consuming any of them means the stream is cut.
  unsigned padding = 0;
  uint8_t* base = nullptr;     // the output buffer: window, then chunk
  uint8_t* out = nullptr;      // where the next byte of data goes
  uint8_t* pending = nullptr;  // the data from here to `out` has not reached the sink
  uint8_t* flushMark = nullptr;
  // Stored data goes from the input straight to the sink. Its last bytes
  // (up to a window) stay where they are, in the input, until a match may
  // need them or the input is about to move: only then are they copied
  // behind `out`.
  const uint8_t* late = nullptr;
  size_t lateSize = 0;
  uint64_t handedOut = 0;
  uint64_t limit = 0;
#if NS_INFLATE_BMI2
  const bool haveBmi2 = HaveBmi2();
#endif

  Impl() {
    uint8_t lengths[288];
    for (unsigned s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    BuildDecodeTable(fixedLitLen, std::size(fixedLitLen), kLitLenMainBits, lengths, 288, kLitLenSymbols.data());
    std::fill_n(lengths, 32, 5);
    BuildDecodeTable(fixedDist, std::size(fixedDist), kDistMainBits, lengths, 32, kDistSymbols.data());
  }

  // Moves what is left of the input (and the few bytes before it that the
  // bit buffer holds) to the front and asks the source for more; false when
  // it has ended.
  bool ReadMore() {
    if (sourceDone) return false;
    Settle();
    const size_t back = std::min(kInputBack, static_cast<size_t>(in - input.get()));
    const size_t kept = static_cast<size_t>(inEnd - in) + back;
    std::memmove(input.get(), in - back, kept);
    const size_t got = (*source)(input.get() + kept, kInputSize - kept);
    in = input.get() + back;
    inEnd = input.get() + kept + got;
    if (got == 0) sourceDone = true;
    return got != 0;
  }

  bool ConsumedPadding() const { return padding * 8 > bitsLeft; }

  // Refills the bit buffer to at least kRefilledBits bits, padding with
  // zero bytes past the end of the input.
  TError Refill() {
    while (inEnd - in < 8 && ReadMore()) {
    }
    if (inEnd - in >= 8) {
      bitBuffer |= Load64(in) << bitsLeft;
      in += (63 - bitsLeft) >> 3;
      bitsLeft |= kRefilledBits;
      return TError::None;
    }
    // The input has ended.
    if (ConsumedPadding()) return TError::Truncated;
    bitBuffer &= (uint64_t(1) << bitsLeft) - 1;
    while (bitsLeft < kRefilledBits) {
      if (in < inEnd) {
        bitBuffer |= uint64_t(*in++) << bitsLeft;
      } else {
        ++padding;
      }
      bitsLeft += 8;
    }
    return TError::None;
  }

  TError Need(unsigned bits) { return bitsLeft >= bits ? TError::None : Refill(); }

  unsigned Take(unsigned bits) {
    const unsigned value = static_cast<unsigned>(bitBuffer & ((uint64_t(1) << bits) - 1));
    bitBuffer >>= bits;
    bitsLeft -= bits;
    return value;
  }

  TError Hand(const uint8_t* data, size_t size) {
    if (size > limit - handedOut) return TError::TooLong;
    (*sink)(data, size);
    handedOut += size;
    return TError::None;
  }

  // Hands the data since the last flush to the sink and keeps the window.
  TError Flush() {
    if (out != pending)
      if (TError e = Hand(pending, static_cast<size_t>(out - pending)); e != TError::None) return e;
    if (static_cast<size_t>(out - base) > kWindow) {
      std::memmove(base, out - kWindow, kWindow);
      out = base + kWindow;
    }
    pending = out;
    return TError::None;
  }

  // Puts the stored data left in the input behind `out`, where matches
  // find it; the sink has it already.
  void Settle() {
    if (lateSize == 0) return;
    if (lateSize == kWindow) {
      out = base;
    } else if (static_cast<size_t>(out - base) > kWindow) {
      // Only the last window of what precedes is needed; Flush has handed
      // it out already.
      std::memmove(base, out - kWindow, kWindow);
      out = base + kWindow;
    }
    std::memcpy(out, late, lateSize);
    out += lateSize;
    pending = out;
    lateSize = 0;
  }

  TError Stored() {
    Take(bitsLeft & 7);
    if (TError e = Need(32); e != TError::None) return e;
    const unsigned length = Take(16);
    const unsigned complement = Take(16);
    if (ConsumedPadding()) return TError::Truncated;
    if (length != (~complement & 0xFFFF)) return TError::StoredLength;
    // The whole bytes still in the bit buffer are the input bytes just
    // before `in`: give them back, so that all of the data is read where it
    // lies.
    in -= bitsLeft / 8 - padding;
    bitBuffer = 0;
    bitsLeft = 0;
    padding = 0;
    if (length == 0) return TError::None;
    if (TError e = Flush(); e != TError::None) return e;
    size_t left = length;
    while (left > 0) {
      if (in == inEnd && !ReadMore()) return TError::Truncated;
      const size_t n = std::min(left, static_cast<size_t>(inEnd - in));
      if (TError e = Hand(in, n); e != TError::None) return e;
      // What the window needs of it stays in the input for now.
      if (n < kWindow) Settle();
      late = n < kWindow ? in : in + n - kWindow;
      lateSize = std::min(n, kWindow);
      in += n;
      left -= n;
    }
    return TError::None;
  }

  TError Dynamic() {
    if (TError e = Need(14); e != TError::None) return e;
    const unsigned litLenCount = Take(5) + 257;
    const unsigned distCount = Take(5) + 1;
    const unsigned precodeCount = Take(4) + 4;
    if (litLenCount > 286 || distCount > 30) return TError::TooManyCodes;

    uint8_t lengths[286 + 30] = {};
    for (unsigned i = 0; i < precodeCount; ++i) {
      if (TError e = Need(3); e != TError::None) return e;
      lengths[deflate::kPrecodeOrder[i]] = static_cast<uint8_t>(Take(3));
    }
    switch (BuildDecodeTable(precode, kPrecodeTableSize, kPrecodeMainBits, lengths, 19, kPrecodeSymbols.data())) {
      case TCodeShape::Complete: break;
      case TCodeShape::OverSubscribed: return TError::PrecodeOverSubscribed;
      default: return TError::PrecodeIncomplete;
    }

    const unsigned total = litLenCount + distCount;
    for (unsigned i = 0; i < total;) {
      // A code length code and its extra bits: at most 7 + 7.
      if (TError e = Need(14); e != TError::None) return e;
      const uint32_t entry = precode[bitBuffer & ((1u << kPrecodeMainBits) - 1)];
      Take(EntryBits(entry));
      const unsigned symbol = EntryValue(entry);
      if (symbol < 16) {
        lengths[i++] = static_cast<uint8_t>(symbol);
        continue;
      }
      uint8_t value = 0;
      unsigned repeat;
      if (symbol == 16) {
        if (i == 0) return TError::RepeatWithoutLength;
        value = lengths[i - 1];
        repeat = 3 + Take(2);
      } else if (symbol == 17) {
        repeat = 3 + Take(3);
      } else {
        repeat = 11 + Take(7);
      }
      if (repeat > total - i) return TError::LengthsRunPast;
      std::memset(lengths + i, value, repeat);
      i += repeat;
    }
    if (lengths[deflate::kEndOfBlock] == 0) return TError::NoEndOfBlock;

    switch (BuildDecodeTable(litLen, kLitLenTableSize, kLitLenMainBits, lengths, litLenCount, kLitLenSymbols.data())) {
      case TCodeShape::OverSubscribed: return TError::LitLenOverSubscribed;
      case TCodeShape::Incomplete: return TError::LitLenIncomplete;
      default: break;
    }
    switch (BuildDecodeTable(dist, kDistTableSize, kDistMainBits, lengths + litLenCount, distCount,
                             kDistSymbols.data())) {
      case TCodeShape::OverSubscribed: return TError::DistOverSubscribed;
      case TCodeShape::Incomplete: return TError::DistIncomplete;
      default: break;
    }
    return Codes(litLen, dist);
  }

  // The symbols of a Huffman block, up to its end-of-block code, decoded
  // by the variant the processor runs best.
  TError Codes(const uint32_t* litLenTable, const uint32_t* distTable) {
    Settle();
#if NS_INFLATE_BMI2
    if (haveBmi2) return CodesBmi2(litLenTable, distTable);
#endif
    return CodesBaseline(litLenTable, distTable);
  }

  __attribute__((noinline)) TError CodesBaseline(const uint32_t* litLenTable, const uint32_t* distTable) {
    return DecodeCodes(litLenTable, distTable);
  }
#if NS_INFLATE_BMI2
  // Variable shifts and bit extraction without the count register: fewer
  // instructions on the loop's critical path.
  __attribute__((noinline, target("bmi,bmi2"))) TError CodesBmi2(const uint32_t* litLenTable,
                                                                 const uint32_t* distTable) {
    return DecodeCodes(litLenTable, distTable);
  }
#endif

  // This is where the time goes. The state lives in locals, so that the
  // compiler keeps it in registers, and goes back to the members only
  // around the rare calls out of the loop; the members the loop reads are
  // copied too, as every byte it writes could alias them. The loop is
  // written with macros rather than lambdas: locals that a closure refers
  // to end up stored to memory on every pass.
  //
  // Each entry's bits are consumed as soon as it is looked up, extra bits
  // included; the bits as they were before are kept to take the extra bits
  // from. A refill only adds bits above those held, so an entry looked up
  // before it stays valid: the next entry is looked up before the refill
  // that follows, so that its load waits on nothing but the shift before.
  // After a refill at least 56 bits are held, enough for what one pass
  // decodes between refills: three literals of the main table and a
  // look-up (11 + 11 + 11 + 11), or two literals, a length and the look-up
  // of a distance's main entry (11 + 11 + 11 + 4 + 5 + 8), or a distance
  // (8 + 7 + 13) and a look-up (11).
  //
  // A pass runs fast, without a check on the input, while kFastInput bytes
  // are left (it refills twice at most, each reading 8 bytes and taking 7),
  // and carefully near the end, where the refill reads more or pads. Either
  // way it starts below the flush mark and writes one match at most, which
  // the slack after the mark holds.
  __attribute__((always_inline)) inline TError DecodeCodes(const uint32_t* litLenTable, const uint32_t* distTable) {
    uint64_t bits = bitBuffer;
    // Only the low byte of `left` counts: a consumed entry is subtracted
    // whole, which saves masking it, and what it takes from the higher
    // bits does not matter, since the low byte never goes below zero.
    uint32_t left = bitsLeft;
    const uint8_t* next = in;
    const uint8_t* last = inEnd;
    uint8_t* op = out;
    uint8_t* const start = base;
    uint8_t* const mark = flushMark;
    constexpr uint64_t kLitLenMask = (1u << kLitLenMainBits) - 1;
    constexpr uint64_t kDistMask = (1u << kDistMainBits) - 1;
    TError error = TError::None;
    uint32_t entry = 0;
    uint64_t saved = 0;

#define NS_SAVE() (bitBuffer = bits, bitsLeft = left & 0xFF, in = next, out = op)
#define NS_LOAD() (bits = bitBuffer, left = bitsLeft, next = in, last = inEnd, op = out)
#define NS_CONSUME() (saved = bits, bits >>= EntryBits(entry), left -= entry)
    // A length's or distance's value from the bits before its entry was
    // consumed. Neither has flags set, so the shift counts need no masks
    // beyond what the shift instructions apply themselves.
#define NS_DECODED() \
  ((entry >> 16) + static_cast<unsigned>((saved & ((uint64_t(1) << EntryBits(entry)) - 1)) >> ((entry >> 8) & 63)))
#define NS_REFILL(fast)                                  \
  do {                                                   \
    if ((fast) || last - next >= 8) {                    \
      bits |= Load64(next) << (left & 63);               \
      next += 7 - ((left >> 3) & 7);                     \
      left |= kRefilledBits;                             \
    } else {                                             \
      NS_SAVE();                                         \
      error = Refill();                                  \
      NS_LOAD();                                         \
      if (error != TError::None) goto done;              \
    }                                                    \
  } while (false)
    // One pass: up to three literals, or one match. `continue` ends it.
#define NS_PASS(fast)                                                                               \
  NS_CONSUME();                                                                                     \
  if (entry & kLiteral) {                                                                           \
    unsigned literal = EntryValue(entry);                                                           \
    entry = litLenTable[bits & kLitLenMask];                                                        \
    NS_CONSUME();                                                                                   \
    *op++ = static_cast<uint8_t>(literal);                                                          \
    if (entry & kLiteral) {                                                                         \
      literal = EntryValue(entry);                                                                  \
      entry = litLenTable[bits & kLitLenMask];                                                      \
      NS_CONSUME();                                                                                 \
      *op++ = static_cast<uint8_t>(literal);                                                        \
      if (entry & kLiteral) {                                                                       \
        literal = EntryValue(entry);                                                                \
        entry = litLenTable[bits & kLitLenMask];                                                    \
        NS_REFILL(fast);                                                                            \
        *op++ = static_cast<uint8_t>(literal);                                                      \
        continue;                                                                                   \
      }                                                                                             \
    }                                                                                               \
  }                                                                                                 \
  if (entry & kExceptional) [[unlikely]] {                                                          \
    if (entry & kSubtable) {                                                                        \
      entry = litLenTable[EntryValue(entry) + (bits & ((uint64_t(1) << EntryCodeBits(entry)) - 1))]; \
      NS_CONSUME();                                                                                 \
      if (entry & kLiteral) {                                                                       \
        *op++ = static_cast<uint8_t>(EntryValue(entry));                                            \
        entry = litLenTable[bits & kLitLenMask];                                                    \
        NS_REFILL(fast);                                                                            \
        continue;                                                                                   \
      }                                                                                             \
    }                                                                                               \
    if (entry & kEndOfBlock) goto done;                                                             \
    if (entry & kInvalid) {                                                                         \
      error = TError::BadLitLenCode;                                                                \
      goto done;                                                                                    \
    }                                                                                               \
  }                                                                                                 \
  {                                                                                                 \
    const unsigned length = NS_DECODED();                                                           \
    entry = distTable[bits & kDistMask];                                                            \
    NS_REFILL(fast);                                                                                \
    if (entry & kExceptional) [[unlikely]] {                                                        \
      if (entry & kSubtable) {                                                                      \
        bits >>= kDistMainBits;                                                                     \
        left -= kDistMainBits;                                                                      \
        entry = distTable[EntryValue(entry) + (bits & ((uint64_t(1) << EntryCodeBits(entry)) - 1))]; \
      }                                                                                             \
      if (entry & kInvalid) {                                                                       \
        error = TError::BadDistCode;                                                                \
        goto done;                                                                                  \
      }                                                                                             \
    }                                                                                               \
    NS_CONSUME();                                                                                   \
    const size_t distance = NS_DECODED();                                                           \
    if (distance > static_cast<size_t>(op - start)) [[unlikely]] {                                  \
      error = TError::DistanceTooFar;                                                               \
      goto done;                                                                                    \
    }                                                                                               \
    entry = litLenTable[bits & kLitLenMask];                                                        \
    NS_REFILL(fast);                                                                                \
    op = CopyMatch(op, distance, length);                                                           \
  }

    NS_REFILL(false);
    entry = litLenTable[bits & kLitLenMask];
    for (;;) {
      if (op >= mark) {
        NS_SAVE();
        if ((error = Flush()) != TError::None) return error;
        NS_LOAD();
      }
      if (last - next < kFastInput && !sourceDone) {
        // The bits already loaded stay valid: ReadMore keeps the bytes
        // they came from.
        NS_SAVE();
        ReadMore();
        NS_LOAD();
      }
      if (last - next >= kFastInput) {
        const uint8_t* const fastEnd = last - kFastInput;
        do {
          NS_PASS(true)
        } while (op < mark && next <= fastEnd);
      } else {
        do {
          NS_PASS(false)
        } while (false);
      }
    }
  done:
    NS_SAVE();
    return error;
#undef NS_PASS
#undef NS_REFILL
#undef NS_DECODED
#undef NS_CONSUME
#undef NS_LOAD
#undef NS_SAVE
  }

  // Copies a match of `length` bytes from `distance` back, and returns its
  // end. It writes whole pieces: what lands past the end is in the slack
  // and is written again. Each piece is read after the bytes it covers were
  // written, so overlapping matches repeat as they should. The first pieces
  // go without a test: most matches are that short, and a branch per piece
  // mispredicts on their varied lengths.
  __attribute__((always_inline)) static inline uint8_t* CopyMatch(uint8_t* op, size_t distance, unsigned length) {
    const uint8_t* from = op - distance;
    uint8_t* const end = op + length;
    if (distance >= 16) {
      Copy16(op, from);
      Copy16(op + 16, from + 16);
      op += 32;
      from += 32;
      while (op < end) {
        Copy16(op, from);
        Copy16(op + 16, from + 16);
        op += 32;
        from += 32;
      }
    } else if (distance >= 8) {
      Copy8(op, from);
      Copy8(op + 8, from + 8);
      Copy8(op + 16, from + 16);
      op += 24;
      from += 24;
      while (op < end) {
        Copy8(op, from);
        op += 8;
        from += 8;
      }
    } else if (distance == 1) {
      uint8_t run[16];
      std::memset(run, *from, sizeof run);
      Copy16(op, run);
      Copy16(op + 16, run);
      op += 32;
      while (op < end) {
        Copy16(op, run);
        Copy16(op + 16, run);
        op += 32;
      }
    } else {
      // A short period: a word at a time, advancing by the period, so that
      // each word reads only bytes already in place.
      do {
        Copy8(op, from);
        op += distance;
        from += distance;
      } while (op < end);
    }
    return end;
  }

  static void Copy8(uint8_t* to, const uint8_t* from) { std::memcpy(to, from, 8); }
  static void Copy16(uint8_t* to, const uint8_t* from) { std::memcpy(to, from, 16); }

  TError Block(bool& final) {
    if (TError e = Need(3); e != TError::None) return e;
    final = Take(1) != 0;
    switch (Take(2)) {
      case 0: return Stored();
      case 1: return Codes(fixedLitLen, fixedDist);
      case 2: return Dynamic();
      default: return TError::BlockType;
    }
  }

  TError Stream(uint64_t& blocks) {
    bool final = false;
    do {
      ++blocks;
      if (TError e = Block(final); e != TError::None) return e;
    } while (!final);
    if (ConsumedPadding()) return TError::Truncated;
    // Only the padding bits of the last byte may remain.
    if (bitsLeft - padding * 8 >= 8 || in != inEnd || ReadMore()) return TError::Trailing;
    lateSize = 0;  // handed out already; no match follows
    return Flush();
  }

  TInflateResult Run(const Source* from, const uint8_t* data, size_t size, const Sink& to, uint64_t sizeLimit) {
    source = from;
    sink = &to;
    in = from ? input.get() : data;
    inEnd = in + (from ? 0 : size);
    sourceDone = from == nullptr;
    bitBuffer = 0;
    bitsLeft = 0;
    padding = 0;
    base = out = pending = output.get();
    flushMark = base + kWindow + kChunk;
    late = nullptr;
    lateSize = 0;
    handedOut = 0;
    limit = sizeLimit;

    TInflateResult result;
    TError error = Stream(result.blocks);
    // Whatever went wrong, a stream that was cut short is reported as such:
    // the zero bits read past its end explain the rest.
    if (error != TError::None && error != TError::Trailing && ConsumedPadding()) error = TError::Truncated;
    result.ok = error == TError::None;
    result.error = Text(error);
    result.size = handedOut;
    return result;
  }
};

TInflater::TInflater() : impl_(std::make_unique<Impl>()) {}
TInflater::~TInflater() = default;

TInflateResult TInflater::Inflate(const Source& source, const Sink& sink, uint64_t sizeLimit) {
  return impl_->Run(&source, nullptr, 0, sink, sizeLimit);
}

TInflateResult TInflater::Inflate(const uint8_t* data, size_t size, const Sink& sink, uint64_t sizeLimit) {
  return impl_->Run(nullptr, data, size, sink, sizeLimit);
}

TInflateResult InflateBuffer(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  out.clear();
  TInflater inflater;
  return inflater.Inflate(data, size, [&](const uint8_t* piece, size_t n) { out.insert(out.end(), piece, piece + n); });
}

}  // namespace ns
