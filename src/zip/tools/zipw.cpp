// zipw: the ZIP writer from the command line, for trying it by hand, for the
// interoperability tests and for the benchmark against other tools.
//   zipw add ARCHIVE FILE...     prints how many files were written
//   zipw delete ARCHIVE NAME...  prints how many entries were removed
//   zipw count ARCHIVE           prints the number of entries
//   zipw test ARCHIVE            reads every entry back: one line each and a
//                                summary; exit code 0 only when all are sound
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "zip/ZipCheck.h"
#include "zip/ZipWriter.h"

namespace {

int Usage() {
  std::fputs("usage: zipw add ARCHIVE FILE... | zipw delete ARCHIVE NAME... | zipw count ARCHIVE | zipw test ARCHIVE\n",
             stderr);
  return 2;
}

int Test(const std::string& archive) {
  ns::TZipChecker checker(ns::SystemFileSystem(), archive);
  size_t failed = 0;
  for (const ns::TZipEntry& entry : checker.Entries()) {
    const std::string name = ns::ZipWriter::DisplayName(entry);
    if (auto reason = checker.Check(entry)) {
      ++failed;
      std::printf("FAILED  %s: %s\n", name.c_str(), reason->c_str());
    } else {
      std::printf("OK      %s\n", name.c_str());
    }
  }
  const size_t total = checker.Entries().size();
  if (failed == 0) {
    std::printf("%zu entries, all sound\n", total);
  } else {
    std::printf("%zu of %zu entries failed\n", failed, total);
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string command = argv[1];
  ns::ZipWriter writer;
  writer.ZipName = argv[2];
  for (int i = 3; i < argc; ++i) writer.FilesList.push_back(argv[i]);
  try {
    if (command == "add") {
      std::printf("%d\n", writer.Zip());
    } else if (command == "delete") {
      std::printf("%d\n", writer.DeleteEntries());
    } else if (command == "count" && argc == 3) {
      writer.ReadZip();
      std::printf("%d\n", writer.Count());
    } else if (command == "test" && argc == 3) {
      return Test(writer.ZipName);
    } else {
      return Usage();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zipw: %s\n", e.what());
    return 1;
  }
  return 0;
}
