#include "DumpWriter.h"

#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <vector>

#include "Crc32.h"
#include "win/UniqueHandle.h"
#include "win/Win32Error.h"

namespace ns::standin {

namespace {

// Data blocks of 16 KiB and a text record of about 4 KiB every eighth block
// keep a few percent of a dump compressible, roughly like a real one, and
// put records into small dumps too.
constexpr uint32_t kDataBlockSize = 16 * 1024;
constexpr uint64_t kRecordEvery = 8;
constexpr size_t kWriteChunk = 1 << 20;
// A sparse dump writes this much at each end.
constexpr uint64_t kSparseEdge = 1 << 20;
// The payload of one block of a sparse dump's hole: as large as the 4-byte
// length allows, rounded down, so a hole of gigabytes takes a few blocks.
constexpr uint64_t kHolePayload = 0xF0000000;

const char* const kObjects[] = {"Справочник.Номенклатура", "Справочник.Контрагенты", "Документ.РеализацияТоваров",
                                "РегистрНакопления.ТоварыНаСкладах", "Документ.ПоступлениеТоваров",
                                "РегистрСведений.КурсыВалют"};

class TRandom {
 public:
  explicit TRandom(uint64_t seed) : state_(seed | 1) {}
  uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }

 private:
  uint64_t state_;
};

void PutLittleEndian(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string BlockHeader(char kind, uint64_t payloadSize, uint64_t number) {
  std::string header = "SDT";
  header.push_back(kind);
  PutLittleEndian(header, payloadSize, 4);
  PutLittleEndian(header, number, 8);
  return header;
}

std::string TailPayload(const std::string& title, uint32_t crc) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", crc);
  return std::string(kDumpTailStart) + title + "\",\"" + hex + "\"}\r\n";
}

// One piece of the file: bytes to write, or a run of zeros to leave as a
// hole.
struct TPiece {
  std::string Bytes;
  uint64_t Zeros = 0;
};

// Produces the container's pieces in order, one block at a time, and keeps
// the CRC of everything before the tail block.
class TDumpStream {
 public:
  explicit TDumpStream(const TDumpOptions& options)
      : title_(options.Title),
        size_(options.Size),
        sparse_(options.Sparse && options.Size > 2 * kSparseEdge),
        random_(options.Seed) {
    header_ = Block('H', std::string(kDumpHeaderStart) + title_ + "\",\"8.3.0\"}\r\n");
    tailSize_ = kDumpBlockHeaderSize + TailPayload(title_, 0).size();
    uint64_t frame = header_.size() + tailSize_;
    // After the header every step leaves either no room before the tail
    // or room for at least a block header; a size that cannot keep that
    // gets the old cut dump.
    cut_ = size_ < frame || (size_ - frame > 0 && size_ - frame < kDumpBlockHeaderSize);
  }

  // False at the end of the file.
  bool Next(TPiece& piece) {
    if (!pending_.empty()) {
      piece = std::move(pending_.front());
      pending_.pop_front();
      Account(piece);
      return true;
    }
    if (position_ == size_) return false;
    piece = TPiece();
    if (number_ == 0) {
      piece.Bytes = header_;
      ++number_;
    } else if (cut_) {
      piece.Bytes = NextBlock();
    } else {
      uint64_t room = size_ - position_ - tailSize_;
      if (room == 0) {
        piece.Bytes = Block('T', TailPayload(title_, crc_));
        done_ = true;
      } else if (sparse_ && !holeMade_ && position_ >= kSparseEdge) {
        holeMade_ = true;
        MakeHole();
        return Next(piece);
      } else {
        piece.Bytes = NextBlock();
        // Shortened to the room left when the whole block would leave less
        // than a block header's worth before the tail.
        if (piece.Bytes.size() != room && piece.Bytes.size() + kDumpBlockHeaderSize > room) {
          piece.Bytes.resize(room);
          std::string header = BlockHeader(piece.Bytes[3], room - kDumpBlockHeaderSize, number_ - 1);
          std::copy(header.begin(), header.end(), piece.Bytes.begin());
        }
      }
    }
    if (piece.Bytes.size() > size_ - position_) piece.Bytes.resize(size_ - position_);
    Account(piece);
    return true;
  }

 private:
  std::string Block(char kind, const std::string& payload) { return BlockHeader(kind, payload.size(), number_) + payload; }

  std::string NextBlock() {
    std::string block;
    if (number_ % kRecordEvery == 0) {
      std::string text;
      for (int line = 0; line < 48; ++line) {
        uint64_t value = random_.Next();
        text += "{\"" + std::string(kObjects[value % std::size(kObjects)]) + "\"," + std::to_string(number_) +
                "," + std::to_string(line) + "," + std::to_string((value >> 8) % 100000) + ",\"Запись " +
                std::to_string((value >> 24) % 1000) + "\"}\r\n";
      }
      block = Block('R', text);
    } else {
      std::string payload(kDataBlockSize, '\0');
      for (size_t i = 0; i < payload.size(); i += 8) {
        uint64_t value = random_.Next();
        for (size_t k = 0; k < 8; ++k) payload[i + k] = static_cast<char>(value >> (8 * k));
      }
      block = Block('D', payload);
    }
    ++number_;
    return block;
  }

