#pragma once
// The program's base exception class. Errors travel as exceptions derived
// from it; the user interface shows What() in a message box, the backup
// worker turns it into a task's recorded failure.
#include <stdexcept>
#include <string>

namespace ns {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace ns
