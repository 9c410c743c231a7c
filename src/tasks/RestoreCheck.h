#pragma once
// How often a task proves its backup by loading it into a scratch infobase:
// never, after every run, or on one day of the week. Kept in the task key's
// value "RestoreCheck", beside the launch parameter string, so that the
// string and every reader of it stay as they were: absent or empty for
// never, "*" for every run, "1" (Monday) to "7" (Sunday) for one day.
#include <string>
#include <string_view>

namespace ns {

enum class TRestoreCheck { Never, EveryRun, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday, Sunday };

// The value's text; empty for Never.
std::string ComposeRestoreCheck(TRestoreCheck check);

// What a stored text asks for; anything else than the texts above is Never,
// so a value typed by hand can at worst leave a backup unchecked.
TRestoreCheck ParseRestoreCheck(std::string_view text);

// Whether a run on a day of the week (1 Monday ... 7 Sunday) checks.
bool IsRestoreCheckDue(TRestoreCheck check, int isoWeekday);

}  // namespace ns
