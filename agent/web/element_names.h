#pragma once
// ElementNames: what the dialogs that take or offer element names share.
// The names in a registry list string, and the rule for a name typed by an
// administrator: at most 8 characters, none of space, "|", apostrophe, "+"
// and ";" (the element file and the list string use "|" as their
// separator; the others break the pages' scripts and the form data), and
// no control character: a line break (sent as %0A) would split the name's
// line of the element file.
#include <cstddef>
#include <string>
#include <vector>

namespace orla {

class ElementNames {
 public:
  static constexpr size_t kMaxLength = 8;
  // The characters a name may not hold.
  static constexpr const char* kForbidden = " |'+;";

  // The names in `listString` (the registry's ListElements), in its order:
  // split at "|" with runs of separators counting as one, as strtok does,
  // the second field of every six. The empty registry's " " has none.
  static std::vector<std::string> FromList(const std::string& listString);
  // Whether `name` holds one of kForbidden or a control character.
  static bool HasForbidden(const std::string& name);
};

}  // namespace orla
