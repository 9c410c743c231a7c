#pragma once
// The shared state is plain files read and rewritten whole. The connector
// runs inside the caller's process and the designer in its own, so every
// read-modify-write happens under one named mutex.
#include <string>

#include "win/UniqueHandle.h"

namespace ns::standin {

// Holds the machine-wide state mutex for its lifetime.
class TStateLock {
 public:
  TStateLock();
  ~TStateLock();
  TStateLock(const TStateLock&) = delete;
  TStateLock& operator=(const TStateLock&) = delete;

 private:
  UniqueHandle mutex_;
};

// False when the file does not exist; throws on any other failure.
bool ReadWholeFile(const std::string& path, std::string& text);
void WriteWholeFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

}  // namespace ns::standin
