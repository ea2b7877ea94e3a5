#pragma once
// ElementNames: the rule for a name typed by an
// administrator: at most 8 characters, none of space, "|", apostrophe, "+"
// and ";" (the element file and the list string use "|" as their
// separator; the others break the pages' scripts and the form data), and
// no control character: a line break (sent as %0A) would split the name's
// line of the element file.
#include <cstddef>
#include <string>

namespace orla {

class ElementNames {
 public:
  static constexpr size_t kMaxLength = 8;
  // The characters a name may not hold.
  static constexpr const char* kForbidden = " |'+;";

  // Whether `name` holds one of kForbidden or a control character.
  static bool HasForbidden(const std::string& name);
};

}  // namespace orla
