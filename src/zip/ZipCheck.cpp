#include "zip/ZipCheck.h"

#include <algorithm>
#include <cstdio>

#include "zip/Crc32.h"
#include "zip/EntryName.h"

namespace ns {

using namespace zipformat;

namespace {

// Pieces in which stored data is read.
constexpr size_t kBufferSize = size_t(1) << 17;

std::string Hex(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

void ReadExactly(TFile& file, uint64_t position, uint8_t* buffer, size_t size, const char* what) {
  file.Seek(position);
  if (file.Read(buffer, size) != size) throw EZipError(std::string(what) + " is cut short");
}

void Differs(const char* field) {
  throw EZipError(std::string("the local header's ") + field + " differs from the central directory's");
}

}  // namespace

TZipChecker::TZipChecker(TFileSystem& fileSystem, const std::string& archivePath)
    : file_(fileSystem.OpenRead(archivePath)), directory_(ReadZipDirectory(*file_)), buffer_(new uint8_t[kBufferSize]) {}

std::optional<std::string> TZipChecker::Check(const TZipEntry& entry, std::optional<uint32_t> expectedCrc,
                                              const TInflater::Sink& copyTo) {
  try {
    if (entry.flags & kFlagEncrypted) return "the entry is encrypted and cannot be checked";
    if (entry.method != kMethodStored && entry.method != kMethodDeflated)
      return "compression method " + std::to_string(entry.method) + " cannot be checked";
    uint64_t dataStart = 0;
    CheckLocalHeader(entry, dataStart);
    CheckData(entry, dataStart, expectedCrc, copyTo);
    if (entry.flags & kFlagDataDescriptor) CheckDataDescriptor(entry, dataStart + entry.compressedSize);
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
  return std::nullopt;
}

void TZipChecker::CheckLocalHeader(const TZipEntry& entry, uint64_t& dataStart) {
  // Every entry's data lies before the directory.
  const uint64_t dataEnd = directory_.offset;
  const uint64_t offset = entry.localHeaderOffset;
  if (offset > dataEnd || dataEnd - offset < local::kSize) throw EZipError("the local header lies outside the archive");
  uint8_t header[local::kSize];
  ReadExactly(*file_, offset, header, sizeof header, "the local header");
  if (GetLe32(header) != local::kSignature) throw EZipError("no local header where the directory points");
  const size_t nameLength = GetLe16(header + local::kNameLength);
  const size_t extraLength = GetLe16(header + local::kExtraLength);
  dataStart = offset + local::kSize + nameLength + extraLength;
  if (dataStart > dataEnd) throw EZipError("the local header runs into the directory");
  std::string variable(nameLength + extraLength, '\0');
  ReadExactly(*file_, offset + local::kSize, reinterpret_cast<uint8_t*>(variable.data()), variable.size(),
              "the local header");

  if (GetLe16(header + local::kFlags) != entry.flags) Differs("flags");
  if (GetLe16(header + local::kMethod) != entry.method) Differs("compression method");
  if (GetLe16(header + local::kTime) != entry.dosTime || GetLe16(header + local::kDate) != entry.dosDate)
    Differs("date and time");
  if (std::string_view(variable).substr(0, nameLength) != entry.name) Differs("name");
  // With a data descriptor the local header may leave CRC and sizes zero;
  // the descriptor after the data holds them.
  if (entry.flags & kFlagDataDescriptor) return;
  if (GetLe32(header + local::kCrc) != entry.crc) Differs("CRC-32");

  uint64_t uncompressed = GetLe32(header + local::kUncompressedSize);
  uint64_t compressed = GetLe32(header + local::kCompressedSize);
  if (uncompressed == kMax32 || compressed == kMax32) {
    // The full sizes are in the ZIP64 extra field, in this order.
    std::string_view values = Zip64ExtraValues(std::string_view(variable).substr(nameLength));
    for (uint64_t* size : {&uncompressed, &compressed}) {
      if (*size != kMax32) continue;
      if (values.size() < 8) throw EZipError("the local header's ZIP64 field is missing or short");
      *size = GetLe64(reinterpret_cast<const uint8_t*>(values.data()));
      values.remove_prefix(8);
    }
  }
  if (uncompressed != entry.uncompressedSize) Differs("uncompressed size");
  if (compressed != entry.compressedSize) Differs("compressed size");
}

void TZipChecker::CheckData(const TZipEntry& entry, uint64_t dataStart, std::optional<uint32_t> expectedCrc,
                            const TInflater::Sink& copyTo) {
  if (entry.compressedSize > directory_.offset - dataStart) throw EZipError("the data runs into the directory");
  if (entry.method == kMethodStored && entry.compressedSize != entry.uncompressedSize)
    throw EZipError("stored data whose sizes differ");

  file_->Seek(dataStart);
  uint64_t left = entry.compressedSize;
  // Reads the entry's data and no further; a file that ends first is cut.
  const auto read = [&](uint8_t* buffer, size_t room) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(room, left));
    const size_t got = want == 0 ? 0 : file_->Read(buffer, want);
    if (got != want) throw EZipError("the data is cut short");
    left -= got;
    return got;
  };
  uint32_t crc = 0;
  uint64_t size = 0;
  if (entry.method == kMethodStored) {
    while (size_t got = read(buffer_.get(), kBufferSize)) {
      crc = Crc32(crc, buffer_.get(), got);
      size += got;
      if (copyTo) copyTo(buffer_.get(), got);
    }
  } else {
    const TInflateResult result = inflater_.Inflate(
        read,
        [&](const uint8_t* data, size_t n) {
          crc = Crc32(crc, data, n);
          size += n;
          if (copyTo) copyTo(data, n);
        },
        entry.uncompressedSize);
    if (!result.ok) throw EZipError("the data does not inflate: " + result.error);
  }
  if (size != entry.uncompressedSize)
    throw EZipError("the data holds " + std::to_string(size) + " bytes, the directory records " +
                    std::to_string(entry.uncompressedSize));
  if (crc != entry.crc) throw EZipError("the data's CRC-32 is " + Hex(crc) + ", the directory records " + Hex(entry.crc));
  if (expectedCrc && crc != *expectedCrc)
    throw EZipError("the data's CRC-32 is " + Hex(crc) + ", the packed file's was " + Hex(*expectedCrc));
}

void TZipChecker::CheckDataDescriptor(const TZipEntry& entry, uint64_t dataEnd) {
  // CRC and sizes, after a signature that is optional; the sizes are 8
  // bytes each when the entry needs ZIP64.
  const bool wide = entry.SizesNeedZip64();
  uint8_t record[24];
  const size_t available = static_cast<size_t>(std::min<uint64_t>(sizeof record, directory_.offset - dataEnd));
  const size_t fields = wide ? 20 : 12;
  ReadExactly(*file_, dataEnd, record, available, "the data descriptor");
  size_t at = available >= fields + 4 && GetLe32(record) == kDataDescriptorSignature ? 4 : 0;
  if (available < at + fields) throw EZipError("the data descriptor is cut short");
  const uint64_t compressed = wide ? GetLe64(record + at + 4) : GetLe32(record + at + 4);
  const uint64_t uncompressed = wide ? GetLe64(record + at + 12) : GetLe32(record + at + 8);
  if (GetLe32(record + at) != entry.crc || compressed != entry.compressedSize ||
      uncompressed != entry.uncompressedSize)
    throw EZipError("the data descriptor differs from the central directory");
}

std::optional<std::string> VerifyZipEntry(TFileSystem& fileSystem, const std::string& archivePath,
                                          const std::string& entryName, std::optional<uint32_t> expectedCrc,
                                          uint16_t nameFlags) {
  try {
    TZipChecker checker(fileSystem, archivePath);
    const std::string key = EntryNameKey(entryName, nameFlags);
    for (const TZipEntry& entry : checker.Entries()) {
      if (EntryNameKey(entry) == key) return checker.Check(entry, expectedCrc);
    }
    return "the archive holds no entry named \"" + DisplayEntryName(entryName, nameFlags) + "\"";
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}

const TZipEntry* TZipChecker::Find(const std::string& entryName) const {
  const std::string key = EntryNameKey(StoreEntryName(entryName));
  for (const TZipEntry& entry : directory_.entries) {
    if (EntryNameKey(entry) == key) return &entry;
  }
  return nullptr;
}

std::optional<std::string> TZipChecker::Extract(const TZipEntry& entry, TFileSystem& fileSystem,
                                                const std::string& outputPath) {
  std::optional<std::string> fault;
  bool created = false;
  try {
    std::unique_ptr<TFile> output = fileSystem.CreateNew(outputPath);
    if (!output) return "the file " + outputPath + " already exists";
    created = true;
    fault = Check(entry, std::nullopt, [&](const uint8_t* data, size_t size) { output->Write(data, size); });
  } catch (const std::exception& e) {
    fault = std::string(e.what());
  }
  if (fault && created) {
    try {
      fileSystem.Remove(outputPath);
    } catch (const std::exception&) {
      // The fault is what the caller must hear of.
    }
  }
  return fault;
}

}  // namespace ns
