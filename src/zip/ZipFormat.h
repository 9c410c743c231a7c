#pragma once
// The records of a ZIP archive: their fields at named offsets, builders that
// write them and parsers that read them back. ZIP64 records appear only where
// a value no longer fits its classic field, so an archive that needs none is
// byte for byte the classic format.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/Exception.h"

namespace ns {

// A ZIP archive that cannot be read: no end record, or a damaged directory.
class EZipError : public Exception {
 public:
  using Exception::Exception;
};

// The messages of EZipError: no end record at all, or values that point
// outside the file or at the wrong kind of record.
inline constexpr char kIncompleteZipFile[] = "Incomplete Zip File";
inline constexpr char kDamagedZipFile[] = "Damaged Zip File";

inline void PutLe16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}
inline void PutLe32(uint8_t* at, uint32_t value) {
  PutLe16(at, static_cast<uint16_t>(value));
  PutLe16(at + 2, static_cast<uint16_t>(value >> 16));
}
inline void PutLe64(uint8_t* at, uint64_t value) {
  PutLe32(at, static_cast<uint32_t>(value));
  PutLe32(at + 4, static_cast<uint32_t>(value >> 32));
}
inline uint16_t GetLe16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }
inline uint32_t GetLe32(const uint8_t* at) { return GetLe16(at) | (static_cast<uint32_t>(GetLe16(at + 2)) << 16); }
inline uint64_t GetLe64(const uint8_t* at) { return GetLe32(at) | (static_cast<uint64_t>(GetLe32(at + 4)) << 32); }

namespace zipformat {

inline constexpr uint16_t kVersionDeflate = 20;  // what our own entries need
inline constexpr uint16_t kVersionZip64 = 45;
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
// The entry's name (and comment) is UTF-8 rather than the OEM code page.
inline constexpr uint16_t kFlagUtf8Name = 0x0800;
// The system an entry was made on, in the upper byte of "version made by":
// MS-DOS (FAT) for ours, NTFS for those with UTF-8 names, because Info-ZIP's
// unzip takes the name of an MS-DOS entry for OEM text even when the flag
// says UTF-8. Both keep the MS-DOS attribute bits.
inline constexpr uint16_t kHostMsDos = 0;
inline constexpr uint16_t kHostNtfs = 10;
// A classic field holding its largest value says "see the ZIP64 record".
inline constexpr uint32_t kMax32 = 0xFFFFFFFF;
inline constexpr uint16_t kMax16 = 0xFFFF;
inline constexpr uint16_t kZip64ExtraTag = 0x0001;

namespace local {
inline constexpr uint32_t kSignature = 0x04034b50;
inline constexpr size_t kVersionNeeded = 4, kFlags = 6, kMethod = 8, kTime = 10, kDate = 12, kCrc = 14,
                        kCompressedSize = 18, kUncompressedSize = 22, kNameLength = 26, kExtraLength = 28,
                        kSize = 30;
}  // namespace local

namespace central {
inline constexpr uint32_t kSignature = 0x02014b50;
inline constexpr size_t kVersionMadeBy = 4, kVersionNeeded = 6, kFlags = 8, kMethod = 10, kTime = 12, kDate = 14,
                        kCrc = 16, kCompressedSize = 20, kUncompressedSize = 24, kNameLength = 28,
                        kExtraLength = 30, kCommentLength = 32, kDiskStart = 34, kInternalAttributes = 36,
                        kExternalAttributes = 38, kLocalHeaderOffset = 42, kSize = 46;
}  // namespace central

namespace end {
inline constexpr uint32_t kSignature = 0x06054b50;
inline constexpr size_t kDisk = 4, kDirectoryDisk = 6, kEntriesOnDisk = 8, kEntries = 10, kDirectorySize = 12,
                        kDirectoryOffset = 16, kCommentLength = 20, kSize = 22;
// Where a reader looks for the end record: the record and the longest
// comment it can carry.
inline constexpr size_t kSearchSpan = kSize + 0xFFFF;
}  // namespace end

namespace zip64end {
inline constexpr uint32_t kSignature = 0x06064b50;
inline constexpr size_t kRecordSize = 4, kVersionMadeBy = 12, kVersionNeeded = 14, kDisk = 16, kDirectoryDisk = 20,
                        kEntriesOnDisk = 24, kEntries = 32, kDirectorySize = 40, kDirectoryOffset = 48, kSize = 56;
}  // namespace zip64end

namespace zip64locator {
inline constexpr uint32_t kSignature = 0x07064b50;
inline constexpr size_t kDisk = 4, kEndOffset = 8, kDiskCount = 16, kSize = 20;
}  // namespace zip64locator

// The data descriptor of an entry whose local header said "sizes follow".
inline constexpr uint32_t kDataDescriptorSignature = 0x08074b50;

}  // namespace zipformat

// One entry as the central directory records it. Sizes and offsets are
// always the true 64-bit values; the ZIP64 extra field is built and parsed
// here, so `extra` holds only the other extra fields (those of other tools,
// which an update keeps).
struct TZipEntry {
  uint16_t versionMadeBy = zipformat::kVersionDeflate;
  uint16_t versionNeeded = zipformat::kVersionDeflate;
  uint16_t flags = 0;
  uint16_t method = zipformat::kMethodDeflated;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  uint64_t localHeaderOffset = 0;
  std::string name;  // as stored: OEM code page (UTF-8 with kFlagUtf8Name), forward slashes
  std::string extra;
  std::string comment;

  // Whether a size no longer fits the local header's classic fields.
  bool SizesNeedZip64() const {
    return compressedSize >= zipformat::kMax32 || uncompressedSize >= zipformat::kMax32;
  }
};

// The local header of `entry` with `extra` (the other extra fields of its
// local header). With `zip64` it carries both sizes in a ZIP64 extra field
// and the classic fields say so; an entry that may outgrow the classic fields
// needs that room reserved before its data is written.
std::string BuildLocalHeader(const TZipEntry& entry, std::string_view extra, bool zip64);

// The central directory header of `entry`, with a ZIP64 extra field holding
// exactly those of its sizes and offset that do not fit.
std::string BuildCentralHeader(const TZipEntry& entry);

// The end of the archive: the classic end record, preceded by the ZIP64 end
// record and its locator when the count, size or offset of the directory
// does not fit the classic one.
std::string BuildEndRecords(uint64_t entries, uint64_t directorySize, uint64_t directoryOffset,
                            std::string_view comment);

// The ZIP64 extra field holding `values` (8 bytes each) in the given order.
std::string BuildZip64Extra(std::span<const uint64_t> values);

// `extra` without its ZIP64 field; an extra area that does not parse is kept
// as it is.
std::string WithoutZip64Extra(std::string_view extra);

// The values of the ZIP64 field in `extra` (8 bytes each, in the order the
// classic fields they stand for come in); empty when there is no such field
// where the area parses.
std::string_view Zip64ExtraValues(std::string_view extra);

// Parses the central header at the start of `data` (which holds at least its
// fixed part and `available` bytes in all). Returns the header's full length,
// or 0 when `available` is too short for its variable part. Throws EZipError
// on a header that is not one.
size_t ParseCentralHeader(const uint8_t* data, size_t available, TZipEntry& entry);

// Compares entry names the way the writer matches files to entries: ASCII
// letters A-Z folded to lower case, every other byte exactly.
bool SameEntryName(std::string_view a, std::string_view b);
std::string FoldedEntryName(std::string_view name);

}  // namespace ns
