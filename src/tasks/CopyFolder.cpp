#include "tasks/CopyFolder.h"

#include "base/CaseFolding.h"
#include "base/TextFunctions.h"

namespace ns {

namespace {

std::string ComparableFolder(const std::string& folder) {
  std::string text = Trim(folder);
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  while (text.size() > 1 && text.back() == '\\') text.pop_back();
  return text;
}

}  // namespace

std::string CopyFolderFault(const TTaskRecord& record) {
  if (Trim(record.CopyFolder).empty()) return {};
  if (!SameText1251(ComparableFolder(record.CopyFolder), ComparableFolder(record.DumpIB))) return {};
  return "Каталог копии архива совпадает с каталогом архива: копия должна лежать в другом месте.";
}

}  // namespace ns
