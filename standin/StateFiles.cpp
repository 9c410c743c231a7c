#include "StateFiles.h"

#include "win/Win32Error.h"

namespace ns::standin {

namespace {
// A fixed name: the designer, the connector in either bitness and either
// version all meet on it.
constexpr const char* kStateMutexName = "NightshelfStandinPlatformState";
}  // namespace

TStateLock::TStateLock() : mutex_(CreateMutexA(nullptr, FALSE, kStateMutexName)) {
  CheckWin32(static_cast<bool>(mutex_), "CreateMutexA");
  // A holder that died (a designer killed by a test) leaves the mutex
  // abandoned; the files it guards are rewritten whole, so going on is safe.
  DWORD wait = WaitForSingleObject(mutex_.get(), INFINITE);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) ThrowLastError("WaitForSingleObject");
}

TStateLock::~TStateLock() { ReleaseMutex(mutex_.get()); }

bool ReadWholeFile(const std::string& path, std::string& text) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    ThrowWin32Error(error, "CreateFileA");
  }
  text.clear();
  char buffer[65536];
  DWORD got = 0;
  for (;;) {
    CheckWin32(ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr), "ReadFile");
    if (got == 0) return true;
    text.append(buffer, got);
  }
}

void WriteWholeFile(const std::string& path, const std::string& text) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileA");
  size_t done = 0;
  while (done < text.size()) {
    DWORD wrote = 0;
    DWORD portion = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1 << 20));
    CheckWin32(WriteFile(file.get(), text.data() + done, portion, &wrote, nullptr), "WriteFile");
    done += wrote;
  }
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace ns::standin
