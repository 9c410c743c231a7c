#include "win/RegistryKey.h"

#include <algorithm>
#include <cstring>

namespace ns {

bool TRegistryKey::Open(HKEY root, const std::string& path, REGSAM access) {
  return RegOpenKeyExA(root, path.c_str(), 0, access, key_.put()) == ERROR_SUCCESS;
}

bool TRegistryKey::Create(HKEY root, const std::string& path, REGSAM access) {
  return RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                         key_.put(), nullptr) == ERROR_SUCCESS;
}

std::vector<std::string> TRegistryKey::SubKeyNames() const {
  std::vector<std::string> names;
  if (!key_) return names;
  // Key names are at most 255 characters; the key's own figure is asked for
  // all the same, so a longer name is never cut or skipped.
  DWORD longest = 0;
  if (RegQueryInfoKeyA(key_.get(), nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    longest = 255;
  }
  std::string buffer(std::max<DWORD>(longest, 255) + 1, '\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(buffer.size());
    LONG result = RegEnumKeyExA(key_.get(), index, buffer.data(), &length, nullptr, nullptr,
                                nullptr, nullptr);
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(buffer.data(), length);
  }
  return names;
}

std::optional<std::string> TRegistryKey::QueryText(const std::string& name) const {
  if (!key_) return std::nullopt;
  DWORD size = 0;
  if (RegQueryValueExA(key_.get(), name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // One byte more than the data, so that data stored without a terminating
  // NUL still ends in one and is read whole.
  std::string buffer(static_cast<std::size_t>(size) + 1, '\0');
  DWORD length = static_cast<DWORD>(buffer.size());
  if (RegQueryValueExA(key_.get(), name.c_str(), nullptr, nullptr,
                       reinterpret_cast<BYTE*>(buffer.data()), &length) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  buffer[std::min<std::size_t>(length, buffer.size() - 1)] = '\0';
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

std::string TRegistryKey::ReadText(const std::string& name) const {
  return QueryText(name).value_or(std::string());
}

bool TRegistryKey::WriteText(const std::string& name, const std::string& text) const {
  if (!key_) return false;
  return RegSetValueExA(key_.get(), name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool TRegistryKey::DeleteValue(const std::string& name) const {
  if (!key_) return false;
  LSTATUS status = RegDeleteValueA(key_.get(), name.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool RegistryKeyExists(HKEY root, const std::string& path) {
  TRegistryKey key;
  return key.Open(root, path, KEY_QUERY_VALUE);
}

bool DeleteRegistryTree(HKEY root, const std::string& path) {
  if (path.empty()) return false;
  return RegDeleteTreeA(root, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace ns
