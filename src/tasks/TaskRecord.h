#pragma once
// One task's settings: what the editor shows and saves, what the store
// keeps under the task's key, and what the worker runs. The name is the key's;
// the restore check and the copy folder have values of their own beside the
// launch parameter string (LaunchParameters.h), which holds everything else.
#include <string>

#include "platform/PlatformInfo.h"
#include "tasks/RestoreCheck.h"

namespace ns {

struct TTaskRecord {
  // The task's key in the store; it also names the task's dump, log and
  // archives.
  std::string Name;
  PlatformVersion Version = PlatformVersion82;
  // End the infobase's other sessions before the dump; kept for a server
  // infobase only.
  bool Exclusively = false;
  // The task's name goes into the archive's name.
  bool AddName = false;
  // Archives older than this many days are deleted after a run; 0 keeps
  // every archive.
  int Days = 0;
  // A file infobase's folder, or a server's name, a backslash and the
  // infobase's name.
  std::string Base;
  std::string User;
  std::string Password;  // clear text
  std::string DumpIB;    // the archive folder
  // Kept beside the launch parameter string, each in a value of its own.
  TRestoreCheck RestoreCheck = TRestoreCheck::Never;
  // Where the day's archive is copied after each run (another disk, a
  // share); empty for no copy.
  std::string CopyFolder;
};

}  // namespace ns
