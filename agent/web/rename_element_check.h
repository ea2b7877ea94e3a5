#pragma once
// RenameElementCheck: the rule for an element's new name, as the rename
// dialog (RenameElementPage) and the API (ElementsResource) both apply it,
// with the dialog's texts: a name other than the current one, 1 to 8
// characters, none of ElementNames' forbidden ones. RefusalText words the
// registry's refusal of the rename the same way for both.
#include <optional>
#include <string>

namespace orla {

class OrlaException;

class RenameElementCheck {
 public:
  static constexpr const char* kSameName = "Please enter a new name for the tape controller.";
  static constexpr const char* kNameLength = "The name must be between 1 and 8 characters long.";
  static constexpr const char* kNameCharacters =
      "The space, pipe, plus, semicolon, and apostrophe characters are not permitted.";
  static constexpr const char* kNameInUse = "The name specified is already in use.  Please enter a new name.";
  static constexpr const char* kNoSuchElement = "Either the tape controller specified does not exist.";

  // The first failure in the dialog's order, or none.
  static std::optional<std::string> Check(const std::string& current, const std::string& wanted);
  // How a refusal of ElementRegistry::RenameElement reads: codes 2 and 3 in
  // the dialog's words, else the message.
  static std::string RefusalText(const OrlaException& failed);
};

}  // namespace orla
