#include "IniFile.h"

#include <windows.h>

namespace ns::standin {

namespace {

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

}  // namespace

bool SameText(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::string TIniSection::Get(const std::string& key, const std::string& fallback) const {
  for (const TIniLine& line : Lines) {
    if (!line.Key.empty() && SameText(line.Key, key)) return line.Value;
  }
  return fallback;
}

bool TIniSection::Has(const std::string& key) const {
  for (const TIniLine& line : Lines) {
    if (!line.Key.empty() && SameText(line.Key, key)) return true;
  }
  return false;
}

std::vector<std::string> TIniSection::All(const std::string& key) const {
  std::vector<std::string> values;
  for (const TIniLine& line : Lines) {
    if (!line.Key.empty() && SameText(line.Key, key)) values.push_back(line.Value);
  }
  return values;
}

void TIniSection::Set(const std::string& key, const std::string& value) {
  for (TIniLine& line : Lines) {
    if (!line.Key.empty() && SameText(line.Key, key)) {
      line.Value = value;
      return;
    }
  }
  Lines.push_back({key, value});
}

bool TIniSection::Remove(const std::string& key, const std::string& value) {
  for (auto it = Lines.begin(); it != Lines.end(); ++it) {
    if (!it->Key.empty() && SameText(it->Key, key) && it->Value == value) {
      Lines.erase(it);
      return true;
    }
  }
  return false;
}

TIniFile TIniFile::Parse(const std::string& text) {
  TIniFile file;
  file.Sections.push_back({});
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string line = Trim(raw);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      file.Sections.push_back({Trim(line.substr(1, line.size() - 2)), {}});
      continue;
    }
    size_t equals = line.find('=');
    if (line.empty() || line[0] == ';' || line[0] == '#' || equals == std::string::npos ||
        Trim(line.substr(0, equals)).empty()) {
      file.Sections.back().Lines.push_back({"", raw});
      continue;
    }
    file.Sections.back().Lines.push_back({Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))});
  }
  return file;
}

std::string TIniFile::Format() const {
  std::string text;
  for (size_t i = 0; i < Sections.size(); ++i) {
    const TIniSection& section = Sections[i];
    if (i > 0) text += "[" + section.Name + "]\r\n";
    for (const TIniLine& line : section.Lines) {
      text += line.Key.empty() ? line.Value : line.Key + "=" + line.Value;
      text += "\r\n";
    }
  }
  return text;
}

std::vector<TIniSection*> TIniFile::Named(const std::string& name) {
  std::vector<TIniSection*> found;
  for (size_t i = 1; i < Sections.size(); ++i) {
    if (SameText(Sections[i].Name, name)) found.push_back(&Sections[i]);
  }
  return found;
}

TIniSection* TIniFile::First(const std::string& name) {
  std::vector<TIniSection*> found = Named(name);
  return found.empty() ? nullptr : found.front();
}

}  // namespace ns::standin
