#include "FileInfobase.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdio>

#include "DumpReader.h"
#include "DumpWriter.h"
#include "IniFile.h"
#include "PlatformState.h"
#include "StandinError.h"
#include "win/UniqueHandle.h"
#include "win/Win32Error.h"

namespace ns::standin {

namespace {

constexpr const char* kLoadSuffix = ".load";

std::string DataFile(const std::string& folder) { return folder + "\\" + kDataFileName; }

std::string HeaderBlock(const std::string& text) {
  std::string header = "[" + std::string(kInfobaseHeaderSection) + "]\r\n" + text;
  if (header.size() >= kInfobaseHeaderSize) throw EStandinError("Слишком длинное описание информационной базы");
  header.resize(kInfobaseHeaderSize, '\0');
  return header;
}

void MoveTo(HANDLE file, uint64_t position) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(position);
  CheckWin32(SetFilePointerEx(file, distance, nullptr, FILE_BEGIN), "SetFilePointerEx");
}

// Each folder of the path that is not there yet, from the top down.
void MakeFolders(const std::string& folder) {
  size_t start = 0;
  if (folder.compare(0, 2, "\\\\") == 0) {
    // \\server\share is no folder to make.
    start = folder.find('\\', 2);
    start = start == std::string::npos ? folder.size() : folder.find('\\', start + 1);
    if (start == std::string::npos) start = folder.size();
  } else if (folder.size() >= 2 && folder[1] == ':') {
    start = 2;
  }
  for (size_t slash = folder.find('\\', start + 1); ; slash = folder.find('\\', slash + 1)) {
    std::string part = folder.substr(0, slash);
    if (!part.empty() && !FolderExists(part) && !CreateDirectoryA(part.c_str(), nullptr)) {
      DWORD error = GetLastError();
      // Made by someone else meanwhile, or a file of that name.
      if (!FolderExists(part)) {
        throw EStandinError("Не удалось создать каталог информационной базы " + folder + ": " +
                            SystemErrorText(error));
      }
    }
    if (slash == std::string::npos) break;
  }
  if (!FolderExists(folder)) {
    throw EStandinError("Не удалось создать каталог информационной базы " + folder + ": " +
                        SystemErrorText(ERROR_PATH_NOT_FOUND));
  }
}

// The data file being written; removed unless it was put in place.
class TLoadFile {
 public:
  explicit TLoadFile(std::string path) : path_(std::move(path)) {
    file_.reset(CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) Fail(GetLastError());
  }
  ~TLoadFile() {
    file_.reset();
    if (!kept_) DeleteFileA(path_.c_str());
  }

  void Append(const char* data, size_t size) {
    try {
      if (data) {
        WriteAll(file_.get(), data, size);
      } else {
        if (!sparse_) {
          DWORD returned = 0;
          DeviceIoControl(file_.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
          sparse_ = true;
        }
        LARGE_INTEGER distance;
        distance.QuadPart = static_cast<LONGLONG>(size);
        CheckWin32(SetFilePointerEx(file_.get(), distance, nullptr, FILE_CURRENT), "SetFilePointerEx");
      }
    } catch (const EWin32Error& error) {
      Fail(error.Code());
    }
  }

  // Ends the file at `size` with `header` at its start and puts it in
  // place of `target`.
  void Commit(uint64_t size, const std::string& header, const std::string& target) {
    try {
      MoveTo(file_.get(), size);
      CheckWin32(SetEndOfFile(file_.get()), "SetEndOfFile");
      MoveTo(file_.get(), 0);
      WriteAll(file_.get(), header.data(), header.size());
    } catch (const EWin32Error& error) {
      Fail(error.Code());
    }
    file_.reset();
    if (!MoveFileExA(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) Fail(GetLastError());
    kept_ = true;
  }

 private:
  [[noreturn]] void Fail(DWORD code) {
    throw EStandinError("Ошибка записи информационной базы " + path_ + ": " + SystemErrorText(code));
  }

  std::string path_;
  UniqueFile file_;
  bool sparse_ = false;
  bool kept_ = false;
};

}  // namespace

std::string InfobaseFolder(std::string folder) {
  while (folder.size() > 1 && folder.back() == '\\' && !(folder.size() == 3 && folder[1] == ':')) {
    folder.pop_back();
  }
  return folder;
}

void CreateFileInfobase(const std::string& folder) {
  if (folder.empty()) throw EStandinError("Не указан каталог информационной базы");
  MakeFolders(folder);
  std::string path = DataFile(folder);
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
      throw EStandinError("Информационная база уже существует: " + folder);
    }
    throw EStandinError("Ошибка записи файла базы данных " + path + ": " + SystemErrorText(error));
  }
  try {
    std::string header = HeaderBlock("State=Empty\r\n");
    WriteAll(file.get(), header.data(), header.size());
  } catch (const EWin32Error& error) {
    file.reset();
    DeleteFileA(path.c_str());
    throw EStandinError("Ошибка записи файла базы данных " + path + ": " + SystemErrorText(error.Code()));
  }
}

void LoadFileInfobase(const std::string& folder, const std::string& dumpPath) {
  std::string target = DataFile(folder);
  TLoadFile load(target + kLoadSuffix);
  // Room for the header, written once the dump is known to be sound.
  std::string placeholder(kInfobaseHeaderSize, '\0');
  load.Append(placeholder.data(), placeholder.size());
  TDumpSummary dump = ReadDump(dumpPath, [&load](const char* data, size_t size) { load.Append(data, size); });
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08X", dump.Crc);
  std::string header = HeaderBlock("State=Loaded\r\nDump=" + dump.Title + "\r\nDumpSize=" +
                                   std::to_string(dump.Size) + "\r\nBlocks=" + std::to_string(dump.Blocks) +
                                   "\r\nCRC32=" + crc + "\r\n");
  load.Commit(kInfobaseHeaderSize + dump.Size, header, target);
}

uint64_t LoadedDumpSize(const std::string& folder, uint64_t fallback) {
  UniqueFile file(CreateFileA(DataFile(folder).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  if (!file) return fallback;
  std::string header(kInfobaseHeaderSize, '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), header.data(), static_cast<DWORD>(header.size()), &got, nullptr)) return fallback;
  header.resize(got);
  header.resize(std::min(header.size(), header.find('\0')));
  TIniFile parsed = TIniFile::Parse(header);
  TIniSection* section = parsed.First(kInfobaseHeaderSection);
  if (!section || !SameText(section->Get("State"), "Loaded")) return fallback;
  return ParseNumber(section->Get("DumpSize"), fallback);
}

}  // namespace ns::standin
