#pragma once
// The restore check: the proof that a backup can be restored. The dump is
// copied out of the archive just written (the archive is what is proven,
// not the file it was made from), the platform's designer makes an empty
// file infobase in the temporary folder and loads the dump into it. Whatever
// happens, the scratch infobase, the copied dump and the logs are removed.
#include <windows.h>

#include <cstdint>
#include <string>

namespace ns {

struct TRestoreCheckRequest {
  std::string Executable;   // the designer's command, as the platform registered it
  std::string Archive;      // the archive just written...
  std::string EntryName;    // ...and the dump's entry in it
  std::string ScratchName;  // names the scratch files in the temporary folder
  DWORD TimeLimitMs = INFINITE;  // for each of the designer's two runs
  // Room left in the temporary folder: the copied dump and the infobase made
  // of it need about twice the dump's size.
  uint64_t FreeBytes = 0;
};

enum class TRestoreVerdict {
  Loaded,   // the designer loaded the dump
  Failed,   // it could not: the backup is not proven
  Skipped,  // there was no room to try: the backup stands as it is
};

struct TRestoreCheckOutcome {
  TRestoreVerdict Verdict = TRestoreVerdict::Failed;
  // For the task's log and report, each line ending with CR LF.
  std::string Lines;
};

// Never throws: what fails is the outcome.
TRestoreCheckOutcome CheckByRestore(const TRestoreCheckRequest& request);

}  // namespace ns
