#include "agent/core/audit_trail.h"

#include <pwd.h>
#include <unistd.h>

#include "agent/core/agent_settings.h"
#include "agent/core/event_log.h"

namespace orla {

std::string AuditTrail::Text(const Actor& who, const std::string& what) {
  const std::string user = who.user.empty() ? "an unknown user" : who.user;
  const std::string address = who.address.empty() ? "an unknown address" : who.address;
  std::string text = kTextStart + user + " from " + address + ": " + what;
  if (text.empty() || text.back() != '.') text += '.';
  return text;
}

void AuditTrail::Record(const Actor& who, const std::string& what, const std::string& element,
                        const std::string& elementAddress) {
  EventOrigin origin;
  origin.kind = "change";
  origin.element = element;
  origin.address = elementAddress;
  EventLog::Write(EventLog::kInfo, Text(who, what), nullptr, 0, origin);
}

AuditTrail::Actor AuditTrail::LocalUser() {
  Actor actor;
  actor.address = "this host";
  const std::string sudoUser = AgentSettings::Current().SudoUser();
  if (!sudoUser.empty()) {
    actor.user = sudoUser;
    return actor;
  }
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    actor.user = found->pw_name;
  } else {
    actor.user = "uid " + std::to_string(getuid());
  }
  return actor;
}

}  // namespace orla
