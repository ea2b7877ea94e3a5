#pragma once
// The conditions received traps raised, as the agent keeps them across
// restarts: "alarms.traps" in the agent directory, owner-only, rewritten
// whole and atomically (StateFile). A first line names the format; then one
// line per condition, seven fields separated by tabs (TabSeparatedLine):
// the element's name and address, the part, the severity (1 warning,
// 2 critical), since and until when (ms since 1970 UTC) and the reason.
//
// Private to the device library.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "agent/core/state_file.h"
#include "agent/devices/element_status_cell.h"

namespace orla {

class TrapConditionFile {
 public:
  // The conditions by element (name, address), each element's in the order
  // its cell holds them.
  using Key = std::pair<std::string, std::string>;
  using Conditions = std::map<Key, std::vector<TrapCondition>>;

  static constexpr const char* kHeader = "KORAgent trap conditions 1";

  static std::string Format(const Conditions& conditions);
  // Reads a file's text: true with *out filled; false, *out untouched, with
  // *error saying what is wrong and on which line. An element has at most
  // ElementStatusCell::kTrapConditionLimit conditions, each part once.
  static bool Parse(const std::string& text, Conditions* out, std::string* error);
  // Reads `path`: 0 with *out filled (empty for a missing file); otherwise
  // an error number with *error saying why (StateFile::kDamaged: not this
  // format).
  static int Read(const std::string& path, Conditions* out, std::string* error);
  // Rewrites `path` (mode 0600): 0 or the error number, the old file
  // untouched then.
  static int Write(const std::string& path, const Conditions& conditions);
};

}  // namespace orla
