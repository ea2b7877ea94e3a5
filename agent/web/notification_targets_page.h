#pragma once
// NotificationTargetsPage: "/KOR/notification_targets.html", the agent's
// SNMPv2c/SNMPv3 notification targets (targets.ini, beside the SNMPv1 trap
// hosts of the configuration page) and the agent's SNMP engine ID and boots,
// which a receiver needs for `createUser -e`. Administrators only, for
// reading too (the list says which communities and profiles go where). A
// POST adds a target ("target" HOST:PORT, "kind" one of v2c-trap,
// v2c-inform, v3-trap, v3-inform, "credential" the community or profile
// name; a listed HOST:PORT is replaced) or removes one ("remove" HOST:PORT);
// each change is an audit event. Communities are never shown back. The
// agent uses the new list from its next notification on.
#include <cstdint>
#include <string>

#include "web_page.h"

namespace orla {

class NotificationTargetsPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

 private:
  uint32_t ShowTargets(const std::string& notice);
};

}  // namespace orla
