// The stand-in COM connector driven as the program drives it: created from
// its ProgID, called late-bound by name, its errors read from EXCEPINFO, and
// the cluster administration walked the way the session termination walks
// it, with the outcome read back from the shared state file.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "StandinTestSupport.h"

namespace ns::standin::test {
namespace {

// Two working processes; "trade" has sessions on both, "salary" one of its own.
std::string Cluster(const std::string& knobs = "") {
  return "[Cluster]\r\nName=Main\r\nServer=srv1\r\nAdmin=Admin:secret\r\n" + knobs +
         "[Process]\r\nHost=srv1\r\nPort=1560\r\n"
         "[Process]\r\nHost=srv2\r\nPort=1561\r\n";
}
const std::string kTrade =
    "[Infobase]\r\nName=trade\r\nUser=Admin:secret\r\nUser=Кладовщик:склад\r\n"
    "Session=1,1CV8C,srv1:1560\r\n"
    "Session=2,COMConsole,srv1:1560\r\n"
    "Session=3,Designer,srv2:1561\r\n"
    "Session=4,BackgroundJob,srv2:1561\r\n"
    "Session=5,1CV8C\r\n";
const std::string kSalary = "[Infobase]\r\nName=salary\r\nSession=9,1CV8C,srv1:1560\r\n";

class ConnectorTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { connector_ = CreateConnector(GetParam()); }
  void TearDown() override {
    if (connector_) connector_->Release();
  }

  // Ends the infobase's sessions as the program does before an exclusive
  // dump: the infobase user's credentials for the agent first, then empty
  // ones; every working process; every connection but the consoles.
  void TerminateSessions(const std::string& infobase, const std::string& user, const std::string& password) {
    TVariant agent = Call(connector_, "ConnectAgent", Args("srv1"));
    TVariant clusters = Call(agent.Object(), "GetClusters");
    std::vector<TVariant> clusterList = Elements(clusters);
    ASSERT_FALSE(clusterList.empty());
    IDispatch* cluster = clusterList[0].Object();
    try {
      Call(agent.Object(), "Authenticate", Args(ObjectArgument(cluster), user, password));
    } catch (const ECallFailed&) {
      Call(agent.Object(), "Authenticate", Args(ObjectArgument(cluster), "", ""));
    }
    TVariant processes = Call(agent.Object(), "GetWorkingProcesses", Args(ObjectArgument(cluster)));
    for (const TVariant& process : Elements(processes)) {
      std::string address =
          Get(process.Object(), "HostName").Text() + ":" + Get(process.Object(), "MainPort").Text();
      TVariant connection = Call(connector_, "ConnectWorkingProcess", Args(address));
      Call(connection.Object(), "AddAuthentication", Args(user, password));
      TVariant info = Call(connection.Object(), "CreateInfoBaseInfo");
      Put(info.Object(), "Name", TVariant(infobase));
      TVariant sessions = Call(connection.Object(), "GetInfoBaseConnections", Args(ObjectArgument(info.Object())));
      for (const TVariant& session : Elements(sessions)) {
        if (Get(session.Object(), "AppID").Text() == "COMConsole") continue;
        Call(connection.Object(), "Disconnect", Args(ObjectArgument(session.Object())));
      }
    }
  }

  static std::vector<TVariant> Args() { return {}; }
  template <typename... Rest>
  static std::vector<TVariant> Args(TVariant first, Rest... rest) {
    std::vector<TVariant> arguments;
    arguments.push_back(std::move(first));
    for (TVariant& more : Args(std::move(rest)...)) arguments.push_back(std::move(more));
    return arguments;
  }
  template <typename... Rest>
  static std::vector<TVariant> Args(const char* first, Rest... rest) {
    return Args(TVariant(std::string(first)), std::move(rest)...);
  }
  template <typename... Rest>
  static std::vector<TVariant> Args(const std::string& first, Rest... rest) {
    return Args(TVariant(first), std::move(rest)...);
  }

