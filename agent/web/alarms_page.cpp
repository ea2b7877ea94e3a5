#include "alarms_page.h"

#include <ctime>
#include <optional>
#include <vector>

#include "agent/alarms/alarm_book.h"
#include "agent/alarms/alert_pusher.h"
#include "agent/core/maintenance_book.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "alarms_resource.h"
#include "maintenance_resource.h"
#include "remove_element_page.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"
#include "text_escape.h"

namespace orla {

namespace {

constexpr const char* kPage = "alarms.html";
constexpr const char* kTableColumns =
    "<thead><tr><th scope=\"col\">Severity</th><th scope=\"col\">Element"
    "</th><th scope=\"col\">Reason</th><th scope=\"col\">Since</th><th scope=\"col\">Owner</th></tr></thead>\n"
    "<tbody>\n";

std::vector<ElementView> Elements() {
  ElementRegistry* registry = AgentObjects::FindRegistry();
  return registry != nullptr ? registry->Snapshot()->Read() : std::vector<ElementView>();
}

// "2026-12-09 00:12 UTC" inside a <time> whose datetime the script may read.
std::string When(int64_t ms) {
  const time_t seconds = static_cast<time_t>(ms / 1000);
  struct tm parts {};
  gmtime_r(&seconds, &parts);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
  char iso[64];
  std::strftime(iso, sizeof iso, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return StringPrintf("<time class=\"alarm-when\" datetime=\"%s\">%s</time>", iso, text);
}

// The element's name as a query value: every byte but the unreserved
// ones percent-encoded.
std::string QueryValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
        byte == '-' || byte == '.' || byte == '_' || byte == '~') {
      out += c;
    } else {
      out += StringPrintf("%%%02X", byte);
    }
  }
  return out;
}

const char* KindText(const std::string& kind) {
  if (kind == Alarm::kUnanswered) return "Not answering";
  if (kind == Alarm::kUnbound) return "No plug-in";
  if (kind == Alarm::kStale) return "Not polled";
  if (kind == Alarm::kTrap) return "Raised by a trap";
  return "Status";
}

// The window of `element` among `windows`; null when it has none.
const MaintenanceWindow* WindowOf(const std::vector<MaintenanceWindow>& windows, const std::string& element) {
  for (const MaintenanceWindow& w : windows) {
    if (w.element == element) return &w;
  }
  return nullptr;
}

const char* SeverityWord(int severity) {
  if (severity >= 2) return "Critical";
  return severity == 1 ? "Warning" : "Info";
}

}  // namespace

std::string AlarmsPage::Age(int64_t fromMs, int64_t nowMs) {
  const int64_t seconds = fromMs > 0 && nowMs > fromMs ? (nowMs - fromMs) / 1000 : 0;
  if (seconds < 60) return StringPrintf("%lld s", static_cast<long long>(seconds));
  const int64_t minutes = seconds / 60;
  if (minutes < 60) return StringPrintf("%lld min", static_cast<long long>(minutes));
  const int64_t hours = minutes / 60;
  if (hours < 24) return StringPrintf("%lld h %lld min", static_cast<long long>(hours), static_cast<long long>(minutes % 60));
  return StringPrintf("%lld d %lld h", static_cast<long long>(hours / 24), static_cast<long long>(hours % 24));
}

uint32_t AlarmsPage::HandleGet() {
  if (!HasSession()) return kLeaveToLibrary;
  return Show("", false);
}

uint32_t AlarmsPage::HandlePost() {
  if (!HasSession()) return kLeaveToLibrary;
  if (!MayOperate(QueryRights(Request()))) return ShowError(kNotOperator, kPage, false);
  const std::optional<std::string> action = GetField("action");
  if (action && (*action == "maintain" || *action == "end-maintenance")) return Maintain(*action == "maintain");
  AlarmBook* book = AgentObjects::Alarms();
  const std::optional<std::string> id = GetField("alarm");
  if (book == nullptr || !id || !action) return ShowError("Required field not found in data.", kPage, false);
  const bool acknowledge = *action == "acknowledge";
  if (!acknowledge && *action != "withdraw") return ShowError("Unexpected data returned by web browser", kPage, false);
  AlarmBook::Taking taking;
  taking.user = UserName();
  taking.note = GetField("note").value_or("");
  const std::string expires = GetField("expires").value_or("");
  if (!expires.empty()) {
    for (const int64_t minutes : {60, 480, 1440}) {
      if (expires == std::to_string(minutes)) taking.expiresMinutes = minutes;
    }
    if (taking.expiresMinutes == 0) return ShowError("Unexpected data returned by web browser", kPage, false);
  }
  Alarm after;
  const AlarmBook::Outcome outcome = acknowledge ? book->Acknowledge(Elements(), *id, taking, &after)
                                                 : book->Unacknowledge(Elements(), *id, &after);
  if (outcome != AlarmBook::Outcome::kDone) return Show(AlarmBook::Text(outcome), true);
  if (AlertPusher* pusher = AlertPusher::Instance()) pusher->Poke();
  RecordChange(AlarmsResource::ChangeText(acknowledge, after.id, taking.note), after.element, after.address);
  return Show(acknowledge ? "You acknowledged the alarm " + after.id + "."
                          : "You withdrew the acknowledgement of the alarm " + after.id + ".",
              false);
}

