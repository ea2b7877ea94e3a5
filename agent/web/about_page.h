#pragma once
// AboutPage: "/KOR/about.html" (and every path starting "/KOR/about.htm"):
// the product's name, the agent's revision and a legal notice, with an Ok
// button that closes the window. Needs no rights. Only GET writes the page;
// a POST writes nothing and answers 1.
#include <cstdint>

#include "web_page.h"

namespace orla {

class AboutPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
};

}  // namespace orla
