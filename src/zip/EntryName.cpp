#include "zip/EntryName.h"

#include <algorithm>

#include "zip/FileSystem.h"

namespace ns {

TStoredName StoreEntryName(std::string_view name) {
  TStoredName stored;
  if (auto oem = ConvertAnsiToOemExactly(name)) {
    stored.bytes = std::move(*oem);
  } else {
    stored.bytes = ConvertAnsiToUtf8(name);
    stored.flags = zipformat::kFlagUtf8Name;
  }
  std::replace(stored.bytes.begin(), stored.bytes.end(), '\\', '/');
  return stored;
}

std::string DisplayEntryName(std::string_view stored, uint16_t flags) {
  std::string name = flags & zipformat::kFlagUtf8Name ? ConvertUtf8ToAnsi(stored) : ConvertOemToAnsi(stored);
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

std::string EntryNameKey(std::string_view stored, uint16_t flags) {
  return FoldedEntryName(flags & zipformat::kFlagUtf8Name ? std::string(stored) : ConvertOemToUtf8(stored));
}

}  // namespace ns
