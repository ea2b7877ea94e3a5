#pragma once
// DiscoveryPage (discovery.html, administrators only): finds devices in
// address ranges and adopts them. The administrator types ranges and
// starts a run; the page's script (discovery.js) drives the API's discovery
// (POST discovery, GET discovery/{id} while it goes: a progress bar with
// the counts and the time left, DELETE to cancel), then lists the devices
// found with a checkbox and an editable suggested name each, and adopts the
// checked ones (POST discovery/{id}/adopt), optionally registering the
// agent as their trap target. A user without the administrator right gets
// the error page.
#include "web_page.h"

namespace orla {

class DiscoveryPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
};

}  // namespace orla
