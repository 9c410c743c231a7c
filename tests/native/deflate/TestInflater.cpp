#include "TestInflater.h"

#include <cstring>

namespace ns::test {
namespace {

struct THuffman {
  uint16_t count[16];
  uint16_t symbol[288];
};

const uint16_t kLenBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                               31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint16_t kLenExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint16_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

struct TFailure {
  std::string what;
};

class TInflater {
 public:
  TInflater(const uint8_t* in, size_t size, TInflateResult& r) : in_(in), size_(size), r_(r) {}

  void Run() {
    bool last = false;
    do {
      last = Bits(1) != 0;
      const unsigned type = Bits(2);
      ++r_.blocks;
      if (type == 0) Stored();
      else if (type == 1) Fixed();
      else if (type == 2) Dynamic();
      else throw TFailure{"block type 3"};
    } while (!last);
    if (pos_ != size_) throw TFailure{"bytes after the final block"};
  }

 private:
  unsigned Bits(unsigned n) {
    while (count_ < n) {
      if (pos_ == size_) throw TFailure{"input ends early"};
      buf_ |= uint32_t(in_[pos_++]) << count_;
      count_ += 8;
    }
    const unsigned v = buf_ & ((1u << n) - 1);
    buf_ >>= n;
    count_ -= n;
    return v;
  }

  // Returns how much of the code space is left unused (0: complete).
  static int Build(THuffman& h, const uint8_t* lengths, unsigned n) {
    std::memset(h.count, 0, sizeof h.count);
    for (unsigned s = 0; s < n; ++s) ++h.count[lengths[s]];
    if (h.count[0] == n) return 1;
    int left = 1;
    for (unsigned len = 1; len < 16; ++len) {
      left = left * 2 - h.count[len];
      if (left < 0) throw TFailure{"over-subscribed code"};
    }
    uint16_t offs[16];
    offs[1] = 0;
    for (unsigned len = 1; len < 15; ++len) offs[len + 1] = offs[len] + h.count[len];
    for (unsigned s = 0; s < n; ++s)
      if (lengths[s] != 0) h.symbol[offs[lengths[s]]++] = static_cast<uint16_t>(s);
    return left;
  }

  unsigned Decode(const THuffman& h) {
    int code = 0, first = 0, index = 0;
    for (unsigned len = 1; len < 16; ++len) {
      code |= static_cast<int>(Bits(1));
      const int c = h.count[len];
      if (code - c < first) return h.symbol[index + (code - first)];
      index += c;
      first = (first + c) << 1;
      code <<= 1;
    }
    throw TFailure{"undecodable code"};
  }

  void Stored() {
    buf_ = 0;
    count_ = 0;
    if (size_ - pos_ < 4) throw TFailure{"stored header cut"};
    const unsigned len = in_[pos_] | in_[pos_ + 1] << 8;
    const unsigned nlen = in_[pos_ + 2] | in_[pos_ + 3] << 8;
    pos_ += 4;
    if (len != (~nlen & 0xFFFF)) throw TFailure{"stored length check"};
    if (size_ - pos_ < len) throw TFailure{"stored data cut"};
    r_.data.insert(r_.data.end(), in_ + pos_, in_ + pos_ + len);
    pos_ += len;
  }

  void Codes(const THuffman& lit, const THuffman& dist) {
    for (;;) {
      unsigned s = Decode(lit);
      if (s < 256) {
        r_.data.push_back(static_cast<uint8_t>(s));
        continue;
      }
      if (s == 256) return;
      s -= 257;
      if (s >= 29) throw TFailure{"bad length symbol"};
      const unsigned len = kLenBase[s] + Bits(kLenExtra[s]);
      const unsigned ds = Decode(dist);
      if (ds >= 30) throw TFailure{"bad distance symbol"};
      const size_t d = kDistBase[ds] + Bits(kDistExtra[ds]);
      if (d > r_.data.size()) throw TFailure{"distance before the start"};
      if (d > 32768) throw TFailure{"distance beyond the window"};
      for (unsigned i = 0; i < len; ++i) r_.data.push_back(r_.data[r_.data.size() - d]);
    }
  }

  void Fixed() {
    uint8_t lengths[288];
    for (unsigned s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    THuffman lit, dist;
    Build(lit, lengths, 288);
    std::memset(lengths, 5, 30);
    Build(dist, lengths, 30);
    Codes(lit, dist);
  }

  void Dynamic() {
    static const uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const unsigned nlen = Bits(5) + 257, ndist = Bits(5) + 1, ncode = Bits(4) + 4;
    if (nlen > 286 || ndist > 30) throw TFailure{"too many codes"};
    uint8_t lengths[320] = {};
    for (unsigned i = 0; i < ncode; ++i) lengths[kOrder[i]] = static_cast<uint8_t>(Bits(3));
    THuffman pre;
    if (Build(pre, lengths, 19) != 0) throw TFailure{"incomplete code length code"};
    for (unsigned i = 0; i < nlen + ndist;) {
      const unsigned s = Decode(pre);
      if (s < 16) {
        lengths[i++] = static_cast<uint8_t>(s);
        continue;
      }
      unsigned value = 0, repeat = 0;
      if (s == 16) {
        if (i == 0) throw TFailure{"repeat with no previous length"};
        value = lengths[i - 1];
        repeat = 3 + Bits(2);
      } else if (s == 17) {
        repeat = 3 + Bits(3);
      } else {
        repeat = 11 + Bits(7);
      }
      if (i + repeat > nlen + ndist) throw TFailure{"lengths overflow"};
      while (repeat-- > 0) lengths[i++] = static_cast<uint8_t>(value);
    }
    if (lengths[256] == 0) throw TFailure{"no end-of-block code"};
    THuffman lit, dist;
    if (Build(lit, lengths, nlen) != 0) throw TFailure{"incomplete literal/length code"};
    if (Build(dist, lengths + nlen, ndist) != 0) throw TFailure{"incomplete distance code"};
    Codes(lit, dist);
  }

  const uint8_t* in_;
  size_t size_;
  size_t pos_ = 0;
  uint32_t buf_ = 0;
  unsigned count_ = 0;
  TInflateResult& r_;
};

}  // namespace

TInflateResult TestInflate(const uint8_t* in, size_t size) {
  TInflateResult r;
  try {
    TInflater(in, size, r).Run();
    r.ok = true;
  } catch (const TFailure& f) {
    r.error = f.what;
  }
  return r;
}

}  // namespace ns::test
