#include "tests/support/text_lines.h"

#include <sstream>

namespace orla::test {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

std::vector<std::string> Lines(const std::string& text) { return Split(text, '\n'); }

}  // namespace orla::test
