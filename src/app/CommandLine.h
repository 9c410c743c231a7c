#pragma once
// The program's command line (task names, "*" for every task) and the text in
// which a later instance hands it to the first one.
#include <string>
#include <string_view>
#include <vector>

namespace ns {

// The arguments of a raw command line (as GetCommandLineA gives it), without
// the program name in front of them. Characters 1 to 32 separate arguments;
// double quotes group characters, blanks included, and are removed. Counting
// stops at the first argument that comes out empty, so neither it (for
// example one written as "") nor any argument after it is seen.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The hand-over text a later instance started without arguments sends: the
// first instance shows its window.
inline constexpr std::string_view ShowRequest = "NightshelfShowMainForm-088FA840-B10D-11D6-BC38-016067709674";

// The most a hand-over text may hold: the shared block is 1024 bytes and the
// text is zero-terminated.
inline constexpr std::size_t HandOverTextLimit = 1023;

// The arguments in the task-list form of a hand-over: for the arguments
// numbered 1, 2, ... the pieces "/Param" + number + argument + "/", so Daily
// and Weekly give "/Param1Daily//Param2Weekly/". Cut into texts of at most
// HandOverTextLimit bytes each,
// to be handed over one after another; each text numbers its pieces from 1.
// A long command line would otherwise be cut inside the block and tasks lost.
// An argument whose piece alone does not fit is left out: it is longer than
// any registry key name, so it cannot name a task.
std::vector<std::string> BuildHandOverTexts(const std::vector<std::string>& arguments);

struct THandOverTasks {
  std::vector<std::string> Names;  // to be queued in this order
  bool AllTasks = false;           // then every task of the registry
};

// Takes a task-list text apart: the values after "/Param1", "/Param2", ...
// up to the next "/", until the first empty one; each key counts only behind
// the value before it, as the pieces are written in ascending order. "*"
// selects every task and ends the list. A name holding "/" is cut there, and
// one that begins with "/" ends the list.
THandOverTasks ParseHandOverText(std::string_view text);

}  // namespace ns
