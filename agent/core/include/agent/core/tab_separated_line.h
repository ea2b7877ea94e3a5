#pragma once
// One line of the agent's small tab-separated state files (the alarm
// acknowledgements, the maintenance windows): fields separated by tabs, in
// whose texts a backslash, tab, line feed and carriage return are written
// "\\", "\t", "\n" and "\r"; and the whole numbers they hold.
#include <cstdint>
#include <string>
#include <vector>

namespace orla {

class TabSeparatedLine {
 public:
  // `text` with the four characters escaped.
  static std::string Escaped(const std::string& text);
  // The text an escaped field stands for; false for a backslash not
  // followed by one of the four.
  static bool Unescaped(const std::string& text, std::string* out);
  // The fields of `line`, as written (still escaped).
  static std::vector<std::string> Fields(const std::string& line);
  // A whole number of at least 0 written in decimal, nothing else.
  static bool Number(const std::string& text, int64_t* out);
};

}  // namespace orla
