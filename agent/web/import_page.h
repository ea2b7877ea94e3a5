#pragma once
// ImportPage (import.html): managed elements in and out as a CSV file in the
// console. An administrator picks a file, checks it (a dry run of the API's
// import: every line with what would happen and why) and imports it; the
// page's script (import.js) sends the file to the API (POST import) and
// shows its report. Everyone who may read gets the export link; a user
// without the administrator right is told that importing needs it instead
// of being offered a form that would be refused.
#include "web_page.h"

namespace orla {

class ImportPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
};

}  // namespace orla