  std::string Connect(const std::string& connectionString) {
    try {
      TVariant connection = Call(connector_, "Connect", Args(connectionString));
      connection.Object();
      return "";
    } catch (const ECallFailed& failure) {
      EXPECT_EQ(failure.Result, DISP_E_EXCEPTION);
      return failure.Description.empty() ? "(no description)" : failure.Description;
    }
  }

  TComApartment apartment_;
  IDispatch* connector_ = nullptr;
};

TEST_P(ConnectorTest, ConnectOpensOnlyExistingInfobasesWithValidCredentials) {
  WriteFileBytes(kStatePath, Cluster() + kTrade);
  std::string folder = ScratchFolder("connect");
  MakeFileInfobase(folder + "\\File Base", 1000, "[Infobase]\r\nUser=Admin:\r\nUser=Кладовщик:с;клад\r\n");
  MakeFileInfobase(folder + "\\Open Base", 1000, "");
  struct TCase {
    std::string ConnectionString;
    std::string Error;  // empty: opens
  } cases[] = {
      {"File=" + folder + "\\File Base;Usr=Admin;Pwd=", ""},
      {"File='" + folder + "\\File Base';Usr='Admin';Pwd=", ""},
      {"File=" + folder + "\\Open Base;Usr=;Pwd=", ""},
      {"File=" + folder + "\\File Base;Usr=Admin;Pwd=x", "Идентификация пользователя не выполнена"},
      {"File=" + folder + "\\File Base;Usr=Кладовщик;Pwd=с;клад", "Идентификация пользователя не выполнена"},
      {"File=" + folder + "\\Missing;Usr=Admin;Pwd=", "Файл базы данных не обнаружен"},
      {"Srvr=srv1;Ref=trade;Usr=Кладовщик;Pwd=склад", ""},
      {"Srvr=SRV1;Ref=TRADE;Usr=admin;Pwd=secret", ""},
      {"Srvr=srv1;Ref=trade;Usr=Admin;Pwd=", "Идентификация пользователя не выполнена"},
      {"Srvr=srv1;Ref=missing;Usr=Admin;Pwd=secret", "не зарегистрирована"},
      {"Srvr=srv9;Ref=trade;Usr=Admin;Pwd=secret", "не обнаружен"},
      {"Srvr=srv1;Usr=Admin;Pwd=secret", "Не указано имя информационной базы"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.ConnectionString);
    std::string error = Connect(c.ConnectionString);
    if (c.Error.empty()) {
      EXPECT_EQ(error, "");
    } else {
      EXPECT_NE(error.find(c.Error), std::string::npos) << error;
    }
  }
}

TEST_P(ConnectorTest, AnOpenConnectionIsASessionUntilReleased) {
  WriteFileBytes(kStatePath, Cluster() + "[Infobase]\r\nName=free\r\n");
  std::string folder = ScratchFolder("open connection");
  MakeFileInfobase(folder + "\\Base", 1000, "");
  std::string designer = DesignerCommand("V83.Application") + " CONFIG ";
  std::string output = " /DumpIB" + folder + "\\d.dt /Out" + folder + "\\d.log";
  struct TCase {
    std::string ConnectionString, DesignerKey;
  } cases[] = {{"Srvr=srv1;Ref=free;Usr=;Pwd=", "/Ssrv1\\free"}, {"File=" + folder + "\\Base;Usr=;Pwd=", "/F" + folder + "\\Base"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.ConnectionString);
    {
      TVariant connection = Call(connector_, "Connect", Args(c.ConnectionString));
      if (c.DesignerKey[1] == 'S') {
        std::vector<std::string> sessions = ServerSessions("free");
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_NE(sessions[0].find(",COMConnection,srv1:1560"), std::string::npos) << sessions[0];
      }
      EXPECT_NE(RunHidden(designer + c.DesignerKey + output).ExitCode, 0u) << "the connection holds the infobase";
      EXPECT_NE(ReadFileBytes(folder + "\\d.log").find("монопольного"), std::string::npos);
    }
    EXPECT_EQ(RunHidden(designer + c.DesignerKey + output).ExitCode, 0u) << ReadFileBytes(folder + "\\d.log");
  }
  EXPECT_TRUE(ServerSessions("free").empty());
}

TEST_P(ConnectorTest, TerminationEndsEveryNonConsoleSessionOfTheInfobaseOnEveryProcess) {
  WriteFileBytes(kStatePath, Cluster() + kTrade + kSalary);
  TerminateSessions("trade", "Admin", "secret");
  EXPECT_EQ(ServerSessions("trade"), std::vector<std::string>{"2,COMConsole,srv1:1560"});
  EXPECT_EQ(ServerSessions("salary"), std::vector<std::string>{"9,1CV8C,srv1:1560"});

  // The designer started afterwards sees the infobase free.
  std::string folder = ScratchFolder("after termination");
  TRunOutcome outcome = RunHidden(DesignerCommand(GetParam() == std::string("V82.COMConnector") ? "V82.Application"
                                                                                              : "V83.Application") +
                                  " CONFIG /Ssrv1\\trade /NAdmin /Psecret /DumpIB" + folder + "\\t.dt /Out" + folder +
                                  "\\t.log");
  EXPECT_EQ(outcome.ExitCode, 0u) << ReadFileBytes(folder + "\\t.log");
}

TEST_P(ConnectorTest, AgentChecksTheClusterAdministrator) {
  WriteFileBytes(kStatePath, Cluster() + kTrade);
  TVariant agent = Call(connector_, "ConnectAgent", Args("srv1"));
  TVariant clusters = Call(agent.Object(), "GetClusters");
  std::vector<TVariant> list = Elements(clusters);
  ASSERT_EQ(list.size(), 1u);
  IDispatch* cluster = list[0].Object();
  EXPECT_EQ(Get(cluster, "ClusterName").Text(), "Main");
  EXPECT_THROW(Call(agent.Object(), "GetWorkingProcesses", Args(ObjectArgument(cluster))), ECallFailed)
      << "nothing is listed before authentication";
  try {
    Call(agent.Object(), "Authenticate", Args(ObjectArgument(cluster), "Admin", "wrong"));
    ADD_FAILURE() << "a wrong password is accepted";
  } catch (const ECallFailed& failure) {
    EXPECT_EQ(failure.Result, DISP_E_EXCEPTION);
    EXPECT_NE(failure.Description.find("Администратор кластера не аутентифицирован"), std::string::npos);
  }
  EXPECT_THROW(Call(agent.Object(), "Authenticate", Args(ObjectArgument(cluster), "", "")), ECallFailed);
  Call(agent.Object(), "Authenticate", Args(ObjectArgument(cluster), "admin", "secret"));
  TVariant processes = Call(agent.Object(), "GetWorkingProcesses", Args(ObjectArgument(cluster)));
  std::vector<TVariant> processList = Elements(processes);
  ASSERT_EQ(processList.size(), 2u);
  EXPECT_EQ(Get(processList[1].Object(), "HostName").Text(), "srv2");
  EXPECT_EQ(Get(processList[1].Object(), "MainPort").get()->vt, VT_I4);
  EXPECT_EQ(Get(processList[1].Object(), "MainPort").Text(), "1561");
  EXPECT_THROW(Call(connector_, "ConnectWorkingProcess", Args("srv3:1560")), ECallFailed);
}

TEST_P(ConnectorTest, AgentThatAcceptsOnlyEmptyCredentials) {
  WriteFileBytes(kStatePath, Cluster("AdminEmptyOnly=1\r\n") + kTrade);
  TVariant agent = Call(connector_, "ConnectAgent", Args("srv1"));
  TVariant clusters = Call(agent.Object(), "GetClusters");
  IDispatch* cluster = Elements(clusters)[0].Object();
  EXPECT_THROW(Call(agent.Object(), "Authenticate", Args(ObjectArgument(cluster), "Admin", "secret")), ECallFailed);
  // The program's fallback gets through, and the termination goes on.
  TerminateSessions("trade", "Admin", "secret");
  EXPECT_EQ(ServerSessions("trade"), std::vector<std::string>{"2,COMConsole,srv1:1560"});
}

TEST_P(ConnectorTest, EmptyClusterArray) {
  WriteFileBytes(kStatePath, Cluster("NoClusters=1\r\n") + kTrade);
  TVariant agent = Call(connector_, "ConnectAgent", Args("srv1"));
  TVariant clusters = Call(agent.Object(), "GetClusters");
  ASSERT_EQ(clusters.get()->vt, VT_ARRAY | VT_VARIANT);
  LONG lower = 1, upper = 1;
  SafeArrayGetLBound(clusters.get()->parray, 1, &lower);
  SafeArrayGetUBound(clusters.get()->parray, 1, &upper);
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, -1);
  LONG index = 0;
  TVariant element;
  EXPECT_EQ(SafeArrayGetElement(clusters.get()->parray, &index, element.get()), DISP_E_BADINDEX);
}

