#include "tasks/LaunchParameters.h"

#include <charconv>
#include <utility>

#include "base/TextFunctions.h"
#include "platform/InfobaseAddress.h"
#include "tasks/ScramblePassword.h"

namespace ns {

namespace {

constexpr std::string_view Stop = "/";

// The number a text stands for, or 0 when it is not a whole decimal number
// (blanks around it and a sign allowed), as an empty Days field means 0.
int IntegerOrZero(std::string_view text) {
  std::string trimmed = Trim(text);
  std::string_view digits = trimmed;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  return value;
}

std::string TrimmedValue(std::string_view text, std::string_view key) {
  return Trim(ValueAfterKey(text, key, Stop));
}

// The values after "/F" and after "/S" joined: only one of them is written.
std::string InfobaseValue(std::string_view text) {
  return Trim(ValueAfterKey(text, "/F", Stop) + ValueAfterKey(text, "/S", Stop));
}

struct TMarkers {
  int Version = 1;
  bool Exclusively = false;
  bool AddName = false;
};

TMarkers ReadMarkers(std::string_view prefix) {
  TMarkers markers;
  if (prefix.find("8.3") != std::string_view::npos) markers.Version = 2;
  markers.Exclusively = prefix.find('*') != std::string_view::npos;
  markers.AddName = prefix.find('&') != std::string_view::npos;
  return markers;
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

TTaskParameters SplitTaskParameters(std::string_view text) {
  TTaskParameters values;
  values.Base = InfobaseValue(text);
  values.User = TrimmedValue(text, "/N");
  values.Password = ScramblePassword(TrimmedValue(text, "/P"), values.User, false);
  values.DumpIB = TrimmedValue(text, "/DumpIB");
  return values;
}

std::string ComposeLaunchParameters(const TTaskRecord& record) {
  bool file = IsFileInfobase(record.Base);
  std::string text = record.Version == 2 ? "8.3" : "8.2";
  if (record.Exclusively && !file) text += '*';
  if (record.AddName) text += '&';
  if (int days = IntegerOrZero(record.Days); days != 0) text += "/Days" + std::to_string(days);
  text += (file ? "/F" : "/S") + record.Base;
  std::string user = Trim(record.User);
  if (!user.empty()) text += "/N" + user;
  if (!record.Password.empty()) text += "/P" + ScramblePassword(record.Password, user, true);
  text += "/DumpIB" + record.DumpIB;
  return text;
}

TTaskRecord ParseLaunchParameters(std::string_view text, std::string* passwordError) {
  TTaskRecord record;
  auto slash = text.find('/');
  if (slash != std::string_view::npos && slash > 0) {
    TMarkers markers = ReadMarkers(Trim(text.substr(0, slash)));
    record.Version = markers.Version;
    record.Exclusively = markers.Exclusively;
    record.AddName = markers.AddName;
  }
  record.Base = InfobaseValue(text);
  record.User = TrimmedValue(text, "/N");
  record.Password = TrimmedValue(text, "/P");
  record.DumpIB = TrimmedValue(text, "/DumpIB");
  record.Days = TrimmedValue(text, "/Days");
  try {
    record.Password = ScramblePassword(record.Password, record.User, false);
  } catch (const EConvertError& error) {
    if (!passwordError) throw;
    *passwordError = error.what();
  }
  return record;
}

bool ReadWorkerParameters(std::string_view text, TWorkerParameters& parameters) {
  auto key = text.find("/F");
  if (key == std::string_view::npos) key = text.find("/S");
  if (key == std::string_view::npos) return false;
  TWorkerParameters read;
  read.Header = Trim(text.substr(0, key));
  TMarkers markers = ReadMarkers(read.Header);
  read.Version = markers.Version;
  read.Exclusively = markers.Exclusively;
  read.AddName = markers.AddName;
  read.Days = IntegerOrZero(ValueAfterKey(read.Header, "/Days", Stop));
  TTaskParameters values = SplitTaskParameters(text);
  read.Base = std::move(values.Base);
  read.User = std::move(values.User);
  read.Password = std::move(values.Password);
  read.DumpIB = std::move(values.DumpIB);
  parameters = std::move(read);
  return true;
}

}  // namespace ns
