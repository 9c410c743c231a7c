#include "DumpWriter.h"

#include <winioctl.h>

#include <algorithm>
#include <vector>

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

// Produces the container's bytes in order, one block at a time.
class TDumpStream {
 public:
  TDumpStream(const std::string& title, uint64_t seed) : title_(title), random_(seed) {}

  size_t Read(char* buffer, size_t capacity) {
    size_t done = 0;
    while (done < capacity) {
      if (offset_ == block_.size()) NextBlock();
      size_t portion = std::min(capacity - done, block_.size() - offset_);
      std::copy_n(block_.data() + offset_, portion, buffer + done);
      offset_ += portion;
      done += portion;
    }
    return done;
  }

  // A closing block that names the dump: the last bytes of a sparse dump.
  std::string Tail() {
    return Block('T', "{\"Окончание выгрузки\",\"" + title_ + "\",\"" + std::to_string(number_) + "\"}\r\n");
  }

 private:
  std::string Block(char kind, const std::string& payload) {
    std::string block = "SDT";
    block.push_back(kind);
    PutLittleEndian(block, payload.size(), 4);
    PutLittleEndian(block, number_++, 8);
    return block + payload;
  }

  void NextBlock() {
    offset_ = 0;
    if (number_ == 0) {
      block_ = Block('H', "{\"Выгрузка информационной базы\",\"" + title_ + "\",\"8.3.0\"}\r\n");
    } else if (number_ % kRecordEvery == 0) {
      std::string text;
      for (int line = 0; line < 48; ++line) {
        uint64_t value = random_.Next();
        text += "{\"" + std::string(kObjects[value % std::size(kObjects)]) + "\"," + std::to_string(number_) +
                "," + std::to_string(line) + "," + std::to_string((value >> 8) % 100000) + ",\"Запись " +
                std::to_string((value >> 24) % 1000) + "\"}\r\n";
      }
      block_ = Block('R', text);
    } else {
      std::string payload(kDataBlockSize, '\0');
      for (size_t i = 0; i < payload.size(); i += 8) {
        uint64_t value = random_.Next();
        for (size_t k = 0; k < 8; ++k) payload[i + k] = static_cast<char>(value >> (8 * k));
      }
      block_ = Block('D', payload);
    }
  }

  std::string title_;
  TRandom random_;
  uint64_t number_ = 0;
  std::string block_;
  size_t offset_ = 0;
};

void WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    DWORD wrote = 0;
    CheckWin32(WriteFile(file, data, static_cast<DWORD>(std::min<size_t>(size, kWriteChunk)), &wrote, nullptr),
               "WriteFile");
    data += wrote;
    size -= wrote;
  }
}

void Write(HANDLE file, const TDumpOptions& options) {
  TDumpStream stream(options.Title, options.Seed);
  std::vector<char> buffer(kWriteChunk);
  bool sparse = options.Sparse && options.Size > 2 * kSparseEdge;
  uint64_t streamed = sparse ? kSparseEdge : options.Size;
  uint64_t done = 0;
  // Ten equal pauses, each after another tenth of the bytes.
  int pauses = 0;
  while (done < streamed) {
    size_t portion = static_cast<size_t>(std::min<uint64_t>(buffer.size(), streamed - done));
    stream.Read(buffer.data(), portion);
    WriteAll(file, buffer.data(), portion);
    done += portion;
    for (; options.SlowMilliseconds && pauses < 10 && done >= (pauses + 1) * (streamed / 10); ++pauses) {
      Sleep(options.SlowMilliseconds / 10);
    }
  }
  for (; options.SlowMilliseconds && pauses < 10; ++pauses) Sleep(options.SlowMilliseconds / 10);
  if (!sparse) return;
  // Windows allocates the skipped range unless the file is marked sparse;
  // file systems that cannot mark it (Wine's) leave a hole anyway.
  DWORD returned = 0;
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  std::string tail = stream.Tail();
  std::string last(kSparseEdge, '\0');
  stream.Read(last.data(), last.size() - tail.size());
  std::copy(tail.begin(), tail.end(), last.end() - tail.size());
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(options.Size - last.size());
  CheckWin32(SetFilePointerEx(file, position, nullptr, FILE_BEGIN), "SetFilePointerEx");
  WriteAll(file, last.data(), last.size());
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
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileA");
  try {
    Write(file.get(), options);
  } catch (...) {
    file.reset();
    DeleteFileA(path.c_str());
    throw;
  }
}

}  // namespace ns::standin
