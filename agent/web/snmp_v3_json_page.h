#pragma once
// SnmpV3JsonPage: "/KOR/snmpv3.json", the v3-only switch for the scripts of
// the pages that must say what it changes (the agent configuration, the add
// dialog, the root page) and for the switch beside the configuration page:
//
//   GET  (signed in)      {"v3Only":false,"withoutProfile":2,
//                          "withoutProfileNames":["tc02","tc03"]}
//   POST (administrator)  v3_only=on|off: the same change as the profiles
//                         page and korsnmpv3 (SnmpV3ProfileForm), an audit
//                         event; {"v3Only":true,...,"notice":"SNMPv3-only
//                         polling on"} or {"v3Only":false,...,"error":"..."}
//
// "withoutProfile" counts the managed elements no SNMPv3 profile covers:
// those v3-only mode does not poll (the count the switch's confirmation
// names before it is turned on), "withoutProfileNames" names them in list
// order.
//
// Without a session the request is sent to log in.
#include <cstdint>
#include <string>
#include <vector>

#include "agent/core/snmp_v3_credentials.h"
#include "agent/devices/element_snapshot.h"

#include "web_page.h"

namespace orla {

class SnmpV3JsonPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  // ',"withoutProfile":N,"withoutProfileNames":[...]' for these elements.
  static std::string WithoutProfile(const SnmpV3Credentials& credentials, const std::vector<ElementView>& elements);

 private:
  uint32_t Answer(const char* key, const std::string& text);
};

}  // namespace orla
