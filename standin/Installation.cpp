#include "Installation.h"

#include "IniFile.h"
#include "StandinError.h"
#include "StateFiles.h"

namespace ns::standin {

std::string ModulePath(HMODULE module) {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw EStandinError("Не удалось определить путь модуля");
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

TInstallation LoadInstallation(HMODULE module) {
  TInstallation installation;
  std::string path = ModulePath(module);
  installation.BinDir = path.substr(0, path.rfind('\\') + 1);
  std::string settingsPath = installation.BinDir + kInstallationFileName;
  std::string text;
  if (!ReadWholeFile(settingsPath, text)) throw EStandinError("Не найден файл настроек " + settingsPath);
  TIniFile settings = TIniFile::Parse(text);
  TIniSection* platform = settings.First("Platform");
  if (platform) {
    installation.Version = platform->Get("Version");
    installation.StatePath = platform->Get("State");
  }
  if (installation.Version != "8.2" && installation.Version != "8.3") {
    throw EStandinError("Неизвестная версия платформы в " + settingsPath);
  }
  if (installation.StatePath.empty()) throw EStandinError("Не указан файл состояния в " + settingsPath);
  return installation;
}

}  // namespace ns::standin
