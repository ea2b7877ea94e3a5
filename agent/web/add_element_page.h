#pragma once
// AddElementPage: "/KOR/add_element.html", the dialog in which an
// administrator adds a tape controller by its TCP/IP address (or host name)
// and a name of up to 8 characters.
//
// GET shows the form, filled from the query string's "element_name" and
// "element_address" when given. POST checks, in this order, the
// administrator right, that both fields are there, the name's length (1 to
// 8), its characters (none of " |'+;"), that an address was typed and that
// it resolves; the first failure is an error page whose OK button leads back
// to the empty form (the missing right: OK closes the window). Then the
// registry adds the element with the dotted address at the agent's polling
// interval. Success shows the empty form again, whose load reloads the
// element list behind the dialog; a device that does not send its traps to
// this agent (code 6; the element stays added) turns the dialog into the
// trap-target question (TrapTargetPage) on the same request; every other
// failure is an error page with the registry's message or this page's own
// wording for codes 2 and 7.
//
// Values written back into the form are HTML-escaped.
#include <cstdint>

#include "add_element_form.h"

namespace orla {

class AddElementPage : public AddElementForm {
 public:
  using AddElementForm::AddElementForm;
  ~AddElementPage() override = default;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;
};

}  // namespace orla
