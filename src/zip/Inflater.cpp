#include "zip/Inflater.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "zip/deflate/DeflateTables.h"
#include "zip/inflate/DecodeTable.h"

namespace ns {

using namespace inflate;

namespace {

static_assert(std::endian::native == std::endian::little, "the bit buffer is filled by little-endian loads");

// The data kept for matches to copy from.
constexpr size_t kWindow = deflate::kWindowSize;
// Data handed to the sink at a time: large enough that moving the window
// down after each piece costs little.
constexpr size_t kChunk = size_t(1) << 18;
// How far one match may write past the flush mark: its length, rounded up
// by the word copies, at least three words.
constexpr size_t kCopySlack = deflate::kMaxMatch + 24;
// Input asked of the source at a time.
constexpr size_t kInputSize = size_t(1) << 17;

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
  const Source* source = nullptr;
  const Sink* sink = nullptr;
  const uint8_t* in = nullptr;
  const uint8_t* inEnd = nullptr;
  bool sourceDone = false;
  // Bits not yet consumed, the next one lowest. Bits above `bitsLeft` may
  // hold the start of the next input bytes (the fast refill loads whole
  // words and counts whole bytes), which the next refill puts there again.
  uint64_t bitBuffer = 0;
  unsigned bitsLeft = 0;
  // Zero bytes added past the end of the input so that the refill needs no
  // check in the hot loop; consuming any of them means the stream is cut.
  unsigned padding = 0;
  uint8_t* base = nullptr;     // the output buffer: window, then chunk
  uint8_t* out = nullptr;      // where the next byte of data goes
  uint8_t* pending = nullptr;  // the data from here to `out` has not reached the sink
  uint8_t* flushMark = nullptr;
  uint64_t handedOut = 0;
  uint64_t limit = 0;

