#include "win/FileSpace.h"

#include <windows.h>

#include "win/UniqueHandle.h"

namespace ns {

std::optional<uint64_t> FreeBytesAt(const std::string& folder) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

bool RemoveFolderTree(const std::string& folder) {
  DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND ||
                                                     GetLastError() == ERROR_PATH_NOT_FOUND;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // A file, or a link to a folder elsewhere: only the name goes.
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(folder.c_str()) != 0
                                                   : DeleteFileA(folder.c_str()) != 0;
  }
  bool removed = true;
  WIN32_FIND_DATAA found;
  UniqueFind search(FindFirstFileA((folder + "\\*").c_str(), &found));
  if (search) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      removed = RemoveFolderTree(folder + "\\" + name) && removed;
    } while (FindNextFileA(search.get(), &found));
  }
  SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryA(folder.c_str()) && removed;
}

}  // namespace ns
