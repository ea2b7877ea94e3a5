#pragma once
// MetricsPage: "/KOR/metrics", the agent's metrics for a Prometheus scraper
// (MetricsReport), answered to GET. A scraper authenticates with each
// request: "Authorization: Bearer" with the web server's metrics token, or
// HTTP basic authentication as any user of the web server (reading needs no
// right); a signed-in browser session may read it too. Anything else gets
// "401 Unauthorized" with the challenges for both schemes. Nothing here
// asks a device: a scrape reports what the agent already knows.
#include <cstdint>

#include "web_page.h"

namespace orla {

class MetricsPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  // True when the request carries credentials the web server accepted, or
  // comes from a signed-in session.
  static bool MayRead(EXTENSION_CONTROL_BLOCK* request);

 private:
  uint32_t Send(const char* status, const char* contentType, const char* extraHeaders, const std::string& body);
};

}  // namespace orla
