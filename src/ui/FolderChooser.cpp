#include "ui/FolderChooser.h"

#include <shlobj.h>

#include "win/UniqueItemIdList.h"

namespace ns {

std::string BrowseForFolder(HWND owner) {
  UniqueItemIdList root;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, root.put());
  char displayName[MAX_PATH] = {};
  BROWSEINFOA browse = {};
  browse.hwndOwner = owner;
  browse.pidlRoot = root.get();
  browse.pszDisplayName = displayName;
  browse.lpszTitle = "Выберите каталог";
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  UniqueItemIdList chosen(SHBrowseForFolderA(&browse));
  char path[MAX_PATH] = {};
  if (!chosen || !SHGetPathFromIDListA(chosen.get(), path)) return {};
  return path;
}

}  // namespace ns
