#pragma once
// The lines of a small settings file of ours (targets.ini, snmpengine.ini):
// numbered from 1, a CR LF line end read as LF, empty lines and lines that
// start with '#' skipped.
#include <functional>
#include <string>

namespace orla {

class SettingLines {
 public:
  // Calls `each(number, line)` for every line that counts, in order; stops
  // at the first that answers false, and answers false then.
  static bool ForEach(const std::string& text, const std::function<bool(int number, const std::string& line)>& each);
};

}  // namespace orla
