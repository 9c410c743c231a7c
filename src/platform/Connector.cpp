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

bool TestConnection(const std::string& connectionString, const std::string& caption, PlatformVersion version,
                    bool show) {
  TComPtr<IDispatch> connector;
  bool opened = false;
  try {
    if (!CreateConnector(connector, version)) return false;
    // The connection object is released at once: opening it is the test.
    CallFunction(connector, "Connect", {TVariant(connectionString)});
    opened = true;
    if (show) {
      MessageBoxA(GetActiveWindow(), "Соединение успешно установлено!", caption.c_str(),
                  MB_OK | MB_ICONINFORMATION);
    }
  } catch (const std::exception& error) {
    if (show) {
      MessageBoxA(GetActiveWindow(), ("Ошибка: " + std::string(error.what())).c_str(), caption.c_str(),
                  MB_OK | MB_ICONERROR);
    }
  }
  connector.reset();
  return opened;
}

}  // namespace ns
