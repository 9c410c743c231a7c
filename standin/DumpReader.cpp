#include "DumpReader.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "Crc32.h"
#include "DumpWriter.h"
#include "StandinError.h"
#include "win/UniqueHandle.h"
#include "win/Win32Error.h"

namespace ns::standin {

namespace {

constexpr size_t kReadChunk = 1 << 20;
// The header and the tail block hold one line of text each.
constexpr uint64_t kMaxTextPayload = 64 * 1024;
constexpr const char* kTextEnd = "\"}\r\n";

[[noreturn]] void Damaged(const std::string& reason) {
  throw EStandinError("Файл выгрузки поврежден: " + reason);
}

uint64_t LittleEndian(const std::string& bytes, size_t offset, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

// Word by word: the hole of a sparse dump of gigabytes is read through.
bool AllZeros(const char* data, size_t size) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    if (word != 0) return false;
  }
  for (; i < size; ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Checks the blocks as the bytes arrive, in pieces of any size.
class TDumpChecker {
 public:
  explicit TDumpChecker(uint64_t fileSize) : fileSize_(fileSize) {}

  // `zeros` tells that the piece holds zero bytes only, which the CRC then
  // passes over without reading them.
  void Feed(const char* data, size_t size, bool zeros) {
    while (size > 0) {
      size_t portion;
      if (!inPayload_) {
        if (header_.empty()) StartBlock();
        portion = std::min(size, kDumpBlockHeaderSize - header_.size());
        header_.append(data, portion);
        if (header_.size() == kDumpBlockHeaderSize) ParseHeader();
      } else {
        portion = static_cast<size_t>(std::min<uint64_t>(size, payloadLeft_));
        TakePayload(data, portion, zeros);
        payloadLeft_ -= portion;
        if (payloadLeft_ == 0) EndBlock();
      }
      data += portion;
      size -= portion;
      offset_ += portion;
    }
  }

  TDumpSummary Finish() {
    if (fileSize_ == 0) Damaged("файл пуст");
    if (!tailSeen_) {
      Damaged("выгрузка обрывается после блока " + std::to_string(number_ == 0 ? 0 : number_ - 1) +
              ": нет завершающего блока");
    }
    std::string version, written;
    std::string title = Fields(headerText_, kDumpHeaderStart, version, "неверный заголовок выгрузки");
    std::string tailTitle = Fields(tailText_, kDumpTailStart, written, "неверный завершающий блок");
    if (written.size() != 8 || written.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
      Damaged("неверный завершающий блок");
    }
    if (tailTitle != title) Damaged("завершающий блок не соответствует заголовку выгрузки");
    char computed[9];
    std::snprintf(computed, sizeof computed, "%08X", crc_);
    if (written != computed) {
      Damaged("контрольная сумма не совпадает (записана " + written + ", вычислена " + computed + ")");
    }
    return {title, fileSize_, number_, crc_};
  }

 private:
  void StartBlock() {
    if (tailSeen_) Damaged("данные после завершающего блока по смещению " + std::to_string(offset_));
    if (fileSize_ - offset_ < kDumpBlockHeaderSize) {
      Damaged("выгрузка обрывается в заголовке блока " + std::to_string(number_) + " по смещению " +
              std::to_string(offset_));
    }
    blockStart_ = offset_;
  }

  void ParseHeader() {
    std::string at = " по смещению " + std::to_string(blockStart_);
    kind_ = header_[3];
    if (header_.compare(0, 3, "SDT") != 0 || std::string("HRDT").find(kind_) == std::string::npos) {
      Damaged("неверный заголовок блока" + at);
    }
    uint64_t number = LittleEndian(header_, 8, 8);
    if (number != number_) {
      Damaged("блок" + at + " имеет номер " + std::to_string(number) + " вместо " + std::to_string(number_));
    }
    if ((number_ == 0) != (kind_ == 'H')) Damaged("неверный заголовок блока" + at);
    payloadLeft_ = LittleEndian(header_, 4, 4);
    if ((kind_ == 'H' || kind_ == 'T') && payloadLeft_ > kMaxTextPayload) Damaged("неверный заголовок блока" + at);
    uint64_t end = blockStart_ + kDumpBlockHeaderSize + payloadLeft_;
    if (end > fileSize_) {
      Damaged("выгрузка обрывается в блоке " + std::to_string(number_) + at + " (не хватает " +
              std::to_string(end - fileSize_) + " байт)");
    }
    if (kind_ == 'T' && end != fileSize_) {
      Damaged("данные после завершающего блока по смещению " + std::to_string(end));
    }
    if (kind_ != 'T') crc_ = Crc32Update(crc_, header_.data(), header_.size());
    inPayload_ = true;
    if (payloadLeft_ == 0) EndBlock();
  }

  void TakePayload(const char* data, size_t size, bool zeros) {
    if (kind_ == 'T') {
      tailText_.append(data, size);
      return;
    }
    if (kind_ == 'H') headerText_.append(data, size);
    crc_ = zeros ? Crc32UpdateZeros(crc_, size) : Crc32Update(crc_, data, size);
  }

  void EndBlock() {
    if (kind_ == 'T') tailSeen_ = true;
    ++number_;
    inPayload_ = false;
    header_.clear();
  }

  // A text block's line: `start`, the title, "," and the last field, "}
  // and CR LF. Returns the title and assigns the last field.
  static std::string Fields(const std::string& text, const std::string& start, std::string& last,
                            const std::string& complaint) {
    const std::string separator = "\",\"";
    size_t split = text.rfind(separator);
    if (text.compare(0, start.size(), start) != 0 || !EndsWith(text, kTextEnd) || split == std::string::npos ||
        split < start.size()) {
      Damaged(complaint);
    }
    size_t lastStart = split + separator.size();
    last = text.substr(lastStart, text.size() - std::string(kTextEnd).size() - lastStart);
    return text.substr(start.size(), split - start.size());
  }

  uint64_t fileSize_;
  uint64_t offset_ = 0;
  uint64_t blockStart_ = 0;
  uint64_t number_ = 0;
  std::string header_;
  bool inPayload_ = false;
  char kind_ = 0;
  uint64_t payloadLeft_ = 0;
  std::string headerText_, tailText_;
  bool tailSeen_ = false;
  uint32_t crc_ = 0;
};

}  // namespace

TDumpSummary ReadDump(const std::string& path, const TDumpConsumer& consumer) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      throw EStandinError("Файл выгрузки не обнаружен: " + path);
    }
    throw EStandinError("Ошибка чтения файла выгрузки " + path + ": " + SystemErrorText(error));
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) {
    throw EStandinError("Ошибка чтения файла выгрузки " + path + ": " + SystemErrorText(GetLastError()));
  }
  TDumpChecker checker(static_cast<uint64_t>(size.QuadPart));
  std::vector<char> buffer(kReadChunk);
  uint64_t total = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      throw EStandinError("Ошибка чтения файла выгрузки " + path + ": " + SystemErrorText(GetLastError()));
    }
    if (got == 0) break;
    total += got;
    // A file that grows while it is read is not the file that was sized.
    if (total > static_cast<uint64_t>(size.QuadPart)) Damaged("размер файла изменился во время чтения");
    bool zeros = AllZeros(buffer.data(), got);
    checker.Feed(buffer.data(), got, zeros);
    if (consumer) consumer(zeros ? nullptr : buffer.data(), got);
  }
  if (total != static_cast<uint64_t>(size.QuadPart)) Damaged("размер файла изменился во время чтения");
  return checker.Finish();
}

}  // namespace ns::standin
