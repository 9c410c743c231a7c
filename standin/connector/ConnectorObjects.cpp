#include "ConnectorObjects.h"

#include "ConnectionString.h"
#include "PlatformState.h"
#include "StandinError.h"

namespace ns::standin {

namespace {

constexpr const char* kDefaultClusterName = "Локальный кластер";
constexpr long kDefaultClusterPort = 1541;
constexpr const char* kConnectionAppId = "COMConnection";

// Unique across the processes that share the state: the process id and a
// count within the process.
std::string NewSessionId() {
  static std::atomic<unsigned> count{0};
  return std::to_string(GetCurrentProcessId() * 1000ULL + ++count % 1000);
}

long Number(const std::string& text) {
  try {
    return std::stol(text);
  } catch (const std::exception&) {
    return 0;
  }
}

template <typename T>
T& ArgumentOf(const VARIANT* argument, const char* expected) {
  T* object = dynamic_cast<T*>(ArgumentObject(argument));
  if (!object) throw EStandinError(std::string("Неверный тип параметра: ожидается ") + expected);
  return *object;
}

// The result of Connect: an open infobase connection. Like the real one it
// is a session of the infobase ("COMConnection") for as long as the object
// lives, so a connection the caller forgets to release keeps an exclusive
// dump from starting.
class TInfobaseConnection : public TDispatchObject {
 public:
  TInfobaseConnection(std::string statePath, TInfobaseAddress address, std::string session)
      : statePath_(std::move(statePath)), address_(std::move(address)), session_(std::move(session)) {
    AddGetter("InfoBase", [this](const TArguments&, VARIANT* result) { ReturnText(result, address_.Text()); });
  }
  ~TInfobaseConnection() override {
    try {
      TPlatformState state(statePath_);
      if (RemoveSession(state.Infobase(address_), TSession{session_, "", "", ""})) state.Save();
    } catch (const std::exception&) {
      // The infobase has gone meanwhile; there is nothing left to end.
    }
  }

 private:
  std::string statePath_;
  TInfobaseAddress address_;
  std::string session_;
};

class TCluster : public TDispatchObject {
 public:
  TCluster(const std::string& name, const std::string& host, long port) {
    AddGetter("ClusterName", [name](const TArguments&, VARIANT* result) { ReturnText(result, name); });
    AddGetter("HostName", [host](const TArguments&, VARIANT* result) { ReturnText(result, host); });
    AddGetter("MainPort", [port](const TArguments&, VARIANT* result) { ReturnNumber(result, port); });
  }
};

class TWorkingProcess : public TDispatchObject {
 public:
  TWorkingProcess(const std::string& host, long port) {
    AddGetter("HostName", [host](const TArguments&, VARIANT* result) { ReturnText(result, host); });
    AddGetter("MainPort", [port](const TArguments&, VARIANT* result) { ReturnNumber(result, port); });
  }
};

class TAgentConnection : public TDispatchObject {
 public:
  TAgentConnection(std::string statePath, std::string host) : statePath_(std::move(statePath)), host_(std::move(host)) {
    AddMethod("GetClusters", 0, [this](const TArguments&, VARIANT* result) { GetClusters(result); });
    AddMethod("Authenticate", 3, [this](const TArguments& arguments, VARIANT*) {
      ArgumentOf<TCluster>(arguments[0], "кластер");
      TPlatformState state(statePath_);
      CheckAdministrator(state.Cluster(), ArgumentText(arguments[1]), ArgumentText(arguments[2]));
      authenticated_ = true;
    });
    AddMethod("GetWorkingProcesses", 1, [this](const TArguments& arguments, VARIANT* result) {
      ArgumentOf<TCluster>(arguments[0], "кластер");
      GetWorkingProcesses(result);
    });
  }

 private:
  void GetClusters(VARIANT* result) {
    TPlatformState state(statePath_);
    TIniSection& cluster = state.Cluster();
    std::vector<TDispatchObject*> clusters;
    if (!KnobOn(cluster, "NoClusters")) {
      std::string port = cluster.Get("Port");
      clusters.push_back(new TCluster(cluster.Get("Name", kDefaultClusterName), host_,
                                      port.empty() ? kDefaultClusterPort : Number(port)));
    }
    ReturnArray(result, clusters);
  }

  void GetWorkingProcesses(VARIANT* result) {
    if (!authenticated_) throw EStandinError("Администратор кластера не аутентифицирован");
    TPlatformState state(statePath_);
    std::vector<TDispatchObject*> processes;
    for (TIniSection* process : state.Processes()) {
      processes.push_back(new TWorkingProcess(process->Get("Host"), Number(process->Get("Port"))));
    }
    ReturnArray(result, processes);
  }

  std::string statePath_;
  std::string host_;
  bool authenticated_ = false;
};

class TInfoBaseInfo : public TDispatchObject {
 public:
  TInfoBaseInfo() {
    AddGetter("Name", [this](const TArguments&, VARIANT* result) { ReturnText(result, name_); });
    AddSetter("Name", [this](const TArguments& arguments, VARIANT*) { name_ = ArgumentText(arguments[0]); });
  }
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

// One session of an infobase on a working process, as the cluster lists it.
class TInfoBaseConnection : public TDispatchObject {
 public:
  TInfoBaseConnection(std::string infobase, TSession session, std::string host)
      : infobase_(std::move(infobase)), session_(std::move(session)) {
    AddGetter("AppID", [this](const TArguments&, VARIANT* result) { ReturnText(result, session_.AppID); });
    AddGetter("ConnID", [this](const TArguments&, VARIANT* result) { ReturnNumber(result, Number(session_.Id)); });
    AddGetter("HostName", [host](const TArguments&, VARIANT* result) { ReturnText(result, host); });
  }
  const std::string& Infobase() const { return infobase_; }
  const TSession& Session() const { return session_; }

