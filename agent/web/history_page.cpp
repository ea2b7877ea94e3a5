#include "history_page.h"

#include "text_escape.h"

namespace orla {

uint32_t HistoryPage::HandleGet() {
  if (!HasSession()) return kLeaveToLibrary;
  const std::string element = TextEscape::Html(GetField("element").value_or(""));
  Append("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>History - Tape Controller Management</title>\n<link rel=\"icon\" href=\"ok.gif\">\n"
         "<script src=\"orla_utilities.js\"></script>\n<script src=\"chart.min.js\" defer></script>\n"
         "<script src=\"history.js\" defer></script>\n</head>\n<body class=\"home history-page\">\n");
  Append("<header class=\"topbar\">\n  <div class=\"brand\"><span class=\"product\">History</span>"
         "<span class=\"vendor\">Tape Controller Management</span></div>\n"
         "  <nav class=\"session\" aria-label=\"Pages\"><a href=\"./\">Tape controllers</a>"
         "<a href=\"events.html\">Events</a>"
         "<a href=\"/zepa/logout\">Log out</a></nav>\n</header>\n<main class=\"console\">\n");
  AppendFormat("<h1 class=\"history-title\">History of <span id=\"history-element\">%s</span></h1>\n",
               element.c_str());
  Append("<fieldset id=\"history-range\" class=\"range-picker\">\n<legend>Range</legend>\n"
         "  <label><input type=\"radio\" name=\"range\" value=\"day\" checked> Day</label>\n"
         "  <label><input type=\"radio\" name=\"range\" value=\"week\"> Week</label>\n"
         "  <label><input type=\"radio\" name=\"range\" value=\"month\"> Month</label>\n"
         "  <label><input type=\"radio\" name=\"range\" value=\"year\"> Year</label>\n</fieldset>\n"
         "<p id=\"history-summary\" class=\"summary-line\" role=\"status\" aria-live=\"polite\"></p>\n"
         "<div id=\"history-charts\" class=\"history-charts\"></div>\n"
         "</main>\n</body>\n</html>\n");
  return SendContent("text/html; charset=utf-8");
}

}  // namespace orla
