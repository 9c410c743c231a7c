#include "DesignerCommandLine.h"

#include <windows.h>

#include <vector>

namespace ns::standin {

namespace {

using TField = std::optional<std::string> TDesignerCommandLine::*;

std::string Upper(std::string text) {
  CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

struct TModeWord {
  const char* Word;
  TDesignerMode Mode;
};
const TModeWord kModes[] = {{"CONFIG", TDesignerMode::Config},
                            {"DESIGNER", TDesignerMode::Designer},
                            {"CREATEINFOBASE", TDesignerMode::CreateInfobase}};

// The old form: case-sensitive keys glued to unquoted values.
void ParseConfigKeys(const std::string& rest, TDesignerCommandLine& parsed) {
  struct TKey {
    const char* Name;
    TField Field;
  };
  // Longer names first, so that no key is taken for the start of another.
  static const TKey kKeys[] = {{"RestoreIB", &TDesignerCommandLine::RestoreIB},
                               {"DumpIB", &TDesignerCommandLine::DumpIB},
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
}

// A key of the platform's own form.
struct TKeySpec {
  const char* Name;
  bool HasValue;
  TField Field;  // nullptr: accepted and ignored
};

const TKeySpec kDesignerKeys[] = {{"DisableStartupMessages", false, nullptr},
                                  {"DisableStartupDialogs", false, nullptr},
                                  {"RestoreIB", true, &TDesignerCommandLine::RestoreIB},
                                  {"DumpIB", true, &TDesignerCommandLine::DumpIB},
                                  {"Out", true, &TDesignerCommandLine::Out},
                                  {"UC", true, nullptr},
                                  {"F", true, &TDesignerCommandLine::File},
                                  {"S", true, &TDesignerCommandLine::Server},
                                  {"N", true, &TDesignerCommandLine::User},
                                  {"P", true, &TDesignerCommandLine::Password}};
const TKeySpec kCreateKeys[] = {{"DisableStartupMessages", false, nullptr},
                                {"DisableStartupDialogs", false, nullptr},
                                {"AddInList", true, nullptr},
                                {"Out", true, &TDesignerCommandLine::Out}};

// Reads the platform's form of keys and values from `text`.
class TKeyReader {
 public:
  template <size_t N>
  TKeyReader(const std::string& text, const TKeySpec (&keys)[N]) : text_(text), upper_(Upper(text)), keys_(keys, keys + N) {}

  // The key that starts at `at` (a slash), or nullptr.
  const TKeySpec* KeyAt(size_t at) const {
    if (at >= text_.size() || text_[at] != '/') return nullptr;
    for (const TKeySpec& key : keys_) {
      std::string name = Upper(key.Name);
      if (upper_.compare(at + 1, name.size(), name) != 0) continue;
      size_t after = at + 1 + name.size();
      // A switch without a value stands alone.
      if (!key.HasValue && after < text_.size() && !IsBlank(text_[after])) continue;
      return &key;
    }
    return nullptr;
  }

  // Where the next key preceded by a blank starts, from `from` on and
  // outside double quotes when `quotes` is set; the end of the text when
  // there is none. A key right at `from` counts too.
  size_t NextKey(size_t from, bool quotes) const {
    bool quoted = false;
    for (size_t i = from; i < text_.size(); ++i) {
      if (quotes && text_[i] == '"') quoted = !quoted;
      if (!quoted && (i == from || IsBlank(text_[i - 1])) && KeyAt(i)) return i;
    }
    return text_.size();
  }

  // Reads the keys from `at` to the end into `parsed`. Whatever is no key
  // or no proper value sets parsed.Error (the first such thing counts), and
  // the reading goes on, so that the log and the action are still known.
  void Read(size_t at, TDesignerCommandLine& parsed) const {
    auto fail = [&parsed](const std::string& error) {
      if (parsed.Error.empty()) parsed.Error = error;
    };
    for (;;) {
      while (at < text_.size() && IsBlank(text_[at])) ++at;
      if (at == text_.size()) return;
      const TKeySpec* key = KeyAt(at);
      if (!key) {
        size_t end = at;
        while (end < text_.size() && !IsBlank(text_[end])) ++end;
        fail("Неверный параметр командной строки: " + text_.substr(at, end - at));
        at = end;
        continue;
      }
      at += 1 + std::char_traits<char>::length(key->Name);
      if (!key->HasValue) continue;
      while (at < text_.size() && IsBlank(text_[at])) ++at;
      std::string value;
      if (at < text_.size() && text_[at] == '"') {
        size_t close = Unquote(at, value);
        if (close == std::string::npos) {
          fail("Не закрыта кавычка в значении параметра /" + std::string(key->Name));
          at = text_.size();
        } else {
          at = close + 1;
          if (at < text_.size() && !IsBlank(text_[at])) {
            size_t next = NextKey(at, false);
            fail("Неверное значение параметра /" + std::string(key->Name) + ": " +
                 TrimBlanks(text_.substr(at, next - at)));
            at = next;
          }
        }
      } else {
        size_t end = NextKey(at, false);
        value = TrimBlanks(text_.substr(at, end - at));
        at = end;
      }
      // The first occurrence of a key counts, as with the real designer.
      if (key->Field && !(parsed.*(key->Field))) parsed.*(key->Field) = value;
    }
  }

  // The quoted text that opens at `at`, a doubled quote standing for one;
  // returns the position of the closing quote, npos when there is none.
  size_t Unquote(size_t at, std::string& value) const {
    value.clear();
    for (size_t i = at + 1; i < text_.size(); ++i) {
      if (text_[i] != '"') {
        value.push_back(text_[i]);
      } else if (i + 1 < text_.size() && text_[i + 1] == '"') {
        value.push_back('"');
        ++i;
      } else {
        return i;
      }
    }
    return std::string::npos;
  }

 private:
  const std::string& text_;
  std::string upper_;
  std::vector<TKeySpec> keys_;
};

// "Key=Value;..." with values maybe in double quotes (a doubled quote
// inside stands for one); File= and Srvr= are what the stand-in creates from.
void ParseConnectionString(const std::string& text, TDesignerCommandLine& parsed) {
  size_t at = 0;
  while (at < text.size()) {
    size_t equals = text.find('=', at);
    size_t semicolon = text.find(';', at);
    if (equals == std::string::npos || (semicolon != std::string::npos && semicolon < equals)) {
      if (!TrimBlanks(text.substr(at, semicolon == std::string::npos ? std::string::npos : semicolon - at)).empty()) {
        parsed.Error = "Неверная строка соединения: " + text;
        return;
      }
      if (semicolon == std::string::npos) break;
      at = semicolon + 1;
      continue;
    }
    std::string key = Upper(TrimBlanks(text.substr(at, equals - at)));
    at = equals + 1;
    while (at < text.size() && IsBlank(text[at])) ++at;
    std::string value;
    if (at < text.size() && text[at] == '"') {
      size_t i = at + 1;
      bool closed = false;
      for (; i < text.size(); ++i) {
        if (text[i] != '"') {
          value.push_back(text[i]);
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
          value.push_back('"');
          ++i;
        } else {
          closed = true;
          break;
        }
      }
      if (!closed) {
        parsed.Error = "Неверная строка соединения: " + text;
        return;
      }
      at = i + 1;
      while (at < text.size() && IsBlank(text[at])) ++at;
      if (at < text.size() && text[at] != ';') {
        parsed.Error = "Неверная строка соединения: " + text;
        return;
      }
    } else {
      size_t end = text.find(';', at);
      if (end == std::string::npos) end = text.size();
      value = TrimBlanks(text.substr(at, end - at));
      at = end;
    }
    if (at < text.size()) ++at;  // the semicolon
    if (key == "FILE" && !parsed.File) parsed.File = value;
    if (key == "SRVR" && !parsed.Server) parsed.Server = value;
  }
  if (parsed.Error.empty() && !parsed.File && !parsed.Server) {
    parsed.Error = "Неверная строка соединения: не указана информационная база";
  }
}

void ParseCreateInfobase(const std::string& rest, TDesignerCommandLine& parsed) {
  TKeyReader reader(rest, kCreateKeys);
  size_t end = reader.NextKey(0, true);
  std::string connection = TrimBlanks(rest.substr(0, end));
  // The whole string may be quoted, as one argument of the command line.
  if (connection.size() >= 2 && connection.front() == '"') {
    std::string inner;
    if (reader.Unquote(rest.find('"'), inner) == rest.find('"') + connection.size() - 1) connection = inner;
  }
  if (connection.empty()) {
    parsed.Error = "Не указана строка соединения создаваемой информационной базы";
  } else {
    ParseConnectionString(connection, parsed);
  }
  // The log's path is wanted even when the connection string is wrong.
  reader.Read(end, parsed);
}

}  // namespace

TDesignerCommandLine ParseDesignerCommandLine(const std::string& commandLine) {
  TDesignerCommandLine parsed;
  // Mode words of the real platform are not case-sensitive.
  std::string upper = Upper(commandLine);
  // The executable's quoted path may hold anything, a mode word too.
  size_t pathEnd = commandLine.empty() || commandLine[0] != '"' ? 0 : commandLine.find('"', 1);
  if (pathEnd == std::string::npos) pathEnd = 0;
  size_t modeAt = std::string::npos;
  size_t modeLength = 0;
  for (const TModeWord& mode : kModes) {
    std::string word = std::string(" ") + mode.Word;
    for (size_t at = upper.find(word, pathEnd); at != std::string::npos; at = upper.find(word, at + 1)) {
      size_t after = at + word.size();
      if (after != upper.size() && upper[after] != ' ') continue;
      if (at < modeAt) {
        modeAt = at;
        modeLength = word.size();
        parsed.Mode = mode.Mode;
      }
      break;
    }
  }
  if (parsed.Mode == TDesignerMode::None) {
    parsed.RegServer = upper.find("/REGSERVER") != std::string::npos &&
                       upper.find("/UNREGSERVER") == std::string::npos;
    parsed.UnregServer = upper.find("/UNREGSERVER") != std::string::npos;
    return parsed;
  }
  // Keep the blank after the mode word, so every key is " /Key".
  std::string rest = commandLine.substr(modeAt + modeLength);
  switch (parsed.Mode) {
    case TDesignerMode::Config:
      ParseConfigKeys(rest, parsed);
      break;
    case TDesignerMode::Designer:
      TKeyReader(rest, kDesignerKeys).Read(0, parsed);
      break;
    case TDesignerMode::CreateInfobase:
      ParseCreateInfobase(rest, parsed);
      break;
    case TDesignerMode::None:
      break;
  }
  return parsed;
}

}  // namespace ns::standin
