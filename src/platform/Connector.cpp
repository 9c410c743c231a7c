#include "platform/Connector.h"

#include <objbase.h>

#include <exception>
#include <utility>

#include "win/Bstr.h"
#include "win/ComError.h"
#include "win/Dispatch.h"

namespace ns {

namespace {

const char* ConnectorProgId(PlatformVersion version) {
  switch (version) {
    case PlatformVersion82: return "V82.COMConnector";
    case PlatformVersion83: return "V83.COMConnector";
    default: return nullptr;
  }
}

}  // namespace

bool CreateConnector(TComPtr<IDispatch>& connector, PlatformVersion version) {
  const char* progId = ConnectorProgId(version);
  if (!progId) return false;
  CLSID classId;
  CheckCom(CLSIDFromProgID(AnsiToWide(progId).c_str(), &classId), "CLSIDFromProgID");
  TComPtr<IDispatch> created;
  CheckCom(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(created.put())),
           "CoCreateInstance");
  connector = std::move(created);
  return true;
}

TConnectionOutcome TestConnection(const std::string& connectionString, PlatformVersion version) {
  TConnectionOutcome outcome;
  try {
    TComPtr<IDispatch> connector;
    if (!CreateConnector(connector, version)) return outcome;
    // The connection object is released at once: opening it is the test.
    CallFunction(connector, "Connect", {TVariant(connectionString)});
    outcome.Opened = true;
  } catch (const std::exception& error) {
    outcome.Error = error.what();
  }
  return outcome;
}

}  // namespace ns