  // Data blocks of zeros from here to a sparse edge before the end; only
  // their headers are written.
  void MakeHole() {
    uint64_t end = size_ - kSparseEdge;
    if (end < position_ || end - position_ < kDumpBlockHeaderSize) return;
    uint64_t hole = end - position_;
    uint64_t count = (hole + kDumpBlockHeaderSize + kHolePayload - 1) / (kDumpBlockHeaderSize + kHolePayload);
    for (uint64_t i = 0; i < count; ++i) {
      uint64_t blockSize = hole / count + (i < hole % count ? 1 : 0);
      pending_.push_back({BlockHeader('D', blockSize - kDumpBlockHeaderSize, number_++), 0});
      pending_.push_back({std::string(), blockSize - kDumpBlockHeaderSize});
    }
  }

  void Account(const TPiece& piece) {
    if (!done_) {
      crc_ = Crc32Update(crc_, piece.Bytes.data(), piece.Bytes.size());
      crc_ = Crc32UpdateZeros(crc_, piece.Zeros);
    }
    position_ += piece.Bytes.size() + piece.Zeros;
  }

  std::string title_;
  uint64_t size_;
  bool sparse_;
  TRandom random_;
  std::string header_;
  uint64_t tailSize_ = 0;
  bool cut_ = false;
  bool holeMade_ = false;
  bool done_ = false;
  uint64_t number_ = 0;
  uint64_t position_ = 0;
  uint32_t crc_ = 0;
  std::deque<TPiece> pending_;
};

void Skip(HANDLE file, uint64_t count) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(count);
  CheckWin32(SetFilePointerEx(file, distance, nullptr, FILE_CURRENT), "SetFilePointerEx");
}

void Write(HANDLE file, const TDumpOptions& options) {
  TDumpStream stream(options);
  std::string buffer;
  buffer.reserve(kWriteChunk + kDataBlockSize + 64);
  uint64_t done = 0;
  bool sparseMarked = false;
  // Ten equal pauses, each after another tenth of the bytes.
  int pauses = 0;
  TPiece piece;
  while (stream.Next(piece)) {
    buffer += piece.Bytes;
    if (buffer.size() >= kWriteChunk || piece.Zeros > 0) {
      WriteAll(file, buffer.data(), buffer.size());
      buffer.clear();
    }
    if (piece.Zeros > 0) {
      // Windows allocates the skipped range unless the file is marked
      // sparse; file systems that cannot mark it (Wine's) leave a hole
      // anyway.
      if (!sparseMarked) {
        DWORD returned = 0;
        DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        sparseMarked = true;
      }
      Skip(file, piece.Zeros);
    }
    done += piece.Bytes.size() + piece.Zeros;
    for (; options.SlowMilliseconds && pauses < 10 && done >= (pauses + 1) * (options.Size / 10); ++pauses) {
      Sleep(options.SlowMilliseconds / 10);
    }
  }
  WriteAll(file, buffer.data(), buffer.size());
  for (; options.SlowMilliseconds && pauses < 10; ++pauses) Sleep(options.SlowMilliseconds / 10);
}

void InvertMiddleByte(HANDLE file, uint64_t size) {
  if (size == 0) return;
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(size / 2);
  CheckWin32(SetFilePointerEx(file, position, nullptr, FILE_BEGIN), "SetFilePointerEx");
  char byte = 0;
  DWORD got = 0;
  CheckWin32(ReadFile(file, &byte, 1, &got, nullptr), "ReadFile");
  byte = static_cast<char>(~byte);
  CheckWin32(SetFilePointerEx(file, position, nullptr, FILE_BEGIN), "SetFilePointerEx");
  WriteAll(file, &byte, 1);
}

}  // namespace

uint64_t SeedOf(const std::string& text) {
  uint64_t hash = 1469598103934665603ULL;
  std::string upper = text;
  CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
  for (unsigned char c : upper) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  return hash;
}

void WriteDump(const std::string& path, const TDumpOptions& options) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileA");
  try {
    Write(file.get(), options);
    if (options.Damaged) InvertMiddleByte(file.get(), options.Size);
  } catch (...) {
    file.reset();
    DeleteFileA(path.c_str());
    throw;
  }
}

void WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    DWORD wrote = 0;
    CheckWin32(WriteFile(file, data, static_cast<DWORD>(std::min<size_t>(size, kWriteChunk)), &wrote, nullptr),
               "WriteFile");
    data += wrote;
    size -= wrote;
  }
}

}  // namespace ns::standin
