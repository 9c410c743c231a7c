#include "StandinTestSupport.h"

#include <stdexcept>

#include "IniFile.h"
#include "win/Bstr.h"

namespace ns::standin::test {

namespace {

TVariant Invoke(IDispatch* object, const std::string& name, WORD flags, std::vector<TVariant>& arguments) {
  if (!object) throw std::runtime_error("no object for " + name);
  std::wstring wide = AnsiToWide(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = 0;
  HRESULT result = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
  if (FAILED(result)) throw ECallFailed{result, "unknown name " + name};
  std::vector<VARIANT> reversed;
  for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) reversed.push_back(*it->get());
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (flags == DISPATCH_PROPERTYPUT) {
    parameters.rgdispidNamedArgs = &putId;
    parameters.cNamedArgs = 1;
  }
  EXCEPINFO exception{};
  UINT argumentError = 0;
  TVariant value;
  result = object->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &parameters,
                          flags == DISPATCH_PROPERTYPUT ? nullptr : value.get(), &exception, &argumentError);
  if (FAILED(result)) {
    std::string description;
    if (exception.bstrDescription) {
      description = BstrToAnsi(exception.bstrDescription);
    }
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    throw ECallFailed{result, description};
  }
  return value;
}

}  // namespace

std::string ClassesRootDefault(const std::string& subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    throw std::runtime_error("no key HKCR\\" + subKey);
  }
  DWORD size = 0;
  RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size);
  std::string value(size, '\0');
  LSTATUS status =
      RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) throw std::runtime_error("no default value in HKCR\\" + subKey);
  value.resize(size);
  if (!value.empty() && value.back() == '\0') value.pop_back();
  return value;
}

std::string DesignerCommand(const std::string& progId) {
  std::string clsid = ClassesRootDefault(progId + "\\CLSID");
  return ClassesRootDefault("CLSID\\" + clsid + "\\LocalServer32");
}

TRunOutcome RunHidden(const std::string& commandLine, DWORD timeout) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  std::string mutableLine = commandLine;
  ULONGLONG start = GetTickCount64();
  if (!CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &process)) {
    throw std::runtime_error("CreateProcess failed: " + commandLine);
  }
  CloseHandle(process.hThread);
  TRunOutcome outcome;
  outcome.Finished = WaitForSingleObject(process.hProcess, timeout) == WAIT_OBJECT_0;
  outcome.Milliseconds = GetTickCount64() - start;
  if (outcome.Finished) {
    GetExitCodeProcess(process.hProcess, &outcome.ExitCode);
  } else {
    TerminateProcess(process.hProcess, 9);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  CloseHandle(process.hProcess);
  return outcome;
}

std::string ReadFileBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
  DWORD wrote = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
  CloseHandle(file);
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string ScratchFolder(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "standin test " + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  return folder;
}

std::string MakeFileInfobase(const std::string& folder, size_t dataSize, const std::string& description) {
  CreateDirectoryA(folder.c_str(), nullptr);
  WriteFileBytes(folder + "\\1Cv8.1CD", std::string(dataSize, '\x5A'));
  std::string descriptionPath = folder + "\\standin.ini";
  if (description.empty()) {
    DeleteFileA(descriptionPath.c_str());
  } else {
    WriteFileBytes(descriptionPath, description);
  }
  return folder;
}

TVariant::TVariant(const std::string& text) {
  VariantInit(&value_);
  std::wstring wide = AnsiToWide(text);
  value_.vt = VT_BSTR;
  value_.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string TVariant::Text() const {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value_), 0, VT_BSTR))) {
    throw std::runtime_error("not convertible to text");
  }
  std::string narrow = BstrToAnsi(text.bstrVal);
  VariantClear(&text);
  return narrow;
}

IDispatch* TVariant::Object() const {
  if (value_.vt != VT_DISPATCH || !value_.pdispVal) throw std::runtime_error("not an object");
  return value_.pdispVal;
}

TVariant Call(IDispatch* object, const std::string& name, std::vector<TVariant> arguments) {
  return Invoke(object, name, DISPATCH_METHOD, arguments);
}

TVariant Get(IDispatch* object, const std::string& name) {
  std::vector<TVariant> none;
  return Invoke(object, name, DISPATCH_PROPERTYGET, none);
}

void Put(IDispatch* object, const std::string& name, TVariant value) {
  std::vector<TVariant> arguments;
  arguments.push_back(std::move(value));
  Invoke(object, name, DISPATCH_PROPERTYPUT, arguments);
}

TVariant ObjectArgument(IDispatch* object) {
  TVariant argument;
  argument.get()->vt = VT_DISPATCH;
  argument.get()->pdispVal = object;
  object->AddRef();
  return argument;
}

std::vector<TVariant> Elements(const TVariant& array) {
  const VARIANT* value = array.get();
  if (value->vt != (VT_ARRAY | VT_VARIANT) || SafeArrayGetDim(value->parray) != 1) {
    throw std::runtime_error("not a one-dimensional array of variants");
  }
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(value->parray, 1, &lower);
  SafeArrayGetUBound(value->parray, 1, &upper);
  std::vector<TVariant> elements;
  for (LONG i = lower; i <= upper; ++i) {
    TVariant element;
    if (FAILED(SafeArrayGetElement(value->parray, &i, element.get()))) throw std::runtime_error("bad element");
    elements.push_back(std::move(element));
  }
  return elements;
}

IDispatch* CreateConnector(const std::string& progId) {
  std::wstring wide = AnsiToWide(progId);
  CLSID clsid;
  HRESULT result = CLSIDFromProgID(wide.c_str(), &clsid);
  if (FAILED(result)) throw ECallFailed{result, "CLSIDFromProgID " + progId};
  IDispatch* connector = nullptr;
  result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(&connector));
  if (FAILED(result)) throw ECallFailed{result, "CoCreateInstance " + progId};
  return connector;
}

std::vector<std::string> ServerSessions(const std::string& infobase) {
  TIniFile state = TIniFile::Parse(ReadFileBytes(kStatePath));
  for (TIniSection* section : state.Named("Infobase")) {
    if (SameText(section->Get("Name"), infobase)) return section->All("Session");
  }
  throw std::runtime_error("no infobase " + infobase + " in the state");
}

}  // namespace ns::standin::test
