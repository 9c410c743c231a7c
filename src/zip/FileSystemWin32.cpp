// The Windows file system for the ZIP writer: the A functions throughout, so
// paths are ANSI text like every other text of the program.
#include <windows.h>

#include <algorithm>

#include "win/UniqueHandle.h"
#include "win/Win32Error.h"
#include "zip/FileSystem.h"

namespace ns {
namespace {

// How long the final move of a new archive over the old one is retried while
// another program holds the old one, and how often: long enough for a
// reader that looks at the archive for a moment, short enough that a file
// held for good fails the run within seconds rather than hours.
constexpr DWORD kReplaceWaitMs = 10000;
constexpr DWORD kReplaceRetryMs = 200;

class TWin32File final : public TFile {
 public:
  explicit TWin32File(UniqueFile handle) : handle_(std::move(handle)) {}

  size_t Read(uint8_t* buffer, size_t size) override {
    size_t done = 0;
    while (done < size) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
      DWORD got = 0;
      CheckWin32(::ReadFile(handle_.get(), buffer + done, chunk, &got, nullptr), "ReadFile");
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  void Write(const uint8_t* data, size_t size) override {
    while (size > 0) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
      DWORD written = 0;
      CheckWin32(::WriteFile(handle_.get(), data, chunk, &written, nullptr), "WriteFile");
      if (written == 0) ThrowWin32Error(ERROR_WRITE_FAULT, "WriteFile");
      data += written;
      size -= written;
    }
  }

  void Seek(uint64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    CheckWin32(::SetFilePointerEx(handle_.get(), to, nullptr, FILE_BEGIN), "SetFilePointerEx");
  }

  uint64_t Size() override {
    LARGE_INTEGER size;
    CheckWin32(::GetFileSizeEx(handle_.get(), &size), "GetFileSizeEx");
    return static_cast<uint64_t>(size.QuadPart);
  }

  void Truncate() override { CheckWin32(::SetEndOfFile(handle_.get()), "SetEndOfFile"); }

  void Flush() override { CheckWin32(::FlushFileBuffers(handle_.get()), "FlushFileBuffers"); }

 private:
  UniqueFile handle_;
};

class TWin32Lock final : public TLock {
 public:
  explicit TWin32Lock(UniqueFile handle) : handle_(std::move(handle)) {}

 private:
  UniqueFile handle_;
};

bool FileListed(const std::string& path) {
  WIN32_FIND_DATAA found;
  return static_cast<bool>(UniqueFind(::FindFirstFileA(path.c_str(), &found)));
}

class TWin32FileSystem final : public TFileSystem {
 public:
  std::optional<TFileStatus> Status(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    TFileStatus status;
    status.attributes = data.dwFileAttributes;
    status.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    FILETIME local;
    WORD date = 0, time = 0;
    // Times before 1980 have no MS-DOS form; they become its first day.
    if (::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) && ::FileTimeToDosDateTime(&local, &date, &time)) {
      status.dosDate = date;
      status.dosTime = time;
    } else {
      status.dosDate = (1 << 5) | 1;
      status.dosTime = 0;
    }
    return status;
  }

  std::unique_ptr<TFile> OpenRead(const std::string& path) override {
    // Delete sharing: while we read an archive (checking an entry, copying
    // the others into a new one), its next writer may still move its new
    // archive over it; we go on reading the old one.
    UniqueFile handle(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) ThrowLastError("CreateFileA");
    return std::make_unique<TWin32File>(std::move(handle));
  }

  std::unique_ptr<TFile> CreateNew(const std::string& path) override {
    UniqueFile handle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
      DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return nullptr;
      ThrowWin32Error(error, "CreateFileA");
    }
    return std::make_unique<TWin32File>(std::move(handle));
  }

