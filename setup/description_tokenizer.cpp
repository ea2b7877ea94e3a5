#include "description_tokenizer.h"

#include <cstring>

namespace orla {

DescriptionTokenizer::DescriptionTokenizer(std::string text) : text_(std::move(text)) {
  const size_t nul = text_.find('\0');
  if (nul != std::string::npos) text_.resize(nul);
}

std::optional<std::string> DescriptionTokenizer::NextKey() { return Next(" =\r\n"); }

std::optional<std::string> DescriptionTokenizer::NextValue() { return Next("\r\n"); }

std::optional<std::string> DescriptionTokenizer::Next(const char* delimiters) {
  const size_t start = text_.find_first_not_of(delimiters, position_);
  if (start == std::string::npos) {
    position_ = text_.size();
    return std::nullopt;
  }
  const size_t end = text_.find_first_of(delimiters, start);
  if (end == std::string::npos) {
    position_ = text_.size();
    return text_.substr(start);
  }
  position_ = end + 1;  // the ending character is used up
  return text_.substr(start, end - start);
}

}  // namespace orla
