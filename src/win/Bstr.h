#pragma once
// Owns one automation string (BSTR). Text crosses the COM boundary here and
// only here: the program's Windows-1251 text is converted with the ANSI code
// page in both directions.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace ns {

class TBstr {
 public:
  TBstr() = default;
  // Takes over a string the caller owns.
  explicit TBstr(BSTR owned) : value_(owned) {}
  TBstr(const TBstr&) = delete;
  TBstr& operator=(const TBstr&) = delete;
  TBstr(TBstr&& other) noexcept : value_(other.release()) {}
  TBstr& operator=(TBstr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~TBstr() { reset(); }

  // A new automation string holding `text` (ANSI code page). Throws when
  // memory runs out.
  static TBstr FromAnsi(std::string_view text);

  BSTR get() const { return value_; }
  BSTR release() { return std::exchange(value_, nullptr); }
  void reset(BSTR value = nullptr) {
    if (BSTR old = std::exchange(value_, value)) SysFreeString(old);
  }

  // The text in the ANSI code page; a null BSTR is the empty text.
  std::string Ansi() const;

 private:
  BSTR value_ = nullptr;
};

// The text of a borrowed automation string in the ANSI code page; a null
// BSTR is the empty text.
std::string BstrToAnsi(BSTR borrowed);

// Conversions between the ANSI code page and UTF-16, both ways. Characters
// that the ANSI code page lacks become the system's default character.
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

}  // namespace ns
