#include "zip/ZipOutput.h"

#include <cstring>

namespace ns {
namespace {
// Large enough that the many small pieces of headers and of a compressed
// stream reach the file in few writes.
constexpr size_t kBufferSize = 1 << 20;
// Pieces this large (a compressed segment, say) gain nothing from the
// buffer: they go to the file as they are, which saves copying them.
constexpr size_t kDirectWriteSize = 64 << 10;
}  // namespace

TZipOutput::TZipOutput(TFile& file) : file_(file) { buffer_.reserve(kBufferSize); }

void TZipOutput::Write(const uint8_t* data, size_t size) {
  position_ += size;
  if (size < kDirectWriteSize && buffer_.size() + size <= kBufferSize) {
    buffer_.insert(buffer_.end(), data, data + size);
    return;
  }
  Drain();
  if (size >= kDirectWriteSize) {
    file_.Write(data, size);
  } else {
    buffer_.insert(buffer_.end(), data, data + size);
  }
}

void TZipOutput::Patch(uint64_t position, std::string_view bytes) {
  uint64_t buffered = position_ - buffer_.size();
  if (position >= buffered) {
    std::memcpy(buffer_.data() + (position - buffered), bytes.data(), bytes.size());
    return;
  }
  Drain();
  file_.Seek(position);
  file_.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  file_.Seek(position_);
}

void TZipOutput::Rewind(uint64_t position) {
  Drain();
  file_.Seek(position);
  file_.Truncate();
  position_ = position;
}

void TZipOutput::Flush() {
  Drain();
  file_.Flush();
}

void TZipOutput::Drain() {
  if (buffer_.empty()) return;
  file_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
}

}  // namespace ns
