#pragma once
// The alarm acknowledgements as the agent keeps them across restarts:
// "alarms.ack" in the agent directory, owner-only, rewritten whole and
// atomically (temp + fsync + rename). A first line names the format; then
// one line per acknowledged alarm, six fields separated by tabs: the
// alarm's id, the severity it had when taken (0-2), the user, when (ms
// since 1970 UTC), until when (0: no end) and the note. In the texts a
// backslash, tab, line feed and carriage return are written "\\", "\t",
// "\n" and "\r".
#include <cstdint>
#include <map>
#include <string>

#include "agent/alarms/alarm.h"
#include "agent/core/state_file.h"

namespace orla {

class AlarmFile {
 public:
  using Acknowledgements = std::map<std::string, Alarm::Acknowledgement>;

  static constexpr const char* kHeader = "KORAgent alarm acknowledgements 1";

  // The text of the file.
  static std::string Format(const Acknowledgements& acknowledgements);
  // Reads a file's text: true with *out filled; false, *out untouched, with
  // *error saying what is wrong and on which line.
  static bool Parse(const std::string& text, Acknowledgements* out, std::string* error);
  // Reads `path`: 0 with *out filled (empty for a missing file); otherwise
  // an error number with *error saying why (kDamaged: the text is not this
  // format).
  static constexpr int kDamaged = StateFile::kDamaged;
  static int Read(const std::string& path, Acknowledgements* out, std::string* error);
  // Rewrites `path` (mode 0600): 0 or the error number, the old file
  // untouched then.
  static int Write(const std::string& path, const Acknowledgements& acknowledgements);
};

}  // namespace orla
