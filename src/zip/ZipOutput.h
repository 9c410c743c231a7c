#pragma once
// The archive being written: a buffered, positioned sink over a file. Data
// goes out front to back; a local header is rewritten in place once its
// entry's sizes and CRC are known.
#include <cstdint>
#include <string_view>
#include <vector>

#include "zip/FileSystem.h"

namespace ns {

class TZipOutput {
 public:
  explicit TZipOutput(TFile& file);

  uint64_t Position() const { return position_; }
  void Write(const uint8_t* data, size_t size);
  void Write(std::string_view bytes) { Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()); }

  // Overwrites bytes written earlier at `position`; the end stays where it is.
  void Patch(uint64_t position, std::string_view bytes);

  // Forgets everything from `position` on, to write it again.
  void Rewind(uint64_t position);

  // Everything written reaches the disk.
  void Flush();

 private:
  void Drain();

  TFile& file_;
  std::vector<uint8_t> buffer_;
  uint64_t position_ = 0;  // the end of what has been written, buffered or not
};

}  // namespace ns