  Impl() {
    uint8_t lengths[288];
    for (unsigned s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    BuildDecodeTable(fixedLitLen, std::size(fixedLitLen), kLitLenMainBits, lengths, 288, kLitLenSymbols.data());
    std::fill_n(lengths, 32, 5);
    BuildDecodeTable(fixedDist, std::size(fixedDist), kDistMainBits, lengths, 32, kDistSymbols.data());
  }

  // Moves what is left of the input to the front and asks the source for
  // more; false when it has ended.
  bool ReadMore() {
    if (sourceDone) return false;
    const size_t kept = static_cast<size_t>(inEnd - in);
    std::memmove(input.get(), in, kept);
    const size_t got = (*source)(input.get() + kept, kInputSize - kept);
    in = input.get();
    inEnd = in + kept + got;
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

  // Hands the data since the last flush to the sink and keeps the window.
  TError Flush() {
    const size_t size = static_cast<size_t>(out - pending);
    if (size != 0) {
      if (size > limit - handedOut) return TError::TooLong;
      (*sink)(pending, size);
      handedOut += size;
    }
    if (static_cast<size_t>(out - base) > kWindow) {
      std::memmove(base, out - kWindow, kWindow);
      out = base + kWindow;
    }
    pending = out;
    return TError::None;
  }

  TError Stored() {
    Take(bitsLeft & 7);
    if (TError e = Need(32); e != TError::None) return e;
    const unsigned length = Take(16);
    const unsigned complement = Take(16);
    if (ConsumedPadding()) return TError::Truncated;
    if (length != (~complement & 0xFFFF)) return TError::StoredLength;
    size_t left = length;
    // First what the bit buffer already holds, a byte at a time.
    for (; left > 0 && bitsLeft >= 8; --left) {
      if (padding * 8 >= bitsLeft) return TError::Truncated;
      if (out >= flushMark)
        if (TError e = Flush(); e != TError::None) return e;
      *out++ = static_cast<uint8_t>(Take(8));
    }
    if (left == 0) return TError::None;
    if (padding != 0) return TError::Truncated;
    // The bit buffer is empty: the rest comes straight from the input.
    bitBuffer = 0;
    while (left > 0) {
      if (in == inEnd && !ReadMore()) return TError::Truncated;
      if (out >= flushMark)
        if (TError e = Flush(); e != TError::None) return e;
      const size_t room = static_cast<size_t>(flushMark + kCopySlack - out);
      const size_t n = std::min({left, static_cast<size_t>(inEnd - in), room});
      std::memcpy(out, in, n);
      out += n;
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

  // The symbols of a Huffman block, up to its end-of-block code. This is
  // where the time goes: the state lives in locals so that the compiler
  // keeps it in registers, and goes back to the members only around the
  // rare calls out of the loop.
  TError Codes(const uint32_t* litLenTable, const uint32_t* distTable) {
    uint64_t bits = bitBuffer;
    unsigned left = bitsLeft;
    const uint8_t* next = in;
    uint8_t* op = out;
    const auto save = [&] {
      bitBuffer = bits;
      bitsLeft = left;
      in = next;
      out = op;
    };
    const auto load = [&] {
      bits = bitBuffer;
      left = bitsLeft;
      next = in;
      op = out;
    };
    const auto take = [&](unsigned n) {
      bits >>= n;
      left -= n;
    };
    constexpr uint64_t kLitLenMask = (1u << kLitLenMainBits) - 1;
    constexpr uint64_t kDistMask = (1u << kDistMainBits) - 1;

    // A refill only adds bits above those held, so an entry looked up
    // before it stays valid: the next entry is looked up as early as
    // possible, and its load overlaps the work before it is used.
    const auto refill = [&]() -> TError {
      if (inEnd - next >= 8) {
        bits |= Load64(next) << left;
        next += (63 - left) >> 3;
        left |= kRefilledBits;
        return TError::None;
      }
      save();
      const TError e = Refill();
      load();
      return e;
    };
    if (TError e = refill(); e != TError::None) return e;
    uint32_t entry = litLenTable[bits & kLitLenMask];

    for (;;) {
      if (op >= flushMark) {
        save();
        if (TError e = Flush(); e != TError::None) return e;
        load();
      }
      if (TError e = refill(); e != TError::None) return e;

      if (entry & kSubtable) {
        take(kLitLenMainBits);
        entry = litLenTable[EntryValue(entry) + (bits & ((1u << EntryExtra(entry)) - 1))];
      }
      take(EntryBits(entry));
      if (entry & kLiteral) {
        *op++ = static_cast<uint8_t>(EntryValue(entry));
        // Two more literals of the main table need no refill: at most
        // 15 + 11 + 11 of the 56 bits.
        entry = litLenTable[bits & kLitLenMask];
        if ((entry & kLiteral) == 0) continue;
        take(EntryBits(entry));
        *op++ = static_cast<uint8_t>(EntryValue(entry));
        entry = litLenTable[bits & kLitLenMask];
        if ((entry & kLiteral) == 0) continue;
        take(EntryBits(entry));
        *op++ = static_cast<uint8_t>(EntryValue(entry));
        entry = litLenTable[bits & kLitLenMask];
        continue;
      }
      if (entry & (kEndOfBlock | kInvalid)) {
        save();
        return (entry & kEndOfBlock) ? TError::None : TError::BadLitLenCode;
      }
      const unsigned length = EntryValue(entry) + static_cast<unsigned>(bits & ((1u << EntryExtra(entry)) - 1));
      take(EntryExtra(entry));

      entry = distTable[bits & kDistMask];
      if (entry & kSubtable) {
        take(kDistMainBits);
        entry = distTable[EntryValue(entry) + (bits & ((1u << EntryExtra(entry)) - 1))];
      }
      take(EntryBits(entry));
      if (entry & kInvalid) {
        save();
        return TError::BadDistCode;
      }
      const size_t distance = EntryValue(entry) + static_cast<size_t>(bits & ((1u << EntryExtra(entry)) - 1));
      take(EntryExtra(entry));
      if (distance > static_cast<size_t>(op - base)) {
        save();
        return TError::DistanceTooFar;
      }
      if (TError e = refill(); e != TError::None) return e;
      entry = litLenTable[bits & kLitLenMask];

      const uint8_t* from = op - distance;
      uint8_t* const end = op + length;
      if (distance >= 8) {
        // Whole words, each read after the bytes it covers were written;
        // what lands past the end is in the slack and is written again. The
        // first three go without a test: most matches are that short, and
        // a branch per word mispredicts on their varied lengths.
        std::memcpy(op, from, 8);
        std::memcpy(op + 8, from + 8, 8);
        std::memcpy(op + 16, from + 16, 8);
        op += 24;
        from += 24;
        while (op < end) {
          std::memcpy(op, from, 8);
          op += 8;
          from += 8;
        }
      } else if (distance == 1) {
        std::memset(op, *from, length);
      } else {
        do *op++ = *from++;
        while (op < end);
      }
      op = end;
    }
  }

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
    return Flush();
  }

  TInflateResult Run(const Source& from, const Sink& to, uint64_t sizeLimit) {
    source = &from;
    sink = &to;
    in = inEnd = input.get();
    sourceDone = false;
    bitBuffer = 0;
    bitsLeft = 0;
    padding = 0;
    base = out = pending = output.get();
    flushMark = base + kWindow + kChunk;
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
  return impl_->Run(source, sink, sizeLimit);
}

TInflateResult InflateBuffer(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  out.clear();
  size_t offset = 0;
  TInflater inflater;
  return inflater.Inflate(
      [&](uint8_t* buffer, size_t room) {
        const size_t n = std::min(room, size - offset);
        if (n != 0) std::memcpy(buffer, data + offset, n);
        offset += n;
        return n;
      },
      [&](const uint8_t* piece, size_t n) { out.insert(out.end(), piece, piece + n); });
}

}  // namespace ns
