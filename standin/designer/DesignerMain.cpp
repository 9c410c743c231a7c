// The stand-in designer: registers itself with /regserver, and in batch mode
// dumps an infobase (/DumpIB) or loads a dump into one (/RestoreIB) the way
// the real designer does: it checks the infobase, the user and exclusive
// access, writes the dump or the infobase and its log (Windows-1251) and
// tells the outcome by its exit code. CREATEINFOBASE makes an empty file
// infobase.
#include <windows.h>

#include <string>
#include <vector>

#include "DesignerCommandLine.h"
#include "DumpWriter.h"
#include "FileInfobase.h"
#include "Installation.h"
#include "PlatformState.h"
#include "Registration.h"
#include "StandinError.h"
#include "win/Win32Error.h"

namespace ns::standin {
namespace {

constexpr uint64_t kDefaultServerDumpSize = 1 << 20;
constexpr int kFailureExitCode = 1;

// The Windows-1251 text in the encoding the infobase's knob names: "UTF-16"
// (little-endian with its byte-order mark), "UTF-8-BOM" or "UTF-8"; as it
// is for anything else.
std::string Encoded(const std::string& text, const std::string& encoding) {
  bool utf16 = SameText(encoding, "UTF-16");
  bool utf8 = SameText(encoding, "UTF-8") || SameText(encoding, "UTF-8-BOM");
  if (text.empty() || (!utf16 && !utf8)) return text;
  int count = MultiByteToWideChar(1251, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(count, L'\0');
  MultiByteToWideChar(1251, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
  if (utf16) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : wide) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
  }
  int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), count, bytes.data(), size, nullptr, nullptr);
  return SameText(encoding, "UTF-8-BOM") ? "\xEF\xBB\xBF" + bytes : bytes;
}

// Collects the log's lines and writes them once, in the line-end style and
// the encoding the infobase's knobs ask for.
class TDesignerLog {
 public:
  explicit TDesignerLog(std::optional<std::string> path) : path_(std::move(path)) {}
  void Configure(bool lfOnly, bool nulAfterFirstLine, std::string encoding) {
    lfOnly_ = lfOnly;
    nul_ = nulAfterFirstLine;
    encoding_ = std::move(encoding);
  }
  // A designer that leaves no log at all, whatever happens.
  void Suppress() { path_.reset(); }
  void Add(const std::string& line) { lines_.push_back(line); }
  void Write() const {
    if (!path_) return;
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
      text += lines_[i] + (lfOnly_ ? "\n" : "\r\n");
      if (nul_ && i == 0) text.push_back('\0');
    }
    WriteWholeFile(*path_, Encoded(text, encoding_));
  }

 private:
  std::optional<std::string> path_;
  std::vector<std::string> lines_;
  bool lfOnly_ = false;
  bool nul_ = false;
  std::string encoding_;
};

const char* const kNotDumped = "Выгрузка информационной базы не выполнена";
const char* const kNotLoaded = "Загрузка информационной базы не выполнена";
const char* const kNotCreated = "Создание информационной базы не выполнено";
// The section of the state file whose knobs steer every load and every
// creation of an infobase: the scratch infobase a caller loads into is new
// each time and has no description of its own to hold them.
const char* const kRestoreSection = "Restore";

struct TDumpJob {
  TInfobaseAddress Address;
  TDumpOptions Dump;
  bool Hang = false;
  bool NoDump = false;
  int FailExit = 0;
};

struct TRestoreJob {
  TInfobaseAddress Address;
  bool Hang = false;
  DWORD SlowMilliseconds = 0;
  int FailExit = 0;
};

TInfobaseAddress AddressOf(const TDesignerCommandLine& command) {
  TInfobaseAddress address;
  if (command.File) {
    address.IsFile = true;
    address.Folder = *command.File;
  } else if (command.Server) {
    size_t slash = command.Server->find('\\');
    address.Server = command.Server->substr(0, slash);
    if (slash != std::string::npos) address.Name = command.Server->substr(slash + 1);
  } else {
    throw EStandinError("Не указана информационная база (ключ /F или /S)");
  }
  return address;
}

