#include <windows.h>

#include <gtest/gtest.h>

#include "win/ComError.h"
#include "win/Win32Error.h"

namespace ns {
namespace {

template <class T>
constexpr bool Checkable = requires(T result) { CheckWin32(result, "call"); };

// An error code passed where success is expected would throw on success and
// pass on failure: it must not compile.
static_assert(Checkable<BOOL>);
static_assert(Checkable<bool>);
static_assert(!Checkable<LONG>);
static_assert(!Checkable<DWORD>);
static_assert(!Checkable<HRESULT>);
static_assert(!Checkable<HANDLE>);

TEST(Win32Error, CarriesTheCodeTheCallAndTheSystemsText) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  try {
    CheckWin32(FALSE, "CreateFileA");
    FAIL() << "no exception";
  } catch (const EWin32Error& error) {
    EXPECT_EQ(error.Code(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(error.Call(), "CreateFileA");
    EXPECT_EQ(std::string(error.what()), "Системная ошибка. Код: 2.\r\n" + SystemErrorText(ERROR_FILE_NOT_FOUND));
  }
  EXPECT_NO_THROW(CheckWin32(TRUE, "CreateFileA"));
}

TEST(ComError, CarriesTheCodeAndTheCall) {
  try {
    CheckCom(E_ACCESSDENIED, "CoCreateInstance");
    FAIL() << "no exception";
  } catch (const EComError& error) {
    EXPECT_EQ(error.Code(), E_ACCESSDENIED);
    EXPECT_EQ(error.Call(), "CoCreateInstance");
    EXPECT_EQ(std::string(error.what()), ComErrorText(E_ACCESSDENIED));
  }
}

}  // namespace
}  // namespace ns