uint32_t AlarmsPage::Maintain(bool set) {
  MaintenanceBook* book = MaintenanceBook::Instance();
  const std::optional<std::string> element = GetField("element");
  if (book == nullptr || !element) return ShowError("Required field not found in data.", kPage, false);
  ElementRegistry* registry = AgentObjects::FindRegistry();
  const std::shared_ptr<const ElementSnapshot> snapshot = registry != nullptr ? registry->Snapshot() : nullptr;
  const ElementSnapshot::Entry* entry = snapshot != nullptr ? snapshot->FindByName(*element) : nullptr;
  const std::string address = entry != nullptr ? entry->record.address : std::string();
  if (!set) {
    MaintenanceWindow ended;
    const MaintenanceBook::Outcome outcome = book->End(*element, &ended);
    if (outcome != MaintenanceBook::Outcome::kDone) return Show(MaintenanceBook::Text(outcome), true);
    RecordChange(MaintenanceResource::EndText(ended.element), ended.element, address);
    return Show("You ended the maintenance window of " + ended.element + ".", false);
  }
  if (entry == nullptr) return Show(RemoveElementPage::kNoSuchElement, true);
  const std::string minutesText = GetField("minutes").value_or("");
  int64_t minutes = 0;
  for (char c : minutesText) {
    if (c < '0' || c > '9' || minutes > MaintenanceBook::kLimitMinutes) {
      minutes = -1;
      break;
    }
    minutes = minutes * 10 + (c - '0');
  }
  if (minutes < 1 || minutes > MaintenanceBook::kLimitMinutes) return Show(MaintenanceBook::kBadEndText, true);
  MaintenanceBook::Request request;
  request.by = UserName();
  request.reason = GetField("reason").value_or("");
  request.endMs = book->NowMs() + minutes * 60 * 1000;
  std::vector<MaintenanceWindow> made;
  const MaintenanceBook::Outcome outcome = book->Set({*element}, request, &made);
  if (outcome != MaintenanceBook::Outcome::kDone) return Show(MaintenanceBook::Text(outcome), true);
  RecordChange(MaintenanceResource::SetText(made.front()), *element, address);
  return Show("You set a maintenance window for " + *element + ".", false);
}

