#pragma once
// The growing output of one segment and the LSB-first bit writer over it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace ns::deflate {

// Bytes written past the end by the word-sized stores of the bit writer.
constexpr size_t kOutputSlack = 16;

class TOutputBuffer {
 public:
  uint8_t* Data() { return data_.get(); }
  const uint8_t* Data() const { return data_.get(); }
  size_t Size() const { return size_; }
  void SetSize(size_t size) { size_ = size; }
  void Clear() { size_ = 0; }

  // Makes room for `more` bytes after Size(), plus the slack.
  void Reserve(size_t more) {
    const size_t need = size_ + more + kOutputSlack;
    if (need <= capacity_) return;
    size_t capacity = capacity_ < 4096 ? 4096 : capacity_;
    while (capacity < need) capacity *= 2;
    std::unique_ptr<uint8_t[]> data(new uint8_t[capacity]);
    if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }

 private:
  std::unique_ptr<uint8_t[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// One 8-byte store: GCC does not merge a loop of byte stores into one, and
// the symbol writer flushes after every few symbols. x86 and the Windows
// targets are little-endian, so the bytes land in the right order.
inline void StoreLe64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

// Pending bits live in a 64-bit word and leave in whole bytes. Callers add
// at most 56 bits between flushes and reserve room before writing.
class TBitOutput {
 public:
  explicit TBitOutput(TOutputBuffer& buffer) : buffer_(buffer) {}

  TOutputBuffer& Buffer() { return buffer_; }
  unsigned PendingBits() const { return count_; }

  void Add(uint32_t value, unsigned bits) {
    bits_ |= uint64_t(value) << count_;
    count_ += bits;
  }
  void Flush() {
    uint8_t* out = buffer_.Data() + buffer_.Size();
    StoreLe64(out, bits_);
    buffer_.SetSize(buffer_.Size() + (count_ >> 3));
    bits_ = count_ >= 64 ? 0 : bits_ >> (count_ & ~7u);
    count_ &= 7;
  }
  // Pads with zero bits to the next byte boundary and flushes.
  void AlignToByte() {
    Flush();
    if (count_ != 0) {
      count_ = 8;
      Flush();
    }
  }
  // Bytes after AlignToByte.
  void AddBytes(const uint8_t* data, size_t size) {
    std::memcpy(buffer_.Data() + buffer_.Size(), data, size);
    buffer_.SetSize(buffer_.Size() + size);
  }

  // For hot loops that keep the state in registers.
  uint64_t& RawBits() { return bits_; }
  unsigned& RawCount() { return count_; }

 private:
  TOutputBuffer& buffer_;
  uint64_t bits_ = 0;
  unsigned count_ = 0;
};

}  // namespace ns::deflate
