// libFuzzer target: the launch parameter string, as the editor, the list and
// the worker read it.
// - Any text: the reading returns, or throws EConvertError for a stored
//   password that is not hexadecimal pairs; the reading with an error slot
//   never throws, fills the slot exactly when the plain one throws, and
//   changes nothing else.
// - A text the editor writes: it reads back as the record's values, trimmed,
//   with its password; it names an infobase, and no value in it was cut at a
//   "/".
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

bool SameRecord(const ns::TTaskRecord& a, const ns::TTaskRecord& b) {
  return a.Base == b.Base && a.User == b.User && a.Password == b.Password && a.DumpIB == b.DumpIB &&
         a.Version == b.Version && a.Exclusively == b.Exclusively && a.AddName == b.AddName && a.Days == b.Days;
}

void ReadStoredText(std::string_view text) {
  std::string error;
  const ns::TTaskRecord lenient = ns::ParseLaunchParameters(text, &error);
  bool refused = false;
  ns::TTaskRecord strict;
  try {
    strict = ns::ParseLaunchParameters(text);
  } catch (const ns::EConvertError&) {
    refused = true;
  }
  Require(refused == !error.empty(), "the error slot is filled exactly when the plain reading throws");
  if (!refused) Require(SameRecord(strict, lenient), "the error slot changes a reading that succeeds");
}

void WriteAndRead(const uint8_t* data, size_t size) {
  if (size == 0) return;
  std::string_view rest = ns::fuzz::AsText(data + 1, size - 1);
  ns::TTaskRecord record;
  record.Version = 1 + (data[0] & 1);
  record.Exclusively = (data[0] & 2) != 0;
  record.AddName = (data[0] & 4) != 0;
  record.Days = ns::RetentionDays(ns::fuzz::TakeField(rest, '/'));
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
  ns::TTaskRecord read;
  try {
    read = ns::ParseLaunchParameters(text);
  } catch (const ns::Exception&) {
    Require(false, "a written text cannot be read");
  }
  Require(ns::NamesInfobase(text), "a written text names no infobase");
  Require(ns::CutValueFragment(text).empty(), "the worker takes a written text for one with a value cut");
  Require(read.Version == record.Version && read.AddName == record.AddName && read.Days == record.Days,
          "version, name mark or days lost");
  Require(!read.Exclusively || record.Exclusively, "exclusive mark appeared");
  Require(read.Base == ns::Trim(record.Base) && read.User == ns::Trim(record.User) &&
              read.DumpIB == ns::Trim(record.DumpIB),
          "a value does not read back");
  Require(read.Password == record.Password, "the password does not read back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReadStoredText(ns::fuzz::AsText(data, size));
  WriteAndRead(data, size);
  return 0;
}
