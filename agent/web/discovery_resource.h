#pragma once
// DiscoveryResource: discovery runs in the JSON API (DiscoveryRuns):
//   POST   discovery           {"ranges":"10.1.2.0/24, ..."} (AddressRanges):
//                              202 with the new run's id; 409 with the id of
//                              the run that still goes
//   GET    discovery/{id}      its progress while it goes, then its results
//   DELETE discovery/{id}      cancels it; the results so far are kept
//   POST   discovery/{id}/adopt {"rows":[{"address","name"}...],
//                              "registerTrapTarget":bool}: the rows judged
//                              by the import's rules and texts (a name by
//                              the add dialog's) and added whole or not at
//                              all (ElementImport, AddElements), one audit
//                              event with the count. An address must be
//                              one the run found; an error names the row's
//                              field ("rows[2].name"). With
//                              registerTrapTarget the agent sets each new
//                              element's device to send its traps here once
//                              it is bound.
// Every operation needs the administrator right.
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class DiscoveryResource {
 public:
  static ApiReply Start(const ApiCall& call);
  static ApiReply Get(const ApiCall& call);
  static ApiReply Cancel(const ApiCall& call);
  static ApiReply Adopt(const ApiCall& call);

  static constexpr const char* kNoSuchRun = "There is no discovery run with this id.";
  static constexpr const char* kRunning = "Another discovery run is going; wait for it or cancel it.";
  static constexpr const char* kStillRunning = "The discovery run is still going.";
  static constexpr const char* kNoRows = "Choose at least one device to adopt.";
  static constexpr const char* kNotFound = "The discovery run found no device at this address.";
};

}  // namespace orla
