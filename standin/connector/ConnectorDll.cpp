// The stand-in COM connector: an in-process server of "V82.COMConnector" or
// "V83.COMConnector", whichever version the installation beside the DLL
// plays.
#include <windows.h>
#include <olectl.h>
#include <unknwn.h>

#include "ConnectorObjects.h"
#include "Installation.h"
#include "Registration.h"

namespace ns::standin {
namespace {

HMODULE gModule = nullptr;
std::atomic<long> gLocks{0};

class TClassFactory : public IClassFactory {
 public:
  explicit TClassFactory(std::string statePath) : statePath_(std::move(statePath)) { ++gLiveObjects; }
  virtual ~TClassFactory() { --gLiveObjects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    TDispatchObject* connector;
    try {
      connector = CreateConnector(statePath_);
    } catch (const std::exception&) {
      return E_OUTOFMEMORY;
    }
    HRESULT outcome = connector->QueryInterface(iid, object);
    connector->Release();
    return outcome;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++gLocks : --gLocks;
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{1};
  std::string statePath_;
};

}  // namespace
}  // namespace ns::standin

using namespace ns::standin;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gModule = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  try {
    TInstallation installation = LoadInstallation(gModule);
    if (!IsEqualCLSID(clsid, FindVersion(installation.Version)->ConnectorClass)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new TClassFactory(installation.StatePath);
    HRESULT outcome = factory->QueryInterface(iid, object);
    factory->Release();
    return outcome;
  } catch (const std::exception&) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return gLiveObjects == 0 && gLocks == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  try {
    TInstallation installation = LoadInstallation(gModule);
    RegisterConnector(*FindVersion(installation.Version), ModulePath(gModule));
    return S_OK;
  } catch (const std::exception&) {
    return SELFREG_E_CLASS;
  }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  try {
    UnregisterConnector(*FindVersion(LoadInstallation(gModule).Version));
    return S_OK;
  } catch (const std::exception&) {
    return SELFREG_E_CLASS;
  }
}
