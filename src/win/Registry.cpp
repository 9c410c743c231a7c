#include "win/Registry.h"

#include "win/RegistryKey.h"

namespace ns {

bool ReadRegistryString(HKEY root, const std::string& subKey, const std::string& valueName,
                        std::string& out) {
  TRegistryKey key;
  if (!key.Open(root, subKey, KEY_QUERY_VALUE)) return false;
  std::optional<std::string> text = key.QueryText(valueName);
  if (!text) return false;
  out = std::move(*text);
  return true;
}

bool WriteRegistryString(HKEY root, const std::string& subKey, const std::string& valueName,
                         const std::string& text) {
  TRegistryKey key;
  return key.Create(root, subKey, KEY_SET_VALUE) && key.WriteText(valueName, text);
}

}  // namespace ns
