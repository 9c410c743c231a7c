#include "net/Report.h"

#include <cstdint>

namespace ns {

bool NextListEntry(std::string& remaining, std::string& entry) {
  auto separator = remaining.find(';');
  entry = remaining.substr(0, separator);
  remaining.erase(0, separator == std::string::npos ? separator : separator + 1);
  return !entry.empty();
}

std::vector<std::string> ReportRecipients(std::string_view serversText) {
  std::string remaining;
  for (char c : serversText) {
    if (c != ' ') remaining += c;
  }
  std::vector<std::string> recipients;
  std::string entry;
  while (NextListEntry(remaining, entry)) recipients.push_back(entry);
  return recipients;
}

std::string ReportText(std::string_view taskName, std::string_view log) {
  std::string text = "Протокол выгрузки ";
  ((text += taskName) += "\r\n") += log;
  return text;
}

std::string ReportHeader(std::string_view reportText, std::string_view computerName) {
  std::string header(ReportHeaderSize, '\0');
  auto length = static_cast<std::uint32_t>(reportText.size() + 1);
  for (int i = 0; i < 4; ++i) header[i] = static_cast<char>(length >> (8 * i));
  computerName.substr(0, SenderNameSize - 1).copy(header.data() + 4, SenderNameSize - 1);
  return header;
}

std::string ReportBody(std::string_view reportText) {
  std::string body(reportText);
  body += '\0';
  return body;
}

}  // namespace ns
