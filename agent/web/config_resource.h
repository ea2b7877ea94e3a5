#pragma once
// ConfigResource: the agent's own configuration in the JSON API, as the
// agent configuration page shows and changes it: the status polling
// interval (storage.ini) and the hosts that receive the agent's SNMP traps
// (client.ini).
//   GET   config  {"pollingInterval": seconds, "trapHosts": [HOST...]}
//   PATCH config  the same members, each optional: the new interval in
//                 seconds (PollingIntervalCheck: 1 to 60 whole minutes),
//                 the whole new list of trap hosts (TrapHostCheck for
//                 every host not already listed; at most
//                 ApiCall::kMaxItems). 200 and the configuration as GET
//                 answers it; 400 naming the field with the page's text.
// A change is made whole or not at all: everything is checked before any
// file is written, each file is rewritten atomically, and should the
// second write fail the first is undone (500). Each host added or removed
// and a changed interval is an audit event worded as the page words it.
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class ConfigResource {
 public:
  static ApiReply Get(const ApiCall& call);
  static ApiReply Change(const ApiCall& call);
};

}  // namespace orla
