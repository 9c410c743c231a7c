#include "zip/ZipBuilder.h"

#include <algorithm>

#include "zip/Crc32.h"
#include "zip/DeflateEncoder.h"
#include "zip/ZipDirectory.h"

namespace ns {

using namespace zipformat;

namespace {

// Pieces in which an entry of an existing archive is copied (new files are
// read straight into the encoder): large enough for few reads and writes,
// small enough that memory stays a constant.
constexpr size_t kChunkSize = 1 << 20;

// Text when the first block holds at most one "binary" literal for every four
// "text" ones.
uint16_t InternalAttributes(const LiteralCounts& counts) { return counts.binary <= counts.text / 4 ? 1 : 0; }

}  // namespace

TZipBuilder::TZipBuilder(TFileSystem& fileSystem, TFile& output, int level)
    : fileSystem_(fileSystem), output_(output), level_(level), buffer_(kChunkSize) {}

bool TZipBuilder::AddFile(const std::string& path, const TFileStatus& status, const TStoredName& name) {
  std::unique_ptr<TFile> input;
  try {
    input = fileSystem_.OpenRead(path);
  } catch (const Exception&) {
    return false;  // a file that cannot be opened is skipped, not an error
  }
  TZipEntry entry;
  entry.name = name.bytes;
  entry.flags = name.flags;
  const uint16_t host = name.flags & kFlagUtf8Name ? kHostNtfs : kHostMsDos;
  entry.versionMadeBy = static_cast<uint16_t>(host << 8 | kVersionDeflate);
  entry.dosDate = status.dosDate;
  entry.dosTime = status.dosTime;
  entry.externalAttributes = status.attributes & 0xFFFF;
  entry.localHeaderOffset = output_.Position();
  entry.uncompressedSize = status.size;

  // A file that may not fit the classic size fields gets the ZIP64 field in
  // its local header from the start. Should a smaller one still outgrow them
  // (incompressible data just below 4 GiB, or a file that grew), it is
  // written again with that room.
  bool zip64 = entry.SizesNeedZip64();
  for (;;) {
    output_.Write(BuildLocalHeader(entry, {}, zip64));
    Compress(*input, entry);
    if (zip64 || !entry.SizesNeedZip64()) break;
    output_.Rewind(entry.localHeaderOffset);
    input->Seek(0);
    zip64 = true;
  }
  output_.Patch(entry.localHeaderOffset, BuildLocalHeader(entry, {}, zip64));
  Add(std::move(entry));
  return true;
}

void TZipBuilder::Compress(TFile& input, TZipEntry& entry) {
  // Data that fits the encoder's first block is kept, together with its
  // compressed form, until the end shows which of the two is smaller; past
  // that the compressed stream goes straight to the archive.
  const size_t firstBlock = DeflateEncoder::FirstBlockCapacity();
  std::vector<uint8_t> held;
  std::vector<uint8_t> compressedHeld;
  bool streaming = false;
  uint64_t compressed = 0;
  DeflateEncoder encoder(level_, [&](const uint8_t* data, size_t size) {
    compressed += size;
    if (streaming) {
      output_.Write(data, size);
    } else {
      compressedHeld.insert(compressedHeld.end(), data, data + size);
    }
  }, UsableProcessorCount());

  uint32_t crc = 0;
  uint64_t total = 0;
  for (;;) {
    // Read straight into the encoder's input: the bytes of a large file are
    // copied once less.
    const std::span<uint8_t> space = encoder.InputSpace();
    const size_t got = input.Read(space.data(), space.size());
    if (got == 0) break;
    crc = Crc32(crc, space.data(), got);
    total += got;
    if (!streaming) {
      if (total <= firstBlock) {
        held.insert(held.end(), space.data(), space.data() + got);
      } else {
        streaming = true;
        std::vector<uint8_t>().swap(held);
        output_.Write(compressedHeld.data(), compressedHeld.size());
        std::vector<uint8_t>().swap(compressedHeld);
      }
    }
    encoder.Commit(got);
  }
  encoder.Finish();

  entry.crc = crc;
  entry.uncompressedSize = total;
  entry.internalAttributes = InternalAttributes(encoder.FirstBlockLiterals());
  if (!streaming && total <= compressed) {
    entry.method = kMethodStored;
    entry.compressedSize = total;
    output_.Write(held.data(), held.size());
  } else {
    entry.method = kMethodDeflated;
    entry.compressedSize = compressed;
    if (!streaming) output_.Write(compressedHeld.data(), compressedHeld.size());
  }
}

void TZipBuilder::CopyEntry(TFile& source, uint64_t dataEnd, const TZipEntry& entry) {
  uint64_t offset = entry.localHeaderOffset;
  if (offset > dataEnd || dataEnd - offset < local::kSize) throw EZipError(kDamagedZipFile);
  uint8_t header[local::kSize];
  ReadArchiveBytes(source, offset, header, sizeof header);
  if (GetLe32(header) != local::kSignature) throw EZipError(kDamagedZipFile);
  uint64_t extraOffset = offset + local::kSize + GetLe16(header + local::kNameLength);
  size_t extraLength = GetLe16(header + local::kExtraLength);
  uint64_t dataStart = extraOffset + extraLength;
  if (dataStart > dataEnd || entry.compressedSize > dataEnd - dataStart) throw EZipError(kDamagedZipFile);
  std::string extra(extraLength, '\0');
  ReadArchiveBytes(source, extraOffset, reinterpret_cast<uint8_t*>(extra.data()), extraLength);

  TZipEntry copy = entry;
  copy.localHeaderOffset = output_.Position();
  // The sizes now stand in the local header, so a data descriptor is left
  // out, except for an encrypted entry whose password check depends on the
  // flag.
  bool descriptor = (copy.flags & kFlagDataDescriptor) && (copy.flags & kFlagEncrypted);
  if (!descriptor) copy.flags &= ~kFlagDataDescriptor;
  output_.Write(BuildLocalHeader(copy, WithoutZip64Extra(extra), copy.SizesNeedZip64()));

  source.Seek(dataStart);
  for (uint64_t left = copy.compressedSize; left > 0;) {
    size_t piece = static_cast<size_t>(std::min<uint64_t>(left, buffer_.size()));
    if (source.Read(buffer_.data(), piece) != piece) throw EZipError(kDamagedZipFile);
    output_.Write(buffer_.data(), piece);
    left -= piece;
  }
  if (descriptor) {
    bool wide = copy.SizesNeedZip64();
    std::string record(wide ? 24 : 16, '\0');
    auto r = reinterpret_cast<uint8_t*>(record.data());
    PutLe32(r, kDataDescriptorSignature);
    PutLe32(r + 4, copy.crc);
    if (wide) {
      PutLe64(r + 8, copy.compressedSize);
      PutLe64(r + 16, copy.uncompressedSize);
    } else {
      PutLe32(r + 8, static_cast<uint32_t>(copy.compressedSize));
      PutLe32(r + 12, static_cast<uint32_t>(copy.uncompressedSize));
    }
    output_.Write(record);
  }
  Add(std::move(copy));
}

void TZipBuilder::Add(TZipEntry entry) {
  names_.insert(EntryNameKey(entry));
  entries_.push_back(std::move(entry));
}

void TZipBuilder::Finish(const std::string& comment) {
  uint64_t directoryOffset = output_.Position();
  for (const TZipEntry& entry : entries_) output_.Write(BuildCentralHeader(entry));
  uint64_t directorySize = output_.Position() - directoryOffset;
  output_.Write(BuildEndRecords(entries_.size(), directorySize, directoryOffset, comment));
  output_.Flush();
}

}  // namespace ns
