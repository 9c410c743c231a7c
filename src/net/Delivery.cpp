#include "net/Delivery.h"

#include <winsock2.h>
#include <windows.h>

#include <climits>

#include "net/Blocksock.h"
#include "net/Report.h"

namespace ns {

std::string LocalComputerName() {
  char name[SenderNameSize] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return std::string();
  return std::string(name, size);
}

bool DeliverLog(const std::string& computer, const std::string& text, const TDeliverySettings& settings) {
  TBlockingSocket socket;
  try {
    const std::string header = ReportHeader(text, LocalComputerName());
    const std::string body = ReportBody(text);
    if (body.size() > INT_MAX) return false;
    const sockaddr_in address = TBlockingSocket::GetHostByName(computer.c_str(), settings.Port);
    socket.Create(SOCK_STREAM);
    socket.Connect(address, settings.ConnectTimeoutSeconds);
    socket.Send(header.data(), static_cast<int>(header.size()), settings.SendTimeoutSeconds);
    socket.Send(body.data(), static_cast<int>(body.size()), settings.SendTimeoutSeconds);
  } catch (...) {
    // Nobody is told: the next computer is tried, and the report is also in
    // the task's recorded log.
    socket.CloseSocket();
    return false;
  }
  socket.CloseSocket();
  return true;
}

void DeliverReport(const std::string& serversText, const std::string& taskName, const std::string& logText,
                   const TDeliverySettings& settings) {
  try {
    const std::vector<std::string> computers = ReportRecipients(serversText);
    if (computers.empty()) return;
    const std::string report = ReportText(taskName, logText);
    for (const std::string& computer : computers) DeliverLog(computer, report, settings);
  } catch (...) {
    // Only running out of memory gets here; delivery never fails a run.
  }
}

}  // namespace ns
