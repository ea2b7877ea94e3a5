#pragma once
// Splits the text of an "install.dat" into key and value tokens. It works
// like a destructive tokenizer that remembers its position: the character
// that ends a token is used up, so the next token starts after it.
#include <optional>
#include <string>

namespace orla {

class DescriptionTokenizer {
 public:
  // The text ends at its first NUL byte, if it has one.
  explicit DescriptionTokenizer(std::string text);

  // A key: skips spaces, "=", CR and LF, then runs to the next of those four
  // characters, which is used up. None when only those characters remain.
  std::optional<std::string> NextKey();

  // A value: starts at the very next character, skips CR and LF only, then
  // runs to the next CR or LF, which is used up; it may hold spaces and "=".
  // None when only CR and LF remain.
  std::optional<std::string> NextValue();

 private:
  std::optional<std::string> Next(const char* delimiters);

  std::string text_;
  size_t position_ = 0;
};

}  // namespace orla
