#pragma once
// NotificationTargetChange: one change of the agent's SNMPv2c/SNMPv3
// notification targets (targets.ini), with the targets page's rules and
// texts, shared by the page and the API's targets resource: the file is
// read, changed and rewritten (atomically, owner-only), one change at a
// time in this process.
//   Set     adds the target "HOST:PORT" of a kind (v2c-trap, v2c-inform,
//           v3-trap, v3-inform) with its community or SNMPv3 profile name,
//           replacing a listed target of that name; a v3 kind needs an
//           existing profile.
//   Remove  removes the target "HOST:PORT".
// `what` is the audit text of the change ("set the notification target
// 10.1.2.3:162 (v2c-trap)"); no text here holds a community.
#include <string>

#include "agent/traps/notification_target_list.h"

namespace orla {

class NotificationTargetChange {
 public:
  enum class Outcome {
    kDone,
    kRefused,   // a field is refused (`field` names it)
    kNotFound,  // Remove: no target has the name
    kFailed,    // the file could not be read or written
  };
  struct Result {
    Outcome outcome = Outcome::kDone;
    std::string text;     // why not
    const char* field = "";  // "target", "kind" or "credential"
    std::string what;     // the audit text when done
    bool replaced = false;   // Set replaced a listed target
    NotificationTargetList::Target target;  // Set: the target as stored
  };

  static Result Set(const std::string& name, const std::string& kind, const std::string& credential);
  static Result Remove(const std::string& name);

  // The targets as the file holds them; false with *error.
  static bool Load(NotificationTargetList* list, std::string* error);

  static constexpr const char* kUnexpected = "Unexpected data returned by web browser";
};

}  // namespace orla
