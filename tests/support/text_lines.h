#pragma once
// Splitting a test's text (a file read back, a program's output, a screen)
// into its parts.
#include <string>
#include <vector>

namespace orla::test {

// The parts of `text` between `separator`s; a separator at the very end
// does not start another (empty) part.
std::vector<std::string> Split(const std::string& text, char separator);

// The lines of `text`, without their line feeds.
std::vector<std::string> Lines(const std::string& text);

// Whether `part` occurs in `text`.
inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace orla::test