uint32_t AlarmsPage::Show(const std::string& notice, bool failed) {
  AlarmBook* book = AgentObjects::Alarms();
  const std::vector<Alarm> alarms = book != nullptr ? book->Current(Elements()) : std::vector<Alarm>();
  const int64_t now = Clock::System()->WallMilliseconds();
  const bool operate = MayOperate(QueryRights(Request()));
  MaintenanceBook* maintenance = MaintenanceBook::Instance();
  const std::vector<MaintenanceWindow> windows =
      maintenance != nullptr ? maintenance->Windows() : std::vector<MaintenanceWindow>();
  ClearOutput();
  Append("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>Alarms - Tape Controller Management</title>\n<link rel=\"icon\" href=\"ok.gif\">\n"
         "<script src=\"orla_utilities.js\"></script>\n</head>\n<body class=\"home events-page alarms-page\">\n");
  Append("<header class=\"topbar\">\n  <div class=\"brand\"><span class=\"product\">Alarms</span>"
         "<span class=\"vendor\">Tape Controller Management</span></div>\n"
         "  <nav class=\"session\" aria-label=\"Pages\"><a href=\"./\">Tape controllers</a>"
         "<a href=\"events.html\">Events</a>"
         "<a href=\"help/index.htm\" target=\"KORHelp\" onclick=\"return launchHelp(this.href);\">Help</a>"
         "<a href=\"/zepa/logout\">Log out</a></nav>\n</header>\n<main class=\"console\">\n");
  if (!notice.empty()) {
    AppendFormat("<p id=\"alarm-notice\" class=\"alarm-notice%s\" role=\"%s\">%s</p>\n", failed ? " failed" : "",
                 failed ? "alert" : "status", TextEscape::Html(notice).c_str());
  }
  int active = 0;
  int critical = 0;
  int taken = 0;
  for (const Alarm& a : alarms) {
    if (a.state == Alarm::State::kCleared) continue;
    ++active;
    if (a.severity >= 2) ++critical;
    if (a.state == Alarm::State::kAcknowledged) ++taken;
  }
  AppendFormat("<p id=\"alarms-summary\" class=\"summary-line\">%d active alarm%s: %d critical, %d acknowledged."
               "</p>\n",
               active, active == 1 ? "" : "s", critical, taken);
  std::vector<const Alarm*> cleared;
  Append("<table id=\"alarm-table\" class=\"event-table alarm-table\">\n");
  Append(kTableColumns);
  if (active == 0) Append("<tr><td class=\"no-events\" colspan=\"5\">No alarms: every element is well.</td></tr>\n");
  for (const Alarm& a : alarms) {
    if (a.state == Alarm::State::kCleared) {
      cleared.push_back(&a);
    } else {
      AppendRow(a, now, operate, WindowOf(windows, a.element));
    }
  }
  Append("</tbody>\n</table>\n");
  if (!cleared.empty()) {
    AppendFormat("<details class=\"alarm-cleared\"><summary>%zu cleared in the last hour</summary>\n", cleared.size());
    Append("<table class=\"event-table alarm-table\">\n");
    Append(kTableColumns);
    for (const Alarm* a : cleared) AppendRow(*a, now, false, nullptr);
    Append("</tbody>\n</table>\n</details>\n");
  }
  if (maintenance != nullptr) AppendMaintenance(windows, now, operate);
  Append("</main>\n</body>\n</html>\n");
  return SendContent("text/html; charset=utf-8");
}

void AlarmsPage::AppendMaintenance(const std::vector<MaintenanceWindow>& windows, int64_t now, bool operate) {
  Append("<section id=\"maintenance\" class=\"maintenance\" aria-labelledby=\"maintenance-title\">\n"
         "<h2 id=\"maintenance-title\" class=\"section-title\">Maintenance</h2>\n"
         "<table id=\"maintenance-table\" class=\"event-table alarm-table maintenance-table\">\n"
         "<thead><tr><th scope=\"col\">Element</th><th scope=\"col\">Window</th><th scope=\"col\">Reason</th>"
         "<th scope=\"col\">Set by</th></tr></thead>\n<tbody>\n");
  if (windows.empty()) {
    Append("<tr><td class=\"no-events\" colspan=\"4\">No element is in maintenance.</td></tr>\n");
  }
  for (const MaintenanceWindow& w : windows) {
    const std::string element = TextEscape::Html(w.element);
    AppendFormat("<tr class=\"maintenance-row\" data-element=\"%s\"><td class=\"alarm-element\">%s</td>",
                 element.c_str(), element.c_str());
    AppendFormat("<td class=\"alarm-since\"><span class=\"alarm-state\">%s</span><div class=\"trap-id\">%s"
                 "</div></td>",
                 w.Covers(now) ? "Until" : "Planned", When(w.Covers(now) ? w.endMs : w.startMs).c_str());
    AppendFormat("<td class=\"alarm-reason\">%s</td><td class=\"alarm-owner\">%s", TextEscape::Html(w.reason).c_str(),
                 TextEscape::Html(w.by).c_str());
    if (operate) {
      AppendFormat("<form method=\"post\" action=\"%s\" class=\"alarm-form\"><input type=\"hidden\" "
                   "name=\"element\" value=\"%s\"><button type=\"submit\" name=\"action\" "
                   "value=\"end-maintenance\" aria-label=\"End the maintenance window of %s\">End now</button></form>",
                   kPage, element.c_str(), element.c_str());
    }
    Append("</td></tr>\n");
  }
  Append("</tbody>\n</table>\n");
  if (operate) {
    AppendFormat("<form id=\"maintenance-form\" method=\"post\" action=\"%s\" class=\"alarm-form "
                 "maintenance-form\"><select name=\"element\" aria-label=\"Element\" required>",
                 kPage);
    ElementRegistry* registry = AgentObjects::FindRegistry();
    if (registry != nullptr) {
      for (const std::string& name : registry->Snapshot()->Names()) {
        const std::string value = TextEscape::Html(name);
        AppendFormat("<option value=\"%s\">%s</option>", value.c_str(), value.c_str());
      }
    }
    Append("</select><label class=\"maintenance-minutes\"><input type=\"number\" name=\"minutes\" min=\"1\" "
           "max=\"44640\" value=\"60\" required aria-label=\"Minutes\"> min</label>"
           "<input type=\"text\" name=\"reason\" maxlength=\"1000\" required placeholder=\"Reason\" "
           "aria-label=\"Reason\"><button type=\"submit\" name=\"action\" value=\"maintain\">Set window</button>"
           "</form>\n");
  }
  Append("</section>\n");
}

