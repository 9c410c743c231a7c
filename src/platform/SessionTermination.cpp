#include "platform/SessionTermination.h"

#include <windows.h>
#include <oaidl.h>

#include "platform/Connector.h"
#include "platform/InfobaseAddress.h"
#include "win/ComPtr.h"
#include "win/Dispatch.h"
#include "win/SafeArray.h"
#include "win/Variant.h"

namespace ns {

namespace {

// Connections of the COM console are the administrator's own tools and are
// left running.
constexpr const char* SparedApplication = "COMConsole";

// The agent may accept only an empty administrator: the infobase user's
// credentials are tried first, then the empty ones; the second refusal ends
// the whole operation.
void AuthenticateAtAgent(const TComPtr<IDispatch>& agent, const TVariant& cluster,
                         const TInfobaseLogon& logon) {
  try {
    CallProcedure(agent, "Authenticate",
                  {cluster, TVariant(logon.User), TVariant(logon.Password)});
  } catch (...) {
    CallProcedure(agent, "Authenticate", {cluster, TVariant(""), TVariant("")});
  }
}

void DisconnectOnWorkingProcess(const TComPtr<IDispatch>& connector, const TVariant& process,
                                const std::string& infobase, const TInfobaseLogon& logon) {
  TComPtr<IDispatch> processObject = process.Object();
  std::string port = GetProperty(processObject, "MainPort").Text();
  std::string host = GetProperty(processObject, "HostName").Text();
  TComPtr<IDispatch> connection =
      CallFunction(connector, "ConnectWorkingProcess", {TVariant(host + ":" + port)}).Object();
  CallProcedure(connection, "AddAuthentication",
                {TVariant(logon.User), TVariant(logon.Password)});
  TVariant description = CallFunction(connection, "CreateInfoBaseInfo");
  PutProperty(description.Object(), "Name", TVariant(infobase));
  TVariantArray sessions(CallFunction(connection, "GetInfoBaseConnections", {description}));
  for (long i = 0; i < sessions.Count(); ++i) {
    TVariant session = sessions.At(i);
    if (GetProperty(session.Object(), "AppID").Text() == SparedApplication) continue;
    CallProcedure(connection, "Disconnect", {session});
  }
}

std::string OwnComputerName(COMPUTER_NAME_FORMAT format) {
  char name[256] = {};
  DWORD size = sizeof name;
  return GetComputerNameExA(format, name, &size) ? std::string(name, size) : std::string();
}

}  // namespace

std::string ClusterAgentAddress(const std::string& base) {
  std::string_view host = InfobaseServerHost(base);
  if (host.empty()) return ClusterAgentHost;
  std::string netbios = OwnComputerName(ComputerNameNetBIOS);
  std::string dns = OwnComputerName(ComputerNameDnsHostname);
  std::string full = OwnComputerName(ComputerNameDnsFullyQualified);
  if (NamesThisComputer(host, {netbios, dns, full})) return ClusterAgentHost;
  return std::string(host);
}

void TerminateSessions(const TInfobaseLogon& logon, PlatformVersion version) {
  std::string infobase = ServerInfobaseName(logon.Base);
  // A file infobase has no sessions the cluster knows of.
  if (infobase.empty()) return;
  TComPtr<IDispatch> connector;
  try {
    if (!CreateConnector(connector, version)) return;
    TComPtr<IDispatch> agent =
        CallFunction(connector, "ConnectAgent", {TVariant(ClusterAgentAddress(logon.Base))}).Object();
    TVariant cluster = TVariantArray(CallFunction(agent, "GetClusters")).At(0);
    AuthenticateAtAgent(agent, cluster, logon);
    TVariantArray processes(CallFunction(agent, "GetWorkingProcesses", {cluster}));
    for (long i = 0; i < processes.Count(); ++i) {
      DisconnectOnWorkingProcess(connector, processes.At(i), infobase, logon);
    }
  } catch (...) {
    // Best effort: the dump goes ahead whatever became of the sessions.
  }
  connector.reset();
}

}  // namespace ns
