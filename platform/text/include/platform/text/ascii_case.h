#pragma once
// AsciiCase: the one rule for letter case in the agent, the web server and
// the plug-ins. Only A-Z and a-z are folded; every other byte (UTF-8
// included) is kept and compared as it is, whatever the process's locale.
#include <string>
#include <string_view>

namespace orla {

class AsciiCase {
 public:
  static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
  static std::string Lower(std::string text);
  static bool Equal(std::string_view a, std::string_view b);
  static bool StartsWith(std::string_view text, std::string_view prefix);
  static bool Contains(std::string_view haystack, std::string_view needle);
};

}  // namespace orla
