// libFuzzer target: the command line and the hand-over text between two
// instances. The input is read as a hand-over text and as a command line;
// the arguments of that command line are then handed over.
// - A hand-over text gives names that are not empty, hold no "/", are not
//   "*", and each stands in the text behind its key.
// - A command line gives arguments that are not empty and hold no quote;
//   quoted and joined again, they split into the same arguments.
// - Handed over, the arguments arrive complete and in order, in texts that
//   fit the shared block; only an argument too long for any text is left
//   out. Arguments with "/" and "*" are not handed over here: the format
//   cannot carry the first, and the second stands for every task.
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "app/CommandLine.h"

namespace {

using ns::fuzz::Require;

void ReadHandOver(std::string_view text) {
  const ns::THandOverTasks tasks = ns::ParseHandOverText(text);
  for (std::size_t i = 0; i < tasks.Names.size(); ++i) {
    const std::string& name = tasks.Names[i];
    Require(!name.empty() && name.find('/') == name.npos && name != "*", "a name that cannot be a task's");
    Require(text.find("/Param" + std::to_string(i + 1) + name) != text.npos, "a name not in the text");
  }
}

std::vector<std::string> SplitArguments(std::string_view line) {
  const std::vector<std::string> arguments = ns::SplitCommandLine(line);
  std::string quoted = "program";
  for (const auto& argument : arguments) {
    Require(!argument.empty(), "an empty argument");
    Require(argument.find('"') == argument.npos && argument.find('\0') == argument.npos, "a quote or NUL kept");
    quoted += " \"" + argument + '"';
  }
  Require(ns::SplitCommandLine(quoted) == arguments, "quoted arguments split otherwise");
  return arguments;
}

void HandOver(const std::vector<std::string>& commandLine) {
  constexpr std::size_t longest = ns::HandOverTextLimit - std::string_view("/Param1/").size();
  std::vector<std::string> arguments;
  std::vector<std::string> expected;
  for (const auto& argument : commandLine) {
    if (argument.find('/') != argument.npos || argument == "*") continue;
    arguments.push_back(argument);
    if (argument.size() <= longest) expected.push_back(argument);
  }
  std::vector<std::string> received;
  for (const auto& text : ns::BuildHandOverTexts(arguments)) {
    Require(!text.empty() && text.size() <= ns::HandOverTextLimit, "a text that does not fit the block");
    const ns::THandOverTasks tasks = ns::ParseHandOverText(text);
    Require(!tasks.AllTasks, "every task asked for");
    received.insert(received.end(), tasks.Names.begin(), tasks.Names.end());
  }
  Require(received == expected, "the handed over names differ from the arguments");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = ns::fuzz::AsText(data, size);
  ReadHandOver(text);
  HandOver(SplitArguments(text));
  return 0;
}
