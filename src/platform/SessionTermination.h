#pragma once
// Ends the other users' sessions of a client-server infobase through the
// cluster administration of the platform's COM connector, before an
// exclusive dump. Best effort: it reports nothing and never throws. Runs on
// the thread that initialised COM (the main thread).
#include <string>

#include "platform/ConnectionString.h"
#include "platform/PlatformInfo.h"

namespace ns {

// How the cluster agent of this computer is asked: "localhost" reaches it on
// every Windows whatever the computer is called.
inline constexpr const char* ClusterAgentHost = "localhost";

// The computer whose cluster agent is asked for the clusters of a server
// infobase: the infobase's own server (without the cluster's port, the
// agent has its own), or ClusterAgentHost when that server is this
// computer.
std::string ClusterAgentAddress(const std::string& base);

// Disconnects every connection of the server infobase `logon` names on every
// working process of the first cluster of its server's agent, except the
// connections of the COM console, authenticating with the logon's user and
// password. Does nothing for a file infobase or a version that has no
// connector.
void TerminateSessions(const TInfobaseLogon& logon, PlatformVersion version);

}  // namespace ns
