// The file system of a POSIX system, made to behave like a Windows system
// whose ANSI code page is 1251 and OEM code page 866: the native build runs
// the same writer, so its archives must match the Windows program's.
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <iterator>

#include "zip/FileSystem.h"

namespace ns {
namespace {

[[noreturn]] void ThrowErrno(const char* what, const std::string& path) {
  throw Exception(std::string(what) + " \"" + path + "\": " + std::strerror(errno));
}

// Local time in MS-DOS form; the form cannot hold years before 1980, which
// become the first day it can hold.
void ToDosTime(time_t when, uint16_t& dosDate, uint16_t& dosTime) {
  tm local{};
  localtime_r(&when, &local);
  if (local.tm_year < 80) {
    dosDate = (1 << 5) | 1;
    dosTime = 0;
    return;
  }
  dosDate = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  dosTime = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
}

class TPosixFile final : public TFile {
 public:
  TPosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TPosixFile() override { ::close(fd_); }

  size_t Read(uint8_t* buffer, size_t size) override {
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::read(fd_, buffer + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        ThrowErrno("Cannot read", path_);
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

  void Write(const uint8_t* data, size_t size) override {
    while (size > 0) {
      ssize_t n = ::write(fd_, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        ThrowErrno("Cannot write", path_);
      }
      data += n;
      size -= static_cast<size_t>(n);
    }
  }

  void Seek(uint64_t position) override {
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) ThrowErrno("Cannot seek in", path_);
  }

  uint64_t Size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) ThrowErrno("Cannot read the size of", path_);
    return static_cast<uint64_t>(st.st_size);
  }

  void Truncate() override {
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0 || ::ftruncate(fd_, at) != 0) ThrowErrno("Cannot truncate", path_);
  }

  void Flush() override {
    if (::fsync(fd_) != 0) ThrowErrno("Cannot flush", path_);
  }

 private:
  int fd_;
  std::string path_;
};

class TPosixLock final : public TLock {
 public:
  TPosixLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  // The name goes before the lock, so that whoever waits on the old file
  // finds it unnamed and tries again.
  ~TPosixLock() override {
    ::unlink(path_.c_str());
    ::close(fd_);
  }

 private:
  int fd_;
  std::string path_;
};

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

class TPosixFileSystem final : public TFileSystem {
 public:
  std::optional<TFileStatus> Status(const std::string& path) override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    // Pipes, sockets and devices have no place in an archive (reading one
    // may never end): they count as missing, as they would on Windows.
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return std::nullopt;
    TFileStatus status;
    status.attributes = S_ISDIR(st.st_mode) ? kAttributeDirectory : kAttributeArchive;
    if ((st.st_mode & S_IWUSR) == 0) status.attributes |= kAttributeReadOnly;
    ToDosTime(st.st_mtime, status.dosDate, status.dosTime);
    status.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    return status;
  }

  std::unique_ptr<TFile> OpenRead(const std::string& path) override {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowErrno("Cannot open", path);
    return std::make_unique<TPosixFile>(fd, path);
  }

  std::unique_ptr<TFile> CreateNew(const std::string& path) override {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) return nullptr;
      ThrowErrno("Cannot create", path);
    }
    return std::make_unique<TPosixFile>(fd, path);
  }

  void Replace(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) ThrowErrno("Cannot replace", to);
    // The new name must survive a power failure as well as the new content.
    int folder = ::open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      ::fsync(folder);
      ::close(folder);
    }
  }

  void Remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) ThrowErrno("Cannot delete", path);
  }

  std::unique_ptr<TLock> TryLock(const std::string& path) override {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) ThrowErrno("Cannot create", path);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int error = errno;
      ::close(fd);
      if (error == EWOULDBLOCK) return nullptr;
      errno = error;
      ThrowErrno("Cannot lock", path);
    }
    // The holder before us may have removed the file after we opened it: a
    // lock on a file that no longer has the name guards nothing.
    struct stat held {}, named {};
    if (::fstat(fd, &held) != 0 || ::stat(path.c_str(), &named) != 0 || held.st_ino != named.st_ino ||
        held.st_dev != named.st_dev) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<TPosixLock>(fd, path);
  }

  std::vector<std::string> ListFolder(const std::string& path) override {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) ThrowErrno("Cannot list", path);
    std::vector<std::string> names;
    errno = 0;
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(std::move(name));
    }
    int error = errno;
    ::closedir(dir);
    if (error != 0) {
      errno = error;
      ThrowErrno("Cannot list", path);
    }
    return names;
  }
};

