#include "app/CommandLine.h"

#include "base/TextFunctions.h"

namespace ns {

namespace {

bool IsSeparator(char c) {
  auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= ' ';
}

// Reads the argument that starts at or after `at` and moves `at` past it.
// The command line ends at its first NUL, if it holds one.
std::string NextArgument(std::string_view line, std::size_t& at) {
  while (at < line.size() && IsSeparator(line[at])) ++at;
  std::string argument;
  while (at < line.size() && line[at] != '\0' && !IsSeparator(line[at])) {
    if (line[at] == '"') {
      ++at;
      while (at < line.size() && line[at] != '\0' && line[at] != '"') argument += line[at++];
      if (at < line.size() && line[at] == '"') ++at;
    } else {
      argument += line[at++];
    }
  }
  return argument;
}

std::string HandOverPiece(std::size_t number, const std::string& argument) {
  return "/Param" + std::to_string(number) + argument + "/";
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::size_t at = 0;
  NextArgument(commandLine, at);  // the program
  std::vector<std::string> arguments;
  for (;;) {
    std::string argument = NextArgument(commandLine, at);
    if (argument.empty()) return arguments;
    arguments.push_back(std::move(argument));
  }
}

std::vector<std::string> BuildHandOverTexts(const std::vector<std::string>& arguments) {
  std::vector<std::string> texts;
  std::string text;
  std::size_t number = 1;
  for (const auto& argument : arguments) {
    std::string piece = HandOverPiece(number, argument);
    if (text.size() + piece.size() > HandOverTextLimit && !text.empty()) {
      texts.push_back(std::move(text));
      text.clear();
      number = 1;
      piece = HandOverPiece(number, argument);
    }
    if (piece.size() > HandOverTextLimit) continue;
    text += piece;
    ++number;
  }
  if (!text.empty()) texts.push_back(std::move(text));
  return texts;
}

THandOverTasks ParseHandOverText(std::string_view text) {
  THandOverTasks tasks;
  // The pieces stand in ascending order, so each key is looked for behind
  // the value before it: the first piece of the argument "1C" reads
  // "/Param11C/", where the key of the eleventh argument would find it too.
  std::size_t from = 0;
  for (std::size_t number = 1;; ++number) {
    const std::string key = "/Param" + std::to_string(number);
    const auto at = text.find(key, from);
    if (at == std::string_view::npos) break;
    std::string name = ValueAfterKey(text.substr(at), key, "/");
    if (name.empty()) break;
    if (name == "*") {
      tasks.AllTasks = true;
      break;
    }
    from = at + key.size() + name.size();
    tasks.Names.push_back(std::move(name));
  }
  return tasks;
}

}  // namespace ns