  void Replace(const std::string& from, const std::string& to) override {
    // A program that opened the archive without delete sharing (a copy
    // tool, Explorer's preview, an antivirus scan) refuses the move while it
    // holds it, mostly for a moment: a night's backup is worth a short wait.
    for (DWORD waited = 0;;) {
      if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return;
      DWORD error = ::GetLastError();
      bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
      if (!held || waited >= kReplaceWaitMs) ThrowWin32Error(error, "MoveFileExA");
      ::Sleep(kReplaceRetryMs);
      waited += kReplaceRetryMs;
    }
  }

  void Remove(const std::string& path) override { CheckWin32(::DeleteFileA(path.c_str()), "DeleteFileA"); }

  std::unique_ptr<TLock> TryLock(const std::string& path) override {
    // A file nobody may share: a second opener is refused at once, whatever
    // its session or user. The system deletes it when its handle closes,
    // also when the holder dies.
    UniqueFile handle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (handle) return std::make_unique<TWin32Lock>(std::move(handle));
    DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return nullptr;
    // The file of a holder that has just let go is refused until its
    // deletion is done; a folder we may not write to refuses it too, but
    // then there is no such file.
    if (error == ERROR_ACCESS_DENIED && FileListed(path)) return nullptr;
    ThrowWin32Error(error, "CreateFileA");
  }

  std::vector<std::string> ListFolder(const std::string& path) override {
    WIN32_FIND_DATAA found;
    UniqueFind find(::FindFirstFileA((path + "\\*").c_str(), &found));
    if (!find) ThrowLastError("FindFirstFileA");
    std::vector<std::string> names;
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(std::move(name));
    } while (::FindNextFileA(find.get(), &found));
    DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) ThrowWin32Error(error, "FindNextFileA");
    return names;
  }
};

std::string Convert(std::string_view text, BOOL(WINAPI* convert)(LPCSTR, LPSTR, DWORD)) {
  std::string result(text);
  if (!result.empty()) convert(result.c_str(), result.data(), static_cast<DWORD>(result.size()));
  return result;
}

std::wstring ToWide(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// `usedDefault` only where the code page allows it (not for UTF-8).
std::string FromWide(const std::wstring& wide, UINT codePage, DWORD flags, BOOL* usedDefault) {
  if (wide.empty()) return {};
  int size = static_cast<int>(wide.size());
  int length = ::WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, usedDefault);
  std::string text(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(), length, nullptr, usedDefault);
  return text;
}

}  // namespace

TFileSystem& SystemFileSystem() {
  static TWin32FileSystem system;
  return system;
}

unsigned UsableProcessorCount() {
  DWORD_PTR process = 0, system = 0;
  if (!::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) || process == 0) return 1;
  unsigned count = 0;
  for (; process != 0; process &= process - 1) ++count;
  return count;
}

std::string ConvertOemToAnsi(std::string_view text) { return Convert(text, ::OemToCharBuffA); }

std::optional<std::string> ConvertAnsiToOemExactly(std::string_view text) {
  // No best fit: a character the OEM page lacks must show, not turn into a
  // look-alike. And the way back must give the same characters again.
  std::wstring wide = ToWide(text, CP_ACP);
  BOOL usedDefault = FALSE;
  std::string oem = FromWide(wide, CP_OEMCP, WC_NO_BEST_FIT_CHARS, &usedDefault);
  if (usedDefault || ToWide(oem, CP_OEMCP) != wide) return std::nullopt;
  return oem;
}

std::string ConvertAnsiToUtf8(std::string_view text) { return FromWide(ToWide(text, CP_ACP), CP_UTF8, 0, nullptr); }
std::string ConvertOemToUtf8(std::string_view text) { return FromWide(ToWide(text, CP_OEMCP), CP_UTF8, 0, nullptr); }
std::string ConvertUtf8ToAnsi(std::string_view text) {
  BOOL usedDefault = FALSE;
  return FromWide(ToWide(text, CP_UTF8), CP_ACP, WC_NO_BEST_FIT_CHARS, &usedDefault);
}

}  // namespace ns