// Windows-1251 to 866 for the upper half; the lower half is ASCII in both.
// Letters the other page lacks become '?', as on Windows.
constexpr uint8_t kAnsiToOem[128] = {
    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
    0xFF, 0xF6, 0xF7, 0x3F, 0xFD, 0x3F, 0x3F, 0x3F, 0xF0, 0x3F, 0xF2, 0x3F, 0x3F, 0x3F, 0x3F, 0xF4,
    0xF8, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0xFA, 0xF1, 0xFC, 0xF3, 0x3F, 0x3F, 0x3F, 0x3F, 0xF5,
    0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F,
    0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D, 0x9E, 0x9F,
    0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF,
};
// Every letter the two pages share has one place in each, so the way back
// is the same table read backwards.
constexpr std::array<uint8_t, 128> kOemToAnsi = [] {
  std::array<uint8_t, 128> back{};
  back.fill('?');
  for (unsigned ansi = 0; ansi < 128; ++ansi) {
    if (kAnsiToOem[ansi] != '?') back[kAnsiToOem[ansi] - 0x80] = static_cast<uint8_t>(0x80 + ansi);
  }
  return back;
}();

// The characters of the upper halves of Windows-1251 and 866 (from Python's
// cp1251 and cp866 codecs; the one gap in 1251, 0x98, is U+FFFD).
constexpr uint16_t kAnsiUnicode[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};
constexpr uint16_t kOemUnicode[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string ToUtf8(std::string_view text, const uint16_t* upperHalf) {
  std::string result;
  for (char c : text) {
    auto byte = static_cast<uint8_t>(c);
    AppendUtf8(result, byte < 0x80 ? byte : upperHalf[byte - 0x80]);
  }
  return result;
}

// The next character of UTF-8 text; a byte that starts no valid sequence
// stands for itself as U+FFFD.
uint32_t NextUtf8(std::string_view text, size_t& at) {
  auto byte = static_cast<uint8_t>(text[at++]);
  if (byte < 0x80) return byte;
  int more = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
  if (more < 0 || text.size() - at < static_cast<size_t>(more)) return 0xFFFD;
  uint32_t c = byte & (0x3F >> more);
  for (int i = 0; i < more; ++i) {
    auto next = static_cast<uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (next & 0x3F);
  }
  at += more;
  return c;
}

std::string Translate(std::string_view text, const uint8_t* upperHalf) {
  std::string result(text);
  for (char& c : result) {
    auto byte = static_cast<uint8_t>(c);
    if (byte >= 0x80) c = static_cast<char>(upperHalf[byte - 0x80]);
  }
  return result;
}

}  // namespace

TFileSystem& SystemFileSystem() {
  static TPosixFileSystem system;
  return system;
}

unsigned UsableProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::max(1, CPU_COUNT(&set));
}

std::string ConvertOemToAnsi(std::string_view text) { return Translate(text, kOemToAnsi.data()); }

std::optional<std::string> ConvertAnsiToOemExactly(std::string_view text) {
  std::string oem = Translate(text, kAnsiToOem);
  for (size_t i = 0; i < text.size(); ++i) {
    if (oem[i] == '?' && text[i] != '?') return std::nullopt;
  }
  return oem;
}

std::string ConvertAnsiToUtf8(std::string_view text) { return ToUtf8(text, kAnsiUnicode); }
std::string ConvertOemToUtf8(std::string_view text) { return ToUtf8(text, kOemUnicode); }

std::string ConvertUtf8ToAnsi(std::string_view text) {
  std::string result;
  for (size_t at = 0; at < text.size();) {
    uint32_t c = NextUtf8(text, at);
    if (c < 0x80) {
      result += static_cast<char>(c);
      continue;
    }
    const uint16_t* found = std::find(std::begin(kAnsiUnicode), std::end(kAnsiUnicode), c);
    result += found == std::end(kAnsiUnicode) || c == 0xFFFD ? '?' : static_cast<char>(0x80 + (found - kAnsiUnicode));
  }
  return result;
}

}  // namespace ns
