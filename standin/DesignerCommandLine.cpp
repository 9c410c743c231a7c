#include "DesignerCommandLine.h"

#include <windows.h>

#include <vector>

namespace ns::standin {

namespace {

std::string Upper(std::string text) {
  CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace

TDesignerCommandLine ParseDesignerCommandLine(const std::string& commandLine) {
  TDesignerCommandLine parsed;
  std::string upper = Upper(commandLine);
  size_t config = upper.find(" CONFIG ");
  if (config == std::string::npos) {
    // Mode words of the real platform are not case-sensitive.
    parsed.RegServer = upper.find("/REGSERVER") != std::string::npos &&
                       upper.find("/UNREGSERVER") == std::string::npos;
    parsed.UnregServer = upper.find("/UNREGSERVER") != std::string::npos;
    return parsed;
  }
  parsed.Config = true;
  // Keep the blank in front of the first key, so every key is " /Key".
  std::string rest = commandLine.substr(config + 7);

  struct TKey {
    const char* Name;
    std::optional<std::string> TDesignerCommandLine::*Field;
  };
  // Longer names first, so that no key is taken for the start of another.
  static const TKey kKeys[] = {{"DumpIB", &TDesignerCommandLine::DumpIB},
                               {"Out", &TDesignerCommandLine::Out},
                               {"F", &TDesignerCommandLine::File},
                               {"S", &TDesignerCommandLine::Server},
                               {"N", &TDesignerCommandLine::User},
                               {"P", &TDesignerCommandLine::Password}};
  struct TFound {
    size_t Position;  // of the blank in front of the slash
    size_t ValueStart;
    const TKey* Key;
  };
  std::vector<TFound> found;
  for (size_t i = 0; i + 1 < rest.size(); ++i) {
    if (rest[i] != ' ' || rest[i + 1] != '/') continue;
    for (const TKey& key : kKeys) {
      if (rest.compare(i + 2, std::char_traits<char>::length(key.Name), key.Name) == 0) {
        found.push_back({i, i + 2 + std::char_traits<char>::length(key.Name), &key});
        break;
      }
    }
  }
  for (size_t k = 0; k < found.size(); ++k) {
    size_t end = k + 1 < found.size() ? found[k + 1].Position : rest.size();
    std::optional<std::string>& field = parsed.*(found[k].Key->Field);
    // The first occurrence of a key counts, as with the real designer.
    if (!field) field = rest.substr(found[k].ValueStart, end - found[k].ValueStart);
  }
  return parsed;
}

}  // namespace ns::standin
