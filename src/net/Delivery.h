#pragma once
// Sending a task's report to the computers listed in "Servers": a fresh TCP
// connection to each, one message of a 20-byte header and the text, nothing
// read back. Delivery is best effort: every failure is silent and one
// unreachable computer does not keep the others from their report.
#include <string>

namespace ns {

struct TDeliverySettings {
  unsigned short Port = 800;
  // A switched-off computer leaves the connection request unanswered; the
  // system would wait for it from twenty seconds (Windows) to two minutes
  // (other stacks) per computer and hold the backup worker that long.
  // Fifteen seconds still lets a slow link retry a lost request twice.
  int ConnectTimeoutSeconds = 15;
  // The header and the body may each take this long in all to be handed
  // over; a receiver that stops reading cannot hold the worker longer.
  int SendTimeoutSeconds = 15;
};

// The local computer name for the report header, as GetComputerNameA gives
// it for a 16-byte buffer; empty when it cannot be had.
std::string LocalComputerName();

// Sends the report text to one computer (host name or dotted address). True
// when the header and the body were both handed to the network; false on any
// failure, which is not reported otherwise.
bool DeliverLog(const std::string& computer, const std::string& text,
                const TDeliverySettings& settings = {});

// Sends "Протокол выгрузки " + task name + CR LF + log to each computer of
// `serversText` in turn (blanks ignored, the first empty entry ends the
// list). Returns nothing: no failure is looked at.
void DeliverReport(const std::string& serversText, const std::string& taskName,
                   const std::string& logText, const TDeliverySettings& settings = {});

}  // namespace ns
