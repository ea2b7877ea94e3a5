#include "platform/text/setting_lines.h"

#include <sstream>

namespace orla {

bool SettingLines::ForEach(const std::string& text,
                           const std::function<bool(int number, const std::string& line)>& each) {
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (!each(number, line)) return false;
  }
  return true;
}

}  // namespace orla
