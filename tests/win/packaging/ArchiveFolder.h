#pragma once
// A task's archive folder for the tests: real files and real archives in a
// folder of the test's own (its path has Cyrillic letters, as archive folders
// often do), dump files with chosen sizes and times, and a look into what
// each archive holds.
#include <windows.h>

#include <string>
#include <vector>

namespace ns::test {

// The folder of the running test program, with its trailing backslash: its
// helper programs are there too.
std::string ProgramFolder();

class TArchiveFolder {
 public:
  // C:\Архивы\<test suite>.<test>\, created empty, and a scratch folder
  // for dumps beside it.
  TArchiveFolder();

  // The folder with its trailing backslash.
  const std::string& Path() const { return path_; }

  // Writes a dump file "<taskName>.dt" of `size` bytes last written at
  // `stamp` (a local time "yyyy-mm-dd hh:mm:ss") into the scratch folder;
  // returns its path.
  std::string Dump(const std::string& taskName, size_t size, const std::string& stamp = "2026-12-06 03:00:00");
  // The same with random letters of a small alphabet: many short matches,
  // so that compressing it takes a while.
  std::string NoisyDump(const std::string& taskName, size_t size);

  // An archive `name` in the folder holding one entry per task name.
  void Archive(const std::string& name, const std::vector<std::string>& taskNames);
  // A file `name` in the folder with these bytes.
  void File(const std::string& name, const std::string& bytes);

  // The entry names of the archive (sorted), "<no file>" when it does not
  // exist, "<unreadable>" when it is no archive.
  std::vector<std::string> Entries(const std::string& name) const;
  // The uncompressed size of the archive's entry, or -1.
  long long EntrySize(const std::string& name, const std::string& entry) const;
  // The file's bytes ("" when missing).
  std::string Bytes(const std::string& name) const;
  // The names of the files in the folder (sorted).
  std::vector<std::string> Files() const;

 private:
  std::string path_;
  std::string scratch_;
};

}  // namespace ns::test
