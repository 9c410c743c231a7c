#include "zip/ZipDirectory.h"

#include <algorithm>
#include <cstring>

namespace ns {

using namespace zipformat;

namespace {

constexpr uint64_t kReserveLimit = 1 << 16;

// Reads a region of the file front to back, handing out pieces that are
// guaranteed to lie inside it.
class TRegionReader {
 public:
  TRegionReader(TFile& file, uint64_t start, uint64_t end) : file_(file), next_(start), end_(end) {
    file_.Seek(start);
  }

  // At least `size` bytes from the current position; EZipError when the
  // region ends first.
  const uint8_t* Need(size_t size) {
    size_t held = held_.size() - start_;
    if (held < size) {
      if (size - held > end_ - next_) throw EZipError(kDamagedZipFile);
      held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(start_));
      start_ = 0;
      size_t more = static_cast<size_t>(std::min<uint64_t>(std::max(size - held, kChunk), end_ - next_));
      held_.resize(held + more);
      if (file_.Read(held_.data() + held, more) != more) throw EZipError(kDamagedZipFile);
      next_ += more;
    }
    return held_.data() + start_;
  }

  size_t Held() const { return held_.size() - start_; }
  void Skip(size_t size) { start_ += size; }

 private:
  static constexpr size_t kChunk = 64 * 1024;
  TFile& file_;
  uint64_t next_;
  uint64_t end_;
  std::vector<uint8_t> held_;
  size_t start_ = 0;
};

}  // namespace

void ReadArchiveBytes(TFile& file, uint64_t position, uint8_t* buffer, size_t size) {
  file.Seek(position);
  if (file.Read(buffer, size) != size) throw EZipError(kDamagedZipFile);
}

TZipDirectory ReadZipDirectory(TFile& file) {
  uint64_t size = file.Size();
  if (size < end::kSize) throw EZipError(kIncompleteZipFile);

  // The end record is the last thing in the archive but for its comment:
  // search back from the last place it can start.
  size_t span = static_cast<size_t>(std::min<uint64_t>(size, end::kSearchSpan));
  std::vector<uint8_t> tail(span);
  ReadArchiveBytes(file, size - span, tail.data(), span);
  size_t at = span - end::kSize + 1;
  bool found = false;
  while (at-- > 0) {
    const uint8_t* r = tail.data() + at;
    if (GetLe32(r) == end::kSignature && at + end::kSize + GetLe16(r + end::kCommentLength) <= span) {
      found = true;
      break;
    }
  }
  if (!found) throw EZipError(kIncompleteZipFile);

  const uint8_t* record = tail.data() + at;
  uint64_t endOffset = size - span + at;
  TZipDirectory directory;
  directory.comment.assign(reinterpret_cast<const char*>(record + end::kSize),
                           GetLe16(record + end::kCommentLength));
  uint64_t entries = GetLe16(record + end::kEntries);
  uint64_t directorySize = GetLe32(record + end::kDirectorySize);
  uint64_t directoryOffset = GetLe32(record + end::kDirectoryOffset);
  uint32_t disk = GetLe16(record + end::kDisk);
  uint32_t directoryDisk = GetLe16(record + end::kDirectoryDisk);
  uint64_t directoryEnd = endOffset;

  // A full classic field sends the reader to the ZIP64 end record, whose
  // locator sits right before the classic record.
  bool full = entries == kMax16 || directorySize == kMax32 || directoryOffset == kMax32;
  if (full && endOffset >= zip64locator::kSize) {
    uint8_t locator[zip64locator::kSize];
    ReadArchiveBytes(file, endOffset - zip64locator::kSize, locator, sizeof locator);
    if (GetLe32(locator) == zip64locator::kSignature) {
      uint64_t zip64Offset = GetLe64(locator + zip64locator::kEndOffset);
      if (zip64Offset > endOffset - zip64locator::kSize ||
          endOffset - zip64locator::kSize - zip64Offset < zip64end::kSize)
        throw EZipError(kDamagedZipFile);
      uint8_t zip64[zip64end::kSize];
      ReadArchiveBytes(file, zip64Offset, zip64, sizeof zip64);
      if (GetLe32(zip64) != zip64end::kSignature) throw EZipError(kDamagedZipFile);
      entries = GetLe64(zip64 + zip64end::kEntries);
      directorySize = GetLe64(zip64 + zip64end::kDirectorySize);
      directoryOffset = GetLe64(zip64 + zip64end::kDirectoryOffset);
      disk = GetLe32(zip64 + zip64end::kDisk);
      directoryDisk = GetLe32(zip64 + zip64end::kDirectoryDisk);
      directoryEnd = zip64Offset;
    }
  }
  // Archives split over several disks are not ours to update.
  if (disk != 0 || directoryDisk != 0) throw EZipError(kDamagedZipFile);
  if (directoryOffset > directoryEnd || directorySize > directoryEnd - directoryOffset) throw EZipError(kDamagedZipFile);
  directory.offset = directoryOffset;

  TRegionReader reader(file, directoryOffset, directoryEnd);
  // A damaged count must not reserve memory the directory cannot fill.
  directory.entries.reserve(
      static_cast<size_t>(std::min<uint64_t>({entries, directorySize / central::kSize, kReserveLimit})));
  for (uint64_t i = 0; i < entries; ++i) {
    TZipEntry entry;
    const uint8_t* header = reader.Need(central::kSize);
    size_t length = ParseCentralHeader(header, reader.Held(), entry);
    if (length == 0) {
      header = reader.Need(central::kSize + GetLe16(header + central::kNameLength) +
                           GetLe16(header + central::kExtraLength) + GetLe16(header + central::kCommentLength));
      length = ParseCentralHeader(header, reader.Held(), entry);
    }
    reader.Skip(length);
    directory.entries.push_back(std::move(entry));
  }
  return directory;
}

}  // namespace ns