void ConfigureLog(TDesignerLog& log, const TIniSection& knobs) {
  log.Configure(SameText(knobs.Get("LogLineEnds"), "LF"), KnobOn(knobs, "LogNul"), knobs.Get("LogEncoding"));
}

// A dump and a load both need the infobase to themselves.
void CheckExclusive(const TIniSection& infobase) {
  size_t others = 0;
  for (const TSession& session : Sessions(infobase)) {
    // A console session only administers the cluster; it holds no lock on
    // the infobase's data.
    if (session.AppID != kConsoleAppId) ++others;
  }
  if (others > 0) {
    throw EStandinError("Ошибка установки монопольного режима: информационная база используется другими сеансами (" +
                        std::to_string(others) + ")");
  }
}

// Everything the designer needs to know, read under the state lock, which is
// let go before the (possibly long) dump.
TDumpJob Prepare(const TInstallation& installation, const TDesignerCommandLine& command, TDesignerLog& log) {
  TDumpJob job;
  job.Address = AddressOf(command);
  TPlatformState state(installation.StatePath);
  TIniSection& infobase = state.Infobase(job.Address);
  ConfigureLog(log, infobase);
  CheckCredentials(infobase, command.User.value_or(""), command.Password.value_or(""));
  CheckExclusive(infobase);
  uint64_t fallbackSize = kDefaultServerDumpSize;
  if (job.Address.IsFile) {
    std::string folder = InfobaseFolder(job.Address.Folder);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    std::string dataFile = folder + "\\" + kDataFileName;
    if (GetFileAttributesExA(dataFile.c_str(), GetFileExInfoStandard, &data)) {
      fallbackSize = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    fallbackSize = LoadedDumpSize(folder, fallbackSize);
  }
  job.Dump.Title = job.Address.Text();
  job.Dump.Size = ParseSize(infobase.Get("Size"), fallbackSize);
  job.Dump.Seed = SeedOf(job.Dump.Title);
  job.Dump.SlowMilliseconds = static_cast<DWORD>(ParseNumber(infobase.Get("SlowDump"), 0));
  job.Dump.Sparse = KnobOn(infobase, "Sparse");
  job.Dump.Damaged = KnobOn(infobase, "DamagedDump");
  job.Hang = KnobOn(infobase, "Hang");
  job.NoDump = KnobOn(infobase, "NoDump");
  job.FailExit = static_cast<int>(ParseNumber(infobase.Get("FailExit"), 0));
  return job;
}

int Dump(const TInstallation& installation, const TDesignerCommandLine& command) {
  TDesignerLog log(command.Out);
  try {
    if (!command.Error.empty()) throw EStandinError(command.Error);
    if (!command.DumpIB || command.DumpIB->empty()) throw EStandinError("Не указан файл выгрузки (ключ /DumpIB)");
    TDumpJob job = Prepare(installation, command, log);
    log.Add("Начало выгрузки информационной базы");
    if (job.Hang) {
      // A designer waiting for an answer nobody will give.
      log.Write();
      Sleep(INFINITE);
    }
    if (job.FailExit != 0) {
      log.Add("Ошибка выгрузки информационной базы: внутренняя ошибка платформы");
      log.Add(kNotDumped);
      log.Write();
      return job.FailExit;
    }
    if (!job.NoDump) {
      try {
        WriteDump(*command.DumpIB, job.Dump);
      } catch (const EWin32Error& error) {
        throw EStandinError("Ошибка записи файла выгрузки " + *command.DumpIB + ": " + SystemErrorText(error.Code()));
      }
    }
    log.Add("Выгрузка информационной базы успешно завершена");
    log.Write();
    return 0;
  } catch (const std::exception& error) {
    // Refusals and system errors (an unreadable state file) alike end in
    // the log, as the real designer reports everything there.
    log.Add(error.what());
    log.Add(kNotDumped);
    log.Write();
    return kFailureExitCode;
  }
}

TRestoreJob PrepareRestore(const TInstallation& installation, const TDesignerCommandLine& command,
                           TDesignerLog& log) {
  TRestoreJob job;
  job.Address = AddressOf(command);
  TPlatformState state(installation.StatePath);
  // A copy: looking the infobase up may add sections to the state.
  TIniSection knobs = state.Section(kRestoreSection);
  ConfigureLog(log, knobs);
  if (KnobOn(knobs, "NoLog")) log.Suppress();
  job.Hang = KnobOn(knobs, "Hang");
  job.SlowMilliseconds = static_cast<DWORD>(ParseNumber(knobs.Get("Slow"), 0));
  job.FailExit = static_cast<int>(ParseNumber(knobs.Get("FailExit"), 0));
  TIniSection& infobase = state.Infobase(job.Address);
  if (!job.Address.IsFile) {
    throw EStandinError("Загрузка серверной информационной базы не поддерживается: " + job.Address.Text());
  }
  CheckCredentials(infobase, command.User.value_or(""), command.Password.value_or(""));
  CheckExclusive(infobase);
  return job;
}

int Restore(const TInstallation& installation, const TDesignerCommandLine& command) {
  TDesignerLog log(command.Out);
  try {
    if (!command.Error.empty()) throw EStandinError(command.Error);
    if (command.DumpIB) throw EStandinError("Ключи /DumpIB и /RestoreIB не могут быть указаны вместе");
    if (command.RestoreIB->empty()) throw EStandinError("Не указан файл выгрузки (ключ /RestoreIB)");
    TRestoreJob job = PrepareRestore(installation, command, log);
    log.Add("Начало загрузки информационной базы");
    if (job.Hang) {
      log.Write();
      Sleep(INFINITE);
    }
    Sleep(job.SlowMilliseconds);
    if (job.FailExit != 0) {
      log.Add("Ошибка загрузки информационной базы: внутренняя ошибка платформы");
      log.Add(kNotLoaded);
      log.Write();
      return job.FailExit;
    }
    LoadFileInfobase(InfobaseFolder(job.Address.Folder), *command.RestoreIB);
    log.Add("Загрузка информационной базы успешно завершена");
    log.Write();
    return 0;
  } catch (const std::exception& error) {
    log.Add(error.what());
    log.Add(kNotLoaded);
    log.Write();
    return kFailureExitCode;
  }
}

int CreateInfobase(const TInstallation& installation, const TDesignerCommandLine& command) {
  TDesignerLog log(command.Out);
  try {
    int failExit = 0;
    {
      TPlatformState state(installation.StatePath);
      const TIniSection& knobs = state.Section(kRestoreSection);
      ConfigureLog(log, knobs);
      failExit = static_cast<int>(ParseNumber(knobs.Get("CreateFailExit"), 0));
    }
    if (!command.Error.empty()) throw EStandinError(command.Error);
    if (!command.File) throw EStandinError("Создание серверной информационной базы не поддерживается: " + *command.Server);
    if (failExit != 0) {
      log.Add("Ошибка создания информационной базы: внутренняя ошибка платформы");
      log.Add(kNotCreated);
      log.Write();
      return failExit;
    }
    CreateFileInfobase(InfobaseFolder(*command.File));
    log.Add("Создание информационной базы успешно завершено");
    log.Write();
    return 0;
  } catch (const std::exception& error) {
    log.Add(error.what());
    log.Add(kNotCreated);
    log.Write();
    return kFailureExitCode;
  }
}

int Run() {
  TDesignerCommandLine command = ParseDesignerCommandLine(GetCommandLineA());
  TInstallation installation = LoadInstallation(nullptr);
  const TVersionIds& ids = *FindVersion(installation.Version);
  if (command.RegServer) {
    RegisterDesigner(ids, ModulePath(nullptr));
    return 0;
  }
  if (command.UnregServer) {
    UnregisterDesigner(ids);
    return 0;
  }
  switch (command.Mode) {
    case TDesignerMode::None:
      // Started as an automation server: the stand-in offers no automation
      // object of the application, only batch mode.
      return kFailureExitCode;
    case TDesignerMode::CreateInfobase:
      return CreateInfobase(installation, command);
    default:
      return command.RestoreIB ? Restore(installation, command) : Dump(installation, command);
  }
}

}  // namespace
}  // namespace ns::standin

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    return ns::standin::Run();
  } catch (const std::exception& error) {
    // Nobody reads a hidden designer's screen; the exit code tells the
    // caller, the debugger output tells a person.
    OutputDebugStringA(error.what());
    return 2;
  }
}
