#pragma once
// EngineJsonPage: "/KOR/engine.json", the agent's SNMP engine as receivers
// must be told it: {"engineID":"0x8000113d05...","engineBoots":3}. The About
// page's script shows it beneath the page (the page itself stays as it is)
// for signed-in users; without a session the request is sent to log in.
#include <cstdint>
#include <string>

#include "web_page.h"

namespace orla {

class EngineJsonPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;

  // The engine of this process (the SNMP library's), as the answer's text.
  static std::string Render();
};

}  // namespace orla
