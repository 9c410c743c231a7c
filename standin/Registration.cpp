#include "Registration.h"

#include "win/UniqueHandle.h"
#include "win/Win32Error.h"

namespace ns::standin {

namespace {

void SetString(const std::string& subKey, const char* valueName, const std::string& value) {
  UniqueKey key;
  LSTATUS status = RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) ThrowWin32Error(status, "RegCreateKeyExA");
  status = RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
  if (status != ERROR_SUCCESS) ThrowWin32Error(status, "RegSetValueExA");
}

void DeleteTree(const std::string& subKey) {
  LSTATUS status = RegDeleteTreeA(HKEY_CLASSES_ROOT, subKey.c_str());
  if (status == ERROR_SUCCESS) status = RegDeleteKeyA(HKEY_CLASSES_ROOT, subKey.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) ThrowWin32Error(status, "RegDeleteTreeA");
}

void RegisterProgId(const char* progId, const char* clsid) {
  SetString(progId, nullptr, progId);
  SetString(std::string(progId) + "\\CLSID", nullptr, clsid);
  SetString(std::string("CLSID\\") + clsid, nullptr, progId);
  SetString(std::string("CLSID\\") + clsid + "\\ProgID", nullptr, progId);
}

}  // namespace

void RegisterDesigner(const TVersionIds& ids, const std::string& executablePath) {
  RegisterProgId(ids.ApplicationProgId, ids.ApplicationClsid);
  SetString(std::string("CLSID\\") + ids.ApplicationClsid + "\\LocalServer32", nullptr,
            "\"" + executablePath + "\" /Automation");
}

void UnregisterDesigner(const TVersionIds& ids) {
  DeleteTree(std::string("CLSID\\") + ids.ApplicationClsid);
  DeleteTree(ids.ApplicationProgId);
}

void RegisterConnector(const TVersionIds& ids, const std::string& dllPath) {
  RegisterProgId(ids.ConnectorProgId, ids.ConnectorClsid);
  std::string server = std::string("CLSID\\") + ids.ConnectorClsid + "\\InprocServer32";
  SetString(server, nullptr, dllPath);
  // The objects keep nothing shared in memory (the state lives in files
  // under a mutex), so any apartment may call them directly.
  SetString(server, "ThreadingModel", "Both");
}

void UnregisterConnector(const TVersionIds& ids) {
  DeleteTree(std::string("CLSID\\") + ids.ConnectorClsid);
  DeleteTree(ids.ConnectorProgId);
}

}  // namespace ns::standin
