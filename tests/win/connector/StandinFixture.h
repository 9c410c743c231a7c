#pragma once
// What the connector tests share: COM on the test's thread, the stand-in's
// state file, message boxes caught as they open, and a stand-in for the
// connector's class that only counts how often it is asked for.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ns::test {

// The platform version installed in this test's prefix, and one that is not.
int InstalledVersion();
int MissingVersion();

// Writes the stand-in's shared state (INI text, Windows-1251).
void WriteStandinState(const std::string& text);
// The session ids ("Session=" first fields) of every server infobase, by
// infobase name, as the stand-in's state holds them now.
std::map<std::string, std::vector<std::string>> SessionsByInfobase();

struct TShownBox {
  std::string caption;
  std::string text;
  bool informationIcon = false;
  bool errorIcon = false;
  // The infobases' sessions while the box was open.
  std::map<std::string, std::vector<std::string>> sessions;
};

// Catches every message box opened on this thread while it lives: records
// its caption, text, icon and the stand-in's sessions at that moment, runs
// `whileOpen` (if given) with the box on the screen, and answers it with
// `answer` (OK unless told otherwise).
class TBoxCatcher {
 public:
  explicit TBoxCatcher(std::function<void(HWND box)> whileOpen = {}, int answer = IDOK);
  ~TBoxCatcher();
  TBoxCatcher(const TBoxCatcher&) = delete;
  TBoxCatcher& operator=(const TBoxCatcher&) = delete;
  const std::vector<TShownBox>& Boxes() const;
};

// Takes the place of the connector's class in this process for as long as
// it lives and counts the objects asked of it (it creates none).
class TConnectorProbe {
 public:
  explicit TConnectorProbe(int version);
  ~TConnectorProbe();
  TConnectorProbe(const TConnectorProbe&) = delete;
  TConnectorProbe& operator=(const TConnectorProbe&) = delete;
  int Requests() const;

 private:
  DWORD cookie_ = 0;
};

class StandinTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  static void TearDownTestSuite() { CoUninitialize(); }
};

}  // namespace ns::test
