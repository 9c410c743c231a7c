#include "platform/InfobaseAddress.h"

#include "base/CaseFolding.h"

namespace ns {

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool IsFileInfobase(std::string_view base) {
  bool drive = base.size() >= 2 && IsDriveLetter(base[0]) && base[1] == ':';
  return drive || base.find("\\\\") != std::string_view::npos;
}

std::string_view InfobaseServerHost(std::string_view base) {
  if (IsFileInfobase(base)) return {};
  std::string_view server = base.substr(0, base.find('\\'));
  // An IPv6 address is written in brackets, its colons inside them.
  if (!server.empty() && server.front() == '[') {
    auto close = server.find(']');
    return close == std::string_view::npos ? server : server.substr(0, close + 1);
  }
  return server.substr(0, server.find(':'));
}

bool NamesThisComputer(std::string_view host, std::initializer_list<std::string_view> ownNames) {
  for (std::string_view local : {"localhost", "127.0.0.1", "[::1]", "."}) {
    if (SameText1251(host, local)) return true;
  }
  for (std::string_view own : ownNames) {
    if (!own.empty() && SameText1251(host, own)) return true;
  }
  return false;
}

}  // namespace ns
