#include "zip/ZipFormat.h"

#include <algorithm>
#include <array>

namespace ns {

using namespace zipformat;

namespace {

uint8_t* Bytes(std::string& s) { return reinterpret_cast<uint8_t*>(s.data()); }

uint32_t Clamp32(uint64_t value) { return value >= kMax32 ? kMax32 : static_cast<uint32_t>(value); }
uint16_t Clamp16(uint64_t value) { return value >= kMax16 ? kMax16 : static_cast<uint16_t>(value); }

}  // namespace

std::string BuildZip64Extra(std::span<const uint64_t> values) {
  std::string field(4 + 8 * values.size(), '\0');
  PutLe16(Bytes(field), kZip64ExtraTag);
  PutLe16(Bytes(field) + 2, static_cast<uint16_t>(8 * values.size()));
  size_t at = 4;
  for (uint64_t value : values) {
    PutLe64(Bytes(field) + at, value);
    at += 8;
  }
  return field;
}

std::string WithoutZip64Extra(std::string_view extra) {
  std::string kept;
  size_t at = 0;
  while (at < extra.size()) {
    if (extra.size() - at < 4) return std::string(extra);
    auto field = reinterpret_cast<const uint8_t*>(extra.data()) + at;
    size_t length = 4 + GetLe16(field + 2);
    if (length > extra.size() - at) return std::string(extra);
    if (GetLe16(field) != kZip64ExtraTag) kept.append(extra.substr(at, length));
    at += length;
  }
  return kept;
}

std::string_view Zip64ExtraValues(std::string_view extra) {
  for (size_t at = 0; at + 4 <= extra.size();) {
    auto field = reinterpret_cast<const uint8_t*>(extra.data()) + at;
    size_t length = GetLe16(field + 2);
    if (length > extra.size() - at - 4) break;
    if (GetLe16(field) == kZip64ExtraTag) return extra.substr(at + 4, length);
    at += 4 + length;
  }
  return {};
}

std::string BuildLocalHeader(const TZipEntry& entry, std::string_view extra, bool zip64) {
  std::string zip64Extra = zip64 ? BuildZip64Extra(std::array{entry.uncompressedSize, entry.compressedSize}) : std::string();
  // Another tool's fields give way when there is no room left for ours.
  if (extra.size() + zip64Extra.size() > kMax16) extra = {};
  std::string header(local::kSize, '\0');
  uint8_t* h = Bytes(header);
  PutLe32(h, local::kSignature);
  PutLe16(h + local::kVersionNeeded, zip64 ? std::max(entry.versionNeeded, kVersionZip64) : entry.versionNeeded);
  PutLe16(h + local::kFlags, entry.flags);
  PutLe16(h + local::kMethod, entry.method);
  PutLe16(h + local::kTime, entry.dosTime);
  PutLe16(h + local::kDate, entry.dosDate);
  PutLe32(h + local::kCrc, entry.crc);
  PutLe32(h + local::kCompressedSize, zip64 ? kMax32 : static_cast<uint32_t>(entry.compressedSize));
  PutLe32(h + local::kUncompressedSize, zip64 ? kMax32 : static_cast<uint32_t>(entry.uncompressedSize));
  PutLe16(h + local::kNameLength, static_cast<uint16_t>(entry.name.size()));
  PutLe16(h + local::kExtraLength, static_cast<uint16_t>(extra.size() + zip64Extra.size()));
  header += entry.name;
  header += zip64Extra;
  header += extra;
  return header;
}

std::string BuildCentralHeader(const TZipEntry& entry) {
  // The ZIP64 field lists only the values whose classic field overflows, in
  // this order.
  uint64_t values[3];
  size_t count = 0;
  for (uint64_t value : {entry.uncompressedSize, entry.compressedSize, entry.localHeaderOffset}) {
    if (value >= kMax32) values[count++] = value;
  }
  std::string zip64Extra = count > 0 ? BuildZip64Extra({values, count}) : std::string();
  std::string_view extra = entry.extra;
  if (extra.size() + zip64Extra.size() > kMax16) extra = {};
  std::string header(central::kSize, '\0');
  uint8_t* h = Bytes(header);
  PutLe32(h, central::kSignature);
  PutLe16(h + central::kVersionMadeBy, entry.versionMadeBy);
  PutLe16(h + central::kVersionNeeded,
          zip64Extra.empty() ? entry.versionNeeded : std::max(entry.versionNeeded, kVersionZip64));
  PutLe16(h + central::kFlags, entry.flags);
  PutLe16(h + central::kMethod, entry.method);
  PutLe16(h + central::kTime, entry.dosTime);
  PutLe16(h + central::kDate, entry.dosDate);
  PutLe32(h + central::kCrc, entry.crc);
  PutLe32(h + central::kCompressedSize, Clamp32(entry.compressedSize));
  PutLe32(h + central::kUncompressedSize, Clamp32(entry.uncompressedSize));
  PutLe16(h + central::kNameLength, static_cast<uint16_t>(entry.name.size()));
  PutLe16(h + central::kExtraLength, static_cast<uint16_t>(zip64Extra.size() + extra.size()));
  PutLe16(h + central::kCommentLength, static_cast<uint16_t>(entry.comment.size()));
  PutLe16(h + central::kDiskStart, 0);
  PutLe16(h + central::kInternalAttributes, entry.internalAttributes);
  PutLe32(h + central::kExternalAttributes, entry.externalAttributes);
  PutLe32(h + central::kLocalHeaderOffset, Clamp32(entry.localHeaderOffset));
  header += entry.name;
  header += zip64Extra;
  header += extra;
  header += entry.comment;
  return header;
}

std::string BuildEndRecords(uint64_t entries, uint64_t directorySize, uint64_t directoryOffset,
                            std::string_view comment) {
  std::string records;
  if (entries >= kMax16 || directorySize >= kMax32 || directoryOffset >= kMax32) {
    // The ZIP64 end record starts where the directory ends.
    uint64_t zip64EndOffset = directoryOffset + directorySize;
    std::string record(zip64end::kSize, '\0');
    uint8_t* r = Bytes(record);
    PutLe32(r, zip64end::kSignature);
    PutLe64(r + zip64end::kRecordSize, zip64end::kSize - 12);  // counts what follows this field
    PutLe16(r + zip64end::kVersionMadeBy, kVersionZip64);
    PutLe16(r + zip64end::kVersionNeeded, kVersionZip64);
    PutLe64(r + zip64end::kEntriesOnDisk, entries);
    PutLe64(r + zip64end::kEntries, entries);
    PutLe64(r + zip64end::kDirectorySize, directorySize);
    PutLe64(r + zip64end::kDirectoryOffset, directoryOffset);
    std::string locator(zip64locator::kSize, '\0');
    uint8_t* l = Bytes(locator);
    PutLe32(l, zip64locator::kSignature);
    PutLe64(l + zip64locator::kEndOffset, zip64EndOffset);
    PutLe32(l + zip64locator::kDiskCount, 1);
    records = record + locator;
  }
  std::string record(end::kSize, '\0');
  uint8_t* r = Bytes(record);
  PutLe32(r, end::kSignature);
  PutLe16(r + end::kEntriesOnDisk, Clamp16(entries));
  PutLe16(r + end::kEntries, Clamp16(entries));
  PutLe32(r + end::kDirectorySize, Clamp32(directorySize));
  PutLe32(r + end::kDirectoryOffset, Clamp32(directoryOffset));
  PutLe16(r + end::kCommentLength, static_cast<uint16_t>(comment.size()));
  return records + record + std::string(comment);
}

size_t ParseCentralHeader(const uint8_t* data, size_t available, TZipEntry& entry) {
  if (GetLe32(data) != central::kSignature) throw EZipError("Damaged Zip File");
  size_t nameLength = GetLe16(data + central::kNameLength);
  size_t extraLength = GetLe16(data + central::kExtraLength);
  size_t commentLength = GetLe16(data + central::kCommentLength);
  size_t total = central::kSize + nameLength + extraLength + commentLength;
  if (total > available) return 0;

  entry.versionMadeBy = GetLe16(data + central::kVersionMadeBy);
  entry.versionNeeded = GetLe16(data + central::kVersionNeeded);
  entry.flags = GetLe16(data + central::kFlags);
  entry.method = GetLe16(data + central::kMethod);
  entry.dosTime = GetLe16(data + central::kTime);
  entry.dosDate = GetLe16(data + central::kDate);
  entry.crc = GetLe32(data + central::kCrc);
  entry.compressedSize = GetLe32(data + central::kCompressedSize);
  entry.uncompressedSize = GetLe32(data + central::kUncompressedSize);
  entry.internalAttributes = GetLe16(data + central::kInternalAttributes);
  entry.externalAttributes = GetLe32(data + central::kExternalAttributes);
  entry.localHeaderOffset = GetLe32(data + central::kLocalHeaderOffset);
  uint32_t disk = GetLe16(data + central::kDiskStart);
  const char* text = reinterpret_cast<const char*>(data + central::kSize);
  entry.name.assign(text, nameLength);
  std::string_view extra(text + nameLength, extraLength);
  entry.comment.assign(text + nameLength + extraLength, commentLength);

  // The ZIP64 field holds the values whose classic field is full, in order.
  bool bigUncompressed = entry.uncompressedSize == kMax32;
  bool bigCompressed = entry.compressedSize == kMax32;
  bool bigOffset = entry.localHeaderOffset == kMax32;
  bool bigDisk = disk == kMax16;
  if (bigUncompressed || bigCompressed || bigOffset || bigDisk) {
    std::string_view values = Zip64ExtraValues(extra);
    auto next = [&](uint64_t& value) {
      if (values.size() < 8) throw EZipError("Damaged Zip File");
      value = GetLe64(reinterpret_cast<const uint8_t*>(values.data()));
      values.remove_prefix(8);
    };
    if (bigUncompressed) next(entry.uncompressedSize);
    if (bigCompressed) next(entry.compressedSize);
    if (bigOffset) next(entry.localHeaderOffset);
    if (bigDisk) {
      if (values.size() < 4) throw EZipError("Damaged Zip File");
      disk = GetLe32(reinterpret_cast<const uint8_t*>(values.data()));
    }
  }
  // Archives split over several disks are not ours to update.
  if (disk != 0) throw EZipError("Damaged Zip File");
  entry.extra = WithoutZip64Extra(extra);
  return total;
}

std::string FoldedEntryName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool SameEntryName(std::string_view a, std::string_view b) { return FoldedEntryName(a) == FoldedEntryName(b); }

}  // namespace ns
