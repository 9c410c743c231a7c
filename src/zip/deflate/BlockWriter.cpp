#include "zip/deflate/BlockWriter.h"

#include <algorithm>
#include <cstring>

#include "zip/deflate/DeflateTables.h"
#include "zip/deflate/HuffmanCode.h"

namespace ns::deflate {
namespace {

struct TCodes {
  uint8_t litLenLengths[kNumLitLenSymbols];
  uint16_t litLenCodes[kNumLitLenSymbols];
  uint8_t distLengths[kNumDistSymbols];
  uint16_t distCodes[kNumDistSymbols];
};

const TCodes& StaticCodes() {
  static const TCodes codes = [] {
    TCodes c{};
    for (unsigned s = 0; s < kNumLitLenSymbols; ++s)
      c.litLenLengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    for (unsigned s = 0; s < kNumDistSymbols; ++s) c.distLengths[s] = 5;
    BuildCanonicalCodes(c.litLenLengths, kNumLitLenSymbols, c.litLenCodes);
    BuildCanonicalCodes(c.distLengths, kNumDistSymbols, c.distCodes);
    return c;
  }();
  return codes;
}

// The dynamic header: code lengths, run-length coded with symbols 16-18 and
// sent through the precode.
struct THeader {
  unsigned hlit = 0, hdist = 0, hclen = 0;
  uint8_t items[kNumLitLenSymbols + kNumDistSymbols];
  uint8_t itemExtra[kNumLitLenSymbols + kNumDistSymbols];
  unsigned numItems = 0;
  uint8_t preLengths[kNumPrecodeSymbols];
  uint16_t preCodes[kNumPrecodeSymbols];
  uint64_t bits = 0;
};

void BuildHeader(const TCodes& codes, THeader& h) {
  h.hlit = 286;
  while (h.hlit > 257 && codes.litLenLengths[h.hlit - 1] == 0) --h.hlit;
  h.hdist = 30;
  while (h.hdist > 1 && codes.distLengths[h.hdist - 1] == 0) --h.hdist;
  uint8_t all[kNumLitLenSymbols + kNumDistSymbols];
  std::memcpy(all, codes.litLenLengths, h.hlit);
  std::memcpy(all + h.hlit, codes.distLengths, h.hdist);
  const unsigned total = h.hlit + h.hdist;

  uint32_t preFreq[kNumPrecodeSymbols] = {};
  h.numItems = 0;
  auto item = [&](unsigned symbol, unsigned extra) {
    h.items[h.numItems] = static_cast<uint8_t>(symbol);
    h.itemExtra[h.numItems++] = static_cast<uint8_t>(extra);
    ++preFreq[symbol];
  };
  for (unsigned i = 0; i < total;) {
    const uint8_t len = all[i];
    unsigned run = 1;
    while (i + run < total && all[i + run] == len) ++run;
    i += run;
    if (len == 0) {
      while (run >= 11) {
        const unsigned n = std::min(run, 138u);
        item(18, n - 11);
        run -= n;
      }
      if (run >= 3) {
        item(17, run - 3);
        run = 0;
      }
    } else {
      item(len, 0);
      --run;
      while (run >= 3) {
        const unsigned n = std::min(run, 6u);
        item(16, n - 3);
        run -= n;
      }
    }
    while (run > 0) {
      item(len, 0);
      --run;
    }
  }
  BuildCodeLengths(preFreq, kNumPrecodeSymbols, kMaxPrecodeLength, h.preLengths);
  BuildCanonicalCodes(h.preLengths, kNumPrecodeSymbols, h.preCodes);
  h.hclen = kNumPrecodeSymbols;
  while (h.hclen > 4 && h.preLengths[kPrecodeOrder[h.hclen - 1]] == 0) --h.hclen;

  h.bits = 5 + 5 + 4 + 3 * h.hclen;
  for (unsigned s = 0; s < kNumPrecodeSymbols; ++s) h.bits += uint64_t(preFreq[s]) * h.preLengths[s];
  h.bits += 2 * preFreq[16] + 3 * preFreq[17] + 7 * preFreq[18];
}

void WriteHeader(TBitOutput& out, const THeader& h) {
  out.Add(h.hlit - 257, 5);
  out.Add(h.hdist - 1, 5);
  out.Add(h.hclen - 4, 4);
  out.Flush();
  for (unsigned i = 0; i < h.hclen; ++i) {
    out.Add(h.preLengths[kPrecodeOrder[i]], 3);
    out.Flush();
  }
  static constexpr uint8_t kItemExtraBits[kNumPrecodeSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                                  0, 0, 0, 0, 0, 0, 2, 3, 7};
  for (unsigned i = 0; i < h.numItems; ++i) {
    const unsigned s = h.items[i];
    out.Add(h.preCodes[s], h.preLengths[s]);
    out.Add(h.itemExtra[i], kItemExtraBits[s]);
    out.Flush();
  }
}

uint64_t SymbolBits(const TBlockData& b, const uint8_t* litLenLengths, const uint8_t* distLengths) {
  uint64_t bits = 0;
  for (unsigned s = 0; s < 286; ++s) bits += uint64_t(b.litLenFreq[s]) * litLenLengths[s];
  for (unsigned s = 0; s < 30; ++s) bits += uint64_t(b.distFreq[s]) * distLengths[s];
  return bits;
}

uint64_t ExtraBits(const TBlockData& b) {
  uint64_t bits = 0;
  for (unsigned slot = 0; slot < 29; ++slot) bits += uint64_t(b.litLenFreq[257 + slot]) * kLengthExtra[slot];
  for (unsigned slot = 0; slot < 30; ++slot) bits += uint64_t(b.distFreq[slot]) * kDistExtra[slot];
  return bits;
}

uint64_t StoredBits(size_t size, unsigned pendingBits) {
  const size_t pieces = size == 0 ? 1 : (size + kMaxStoredLength - 1) / kMaxStoredLength;
  const uint64_t firstPad = (8 - (pendingBits + 3) % 8) % 8;
  return firstPad + 5 * (pieces - 1) + 35 * pieces + 8 * uint64_t(size);
}

// A symbol's code with the extra bits that follow it, as one entry: the bits
// in the low 24, their count above. One load per literal and per match
// length instead of four to six.
struct TSymbolEntries {
  uint32_t literal[256];
  uint32_t length[kMaxMatch + 1];

