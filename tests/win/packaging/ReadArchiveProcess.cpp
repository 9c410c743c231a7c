// A reader of an archive in a process of its own: a backup check, a copy
// tool. Arguments: the archive, how it opens it ("program": as the
// program's own writer and checker do; "plain": read and write sharing but
// no delete sharing, as many tools do), the name of an event it sets once
// the archive is open, and how long it then holds it (ms). Exit code 0 when
// everything it read was sound.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "win/UniqueHandle.h"
#include "zip/ZipCheck.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const std::string archive = argv[1], mode = argv[2];
  ns::UniqueHandle opened(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]));
  if (!opened) return 3;
  try {
    if (mode == "program") {
      ns::TZipChecker checker(ns::SystemFileSystem(), archive);
      SetEvent(opened.get());
      Sleep(static_cast<DWORD>(std::atoi(argv[4])));
      for (const ns::TZipEntry& entry : checker.Entries()) {
        if (auto fault = checker.Check(entry)) {
          std::fprintf(stderr, "%s\n", fault->c_str());
          return 1;
        }
      }
      return 0;
    }
    ns::UniqueFile held(CreateFileA(archive.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!held) return 4;
    SetEvent(opened.get());
    Sleep(static_cast<DWORD>(std::atoi(argv[4])));
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
