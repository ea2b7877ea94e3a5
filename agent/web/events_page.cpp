#include "events_page.h"

#include "text_escape.h"

namespace orla {

uint32_t EventsPage::HandleGet() {
  if (!HasSession()) return kLeaveToLibrary;
  const std::string element = TextEscape::Html(GetField("element").value_or(""));
  Append("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>Events - Tape Controller Management</title>\n<link rel=\"icon\" href=\"ok.gif\">\n"
         "<script src=\"orla_utilities.js\"></script>\n<script src=\"live_refresh.js\"></script>\n"
         "<script src=\"events.js\" defer></script>\n</head>\n<body class=\"home events-page\">\n");
  Append("<header class=\"topbar\">\n  <div class=\"brand\"><span class=\"product\">Events</span>"
         "<span class=\"vendor\">Tape Controller Management</span></div>\n"
         "  <nav class=\"session\" aria-label=\"Pages\"><a href=\"./\">Tape controllers</a>"
         "<a href=\"help/index.htm\" target=\"KORHelp\" onclick=\"return launchHelp(this.href);\">Help</a>"
         "<a href=\"/zepa/logout\">Log out</a></nav>\n</header>\n<main class=\"console\">\n");
  Append("<form id=\"event-filter\" class=\"filter-bar\" role=\"search\" aria-label=\"Filter events\">\n");
  AppendFormat("  <label>Element <input type=\"search\" name=\"element\" value=\"%s\" size=\"14\" "
               "placeholder=\"name or address\"></label>\n",
               element.c_str());
  Append("  <label>Severity <select name=\"severity\"><option value=\"\">All</option>"
         "<option value=\"warning\">Warning or worse</option><option value=\"critical\">Critical</option>"
         "</select></label>\n"
         "  <label>Kind <select name=\"kind\"><option value=\"\">All</option><option value=\"trap\">Traps</option>"
         "<option value=\"status\">Status changes</option><option value=\"change\">Changes</option>"
         "<option value=\"login\">Log-ins</option><option value=\"agent\">Agent</option></select></label>\n"
         "  <label>Text <input type=\"search\" name=\"text\" size=\"18\"></label>\n"
         "  <label>From <input type=\"datetime-local\" name=\"from\" step=\"1\"></label>\n"
         "  <label>To <input type=\"datetime-local\" name=\"to\" step=\"1\"></label>\n"
         "  <button type=\"submit\">Apply</button> <button type=\"reset\" id=\"filter-reset\">Clear</button>\n"
         "</form>\n");
  Append("<div class=\"console-bar\" id=\"events-bar\"></div>\n"
         "<p id=\"events-summary\" class=\"summary-line\" role=\"status\" aria-live=\"polite\"></p>\n"
         "<table id=\"event-table\" class=\"event-table\">\n<thead><tr><th scope=\"col\">Time</th>"
         "<th scope=\"col\">Severity</th><th scope=\"col\">Element</th><th scope=\"col\">Kind</th>"
         "<th scope=\"col\">Text</th></tr></thead>\n<tbody></tbody>\n</table>\n"
         "<nav class=\"pager\" aria-label=\"Pages of events\"><button type=\"button\" id=\"newer\">&larr; Newer"
         "</button> <button type=\"button\" id=\"older\">Older &rarr;</button> "
         "<a id=\"export-csv\" href=\"events.csv\" download>Export CSV</a></nav>\n"
         "</main>\n</body>\n</html>\n");
  return SendContent("text/html; charset=utf-8");
}

}  // namespace orla
