#include "app/RefreshMessage.h"

#include <map>
#include <mutex>
#include <utility>

namespace ns {

namespace {

struct TKeptSelections {
  std::mutex Lock;
  // Tags count up from a value no small number a stranger might post is
  // likely to hit; they come back only after 2^32 (2^64) saves.
  LPARAM Next = 0x5A17;
  std::map<std::pair<HWND, LPARAM>, std::string> Names;
};

TKeptSelections& Kept() {
  static TKeptSelections kept;
  return kept;
}

}  // namespace

LPARAM KeepRefreshSelection(HWND window, const std::string& name) {
  TKeptSelections& kept = Kept();
  std::lock_guard hold(kept.Lock);
  LPARAM tag = kept.Next++;
  if (tag == 0) tag = kept.Next++;
  kept.Names[{window, tag}] = name;
  return tag;
}

bool TakeRefreshSelection(HWND window, LPARAM tag, std::string& name) {
  TKeptSelections& kept = Kept();
  std::lock_guard hold(kept.Lock);
  auto found = kept.Names.find({window, tag});
  if (found == kept.Names.end()) return false;
  name = std::move(found->second);
  kept.Names.erase(found);
  return true;
}

bool PostRefreshSelecting(HWND window, const std::string& name) {
  LPARAM tag = KeepRefreshSelection(window, name);
  if (PostMessageA(window, WM_REFRESH_TASKS, 0, tag)) return true;
  std::string dropped;
  TakeRefreshSelection(window, tag, dropped);
  return false;
}

}  // namespace ns
