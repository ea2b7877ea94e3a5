#pragma once
// RemoveElementPage: "/KOR/delete_element.html", the dialog in which an
// administrator stops managing a tape controller.
//
// GET lists the names of all elements, in registry order, taken from the
// registry's list string without a status refresh. POST needs the
// administrator right and a selected "element_name"; the registry removes
// the element and rewrites KORAgent.db. Success shows the success page,
// which reloads the element list; a failure (a name removed meanwhile) is
// an error page whose OK button reloads the element list and closes the
// window.
//
// Names are HTML-escaped in the selection list.
#include <cstdint>

#include "web_page.h"

namespace orla {

class RemoveElementPage : public WebPage {
 public:
  using WebPage::WebPage;
  ~RemoveElementPage() override = default;

  // The answer for a name no element has (the API's too).
  static constexpr const char* kNoSuchElement = "The tape controller specified does not exist.";

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;
};

}  // namespace orla