void AlarmsPage::AppendRow(const Alarm& a, int64_t now, bool operate, const MaintenanceWindow* window) {
  const std::string id = TextEscape::Html(a.id);
  const std::string element = TextEscape::Html(a.element);
  AppendFormat("<tr class=\"alarm-row state-%s\" data-alarm=\"%s\">", Alarm::StateName(a.state), id.c_str());
  AppendFormat("<td class=\"alarm-severity\"><span class=\"severity-badge severity-%s\">%s</span></td>",
               Alarm::SeverityName(a.severity), SeverityWord(a.severity));
  AppendFormat("<td class=\"alarm-element\"><a href=\"events.html?element=%s\">%s</a>"
               "<div class=\"trap-id\">%s</div></td>",
               QueryValue(a.element).c_str(), element.c_str(),
               TextEscape::Html(a.address).c_str());
  AppendFormat("<td class=\"alarm-reason\">%s<div class=\"trap-id\">%s</div></td>",
               TextEscape::Html(a.reason).c_str(), KindText(a.kind));
  AppendFormat("<td class=\"alarm-since\"><span class=\"alarm-age\">%s</span><div class=\"trap-id\">%s</div></td>",
               Age(a.sinceMs, now).c_str(), When(a.sinceMs).c_str());
  Append("<td class=\"alarm-owner\">");
  if (a.state == Alarm::State::kCleared) {
    AppendFormat("<span class=\"alarm-state\">Cleared %s ago</span>", Age(a.clearedMs, now).c_str());
  } else if (a.state == Alarm::State::kMaintenance) {
    Append("<span class=\"alarm-state\">In maintenance</span>");
    if (window != nullptr) {
      AppendFormat("<div class=\"trap-id\">Until %s</div><div class=\"alarm-note\">%s</div>",
                   When(window->endMs).c_str(), TextEscape::Html(window->reason).c_str());
    }
  } else if (a.state == Alarm::State::kAcknowledged) {
    const Alarm::Acknowledgement& t = a.acknowledgement;
    AppendFormat("<span class=\"alarm-state\">Acknowledged by <b class=\"alarm-owner-name\">%s</b></span>"
                 "<div class=\"trap-id\">%s</div>",
                 TextEscape::Html(t.user).c_str(), When(t.atMs).c_str());
    if (!t.note.empty()) AppendFormat("<div class=\"alarm-note\">%s</div>", TextEscape::Html(t.note).c_str());
    if (t.expiresMs > 0) AppendFormat("<div class=\"trap-id\">Until %s</div>", When(t.expiresMs).c_str());
  } else {
    Append("<span class=\"alarm-state\">Nobody</span>");
  }
  if (operate && a.state != Alarm::State::kCleared) {
    AppendFormat("<form method=\"post\" action=\"%s\" class=\"alarm-form\"><input type=\"hidden\" name=\"alarm\" "
                 "value=\"%s\">",
                 kPage, id.c_str());
    if (a.state == Alarm::State::kAcknowledged) {
      AppendFormat("<button type=\"submit\" name=\"action\" value=\"withdraw\" aria-label=\"Withdraw the "
                   "acknowledgement of %s\">Withdraw</button>",
                   id.c_str());
    } else {
      AppendFormat("<input type=\"text\" name=\"note\" maxlength=\"1000\" placeholder=\"Note\" "
                   "aria-label=\"Note on %s\">"
                   "<select name=\"expires\" aria-label=\"For how long\"><option value=\"\">Until it clears"
                   "</option><option value=\"60\">1 hour</option><option value=\"480\">8 hours</option>"
                   "<option value=\"1440\">24 hours</option></select>"
                   "<button type=\"submit\" name=\"action\" value=\"acknowledge\" aria-label=\"Acknowledge %s\">"
                   "Acknowledge</button>",
                   id.c_str(), id.c_str());
    }
    Append("</form>");
  }
  Append("</td></tr>\n");
}

}  // namespace orla
