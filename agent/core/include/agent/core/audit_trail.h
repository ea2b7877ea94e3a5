#pragma once
// The audit trail: every change an operator makes through the web pages or
// the agent's tools is one INFO event of the kind "change", reading
// "Change by USER from ADDRESS: WHAT." (WHAT says what changed, never a
// password, token or key). The events console filters them as "Changes".
#include <string>

namespace orla {

class AuditTrail {
 public:
  // Who asked for a change: the user's name and the address the request
  // came from ("this host" for a tool run on the agent's machine).
  struct Actor {
    std::string user;
    std::string address;
  };

  // The event text's start, by which a line of the event-log file is
  // known as a change.
  static constexpr const char* kTextStart = "Change by ";

  // Writes the event; `element` and `elementAddress` name the element the
  // change concerns, when there is one (the events console's element filter
  // then finds it).
  static void Record(const Actor& who, const std::string& what, const std::string& element = std::string(),
                     const std::string& elementAddress = std::string());
  // The text Record writes (without the severity prefix).
  static std::string Text(const Actor& who, const std::string& what);
  // The user running a tool on this host: the sudo caller when run through
  // sudo, else the login name of the real user id.
  static Actor LocalUser();
};

}  // namespace orla
