#pragma once
// The stand-in keeps its state in INI-like text that tests write with a
// heredoc and read back with grep: "[Section]" headers, "Key=Value" lines,
// ";" or "#" comments. Unlike the Windows profile functions it keeps the
// order of everything, allows a section name and a key to repeat (one
// "[Infobase]" per infobase, one "Session=" per session) and writes back
// comments and blank lines as they were.
#include <string>
#include <vector>

namespace ns::standin {

struct TIniLine {
  // Empty for a comment or blank line, whose text is then kept in Value.
  std::string Key;
  std::string Value;
};

class TIniSection {
 public:
  std::string Name;
  std::vector<TIniLine> Lines;

  // The first value of the key (keys compare without regard to case), or
  // `fallback` when the key is absent.
  std::string Get(const std::string& key, const std::string& fallback = "") const;
  bool Has(const std::string& key) const;
  // Every value of a repeated key, in file order.
  std::vector<std::string> All(const std::string& key) const;
  // Replaces the first value of the key or appends the key.
  void Set(const std::string& key, const std::string& value);
  // Removes the first line with this key and value; false when there is none.
  bool Remove(const std::string& key, const std::string& value);
};

class TIniFile {
 public:
  // Lines before the first header belong to a section with an empty name.
  std::vector<TIniSection> Sections;

  static TIniFile Parse(const std::string& text);
  std::string Format() const;

  // Sections with this name (without regard to case), in file order.
  std::vector<TIniSection*> Named(const std::string& name);
  // The first section with this name, or nullptr.
  TIniSection* First(const std::string& name);
};

// ASCII-and-Cyrillic case-insensitive comparison in the ANSI code page.
bool SameText(const std::string& a, const std::string& b);

}  // namespace ns::standin
