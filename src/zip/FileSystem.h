#pragma once
// What the ZIP writer needs of the operating system, behind one small
// interface: file status in the form the archive records it, plain file I/O,
// the replacement of a file by another, a lock that every process on the
// machine sees, and the processors it may use. Windows and POSIX each implement
// it in a file of their own; tests can put a fault-injecting one in its place.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"

namespace ns {

// Windows attribute bits the writer looks at.
inline constexpr uint32_t kAttributeReadOnly = 0x01;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeArchive = 0x20;

struct TFileStatus {
  uint32_t attributes = 0;  // Windows attribute bits, as GetFileAttributes gives them
  uint16_t dosDate = 0;     // last write, local time, MS-DOS form
  uint16_t dosTime = 0;
  uint64_t size = 0;
  bool IsFolder() const { return (attributes & kAttributeDirectory) != 0; }
};

// An open file. Every failure throws an exception derived from ns::Exception.
class TFile {
 public:
  virtual ~TFile() = default;
  // Fills up to `size` bytes; returns fewer only at the end of the file.
  virtual size_t Read(uint8_t* buffer, size_t size) = 0;
  // Writes all of `data` or throws (a full disk included).
  virtual void Write(const uint8_t* data, size_t size) = 0;
  virtual void Seek(uint64_t position) = 0;
  virtual uint64_t Size() = 0;
  // Cuts the file off at the current position.
  virtual void Truncate() = 0;
  // Makes what was written durable on the disk.
  virtual void Flush() = 0;
};

// Held by one writer at a time, across processes and users; given up when
// the object goes, or by the system when the process that held it dies.
class TLock {
 public:
  virtual ~TLock() = default;
};

class TFileSystem {
 public:
  virtual ~TFileSystem() = default;
  // Empty when nothing of that name exists (or its status cannot be read).
  virtual std::optional<TFileStatus> Status(const std::string& path) = 0;
  virtual std::unique_ptr<TFile> OpenRead(const std::string& path) = 0;
  // Creates a file that did not exist; empty when the name is taken.
  virtual std::unique_ptr<TFile> CreateNew(const std::string& path) = 0;
  // Puts `from` in the place of `to` in one step, replacing whatever `to`
  // was: a reader sees either the old file or the new one, never neither.
  virtual void Replace(const std::string& from, const std::string& to) = 0;
  virtual void Remove(const std::string& path) = 0;
  // Takes the lock named by the file `path` (made for it and gone again once
  // the lock is given up); empty when another holder has it now. Throws when
  // no such file can be made at all (a missing folder, no right to write).
  virtual std::unique_ptr<TLock> TryLock(const std::string& path) = 0;
  // Names (not paths) of what a folder holds, without "." and "..".
  virtual std::vector<std::string> ListFolder(const std::string& path) = 0;
};

// The operating system's own file system.
TFileSystem& SystemFileSystem();

// The system's ANSI and OEM code pages (Windows-1251 and 866 on the systems
// the program is made for) for names inside archives. (Not OemToAnsi: the
// Windows headers take that name for a macro.)
std::string ConvertOemToAnsi(std::string_view text);
// The text in the OEM code page when that page holds every one of its
// characters as it is; empty when it would take a look-alike or a "?"
// (« » become < > by "best fit", which would make two names one).
std::optional<std::string> ConvertAnsiToOemExactly(std::string_view text);
// UTF-8, for names the OEM code page cannot hold. A character the ANSI code
// page lacks becomes "?" on the way back.
std::string ConvertAnsiToUtf8(std::string_view text);
std::string ConvertOemToUtf8(std::string_view text);
std::string ConvertUtf8ToAnsi(std::string_view text);

// Processors this process may run on (its affinity), at least 1: how many
// threads may compress at once.
unsigned UsableProcessorCount();

// The separator of folders in a path of this system.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace ns
