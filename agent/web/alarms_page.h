#pragma once
// AlarmsPage: "/KOR/alarms.html", the alarms console: the agent's alarms
// (AlarmBook) worst first, each with its element, the reason, since when
// and for how long, and who has taken it (with the note and until when).
// A user with the operator or the administrator right gets, on each
// active alarm, a form to acknowledge it with a note and an optional
// expiry, and on a taken one to withdraw the acknowledgement; the form
// posts back here and the page answers with the list and what was done.
// Each acknowledgement is an audit event. Signed-in users only (any right
// to read).
#include <cstdint>
#include <string>

#include "agent/alarms/alarm.h"
#include "web_page.h"

namespace orla {

class AlarmsPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  // "45 s", "12 min", "3 h 5 min", "2 d 4 h": how long from `fromMs` to
  // `nowMs`.
  static std::string Age(int64_t fromMs, int64_t nowMs);

 private:
  uint32_t Show(const std::string& notice, bool failed);
  // One alarm's row; `operate`: with the form to take it or give it back.
  void AppendRow(const Alarm& alarm, int64_t nowMs, bool operate);
};

}  // namespace orla
