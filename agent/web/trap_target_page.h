#pragma once
// TrapTargetPage: "/KOR/set_trap_target.html", the question shown when a
// newly added tape controller does not send its SNMP traps to this agent:
// reconfigure the device (which also reboots it) or leave it alone.
//
// GET (also run by AddElementPage on the add's own request, so it reads the
// "element_name" the add form posted) names the element and offers "Yes"
// and "No"; without a name it is the error "No element specified.". POST
// needs the administrator right; "no" returns to the empty add form; any
// other POST with a name has the registry set the device's trap destination
// (ConfigureTrapReceiver) and, on success, returns to the empty add form,
// whose load reloads the element list. A failure (the element removed
// meanwhile, a device that refuses the change) is an error page whose OK
// button closes the window.
//
// A device page's own link opens it with "return=device": the form then
// carries that field on, and the POST ends on a success page that reloads
// the device page (or says nothing was changed, for "No") instead of the
// add form. A plug-in that gives its own question (GetTrapTargetQuestion,
// a library that takes a new destination without a restart) has it asked
// instead of the tape controller's, under the title "Send Traps to This
// Agent?".
//
// The element name is HTML-escaped wherever it is written.
#include <cstdint>

#include "web_page.h"

namespace orla {

class TrapTargetPage : public WebPage {
 public:
  using WebPage::WebPage;
  ~TrapTargetPage() override = default;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  static constexpr char kReturnField[] = "return";
  static constexpr char kReturnDevice[] = "device";

 private:
  // The empty add form, answered on this page's request.
  uint32_t ShowEmptyAddForm();
};

}  // namespace orla
