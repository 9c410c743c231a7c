// libFuzzer target: the launch parameter string, as the task editor and the
// backup worker read it.
// - Any text: each reading returns, or throws EConvertError for a stored
//   password that is not hexadecimal pairs; the editor's reading with an
//   error slot never throws and fills the slot exactly when the plain one
//   throws; the worker leaves its parameters untouched unless it succeeds;
//   both readings take the same infobase, user, password and folder.
// - A text the editor writes: both readings agree on every field and give
//   back the record's values, trimmed, and its password; the worker finds
//   no value cut at a "/" in it.
// For the second use the input is cut into a record: the first byte chooses
// version and marks, then Days, Base, User and DumpIB end at "/" (a value
// cannot hold one), and the password is the rest, any bytes.
#include <string>

#include "FuzzInput.h"
#include "base/TextFunctions.h"
#include "tasks/LaunchParameters.h"
#include "tasks/ScramblePassword.h"

namespace {

using ns::fuzz::Require;

template <typename A, typename B>
bool SameValues(const A& a, const B& b) {
  return a.Base == b.Base && a.User == b.User && a.Password == b.Password && a.DumpIB == b.DumpIB;
}

bool SameRecord(const ns::TTaskRecord& a, const ns::TTaskRecord& b) {
  return SameValues(a, b) && a.Version == b.Version && a.Exclusively == b.Exclusively && a.AddName == b.AddName &&
         a.Days == b.Days;
}

// The worker's "Days" is the number the editor shows, 0 when it shows none.
bool SameDays(const std::string& editorDays, int workerDays) {
  return workerDays == 0 ? editorDays.empty() : editorDays == std::to_string(workerDays);
}

void ReadStoredText(std::string_view text) {
  std::string error;
  const ns::TTaskRecord lenient = ns::ParseLaunchParameters(text, &error);
  bool editorRefused = false;
  ns::TTaskRecord editor;
  try {
    editor = ns::ParseLaunchParameters(text);
  } catch (const ns::EConvertError&) {
    editorRefused = true;
  }
  Require(editorRefused == !error.empty(), "the error slot is filled exactly when the editor's reading throws");
  if (!editorRefused) Require(SameRecord(editor, lenient), "the error slot changes a reading that succeeds");

  ns::TWorkerParameters worker;
  worker.Days = -1;
  worker.Header = "untouched";
  bool read = false;
  bool workerRefused = false;
  try {
    read = ns::ReadWorkerParameters(text, worker);
  } catch (const ns::EConvertError&) {
    workerRefused = true;
  }
  const bool hasInfobaseKey = text.find("/F") != text.npos || text.find("/S") != text.npos;
  Require(read || workerRefused || !hasInfobaseKey, "the worker refused a text with an infobase key");
  if (!read) {
    Require(worker.Days == -1 && worker.Header == "untouched", "a failed reading changed the parameters");
    if (hasInfobaseKey) Require(workerRefused == editorRefused, "one reading refused the password, the other not");
    return;
  }
  Require(!editorRefused, "the worker read a password the editor refused");
  Require(SameValues(editor, worker), "the readings take different infobase, user, password or folder");
}

void WriteAndRead(const uint8_t* data, size_t size) {
  if (size == 0) return;
  std::string_view rest = ns::fuzz::AsText(data + 1, size - 1);
  ns::TTaskRecord record;
  record.Version = 1 + (data[0] & 1);
  record.Exclusively = (data[0] & 2) != 0;
  record.AddName = (data[0] & 4) != 0;
  record.Days = ns::fuzz::TakeField(rest, '/');
  record.Base = ns::fuzz::TakeField(rest, '/');
  record.User = ns::fuzz::TakeField(rest, '/');
  record.DumpIB = ns::fuzz::TakeField(rest, '/');
  record.Password = rest;

  std::string text;
  try {
    text = ns::ComposeLaunchParameters(record);
  } catch (const ns::EScrambleError&) {
    return;
  }
  ns::TTaskRecord editor;
  ns::TWorkerParameters worker;
  bool read = false;
  try {
    editor = ns::ParseLaunchParameters(text);
    read = ns::ReadWorkerParameters(text, worker);
  } catch (const ns::Exception&) {
    Require(false, "a written text cannot be read");
  }
  Require(read, "the worker finds no infobase key in a written text");
  Require(ns::CutValueFragment(text).empty(), "the worker takes a written text for one with a value cut");
  Require(editor.Version == worker.Version && editor.Exclusively == worker.Exclusively &&
              editor.AddName == worker.AddName && SameDays(editor.Days, worker.Days) && SameValues(editor, worker),
          "the readings of a written text differ");
  Require(editor.Version == record.Version && editor.AddName == record.AddName, "version or name mark lost");
  Require(!editor.Exclusively || record.Exclusively, "exclusive mark appeared");
  Require(editor.Base == ns::Trim(record.Base) && editor.User == ns::Trim(record.User) &&
              editor.DumpIB == ns::Trim(record.DumpIB),
          "a value does not read back");
  Require(editor.Password == record.Password, "the password does not read back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReadStoredText(ns::fuzz::AsText(data, size));
  WriteAndRead(data, size);
  return 0;
}
