#include "tasks/LaunchParameters.h"

#include <charconv>
#include <utility>

#include "base/TextFunctions.h"
#include "platform/InfobaseAddress.h"
#include "tasks/ScramblePassword.h"

namespace ns {

namespace {

constexpr std::string_view Stop = "/";

std::string TrimmedValue(std::string_view text, std::string_view key) {
  return Trim(ValueAfterKey(text, key, Stop));
}

// The values after "/F" and after "/S" joined: only one of them is written.
std::string InfobaseValue(std::string_view text) {
  return Trim(ValueAfterKey(text, "/F", Stop) + ValueAfterKey(text, "/S", Stop));
}

// The text in front of the infobase key, or, without one, in front of the
// first "/": where the version, the marks and "/Days" stand.
std::string_view Header(std::string_view text) {
  auto key = text.find("/F");
  if (key == std::string_view::npos) key = text.find("/S");
  if (key == std::string_view::npos) key = text.find('/');
  return key == std::string_view::npos ? std::string_view() : text.substr(0, key);
}

// The keys a stored text holds after a "/". "DumpIB" and "Days" before
// the one-letter keys, though no "D" key exists: a longer key wins.
constexpr std::string_view Keys[] = {"DumpIB", "Days", "F", "S", "N", "P"};

std::string Backslashed(std::string text) {
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

}  // namespace

TTaskRecord WithBackslashes(TTaskRecord record) {
  std::string base = Backslashed(record.Base);
  // "//nas/bases/shop" is a UNC path only once its slashes are turned.
  if (IsFileInfobase(base)) record.Base = std::move(base);
  record.DumpIB = Backslashed(std::move(record.DumpIB));
  return record;
}

std::string SlashFault(const TTaskRecord& record) {
  const std::pair<std::string_view, const std::string*> fields[] = {
      {"Адрес информационной базы", &record.Base},
      {"Пользователь", &record.User},
      {"Каталог архива", &record.DumpIB},
  };
  for (const auto& [label, value] : fields) {
    if (value->find('/') != std::string::npos) {
      return "Поле «" + std::string(label) +
             "» не может содержать знак «/»: им кончается значение в строке параметров задания.";
    }
  }
  return {};
}

std::string CutValueFragment(std::string_view text) {
  auto beginsKey = [text](size_t slash) {
    std::string_view rest = text.substr(slash + 1);
    for (std::string_view known : Keys) {
      if (rest.substr(0, known.size()) == known) return true;
    }
    return false;
  };
  for (auto slash = text.find('/'); slash != std::string_view::npos; slash = text.find('/', slash + 1)) {
    if (beginsKey(slash)) continue;
    // What was cut off runs up to the next key.
    auto end = text.find('/', slash + 1);
    while (end != std::string_view::npos && !beginsKey(end)) end = text.find('/', end + 1);
    return std::string(text.substr(slash, end == std::string_view::npos ? end : end - slash));
  }
  return {};
}

int RetentionDays(std::string_view text) {
  std::string trimmed = Trim(text);
  std::string_view digits = trimmed;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  return value;
}

bool NamesInfobase(std::string_view text) {
  return text.find("/F") != std::string_view::npos || text.find("/S") != std::string_view::npos;
}

std::string ComposeLaunchParameters(const TTaskRecord& record) {
  bool file = IsFileInfobase(record.Base);
  std::string text = record.Version == 2 ? "8.3" : "8.2";
  if (record.Exclusively && !file) text += '*';
  if (record.AddName) text += '&';
  if (record.Days != 0) text += "/Days" + std::to_string(record.Days);
  text += (file ? "/F" : "/S") + record.Base;
  std::string user = Trim(record.User);
  if (!user.empty()) text += "/N" + user;
  if (!record.Password.empty()) text += "/P" + ScramblePassword(record.Password, user, true);
  text += "/DumpIB" + record.DumpIB;
  return text;
}

TTaskRecord ParseLaunchParameters(std::string_view text, std::string* passwordError) {
  TTaskRecord record;
  std::string header = Trim(Header(text));
  if (header.find("8.3") != std::string::npos) record.Version = PlatformVersion83;
  record.Exclusively = header.find('*') != std::string::npos;
  record.AddName = header.find('&') != std::string::npos;
  record.Days = RetentionDays(ValueAfterKey(header, "/Days", Stop));
  record.Base = InfobaseValue(text);
  record.User = TrimmedValue(text, "/N");
  record.Password = TrimmedValue(text, "/P");
  record.DumpIB = TrimmedValue(text, "/DumpIB");
  try {
    record.Password = ScramblePassword(record.Password, record.User, false);
  } catch (const EConvertError& error) {
    if (!passwordError) throw;
    *passwordError = error.what();
  }
  return record;
}

}  // namespace ns
