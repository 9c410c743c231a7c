#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "StandinFixture.h"
#include "platform/Connector.h"
#include "win/ComError.h"
#include "win/ComPtr.h"

namespace ns {
namespace {

using test::InstalledVersion;
using test::MissingVersion;

constexpr const char* FileBase = "C:\\Базы\\Бухгалтерия";

// A version whose connector was never installed: no ProgID at all, "invalid
// class string".
const HRESULT NoSuchProgId = static_cast<HRESULT>(0x800401F3);
// A connector installed for the other bitness only: its ProgID is shared by
// both registry views, its class is not, so "class not registered".
const HRESULT ClassNotRegistered = static_cast<HRESULT>(0x80040154);

// A COM failure told in the system's own words, or by its code where the
// system has none, as the guide describes the boxes.
std::string ComFailureText(HRESULT code) {
  char* text = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result(text ? text : "", length);
  LocalFree(text);
  while (!result.empty() && (result.back() == '\r' || result.back() == '\n' || result.back() == ' ')) {
    result.pop_back();
  }
  if (!result.empty()) return result;
  char fallback[40];
  std::snprintf(fallback, sizeof fallback, "Ошибка COM 0x%08lX", static_cast<unsigned long>(code));
  return fallback;
}

// The missing version's ProgID, naming a class this registry view does not
// have, for as long as it lives.
class TOtherBitnessConnector {
 public:
  TOtherBitnessConnector() : progId_(MissingVersion() == 1 ? "V82.COMConnector" : "V83.COMConnector") {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, (progId_ + "\\CLSID").c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
      const char classId[] = "{5B0E3A1C-7D2F-4E61-9A8B-2C4D6E8F0A13}";
      RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(classId), sizeof classId);
      RegCloseKey(key);
    }
  }
  ~TOtherBitnessConnector() { RegDeleteTreeA(HKEY_CLASSES_ROOT, progId_.c_str()); }

 private:
  std::string progId_;
};

void WriteFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

class ConnectionTest : public test::StandinTest {
 protected:
  void SetUp() override {
    test::WriteStandinState(
        "[Cluster]\r\nName=Local cluster\r\nPort=1541\r\n"
        "[Process]\r\nHost=localhost\r\nPort=1560\r\n"
        "[Infobase]\r\nName=trade\r\nUser=Admin:secret\r\nUser=Кладовщик:\r\n");
    CreateDirectoryA("C:\\Базы", nullptr);
    CreateDirectoryA(FileBase, nullptr);
    WriteFile(std::string(FileBase) + "\\1Cv8.1CD", "data");
    WriteFile(std::string(FileBase) + "\\standin.ini", "[Infobase]\r\nUser=Бухгалтер:пароль\r\n");
  }
};

TEST_F(ConnectionTest, CreatesTheConnectorOfTheInstalledVersionOnly) {
  TComPtr<IDispatch> connector;
  EXPECT_TRUE(CreateConnector(connector, InstalledVersion()));
  EXPECT_TRUE(connector);
  for (int version : {0, 3, -1}) {
    TComPtr<IDispatch> none;
    EXPECT_FALSE(CreateConnector(none, version)) << version;
    EXPECT_FALSE(none);
  }
  auto failure = [] {
    TComPtr<IDispatch> missing;
    try {
      CreateConnector(missing, MissingVersion());
    } catch (const EComError& error) {
      EXPECT_FALSE(missing);
      return std::make_pair(error.Code(), std::string(error.what()));
    }
    ADD_FAILURE() << "a connector that is not registered was created";
    return std::make_pair(S_OK, std::string());
  };
  EXPECT_EQ(failure(), std::make_pair(NoSuchProgId, ComFailureText(NoSuchProgId)));
  TOtherBitnessConnector otherBitness;
  EXPECT_EQ(failure(), std::make_pair(ClassNotRegistered, ComFailureText(ClassNotRegistered)));
}

struct TConnectCase {
  const char* connectionString;
  bool opens;
};

TEST_F(ConnectionTest, OutcomeTellsWhetherItOpenedAndClosesWhatOpened) {
  const TConnectCase cases[] = {
      {"Srvr=localhost;Ref=trade;Usr=Admin;Pwd=secret", true},
      {"Srvr=localhost;Ref=trade;Usr=Кладовщик;Pwd=", true},
      {"Srvr=localhost;Ref=trade;Usr=Admin;Pwd=wrong", false},
      {"Srvr=localhost;Ref=missing;Usr=Admin;Pwd=secret", false},
      {"File=C:\\Базы\\Бухгалтерия;Usr=Бухгалтер;Pwd=пароль", true},
      {"File=C:\\Базы\\Бухгалтерия;Usr=Бухгалтер;Pwd=", false},
      {"File=C:\\Базы\\Нет такой;Usr=;Pwd=", false},
  };
  for (const auto& test : cases) {
    TConnectionOutcome outcome = TestConnection(test.connectionString, InstalledVersion());
    EXPECT_EQ(outcome.Opened, test.opens) << test.connectionString;
    // What did not open says why; what opened has nothing to say.
    EXPECT_EQ(outcome.Error.empty(), test.opens) << test.connectionString << ": " << outcome.Error;
  }
  // Every connection opened was closed again.
  EXPECT_TRUE(test::SessionsByInfobase()["trade"].empty());
}

TEST_F(ConnectionTest, FailureCarriesThePlatformsOrTheSystemsWords) {
  TConnectionOutcome refused = TestConnection("Srvr=localhost;Ref=trade;Usr=Admin;Pwd=wrong", InstalledVersion());
  EXPECT_EQ(refused.Error.rfind("Идентификация пользователя не выполнена", 0), 0u) << refused.Error;
  {
    // A connector of the other bitness only: the system's text for it.
    TOtherBitnessConnector otherBitness;
    TConnectionOutcome missing = TestConnection("Srvr=localhost;Ref=trade;Usr=Admin;Pwd=secret", MissingVersion());
    EXPECT_FALSE(missing.Opened);
    EXPECT_EQ(missing.Error, ComFailureText(ClassNotRegistered));
  }
  // A version without a connector of its own is refused before anything
  // could fail, so there is nothing to tell.
  for (int version : {0, 3}) {
    TConnectionOutcome unknown = TestConnection("Srvr=localhost;Ref=trade;Usr=Admin;Pwd=secret", version);
    EXPECT_FALSE(unknown.Opened) << version;
    EXPECT_EQ(unknown.Error, "") << version;
  }
}

}  // namespace
}  // namespace ns