  explicit TSymbolEntries(const TCodes& c) {
    for (unsigned b = 0; b < 256; ++b) literal[b] = c.litLenCodes[b] | uint32_t(c.litLenLengths[b]) << 24;
    for (unsigned len = kMinMatch; len <= kMaxMatch; ++len) {
      const unsigned slot = kLengthSlot[len];
      const unsigned codeLength = c.litLenLengths[257 + slot];
      length[len] = (c.litLenCodes[257 + slot] | (len - kLengthBase[slot]) << codeLength) |
                    (codeLength + kLengthExtra[slot]) << 24;
    }
  }
};

// The symbols of the block. The bit state is kept in locals because the
// compiler cannot keep the members of the writer in registers across the
// stores into the output.
void WriteSymbols(TBitOutput& out, const TBlockData& b, const TCodes& c) {
  const TSymbolEntries entries(c);
  uint64_t bits = out.RawBits();
  unsigned count = out.RawCount();
  TOutputBuffer& buffer = out.Buffer();
  uint8_t* o = buffer.Data() + buffer.Size();
#define NS_ADD(value, n)                 \
  do {                                   \
    bits |= uint64_t(value) << count;    \
    count += (n);                        \
  } while (0)
#define NS_ADD_ENTRY(entry) NS_ADD((entry) & 0xFFFFFF, (entry) >> 24)
#define NS_FLUSH()                 \
  do {                             \
    StoreLe64(o, bits);            \
    o += count >> 3;               \
    bits >>= (count & ~7u);        \
    count &= 7;                    \
  } while (0)
  const uint8_t* p = b.data;
  for (size_t i = 0; i < b.count; ++i) {
    const TSequence& seq = b.sequences[i];
    uint32_t n = seq.literals;
    for (; n >= 3; n -= 3, p += 3) {
      NS_ADD_ENTRY(entries.literal[p[0]]);
      NS_ADD_ENTRY(entries.literal[p[1]]);
      NS_ADD_ENTRY(entries.literal[p[2]]);
      NS_FLUSH();
    }
    for (; n > 0; --n, ++p) NS_ADD_ENTRY(entries.literal[*p]);
    NS_FLUSH();
    if (seq.length != 0) {
      NS_ADD_ENTRY(entries.length[seq.length]);
      const unsigned dslot = DistSlot(seq.distance);
      NS_ADD(c.distCodes[dslot], c.distLengths[dslot]);
      NS_ADD(seq.distance - kDistBase[dslot], kDistExtra[dslot]);
      NS_FLUSH();
      p += seq.length;
    }
  }
  NS_ADD(c.litLenCodes[kEndOfBlock], c.litLenLengths[kEndOfBlock]);
  NS_FLUSH();
#undef NS_ADD
#undef NS_ADD_ENTRY
#undef NS_FLUSH
  buffer.SetSize(static_cast<size_t>(o - buffer.Data()));
  out.RawBits() = bits;
  out.RawCount() = count;
}

}  // namespace

TBlockType WriteBlock(TBitOutput& out, const TBlockData& b, bool final) {
  TCodes dynamic;
  BuildCodeLengths(b.litLenFreq, 286, kMaxCodeLength, dynamic.litLenLengths);
  dynamic.litLenLengths[286] = dynamic.litLenLengths[287] = 0;
  BuildCodeLengths(b.distFreq, 30, kMaxCodeLength, dynamic.distLengths);
  dynamic.distLengths[30] = dynamic.distLengths[31] = 0;
  THeader header;
  BuildHeader(dynamic, header);

  const TCodes& fixed = StaticCodes();
  const uint64_t extra = ExtraBits(b);
  const uint64_t dynamicBits = 3 + header.bits + SymbolBits(b, dynamic.litLenLengths, dynamic.distLengths) + extra;
  const uint64_t staticBits = 3 + SymbolBits(b, fixed.litLenLengths, fixed.distLengths) + extra;
  const uint64_t storedBits = StoredBits(b.size, out.PendingBits());

  if (storedBits <= dynamicBits && storedBits <= staticBits) {
    WriteStoredBlocks(out, b.data, b.size, final);
    return TBlockType::Stored;
  }
  const bool useStatic = staticBits <= dynamicBits;
  out.Buffer().Reserve((std::min(dynamicBits, staticBits) + 7) / 8 + 16);
  out.Add(final ? 1 : 0, 1);
  out.Add(useStatic ? 1 : 2, 2);
  if (useStatic) {
    WriteSymbols(out, b, fixed);
    return TBlockType::Static;
  }
  BuildCanonicalCodes(dynamic.litLenLengths, kNumLitLenSymbols, dynamic.litLenCodes);
  BuildCanonicalCodes(dynamic.distLengths, kNumDistSymbols, dynamic.distCodes);
  WriteHeader(out, header);
  WriteSymbols(out, b, dynamic);
  return TBlockType::Dynamic;
}

void WriteStoredBlocks(TBitOutput& out, const uint8_t* data, size_t size, bool final) {
  out.Buffer().Reserve(size + 5 * (size / kMaxStoredLength + 2) + 16);
  do {
    const size_t piece = std::min<size_t>(size, kMaxStoredLength);
    const bool last = piece == size;
    out.Add(final && last ? 1 : 0, 1);
    out.Add(0, 2);
    out.AlignToByte();
    out.Add(static_cast<uint32_t>(piece), 16);
    out.Add(static_cast<uint32_t>(piece ^ 0xFFFF), 16);
    out.Flush();
    if (piece != 0) out.AddBytes(data, piece);
    data += piece;
    size -= piece;
  } while (size > 0);
}

void AlignStream(TBitOutput& out) {
  out.Flush();
  if (out.PendingBits() != 0) WriteStoredBlocks(out, nullptr, 0, false);
}

void WriteEmptyFinalBlock(TBitOutput& out) {
  out.Buffer().Reserve(16);
  out.Add(1, 1);
  out.Add(1, 2);
  out.Add(0, 7);  // end of block: the static code of 256 is seven zero bits
  out.AlignToByte();
}

}  // namespace ns::deflate
