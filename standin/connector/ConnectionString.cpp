#include "ConnectionString.h"

#include "StandinError.h"

namespace ns::standin {

namespace {

std::string Unquoted(std::string value) {
  if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

TConnectionString ParseConnectionString(const std::string& text) {
  TConnectionString parsed;
  bool haveFile = false;
  bool haveServer = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(pos, end - pos);
    pos = end + 1;
    size_t equals = part.find('=');
    if (equals == std::string::npos) continue;
    std::string key = part.substr(0, equals);
    std::string value = Unquoted(part.substr(equals + 1));
    if (SameText(key, "File")) {
      haveFile = true;
      parsed.Address.IsFile = true;
      parsed.Address.Folder = value;
    } else if (SameText(key, "Srvr")) {
      haveServer = true;
      parsed.Address.Server = value;
    } else if (SameText(key, "Ref")) {
      parsed.Address.Name = value;
    } else if (SameText(key, "Usr")) {
      parsed.User = value;
    } else if (SameText(key, "Pwd")) {
      parsed.Password = value;
    }
  }
  if (!haveFile && !haveServer) throw EStandinError("Неверная строка соединения: не указана информационная база");
  return parsed;
}

}  // namespace ns::standin
