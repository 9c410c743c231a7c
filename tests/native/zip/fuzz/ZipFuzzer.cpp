// libFuzzer target: the writer's reading, updating and pruning of damaged
// archives, and the check of their entries. No input may crash them or make
// them read outside the file; a refused entry comes with its reason; an
// operation that fails leaves the archive byte for byte as it was and no
// temporary file; one that succeeds leaves an archive the writer reads back
// with the expected count.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "zip/ZipCheck.h"
#include "zip/ZipWriter.h"

namespace {

// A folder of its own on tmpfs, removed with its files when the run ends.
class TScratch {
 public:
  TScratch() {
    char pattern[] = "/dev/shm/zipfuzz-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    path_ = pattern;
  }
  ~TScratch() {
    for (const auto& name : ns::SystemFileSystem().ListFolder(path_)) ::unlink((path_ + "/" + name).c_str());
    ::rmdir(path_.c_str());
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

const std::string& Folder() {
  static TScratch scratch;
  return scratch.Path();
}

void Put(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
}

std::string Get(const std::string& path) {
  auto file = ns::SystemFileSystem().OpenRead(path);
  std::string content(file->Size(), '\0');
  file->Read(reinterpret_cast<uint8_t*>(content.data()), content.size());
  return content;
}

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

// Runs one operation on a fresh copy of the input and checks what it left.
template <typename Operation>
void Try(const std::string& archive, const uint8_t* data, size_t size, Operation operation) {
  Put(archive, data, size);
  int expected = 0;
  try {
    expected = operation();
  } catch (const ns::Exception&) {
    Require(Get(archive) == std::string(reinterpret_cast<const char*>(data), size), "failed and changed");
    Require(ns::SystemFileSystem().ListFolder(Folder()).size() == 2, "failed and left a file");
    return;
  }
  ns::ZipWriter reader;
  reader.ZipName = archive;
  reader.ReadZip();
  Require(reader.Count() == expected, "count after the operation");
  Require(ns::SystemFileSystem().ListFolder(Folder()).size() == 2, "left a file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string archive = Folder() + "/fuzz.zip";
  const std::string added = Folder() + "/added.txt";
  static bool once = [&] {
    Put(added, reinterpret_cast<const uint8_t*>("added entry\n"), 12);
    return true;
  }();
  (void)once;

  int count = -1;
  Put(archive, data, size);
  try {
    ns::ZipWriter reader;
    reader.ZipName = archive;
    reader.ReadZip();
    count = reader.Count();
  } catch (const ns::Exception&) {
  }
  if (count >= 0) {
    ns::TZipChecker checker(ns::SystemFileSystem(), archive);
    for (const ns::TZipEntry& entry : checker.Entries()) {
      const auto reason = checker.Check(entry);
      Require(!reason || !reason->empty(), "an entry refused without a reason");
    }
  }

  Try(archive, data, size, [&] {
    ns::ZipWriter writer;
    writer.ZipName = archive;
    writer.FilesList = {added};
    writer.ZipAction = ns::zaReplace;
    int written = writer.Zip();
    ns::ZipWriter reader;
    reader.ZipName = archive;
    reader.ReadZip();
    Require(written == 1, "the file was not added");
    return reader.Count();
  });

  Try(archive, data, size, [&] {
    ns::ZipWriter writer;
    writer.ZipName = archive;
    writer.FilesList = {"added.txt", "a", "-"};
    int removed = writer.DeleteEntries();
    Require(count < 0 || removed <= count, "removed more than there was");
    return count - removed;
  });
  return 0;
}
