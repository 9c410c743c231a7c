#pragma once
// Room on a disk and the removal of a folder with all it holds, for the
// scratch infobase the restore check makes in the temporary folder.
#include <cstdint>
#include <optional>
#include <string>

namespace ns {

// The bytes the current user may still write on the volume of `folder`;
// none when the system cannot tell.
std::optional<uint64_t> FreeBytesAt(const std::string& folder);

// Removes `folder` with everything below it; true when nothing of it is left
// (or there was nothing). Read-only files are removed too.
bool RemoveFolderTree(const std::string& folder);

}  // namespace ns
