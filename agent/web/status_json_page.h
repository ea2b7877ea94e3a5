#pragma once
// StatusJsonPage: "/KOR/status.json", what the root page's script joins to
// the element list: every element's status, when it last changed and when
// its device last answered a poll, and the counts per status. Answers from
// what the agent already knows (ElementRegistry::Activity): no SNMP request,
// no wait for a status pass. Signed-in users only (any right); a request
// without a session is sent to log in.
//
//   {"now":1765101600123,"administrator":false,"level":"reader",
//    "counts":{"ok":1,"degraded":0,"failed":1,"unknown":0,"stale":0},
//    "elements":[{"name":"tc01","address":"127.0.1.11","status":0,
//                 "statusSince":1765101000000,"lastAnswered":1765101590000}]}
//
// Times are milliseconds since 1970 UTC; "lastAnswered" is null for a
// device that never answered a poll. An element not polled because v3-only
// is on and no SNMPv3 profile covers it has "stale":true, its last status
// and the reason "No SNMPv3 profile (v3-only)"; it counts under "stale" and
// never under "ok".
#include <cstdint>
#include <vector>

#include "agent/devices/element_snapshot.h"
#include "web_page.h"

namespace orla {

class StatusJsonPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;

  // The answer's text for these elements at `nowMs`.
  // `rights`: the session's answer of the rights query, for the pages'
  // scripts to offer only what the user may do: "administrator" (whether
  // the user may change things) and "level" (WebPage::LevelName:
  // "administrator", "operator", "reader").
  static std::string Render(const std::vector<ElementView>& elements, int64_t nowMs, uint32_t rights = 0);
};

}  // namespace orla
