#pragma once
// What the stand-in's tests need to drive it as the program does: the
// registry lookup of the designer, a hidden CreateProcess that is waited
// for, files in Windows-1251, the shared state file, and a small late-bound
// IDispatch caller of their own (the product's wrappers are tested apart).
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace ns::standin::test {

// The state file every installed copy of the stand-in shares.
inline constexpr const char* kStatePath = "C:\\standin\\state.ini";

// The default value of HKEY_CLASSES_ROOT\<subKey>, byte for byte; throws
// when missing.
std::string ClassesRootDefault(const std::string& subKey);
// The registered LocalServer32 text of "V82.Application" or "V83.Application".
std::string DesignerCommand(const std::string& progId);

struct TRunOutcome {
  bool Finished = false;  // false: still running at the timeout, then killed
  DWORD ExitCode = 0;
  ULONGLONG Milliseconds = 0;
};
// Starts the command line as the program starts the designer: no
// application name, hidden, and waits (at most `timeout`).
TRunOutcome RunHidden(const std::string& commandLine, DWORD timeout = 120000);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
uint64_t FileSize(const std::string& path);
// A fresh empty folder under the temporary folder, its name holding blanks.
std::string ScratchFolder(const std::string& name);
// A file infobase: the folder with a data file of `dataSize` bytes and the
// given description (may be empty: no description file).
std::string MakeFileInfobase(const std::string& folder, size_t dataSize, const std::string& description);

// Owns one VARIANT.
class TVariant {
 public:
  TVariant() { VariantInit(&value_); }
  explicit TVariant(const std::string& text);
  ~TVariant() { VariantClear(&value_); }
  TVariant(TVariant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
  VARIANT* get() { return &value_; }
  const VARIANT* get() const { return &value_; }
  std::string Text() const;
  IDispatch* Object() const;  // borrowed

 private:
  VARIANT value_;
};

// A failed late-bound call: the HRESULT and, for DISP_E_EXCEPTION, the
// description the object gave.
struct ECallFailed {
  HRESULT Result;
  std::string Description;
};

// Calls by name: resolves with GetIDsOfNames and invokes with
// LOCALE_SYSTEM_DEFAULT, as the program does.
TVariant Call(IDispatch* object, const std::string& name, std::vector<TVariant> arguments = {});
TVariant Get(IDispatch* object, const std::string& name);
void Put(IDispatch* object, const std::string& name, TVariant value);
// Passes an object back as an argument.
TVariant ObjectArgument(IDispatch* object);
// The elements of a one-dimensional SAFEARRAY of VARIANT.
std::vector<TVariant> Elements(const TVariant& array);

// Creates "V8x.COMConnector" through CLSIDFromProgID and CoCreateInstance.
IDispatch* CreateConnector(const std::string& progId);

// COM for the current thread as the program initialises it (STA).
class TComApartment {
 public:
  TComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~TComApartment() { CoUninitialize(); }
};

// The sessions ("Session=" values) of a server infobase in the state file.
std::vector<std::string> ServerSessions(const std::string& infobase);

}  // namespace ns::standin::test
