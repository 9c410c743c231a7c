#pragma once
// Ends the other users' sessions of a client-server infobase through the
// cluster administration of the platform's COM connector, before an
// exclusive dump. Best effort: it reports nothing and never throws. Runs on
// the thread that initialised COM (the main thread).
#include <string>

#include "platform/ConnectionString.h"
#include "platform/PlatformInfo.h"

namespace ns {

// The computer whose cluster agent is asked for the clusters. The agent runs
// on the 1C:Enterprise server, and the program is meant to run there too
// (a backup is made where the server's disk is), so the local computer is
// asked: "localhost" reaches the agent on every Windows whatever the
// computer is called.
inline constexpr const char* ClusterAgentHost = "localhost";

// Disconnects every connection of the server infobase `logon` names on every
// working process of the agent's first cluster, except the connections of
// the COM console, authenticating with the logon's user and password. Does
// nothing for a file infobase or a version that has no connector.
void TerminateSessions(const TInfobaseLogon& logon, PlatformVersion version);

}  // namespace ns
