// Writes outcome events as a run does, for test_eventlog_trace.py to read in
// Wine's trace: `write_events_process CASES`, where the file CASES holds
// Windows-1251 fields, each ended by a NUL byte, three to an event: the
// outcome's id, the task's name and its log. Prints the ANSI code page it
// ran under, then for each event "written" or "not written".
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "backup/OutcomeEvent.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream file(argv[1], std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!file) return 2;
  std::vector<std::string> fields;
  for (size_t at = 0; at < bytes.size();) {
    size_t end = bytes.find('\0', at);
    if (end == std::string::npos) return 2;
    fields.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  if (fields.size() % 3 != 0) return 2;
  std::printf("code page %u\n", GetACP());
  for (size_t i = 0; i < fields.size(); i += 3) {
    auto kind = static_cast<ns::TOutcomeEvent>(std::stoul(fields[i]));
    bool written = ns::WriteOutcomeEvent(kind, fields[i + 1], fields[i + 2]);
    std::printf("%s\n", written ? "written" : "not written");
  }
  return 0;
}
