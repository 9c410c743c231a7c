// libFuzzer target: the report as it travels. The input up to its first line
// feed is the computer name, the rest the report text; the whole input is
// also read as the list of recipients.
// - The header is 20 bytes; its length field is the body's size; the sender
//   field holds the name's first 15 bytes and is zero after them, so it is
//   always terminated; the body is the text and one NUL.
// - The recipients are not empty and hold no blank or ";"; they are the
//   list's first entries, up to its first empty one.
#include <algorithm>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "net/Report.h"

namespace {

using ns::fuzz::Require;

void Frame(std::string_view computerName, std::string_view text) {
  const std::string header = ns::ReportHeader(text, computerName);
  const std::string body = ns::ReportBody(text);
  Require(header.size() == ns::ReportHeaderSize, "header size");
  std::uint32_t length = 0;
  for (int i = 3; i >= 0; --i) length = (length << 8) | static_cast<unsigned char>(header[i]);
  Require(length == body.size(), "the length field is not the body's size");
  Require(body.size() == text.size() + 1 && body.back() == '\0' && std::string_view(body).substr(0, text.size()) == text,
          "the body is not the text and a NUL");

  const std::string_view sender = std::string_view(header).substr(4, ns::SenderNameSize);
  const std::size_t kept = std::min(computerName.size(), ns::SenderNameSize - 1);
  Require(sender.substr(0, kept) == computerName.substr(0, kept), "the sender is not the name's beginning");
  Require(sender.find_first_not_of('\0', kept) == sender.npos, "the sender field is not terminated");
}

void Recipients(std::string_view servers) {
  std::string list;
  for (char c : servers) {
    if (c != ' ') list += c;
  }
  std::string joined;
  for (const auto& recipient : ns::ReportRecipients(servers)) {
    Require(!recipient.empty() && recipient.find_first_of(" ;") == recipient.npos, "a recipient that is no name");
    if (!joined.empty()) joined += ';';
    joined += recipient;
  }
  Require(std::string_view(list).substr(0, joined.size()) == joined, "the recipients are not the list's beginning");
  const std::string_view after = std::string_view(list).substr(joined.size());
  const bool ended = joined.empty() ? after.empty() || after[0] == ';'
                                    : after.empty() || after == ";" || after.substr(0, 2) == ";;";
  Require(ended, "the recipients end before the list's first empty entry");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text = ns::fuzz::AsText(data, size);
  Recipients(text);
  const std::string_view computerName = ns::fuzz::TakeField(text, '\n');
  Frame(computerName, text);
  return 0;
}