 private:
  std::string infobase_;
  TSession session_;
};

class TWorkingProcessConnection : public TDispatchObject {
 public:
  TWorkingProcessConnection(std::string statePath, std::string address, bool first)
      : statePath_(std::move(statePath)), address_(std::move(address)), first_(first) {
    AddMethod("AddAuthentication", 2, [this](const TArguments& arguments, VARIANT*) {
      user_ = ArgumentText(arguments[0]);
      password_ = ArgumentText(arguments[1]);
    });
    AddMethod("CreateInfoBaseInfo", 0,
              [](const TArguments&, VARIANT* result) { ReturnObject(result, new TInfoBaseInfo); });
    AddMethod("GetInfoBaseConnections", 1, [this](const TArguments& arguments, VARIANT* result) {
      GetInfoBaseConnections(ArgumentOf<TInfoBaseInfo>(arguments[0], "описание информационной базы").Name(),
                             result);
    });
    AddMethod("Disconnect", 1, [this](const TArguments& arguments, VARIANT*) {
      Disconnect(ArgumentOf<TInfoBaseConnection>(arguments[0], "соединение"));
    });
  }

 private:
  void GetInfoBaseConnections(const std::string& name, VARIANT* result) {
    TPlatformState state(statePath_);
    TIniSection& infobase = state.ServerInfobase(name);
    try {
      CheckCredentials(infobase, user_, password_);
    } catch (const EStandinError&) {
      throw EStandinError("Недостаточно прав пользователя на информационную базу " + name);
    }
    std::string host = address_.substr(0, address_.find(':'));
    std::vector<TDispatchObject*> connections;
    for (const TSession& session : Sessions(infobase)) {
      if (RunsOn(session, address_, first_)) connections.push_back(new TInfoBaseConnection(name, session, host));
    }
    ReturnArray(result, connections);
  }

  void Disconnect(const TInfoBaseConnection& connection) {
    TPlatformState state(statePath_);
    TIniSection& infobase = state.ServerInfobase(connection.Infobase());
    if (KnobOn(infobase, "DisconnectFails")) {
      throw EStandinError("Не удалось завершить соединение " + connection.Session().Id +
                          ": рабочий процесс не отвечает");
    }
    if (!RemoveSession(infobase, connection.Session())) {
      throw EStandinError("Соединение " + connection.Session().Id + " не найдено");
    }
    state.Save();
  }

  std::string statePath_;
  std::string address_;
  bool first_;
  std::string user_;
  std::string password_;
};

class TConnector : public TDispatchObject {
 public:
  explicit TConnector(std::string statePath) : statePath_(std::move(statePath)) {
    AddMethod("Connect", 1, [this](const TArguments& arguments, VARIANT* result) {
      TConnectionString connection = ParseConnectionString(ArgumentText(arguments[0]));
      TPlatformState state(statePath_);
      TIniSection& infobase = state.Infobase(connection.Address);
      CheckCredentials(infobase, connection.User, connection.Password);
      std::string session = NewSessionId() + "," + kConnectionAppId;
      std::vector<TIniSection*> processes = state.Processes();
      if (!connection.Address.IsFile && !processes.empty()) session += "," + ProcessAddress(*processes.front());
      infobase.Lines.push_back({"Session", session});
      state.Save();
      ReturnObject(result, new TInfobaseConnection(statePath_, connection.Address, session));
    });
    AddMethod("ConnectAgent", 1, [this](const TArguments& arguments, VARIANT* result) {
      std::string host = WithoutProtocol(ArgumentText(arguments[0]));
      TPlatformState(statePath_).CheckServer(host);
      ReturnObject(result, new TAgentConnection(statePath_, host.substr(0, host.find(':'))));
    });
    AddMethod("ConnectWorkingProcess", 1, [this](const TArguments& arguments, VARIANT* result) {
      std::string address = WithoutProtocol(ArgumentText(arguments[0]));
      TPlatformState state(statePath_);
      std::vector<TIniSection*> processes = state.Processes();
      for (size_t i = 0; i < processes.size(); ++i) {
        TSession probe{"", "", "", address};
        if (RunsOn(probe, ProcessAddress(*processes[i]), false)) {
          ReturnObject(result, new TWorkingProcessConnection(statePath_, ProcessAddress(*processes[i]), i == 0));
          return;
        }
      }
      throw EStandinError("Рабочий процесс не обнаружен: " + address);
    });
  }

 private:
  static std::string WithoutProtocol(const std::string& address) {
    return address.compare(0, 6, "tcp://") == 0 ? address.substr(6) : address;
  }

  std::string statePath_;
};

}  // namespace

TDispatchObject* CreateConnector(const std::string& statePath) { return new TConnector(statePath); }

}  // namespace ns::standin
