// One more process packing a dump: started by the packaging tests beside
// their own, so that two writers of one archive really are two processes.
// Arguments: archive folder, task name, dump file, the name of an event that
// says when to start (all start at once). Exit code 0 when the dump was
// packed; otherwise the reason on the standard error.
#include <windows.h>

#include <cstdio>

#include "backup/Packaging.h"
#include "win/UniqueHandle.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  ns::UniqueHandle start(OpenEventA(SYNCHRONIZE, FALSE, argv[4]));
  if (!start || WaitForSingleObject(start.get(), 30000) != WAIT_OBJECT_0) return 3;
  ns::TPackOutcome outcome = ns::PackDump(argv[1], argv[2], false, argv[3], {2026, 12, 6});
  if (!outcome.Packed) std::fprintf(stderr, "%s\n", outcome.Failure.c_str());
  return outcome.Packed ? 0 : 1;
}
