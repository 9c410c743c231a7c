#include "tasks/TaskName.h"

#include "base/CaseFolding.h"

namespace ns {

namespace {

constexpr std::string_view NotAFileName = "Наименование задания не годится для имени файла: ";
constexpr std::string_view ForbiddenCharacters = "\\/:*?\"<>|";

// Windows opens these devices whatever folder and extension go with them.
bool IsDeviceName(std::string_view stem) {
  static constexpr std::string_view devices[] = {"CON", "PRN", "AUX", "NUL"};
  for (std::string_view device : devices) {
    if (SameText1251(stem, device)) return true;
  }
  if (stem.size() != 4 || stem[3] < '1' || stem[3] > '9') return false;
  return SameText1251(stem.substr(0, 3), "COM") || SameText1251(stem.substr(0, 3), "LPT");
}

}  // namespace

std::string TaskNameFault(std::string_view name) {
  std::string reason;
  for (char c : name) {
    auto code = static_cast<unsigned char>(c);
    if (code < 32) {
      reason = "в нём есть управляющий символ (код " + std::to_string(code) + ")";
      break;
    }
    if (ForbiddenCharacters.find(c) != std::string_view::npos) {
      reason = std::string("в нём есть знак «") + c + "»";
      break;
    }
  }
  if (reason.empty() && !name.empty() && name.back() == '.') reason = "оно оканчивается точкой";
  if (reason.empty() && !name.empty() && name.back() == ' ') reason = "оно оканчивается пробелом";
  if (reason.empty()) {
    // Windows looks at the part before the first dot, without its blanks.
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    if (IsDeviceName(stem)) reason = "«" + std::string(stem) + "» — имя устройства Windows";
  }
  return reason.empty() ? std::string() : std::string(NotAFileName) + reason + ".";
}

}  // namespace ns
