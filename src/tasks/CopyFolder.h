#pragma once
// The copy folder's rule in the editor: a second copy in the archive folder
// itself would replace the archive it copies and save nothing from the disk.
#include <string>

#include "tasks/TaskRecord.h"

namespace ns {

// The message when the record's copy folder is its archive folder (letter
// case, "/" for "\" and a closing backslash aside); empty otherwise, and for
// a record without a copy folder.
std::string CopyFolderFault(const TTaskRecord& record);

}  // namespace ns
