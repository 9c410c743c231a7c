#include "backup/ArchiveNaming.h"

#include <cstdio>

#include "base/CaseFolding.h"

namespace ns {

namespace {

// Latin C: the prefix of every archive the program has ever written.
constexpr std::string_view ArchivePrefix = "1C8-";
constexpr std::string_view ArchiveExtension = ".zip";
constexpr std::size_t DatePartLength = 6;
// What every archive name begins with, as a pattern.
constexpr std::string_view DatedPrefixPattern = "1C8-??????";

std::string NameSuffix(std::string_view taskName, bool addName) {
  std::string suffix;
  if (addName) (suffix += '-') += taskName;
  suffix += ArchiveExtension;
  return suffix;
}

int TwoDigits(std::string_view text) { return (text[0] - '0') * 10 + (text[1] - '0'); }

}  // namespace

std::string ArchiveFolderPath(std::string_view dumpIB) {
  std::string folder(dumpIB);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

std::string ArchiveDatePart(const TDate& date) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d", date.Year % 100, date.Month, date.Day);
  return text;
}

std::string ArchiveFileName(std::string_view dumpIB, const TDate& date, std::string_view taskName, bool addName) {
  std::string datePart = ArchiveDatePart(date);
  if (addName) (datePart += '-') += taskName;
  return ArchiveFolderPath(dumpIB) + std::string(ArchivePrefix) + datePart + std::string(ArchiveExtension);
}

std::string DumpEntryName(std::string_view taskName) { return std::string(taskName) + ".dt"; }

std::string RotationPattern(std::string_view taskName, bool addName) {
  return std::string(DatedPrefixPattern) + NameSuffix(taskName, addName);
}

bool MatchesPattern(std::string_view name, std::string_view pattern) {
  // Greedy matching with one backtrack point: the last "*" seen. Enough for
  // "?" and "*" and linear in practice.
  std::size_t n = 0, p = 0;
  std::size_t starPattern = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || UpperCase1251(pattern[p]) == UpperCase1251(name[n]))) {
      ++p;
      ++n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsRotationCandidate(std::string_view fileName, std::string_view taskName, bool addName) {
  std::size_t fixed = DatedPrefixPattern.size();
  if (fileName.size() < fixed) return false;
  return MatchesPattern(fileName.substr(0, fixed), DatedPrefixPattern) &&
         SameText1251(fileName.substr(fixed), NameSuffix(taskName, addName));
}

std::optional<TDate> ArchiveNameDate(std::string_view fileName, int currentYear) {
  if (fileName.size() < ArchivePrefix.size() + DatePartLength) return std::nullopt;
  std::string_view digits = fileName.substr(ArchivePrefix.size(), DatePartLength);
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  int windowStart = currentYear - 50;
  int year = windowStart - windowStart % 100 + TwoDigits(digits);
  if (year < windowStart) year += 100;
  TDate date{year, TwoDigits(digits.substr(2)), TwoDigits(digits.substr(4))};
  if (!IsValidDate(date.Year, date.Month, date.Day)) return std::nullopt;
  return date;
}

bool IsOutdated(const TDate& archiveDate, const TDate& today, int days) {
  std::int64_t archive = DayNumber(archiveDate);
  std::int64_t now = DayNumber(today);
  return archive < now - days;
}

}  // namespace ns
