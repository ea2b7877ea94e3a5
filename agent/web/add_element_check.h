#pragma once
// AddElementCheck: the rule for a new element's name and address, as the
// add dialog (AddElementPage) and the API (ElementsResource) both apply it,
// with the dialog's texts: both fields given, the name 1 to 8 characters
// without ElementNames' forbidden ones, an address typed and resolvable
// (it is replaced by the dotted address found). RefusalText words the
// registry's refusal of the add the same way for both.
#include <optional>
#include <string>

namespace orla {

class OrlaException;

class AddElementCheck {
 public:
  enum class Field { kName, kAddress };
  struct Failure {
    std::string text;
    Field field;
  };

  static constexpr const char* kMissing = "One or more fields have not been specified.";
  static constexpr const char* kNameLength = "The tape controller name must be between 1 and 8 characters in length.";
  static constexpr const char* kNameCharacters =
      "The space, pipe, plus, semicolon, and apostrophe characters are not permitted.";
  static constexpr const char* kNoAddress = "No address has been specified.";
  static constexpr const char* kUnresolved = "The specified address could not be verified.";
  static constexpr const char* kNameInUse =
      "There is already a tape controller using that name.  Please enter a new name.";
  static constexpr const char* kAlreadyManaged = "The tape controller at the specified address is already being managed.";

  static constexpr const char* kDottedOnly = "An import takes IPv4 addresses written as four numbers (10.1.2.3).";

  // How an address may be given: anything the resolver finds (the dialog,
  // the API's add), or only a dotted IPv4 address (an import, which must
  // not wait for a name service line by line).
  enum class Addresses { kResolve, kDottedOnly };

  // The first failure in the dialog's order, or none; on success `address`
  // holds the dotted IPv4 address it resolved to.
  static std::optional<Failure> Check(const std::optional<std::string>& name, std::optional<std::string>* address,
                                      Addresses addresses = Addresses::kResolve);
  // How a refusal of ElementRegistry::AddElement reads: codes 2 and 7 in
  // the dialog's words (their field: name, address), else the message.
  static Failure RefusalText(const OrlaException& failed);
};

}  // namespace orla
