#pragma once
// What a start with task names does when it cannot run them at all (no
// platform installed, a kernel object refused). Such a start is the task
// scheduler's, often with nobody at the screen or in a session nobody sees:
// a message box would wait for ever, and a scheduled task still running
// keeps every later night from starting. So the failure is recorded for
// each named task as a run's failure would be, and reported.
#include <string>
#include <string_view>
#include <vector>

namespace ns {

// The tasks the arguments name, in their order and each once, in the
// spelling of their keys: "*" stands for every task and ends the list; a
// name without a task is left out.
std::vector<std::string> NamedTasks(const std::vector<std::string>& arguments);

// For each task the arguments name: "StateDateTime", "State" = "Ошибка" and
// "Log" = `message` in its existing key (never created), then the report to
// the computers of `serversText`. A task that another instance runs now is
// left to that instance.
void RecordStartupFailure(const std::vector<std::string>& arguments, std::string_view message,
                          const std::string& serversText);

}  // namespace ns
