#include "platform/text/ascii_case.h"

#include <algorithm>

namespace orla {

std::string AsciiCase::Lower(std::string text) {
  for (char& c : text) c = Lower(c);
  return text;
}

bool AsciiCase::Equal(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWith(a, b);
}

bool AsciiCase::StartsWith(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

bool AsciiCase::Contains(std::string_view haystack, std::string_view needle) {
  const auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                              [](char a, char b) { return Lower(a) == Lower(b); });
  return it != haystack.end();
}

}  // namespace orla
