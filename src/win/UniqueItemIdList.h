#pragma once
// A shell item list (a folder as the shell names it), owned: the shell
// allocates it with the COM task allocator and leaves the freeing to us.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "win/UniqueHandle.h"

namespace ns {

namespace traits {
struct ItemIdList {
  using Type = LPITEMIDLIST;
  static Type Empty() { return nullptr; }
  static void Close(Type list) { ::CoTaskMemFree(list); }
};
}  // namespace traits

using UniqueItemIdList = UniqueResource<traits::ItemIdList>;

}  // namespace ns
