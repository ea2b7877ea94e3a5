#pragma once
// HtmlEscape: a text made safe to stand in HTML, as element content or as a
// quoted attribute value: & < > " and ' become character references; every
// other byte is kept as it is. The one escaping of the agent's pages, the web
// server's own pages and the device web agent's pages.
#include <string>

namespace orla {

class HtmlEscape {
 public:
  static std::string Text(const std::string& text);
};

}  // namespace orla
