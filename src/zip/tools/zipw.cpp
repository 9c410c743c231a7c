// zipw: the ZIP writer from the command line, for trying it by hand, for the
// interoperability tests and for the benchmark against other tools.
//   zipw add ARCHIVE FILE...     prints how many files were written
//   zipw delete ARCHIVE NAME...  prints how many entries were removed
//   zipw count ARCHIVE           prints the number of entries
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "zip/ZipWriter.h"

namespace {

int Usage() {
  std::fputs("usage: zipw add ARCHIVE FILE... | zipw delete ARCHIVE NAME... | zipw count ARCHIVE\n", stderr);
  return 2;
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
    } else {
      return Usage();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zipw: %s\n", e.what());
    return 1;
  }
  return 0;
}
