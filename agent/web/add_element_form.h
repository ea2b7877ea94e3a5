#pragma once
// AddElementForm: the "Add Tape Controller" dialog's form, as the add page
// shows it and as the trap-target question shows it again (empty) once
// answered. The empty form reloads the element list behind the dialog when
// it loads; a filled one carries the request's "element_name" and
// "element_address", HTML-escaped.
#include <cstdint>
#include <optional>
#include <string>

#include "web_page.h"

namespace orla {

class AddElementForm : public WebPage {
 public:
  using WebPage::WebPage;
  ~AddElementForm() override = default;

  // With `clear`, the empty form, which reloads the opening window when it
  // loads; otherwise the form filled from the request's fields.
  uint32_t ShowForm(bool clear) override;

 protected:
  std::optional<std::string> address_;
  std::optional<std::string> name_;
};

}  // namespace orla
