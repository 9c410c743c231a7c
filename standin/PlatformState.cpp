#include "PlatformState.h"

#include "StandinError.h"

namespace ns::standin {

namespace {

std::string WithoutPort(const std::string& address) { return address.substr(0, address.find(':')); }

std::string Field(const std::string& text, size_t index) {
  size_t begin = 0;
  for (size_t i = 0; i < index; ++i) {
    begin = text.find(',', begin);
    if (begin == std::string::npos) return {};
    ++begin;
  }
  size_t end = text.find(',', begin);
  std::string field = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  size_t first = field.find_first_not_of(' ');
  size_t last = field.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : field.substr(first, last - first + 1);
}

// "name:password" lists: the name compares without regard to case, the
// password exactly.
bool Listed(const std::vector<std::string>& entries, const std::string& user, const std::string& password) {
  for (const std::string& entry : entries) {
    size_t colon = entry.find(':');
    std::string name = entry.substr(0, colon);
    std::string secret = colon == std::string::npos ? std::string() : entry.substr(colon + 1);
    if (SameText(name, user) && secret == password) return true;
  }
  return false;
}

}  // namespace

std::string TInfobaseAddress::Text() const { return IsFile ? Folder : Server + "\\" + Name; }

TPlatformState::TPlatformState(const std::string& statePath) : statePath_(statePath) {
  std::string text;
  if (ReadWholeFile(statePath_, text)) state_ = TIniFile::Parse(text);
  if (state_.Sections.empty()) state_.Sections.push_back({});
}

TIniSection& TPlatformState::Cluster() { return Section("Cluster"); }

TIniSection& TPlatformState::Section(const std::string& name) {
  if (TIniSection* section = state_.First(name)) return *section;
  state_.Sections.push_back({name, {}});
  return state_.Sections.back();
}

std::vector<TIniSection*> TPlatformState::Processes() { return state_.Named("Process"); }

void TPlatformState::CheckServer(const std::string& server) {
  std::vector<std::string> names = Cluster().All("Server");
  if (names.empty()) return;
  for (const std::string& name : names) {
    if (SameText(name, WithoutPort(server))) return;
  }
  throw EStandinError("Сервер 1С:Предприятия не обнаружен: " + server);
}

TIniSection& TPlatformState::Infobase(const TInfobaseAddress& address) {
  if (address.IsFile) {
    std::string folder = address.Folder;
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    if (!FileExists(folder + "\\" + kDataFileName)) {
      throw EStandinError("Файл базы данных не обнаружен: " + folder + "\\" + kDataFileName);
    }
    descriptionPath_ = folder + "\\" + kDescriptionFileName;
    std::string text;
    description_ = ReadWholeFile(descriptionPath_, text) ? TIniFile::Parse(text) : TIniFile();
    if (TIniSection* infobase = description_.First("Infobase")) return *infobase;
    if (description_.Sections.empty()) description_.Sections.push_back({});
    description_.Sections.push_back({"Infobase", {}});
    return description_.Sections.back();
  }
  CheckServer(address.Server);
  if (address.Name.empty()) throw EStandinError("Не указано имя информационной базы на сервере " + address.Server);
  return ServerInfobase(address.Name);
}

TIniSection& TPlatformState::ServerInfobase(const std::string& name) {
  for (TIniSection* infobase : state_.Named("Infobase")) {
    if (SameText(infobase->Get("Name"), name)) return *infobase;
  }
  throw EStandinError("Информационная база " + name + " не зарегистрирована в кластере");
}

void TPlatformState::Save() {
  WriteWholeFile(statePath_, state_.Format());
  if (!descriptionPath_.empty()) WriteWholeFile(descriptionPath_, description_.Format());
}

void CheckCredentials(const TIniSection& infobase, const std::string& user, const std::string& password) {
  std::vector<std::string> users = infobase.All("User");
  if (users.empty() || Listed(users, user, password)) return;
  throw EStandinError("Идентификация пользователя не выполнена: неверное имя пользователя или пароль (" + user + ")");
}

void CheckAdministrator(TIniSection& cluster, const std::string& user, const std::string& password) {
  bool accepted;
  if (KnobOn(cluster, "AdminEmptyOnly")) {
    accepted = user.empty() && password.empty();
  } else {
    std::vector<std::string> administrators = cluster.All("Admin");
    accepted = administrators.empty() || Listed(administrators, user, password);
  }
  if (!accepted) throw EStandinError("Администратор кластера не аутентифицирован: " + user);
}

std::vector<TSession> Sessions(const TIniSection& infobase) {
  std::vector<TSession> sessions;
  for (const std::string& line : infobase.All("Session")) {
    sessions.push_back({line, Field(line, 0), Field(line, 1), Field(line, 2)});
  }
  return sessions;
}

bool RemoveSession(TIniSection& infobase, const TSession& session) {
  return infobase.Remove("Session", session.Line);
}

std::string ProcessAddress(const TIniSection& process) {
  return process.Get("Host") + ":" + process.Get("Port");
}

bool RunsOn(const TSession& session, const std::string& processAddress, bool first) {
  if (session.Process.empty()) return first;
  size_t colon = session.Process.find(':');
  size_t ownColon = processAddress.find(':');
  return SameText(session.Process.substr(0, colon), processAddress.substr(0, ownColon)) &&
         session.Process.substr(colon == std::string::npos ? session.Process.size() : colon) ==
             processAddress.substr(ownColon);
}

bool KnobOn(const TIniSection& section, const std::string& key) {
  std::string value = section.Get(key);
  return value == "1" || SameText(value, "yes") || SameText(value, "true") || SameText(value, "on");
}

uint64_t ParseNumber(const std::string& text, uint64_t fallback) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return fallback;
  return ParseSize(text, fallback);
}

uint64_t ParseSize(const std::string& text, uint64_t fallback) {
  if (text.empty()) return fallback;
  uint64_t value = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
  if (i == 0) return fallback;
  std::string suffix = text.substr(i);
  if (suffix.empty()) return value;
  if (SameText(suffix, "K")) return value << 10;
  if (SameText(suffix, "M")) return value << 20;
  if (SameText(suffix, "G")) return value << 30;
  return fallback;
}

}  // namespace ns::standin