TEST_P(ConnectorTest, FailingDisconnectLeavesTheSession) {
  WriteFileBytes(kStatePath, Cluster() + kTrade + "DisconnectFails=1\r\n");
  try {
    TerminateSessions("trade", "Admin", "secret");
    ADD_FAILURE() << "Disconnect did not fail";
  } catch (const ECallFailed& failure) {
    EXPECT_EQ(failure.Result, DISP_E_EXCEPTION);
    EXPECT_NE(failure.Description.find("Не удалось завершить соединение"), std::string::npos);
  }
  EXPECT_EQ(ServerSessions("trade").size(), 5u);
}

TEST_P(ConnectorTest, InfobaseConnectionsNeedTheInfobaseUsersCredentials) {
  WriteFileBytes(kStatePath, Cluster() + kTrade);
  TVariant connection = Call(connector_, "ConnectWorkingProcess", Args("srv1:1560"));
  Call(connection.Object(), "AddAuthentication", Args("Admin", "wrong"));
  TVariant info = Call(connection.Object(), "CreateInfoBaseInfo");
  Put(info.Object(), "Name", TVariant(std::string("trade")));
  EXPECT_EQ(Get(info.Object(), "Name").Text(), "trade");
  EXPECT_THROW(Call(connection.Object(), "GetInfoBaseConnections", Args(ObjectArgument(info.Object()))),
               ECallFailed);
  Call(connection.Object(), "AddAuthentication", Args("Кладовщик", "склад"));
  TVariant sessions = Call(connection.Object(), "GetInfoBaseConnections", Args(ObjectArgument(info.Object())));
  std::vector<std::string> appIds;
  for (const TVariant& session : Elements(sessions)) appIds.push_back(Get(session.Object(), "AppID").Text());
  // Session 5 names no process and so runs on the first one.
  EXPECT_EQ(appIds, (std::vector<std::string>{"1CV8C", "COMConsole", "1CV8C"}));
}

// Connections opened and released at once from several threads, each with a
// connector of its own: every session added is removed again and none of
// the others is lost, which holds only if every read-modify-write of the
// state is done under the lock.
TEST_P(ConnectorTest, ConcurrentConnectionsLoseNoUpdate) {
  WriteFileBytes(kStatePath, Cluster() + kTrade);
  std::vector<std::string> before = ServerSessions("trade");
  std::string progId = GetParam();
  std::atomic<int> failures{0};
  auto work = [&progId, &failures] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IDispatch* connector = CreateConnector(progId);
    for (int i = 0; i < 25; ++i) {
      try {
        Call(connector, "Connect", Args("Srvr=srv1;Ref=trade;Usr=Admin;Pwd=secret"));
      } catch (const ECallFailed&) {
        ++failures;
      }
    }
    connector->Release();
    CoUninitialize();
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back(work);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(ServerSessions("trade"), before);
}

INSTANTIATE_TEST_SUITE_P(Versions, ConnectorTest, ::testing::Values("V82.COMConnector", "V83.COMConnector"));

}  // namespace
}  // namespace ns::standin::test
