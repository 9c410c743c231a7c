#pragma once
// The stand-in's picture of the world, read from its files under the state
// lock: the cluster, its working processes, the server infobases (all in the
// shared state file) and file infobases (folders holding a data file and
// the description of their users and sessions). The layout is described in
// standin/README.md.
#include <cstdint>
#include <string>
#include <vector>

#include "IniFile.h"
#include "StateFiles.h"

namespace ns::standin {

inline constexpr const char* kDataFileName = "1Cv8.1CD";
inline constexpr const char* kDescriptionFileName = "standin.ini";
inline constexpr const char* kConsoleAppId = "COMConsole";

// An infobase as the designer's /F or /S key, or a connection string, names it.
struct TInfobaseAddress {
  bool IsFile = false;
  std::string Folder;  // file infobase
  std::string Server;  // server infobase: the cluster's server name, maybe with ":port"
  std::string Name;    // server infobase: its name in the cluster
  std::string Text() const;
};

struct TSession {
  std::string Line;     // the "Session=" value as stored, which identifies it
  std::string Id;
  std::string AppID;
  std::string Process;  // "host:port"; empty means the first working process
};

// One locked look at the state: the lock is held from construction to
// destruction, so a read-modify-write is one object's life.
class TPlatformState {
 public:
  explicit TPlatformState(const std::string& statePath);

  // The [Cluster] section; an empty one when the file has none.
  TIniSection& Cluster();
  // The first section of that name; an empty one when the file has none.
  TIniSection& Section(const std::string& name);
  std::vector<TIniSection*> Processes();
  // Throws EStandinError when the server name is not the cluster's.
  void CheckServer(const std::string& server);
  // The infobase's description. Throws EStandinError when there is no such
  // infobase (a folder without the data file, an unknown name).
  TIniSection& Infobase(const TInfobaseAddress& address);
  // A server infobase by its name in the cluster; throws when unknown.
  TIniSection& ServerInfobase(const std::string& name);

  // Writes back the state file and the file infobase description read.
  void Save();

 private:
  TStateLock lock_;
  std::string statePath_;
  TIniFile state_;
  std::string descriptionPath_;
  TIniFile description_;
};

// Throws EStandinError unless the infobase accepts the user and password.
// An infobase without "User=" lines has no user list and accepts anyone.
void CheckCredentials(const TIniSection& infobase, const std::string& user, const std::string& password);
// Throws EStandinError unless the cluster accepts the administrator.
void CheckAdministrator(TIniSection& cluster, const std::string& user, const std::string& password);

std::vector<TSession> Sessions(const TIniSection& infobase);
bool RemoveSession(TIniSection& infobase, const TSession& session);
// "host:port" of a working process section.
std::string ProcessAddress(const TIniSection& process);
// Whether the session runs on the process; `first` tells whether that is
// the cluster's first working process.
bool RunsOn(const TSession& session, const std::string& processAddress, bool first);

// A knob is on when its value is 1, yes, true or on.
bool KnobOn(const TIniSection& section, const std::string& key);
// A byte count with an optional K, M or G suffix (binary multiples).
uint64_t ParseSize(const std::string& text, uint64_t fallback);
// A plain decimal number (milliseconds, an exit code).
uint64_t ParseNumber(const std::string& text, uint64_t fallback);

}  // namespace ns::standin
