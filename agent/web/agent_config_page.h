#pragma once
// AgentConfigPage: "/KOR/agent_config.html", the dialog for the agent's own
// settings: the hosts that receive its SNMP traps (client.ini) and the
// status polling interval (storage.ini).
//
// GET shows the trap destinations as typed, with "Remove Address", a field
// and "Add Address" for a new one, and the polling interval as a choice of
// 1 to 60 minutes (the registry's interval divided by 60, rounded down)
// with "Change Interval". POST needs the administrator right and acts on
// the button pressed: remove the selected destination; add a new one
// (TrapHostCheck: no space, it must resolve, and its address must not be
// that of a listed entry; it is stored as typed); or set the interval
// (PollingIntervalCheck: 1 to 60 minutes). Each change
// rewrites its file and shows the page again with the new values; every
// refusal is an error page whose OK button returns to this page.
//
// A user without the administrator right (a reader or an operator) is
// offered nothing to change: GET shows the same settings as text (the
// destinations as a list, the interval in minutes, or in seconds when it is
// not whole minutes), with Close and Help; a POST is refused as before.
//
// Destination texts are HTML-escaped.
#include <cstdint>
#include <string>

#include "web_page.h"

namespace orla {

class AgentConfigPage : public WebPage {
 public:
  using WebPage::WebPage;
  ~AgentConfigPage() override = default;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

 private:
  // The settings as text, for a user who may not change them.
  uint32_t ShowReadOnly();
  // Our section after the form (both views): the Alertmanagers of
  // alerting.conf as the pusher last read it, without secrets, and the
  // file's bad lines; nothing when it names none and has no error.
  void AppendAlerting();
  uint32_t RemoveDestination();
  uint32_t AddDestination();
  uint32_t ChangeInterval(const std::string& minutes);
};

}  // namespace orla
