#pragma once
// AlarmsPage: "/KOR/alarms.html", the alarms console: the agent's alarms
// (AlarmBook) worst first, each with its element, the reason, since when
// and for how long, and who has taken it (with the note and until when).
// A user with the operator or the administrator right gets, on each
// active alarm, a form to acknowledge it with a note and an optional
// expiry, and on a taken one to withdraw the acknowledgement; the form
// posts back here and the page answers with the list and what was done.
// Each acknowledgement is an audit event. Below the alarms, the
// maintenance windows (MaintenanceBook); an operator or administrator also
// gets a form to put an element in maintenance for some minutes with a
// reason, and on each window a button to end it now (audit events too).
// An alarm of an element in maintenance shows "In maintenance", until when
// and why. Signed-in users only (any right to read).
#include <cstdint>
#include <string>

#include <vector>

#include "agent/alarms/alarm.h"
#include "agent/core/maintenance_window.h"
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
  // One alarm's row; `operate`: with the form to take it or give it back;
  // `window`: the element's maintenance window, or null.
  void AppendRow(const Alarm& alarm, int64_t nowMs, bool operate, const MaintenanceWindow* window);
  // The maintenance windows; `operate`: with the forms to set and end them.
  void AppendMaintenance(const std::vector<MaintenanceWindow>& windows, int64_t nowMs, bool operate);
  // Sets (`set`) or ends an element's maintenance window from the form.
  uint32_t Maintain(bool set);
};

}  // namespace orla
