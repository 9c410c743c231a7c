#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "StandinFixture.h"
#include "platform/SessionTermination.h"

namespace ns {
namespace {

using test::InstalledVersion;
using test::MissingVersion;
using Sessions = std::map<std::string, std::vector<std::string>>;

// A cluster of two working processes; the infobase "trade" has sessions on
// both, one of them the administrator's COM console; "other" has one
// session and "empty" none.
struct TCluster {
  std::string agentHost = ClusterAgentHost;
  std::string administrator = "Admin:secret";
  std::string infobaseUser = "Admin:secret";
  std::string clusterKnob = "";
  std::string tradeKnob = "";

  std::string State() const {
    return "[Cluster]\r\nName=Local cluster\r\nPort=1541\r\nServer=" + agentHost + "\r\nAdmin=" +
           administrator + "\r\n" + clusterKnob +
           "[Process]\r\nHost=localhost\r\nPort=1560\r\n"
           "[Process]\r\nHost=localhost\r\nPort=1561\r\n"
           "[Infobase]\r\nName=trade\r\nUser=" + infobaseUser + "\r\n" + tradeKnob +
           "Session=1, 1CV8C, localhost:1560\r\n"
           "Session=2, COMConsole, localhost:1560\r\n"
           "Session=3, Designer, localhost:1561\r\n"
           "Session=4, comconsole, localhost:1561\r\n"
           "[Infobase]\r\nName=other\r\nSession=5, 1CV8C, localhost:1560\r\n"
           "[Infobase]\r\nName=empty\r\n";
  }
};

const Sessions Untouched = {{"trade", {"1", "2", "3", "4"}}, {"other", {"5"}}, {"empty", {}}};
// Only the exact "COMConsole" is spared.
const Sessions Ended = {{"trade", {"2"}}, {"other", {"5"}}, {"empty", {}}};

const TInfobaseLogon Trade = {"localhost\\trade", "Admin", "secret"};
const TInfobaseLogon FileTrade = {"C:\\Bases\\trade", "Admin", "secret"};

class SessionTermination : public test::StandinTest {};

struct TTerminationCase {
  const char* what;
  std::string state;
  TInfobaseLogon logon;
  int version;  // 0 stands for the installed version
  Sessions expected;
};

TEST_F(SessionTermination, EndsTheInfobasesSessionsOrLeavesEverythingAsItWas) {
  const TTerminationCase cases[] = {
      {"sessions on both working processes", TCluster{}.State(), Trade, 0, Ended},
      {"agent takes only the empty administrator",
       TCluster{.administrator = "Boss:x", .clusterKnob = "AdminEmptyOnly=1\r\n"}.State(), Trade, 0, Ended},
      {"a password holding ';' reaches the agent whole",
       TCluster{.administrator = "Admin:se;cret", .infobaseUser = "Admin:se;cret"}.State(),
       {"localhost\\trade", "Admin", "se;cret"}, 0, Ended},
      {"an infobase without sessions", TCluster{}.State(), {"localhost\\empty", "Admin", "secret"}, 0,
       Untouched},
      {"both authentications refused", TCluster{.administrator = "Boss:x"}.State(), Trade, 0, Untouched},
      {"empty cluster array", TCluster{.clusterKnob = "NoClusters=1\r\n"}.State(), Trade, 0, Untouched},
      {"the first disconnection fails", TCluster{.tradeKnob = "DisconnectFails=1\r\n"}.State(), Trade, 0,
       Untouched},
      {"the agent runs on another computer", TCluster{.agentHost = "srv1"}.State(), Trade, 0, Untouched},
      {"file infobase", TCluster{}.State(), FileTrade, 0, Untouched},
      {"version 0", TCluster{}.State(), Trade, -1, Untouched},
      {"a version that is not installed", TCluster{}.State(), Trade, MissingVersion(), Untouched},
  };
  for (const auto& test : cases) {
    test::WriteStandinState(test.state);
    int version = test.version == 0 ? InstalledVersion() : test.version == -1 ? 0 : test.version;
    TerminateSessions(test.logon, version);
    EXPECT_EQ(test::SessionsByInfobase(), test.expected) << test.what;
  }
}

TEST_F(SessionTermination, AFileInfobaseOrAnUnknownVersionCreatesNoConnector) {
  test::WriteStandinState(TCluster{}.State());
  test::TConnectorProbe probe(InstalledVersion());
  TerminateSessions(FileTrade, InstalledVersion());
  TerminateSessions({"\\\\fs01\\trade", "", ""}, InstalledVersion());
  TerminateSessions(Trade, 0);
  TerminateSessions(Trade, 3);
  EXPECT_EQ(probe.Requests(), 0);
  // The probe does see a connector being asked for.
  TerminateSessions(Trade, InstalledVersion());
  EXPECT_EQ(probe.Requests(), 1);
  EXPECT_EQ(test::SessionsByInfobase(), Untouched);
}

std::string ComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  EXPECT_TRUE(GetComputerNameA(name, &size));
  return std::string(name, size);
}

std::string LowerAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

// The stand-in's agent answers only to the names of its cluster's server
// ("Server=" in its state): the sessions end only when the agent of the
// task's own server is asked, and this computer's agent is asked as before,
// by "localhost", when the task names this computer.
TEST_F(SessionTermination, AsksTheAgentOfTheTasksOwnServer) {
  const std::string own = ComputerName();
  const struct {
    const char* what;
    const char* agentHost;
    std::string base;
    Sessions expected;
  } cases[] = {
      {"the task's own server", "srv1", "srv1\\trade", Ended},
      {"the server with its cluster's port", "srv1", "srv1:1641\\trade", Ended},
      {"the server in another letter case", "srv1", "SRV1\\trade", Ended},
      {"another server than the agent's", "srv1", "srv2\\trade", Untouched},
      {"this computer named by the task", "localhost", own + "\\trade", Ended},
      {"this computer with a port", "localhost", LowerAscii(own) + ":1541\\trade", Ended},
      {"this computer by its address", "localhost", "127.0.0.1\\trade", Ended},
      {"this computer's agent is not the server's", "srv1", own + "\\trade", Untouched},
  };
  for (const auto& test : cases) {
    test::WriteStandinState(TCluster{.agentHost = test.agentHost}.State());
    TerminateSessions({test.base, "Admin", "secret"}, InstalledVersion());
    EXPECT_EQ(test::SessionsByInfobase(), test.expected) << test.what;
  }
}

}  // namespace
}  // namespace ns
