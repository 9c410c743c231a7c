#pragma once
// An open registry key and the few operations the program performs on one.
// Failures are reported through results, not exceptions: a missing key or
// value is an ordinary state of the task store, not an error.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "win/UniqueHandle.h"

namespace ns {

class TRegistryKey {
 public:
  TRegistryKey() = default;

  // Opens an existing key with the given access; false (and the key closed)
  // when it does not exist or cannot be opened.
  bool Open(HKEY root, const std::string& path, REGSAM access);

  // Opens the key, creating it and any missing parents as non-volatile keys.
  bool Create(HKEY root, const std::string& path, REGSAM access);

  bool IsOpen() const { return static_cast<bool>(key_); }
  HKEY Get() const { return key_.get(); }
  void Close() { key_.reset(); }

  // Names of the sub-keys in the order the registry lists them.
  std::vector<std::string> SubKeyNames() const;

  // A value read as text, whatever its registry type: its data up to the
  // first NUL, or all of it when it holds none. Empty optional when the value
  // is absent or cannot be read. An empty name is the default value.
  std::optional<std::string> QueryText(const std::string& name) const;

  // QueryText with an absent value read as empty text.
  std::string ReadText(const std::string& name) const;

  // Stores `text` as REG_SZ: its bytes and a terminating NUL.
  bool WriteText(const std::string& name, const std::string& text) const;

  // Removes the value; true when it is gone, or was never there.
  bool DeleteValue(const std::string& name) const;

 private:
  UniqueKey key_;
};

bool RegistryKeyExists(HKEY root, const std::string& path);

// Deletes the key with every sub-key and value below it. Refuses an empty
// path, which would name the root itself.
bool DeleteRegistryTree(HKEY root, const std::string& path);

}  // namespace ns
