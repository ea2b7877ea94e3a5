#include "discovery_page.h"

namespace orla {

uint32_t DiscoveryPage::HandleGet() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  Append("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>Discover devices - Tape Controller Management</title>\n<link rel=\"icon\" href=\"ok.gif\">\n"
         "<script src=\"orla_utilities.js\"></script>\n<script src=\"live_refresh.js\"></script>\n"
         "<script src=\"discovery.js\" defer></script>\n</head>\n<body class=\"home events-page\">\n");
  Append("<header class=\"topbar\">\n  <div class=\"brand\"><span class=\"product\">Discover devices</span>"
         "<span class=\"vendor\">Tape Controller Management</span></div>\n"
         "  <nav class=\"session\" aria-label=\"Pages\"><a href=\"./\">Tape controllers</a>"
         "<a href=\"import.html\">Import</a>"
         "<a href=\"help/index.htm\" target=\"KORHelp\" onclick=\"return launchHelp(this.href);\">Help</a>"
         "<a href=\"/zepa/logout\">Log out</a></nav>\n</header>\n<main class=\"console\">\n");
  Append("<form id=\"discovery-form\" class=\"filter-bar\" aria-label=\"Discover devices in address ranges\">\n"
         "  <label>Address ranges <input type=\"text\" id=\"discovery-ranges\" name=\"ranges\" size=\"40\" "
         "placeholder=\"10.1.2.0/24, 10.1.3.10-10.1.3.99\" required></label>\n"
         "  <button type=\"submit\" id=\"discovery-start\">Start</button> "
         "<button type=\"button\" id=\"discovery-cancel\" hidden>Cancel</button>\n</form>\n"
         "<div id=\"discovery-progress\" class=\"discovery-progress\" hidden>\n"
         "  <progress id=\"discovery-bar\" max=\"1\" value=\"0\"></progress>\n"
         "  <span id=\"discovery-counts\"></span>\n</div>\n"
         "<p id=\"discovery-summary\" class=\"summary-line\" role=\"status\" aria-live=\"polite\"></p>\n"
         "<form id=\"adopt-form\" hidden>\n"
         "<table id=\"discovery-table\" class=\"event-table webagent-list\">\n<thead><tr class=\"header\">"
         "<th scope=\"col\"><input type=\"checkbox\" id=\"discovery-all\" aria-label=\"Choose every device\"></th>"
         "<th scope=\"col\">Name</th><th scope=\"col\">Address</th><th scope=\"col\">Type</th>"
         "<th scope=\"col\">Model</th><th scope=\"col\">World wide name</th><th scope=\"col\">Credential</th>"
         "<th scope=\"col\">Managed</th></tr></thead>\n<tbody></tbody>\n</table>\n"
         "<p class=\"filter-bar\"><label class=\"discovery-trap-label\"><input type=\"checkbox\" id=\"discovery-trap\"> "
         "Register the agent as trap target</label> "
         "<button type=\"submit\" id=\"discovery-adopt\">Adopt</button></p>\n</form>\n"
         "</main>\n</body>\n</html>\n");
  return SendContent("text/html; charset=utf-8");
}

}  // namespace orla
