#include "win/TempFolder.h"

#include <windows.h>

#include "win/Win32Error.h"

namespace ns {

std::string TempFilePath(const std::string& fileName) {
  // Sized by asking: a folder longer than a buffer chosen here must not
  // shrink to nothing and leave a bare name, which the designer would
  // resolve against its own current folder. Its full length lets the
  // worker refuse a path too long for the system instead.
  std::string folder(GetTempPathA(0, nullptr), '\0');
  DWORD length = GetTempPathA(static_cast<DWORD>(folder.size()), folder.data());
  if (length == 0 || length >= folder.size()) ThrowLastError("GetTempPathA");
  folder.resize(length);
  return folder + fileName;
}

}  // namespace ns
