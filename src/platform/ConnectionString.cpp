#include "platform/ConnectionString.h"

#include "platform/InfobaseAddress.h"

namespace ns {

namespace {

// "File=" + folder (quoted with `quote`), or "Srvr=" + server and, after the
// first backslash, ";Ref=" + the infobase name (later backslashes belong to
// the name).
std::string Head(std::string_view base, std::string_view quote) {
  std::string head;
  if (IsFileInfobase(base)) {
    (((head += "File=") += quote) += base) += quote;
    return head;
  }
  auto backslash = base.find('\\');
  head += "Srvr=";
  head += base.substr(0, backslash);
  if (backslash != std::string_view::npos) (head += ";Ref=") += base.substr(backslash + 1);
  return head;
}

}  // namespace

std::string ServerInfobaseName(std::string_view base) {
  if (IsFileInfobase(base)) return {};
  auto backslash = base.find('\\');
  return backslash == std::string_view::npos ? std::string() : std::string(base.substr(backslash + 1));
}

std::string BuildConnectionString(const TInfobaseLogon& logon) {
  std::string text = Head(logon.Base, "");
  ((text += ";Usr=") += logon.User) += ";Pwd=";
  text += logon.Password;
  return text;
}

std::string BuildTestConnectionString(std::string_view base, std::string_view user, std::string_view password) {
  std::string text = Head(base, "'");
  (((text += ";Usr='") += user) += "';Pwd=") += password;
  return text;
}

}  // namespace ns
