#include "import_page.h"

namespace orla {

uint32_t ImportPage::HandleGet() {
  Append("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>Import and export - Tape Controller Management</title>\n<link rel=\"icon\" href=\"ok.gif\">\n"
         "<script src=\"orla_utilities.js\"></script>\n<script src=\"live_refresh.js\"></script>\n"
         "<script src=\"import.js\" defer></script>\n</head>\n<body class=\"home events-page\">\n");
  Append("<header class=\"topbar\">\n  <div class=\"brand\"><span class=\"product\">Import and export</span>"
         "<span class=\"vendor\">Tape Controller Management</span></div>\n"
         "  <nav class=\"session\" aria-label=\"Pages\"><a href=\"./\">Tape controllers</a>"
         "<a href=\"events.html\">Events</a>"
         "<a href=\"help/index.htm\" target=\"KORHelp\" onclick=\"return launchHelp(this.href);\">Help</a>"
         "<a href=\"/zepa/logout\">Log out</a></nav>\n</header>\n<main class=\"console\">\n");
  if (IsAdministrator()) {
    Append("<form id=\"import-form\" class=\"filter-bar\" aria-label=\"Import devices from a CSV file\">\n"
           "  <label>CSV file (name, address, snmpv3_profile, maintenance_note) <input type=\"file\" id=\"import-file\" name=\"file\" "
           "accept=\".csv,text/csv\" required></label>\n"
           "  <button type=\"submit\" id=\"import-check\" value=\"check\">Check</button> "
           "<button type=\"button\" id=\"import-apply\" disabled>Import</button>\n</form>\n");
  } else {
    Append("<p class=\"summary-line\" id=\"import-right\">Importing devices needs the administrator right; "
           "you may export the list.</p>\n");
  }
  Append("<p id=\"import-summary\" class=\"summary-line\" role=\"status\" aria-live=\"polite\"></p>\n"
         "<table id=\"import-table\" class=\"event-table webagent-list\" hidden>\n<thead><tr class=\"header\">"
         "<th scope=\"col\">Line</th>"
         "<th scope=\"col\">Result</th><th scope=\"col\">Name</th><th scope=\"col\">Address</th>"
         "<th scope=\"col\">Why</th></tr></thead>\n<tbody></tbody>\n</table>\n"
         "<nav class=\"pager\" aria-label=\"Export\"><a id=\"export-csv\" href=\"api/v1/export\" "
         "download=\"elements.csv\">Export CSV</a></nav>\n"
         "</main>\n</body>\n</html>\n");
  return SendContent("text/html; charset=utf-8");
}

}  // namespace orla
