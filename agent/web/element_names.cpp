#include "element_names.h"

namespace orla {

namespace {

constexpr size_t kFieldsPerRecord = 6;

}  // namespace

std::vector<std::string> ElementNames::FromList(const std::string& listString) {
  std::vector<std::string> tokens;
  size_t start = 0;
  while (start < listString.size()) {
    const size_t end = listString.find('|', start);
    const size_t stop = end == std::string::npos ? listString.size() : end;
    if (stop > start) tokens.push_back(listString.substr(start, stop - start));
    start = stop + 1;
  }
  std::vector<std::string> names;
  for (size_t i = 1; i < tokens.size(); i += kFieldsPerRecord) names.push_back(tokens[i]);
  return names;
}

bool ElementNames::HasForbidden(const std::string& name) {
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return true;
  }
  return name.find_first_of(kForbidden) != std::string::npos;
}

}  // namespace orla
