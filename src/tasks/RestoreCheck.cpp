#include "tasks/RestoreCheck.h"

namespace ns {

namespace {

constexpr int FirstWeekday = static_cast<int>(TRestoreCheck::Monday);

}  // namespace

std::string ComposeRestoreCheck(TRestoreCheck check) {
  switch (check) {
    case TRestoreCheck::Never: return {};
    case TRestoreCheck::EveryRun: return "*";
    default: return std::to_string(static_cast<int>(check) - FirstWeekday + 1);
  }
}

TRestoreCheck ParseRestoreCheck(std::string_view text) {
  if (text == "*") return TRestoreCheck::EveryRun;
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '7') {
    return static_cast<TRestoreCheck>(FirstWeekday + text[0] - '1');
  }
  return TRestoreCheck::Never;
}

bool IsRestoreCheckDue(TRestoreCheck check, int isoWeekday) {
  if (check == TRestoreCheck::EveryRun) return true;
  return check != TRestoreCheck::Never && static_cast<int>(check) - FirstWeekday + 1 == isoWeekday;
}

}  // namespace ns
