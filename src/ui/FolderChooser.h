#pragma once
// The shell's folder chooser, as the editor's "..." buttons open it.
#include <windows.h>

#include <string>

namespace ns {

// The chooser over the whole name space, owned by `owner`: the chosen
// folder's path, or empty text when the user cancelled (or chose something
// that is not a file-system folder).
std::string BrowseForFolder(HWND owner);

}  // namespace ns
