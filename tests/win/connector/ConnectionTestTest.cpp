#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "StandinFixture.h"
#include "platform/Connector.h"
#include "win/ComError.h"
#include "win/ComPtr.h"

namespace ns {
namespace {

using test::InstalledVersion;
using test::MissingVersion;
using test::TBoxCatcher;

constexpr const char* FileBase = "C:\\Базы\\Бухгалтерия";

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
  TComPtr<IDispatch> missing;
  try {
    CreateConnector(missing, MissingVersion());
    FAIL() << "a connector that is not registered was created";
  } catch (const EComError& error) {
    EXPECT_EQ(error.what(), ComErrorText(error.Code()));
    EXPECT_STRNE(error.what(), "");
  }
}

struct TConnectCase {
  const char* connectionString;
  bool opens;
};

TEST_F(ConnectionTest, SilentTestAnswersWithoutEverShowingABox) {
  const TConnectCase cases[] = {
      {"Srvr=localhost;Ref=trade;Usr=Admin;Pwd=secret", true},
      {"Srvr=localhost;Ref=trade;Usr=Кладовщик;Pwd=", true},
      {"Srvr=localhost;Ref=trade;Usr=Admin;Pwd=wrong", false},
      {"Srvr=localhost;Ref=missing;Usr=Admin;Pwd=secret", false},
      {"File=C:\\Базы\\Бухгалтерия;Usr=Бухгалтер;Pwd=пароль", true},
      {"File=C:\\Базы\\Бухгалтерия;Usr=Бухгалтер;Pwd=", false},
      {"File=C:\\Базы\\Нет такой;Usr=;Pwd=", false},
  };
  TBoxCatcher boxes;
  for (const auto& test : cases) {
    EXPECT_EQ(TestConnection(test.connectionString, "", InstalledVersion(), false), test.opens)
        << test.connectionString;
  }
  for (int version : {0, 3, MissingVersion()}) {
    EXPECT_FALSE(TestConnection(cases[0].connectionString, "", version, false)) << version;
  }
  EXPECT_TRUE(boxes.Boxes().empty());
  // Every connection opened was closed again.
  EXPECT_TRUE(test::SessionsByInfobase()["trade"].empty());
}

TEST_F(ConnectionTest, ShownTestTellsTheOutcomeUnderTheCaption) {
  TBoxCatcher boxes;
  EXPECT_TRUE(TestConnection("Srvr=localhost;Ref=trade;Usr=Admin;Pwd=secret", "Задание", InstalledVersion(), true));
  EXPECT_FALSE(TestConnection("Srvr=localhost;Ref=trade;Usr=Admin;Pwd=wrong", "Задание", InstalledVersion(), true));
  EXPECT_FALSE(TestConnection("Srvr=localhost;Ref=trade;Usr=Admin;Pwd=secret", "Задание", MissingVersion(), true));
  // A version without a connector of its own is refused before anything
  // could fail, so there is nothing to tell.
  EXPECT_FALSE(TestConnection("Srvr=localhost;Ref=trade;Usr=Admin;Pwd=secret", "Задание", 0, true));

  const auto& shown = boxes.Boxes();
  ASSERT_EQ(shown.size(), 3u);
  for (const auto& box : shown) EXPECT_EQ(box.caption, "Задание");
  EXPECT_EQ(shown[0].text, "Соединение успешно установлено!");
  EXPECT_TRUE(shown[0].informationIcon);
  // The connection is closed before the box tells of it.
  EXPECT_TRUE(shown[0].sessions.at("trade").empty());
  // The platform's own words follow the prefix.
  EXPECT_EQ(shown[1].text.rfind("Ошибка: Идентификация пользователя не выполнена", 0), 0u) << shown[1].text;
  EXPECT_TRUE(shown[1].errorIcon);
  // A version that is not registered: the system's text for it.
  TComPtr<IDispatch> missing;
  std::string systemText;
  try {
    CreateConnector(missing, MissingVersion());
  } catch (const EComError& error) {
    systemText = error.what();
  }
  EXPECT_EQ(shown[2].text, "Ошибка: " + systemText);
  EXPECT_TRUE(shown[2].errorIcon);
}

}  // namespace
}  // namespace ns
