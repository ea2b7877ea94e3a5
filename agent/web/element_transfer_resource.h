#pragma once
// ElementTransferResource: managed elements in and out as a file
// (ElementCsv), in the JSON API:
//   POST import[?dryRun=true]   the CSV as the body (text/csv, at most
//                               ApiRoutes::kMaxTextBytes): each line judged
//                               (ElementImport); a dry run answers 200 with
//                               the report and changes nothing. Otherwise a
//                               file with a refused line answers 400 with
//                               the report and changes nothing, and one
//                               without answers 200 with the report once
//                               every line to add is added (one audit event
//                               with the count), those with a maintenance
//                               note in maintenance for 24 hours, set by
//                               the caller. A file that cannot be read
//                               as CSV answers 400 naming its line and
//                               column.
//   GET  export                 every managed element as CSV, in registry
//                               order, with the SNMPv3 profile assigned to
//                               its own address and the reason of its
//                               maintenance window in force; an import of
//                               it adds nothing and skips every line.
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class ElementTransferResource {
 public:
  static ApiReply Import(const ApiCall& call);
  static ApiReply Export(const ApiCall& call);

  static constexpr const char* kRefused = "Some lines are refused; nothing was imported.";
};

}  // namespace orla
