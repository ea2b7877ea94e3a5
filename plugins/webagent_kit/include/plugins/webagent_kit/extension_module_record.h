#pragma once
// The record a device web agent module hands the web server: its URL root,
// its own folder as the extension's directory, and its callbacks. Each
// module exports GetExtensionRecord (and the contract's ExtensionVersion,
// ExtensionRequest, ExtensionTerminate) and fills the record here, with
// callbacks that are the module's own internal functions, so the agent
// program's callbacks of the same exported names can never stand in for
// them.
#include <cstdint>

#include "platform/zepa/zepa.h"

namespace orla {

class ExtensionModuleRecord {
 public:
  // Fills `version` with extension version 4 and `description`; 0 for a
  // null record, else 1.
  static int Version(HSE_VERSION_INFO* version, const char* description);
  // Fills `record` with the root `name`, the folder of the module holding
  // `request` ("/" when that folder is not absolute or does not fit: the
  // module serves every path itself) and the three callbacks. Returns 1,
  // or 0 for a null record.
  static int Fill(ExtensionRecord* record, const char* name, PFN_GETEXTENSIONVERSION version,
                  PFN_HTTPEXTENSIONPROC request, PFN_TERMINATEEXTENSION terminate);
};

}  // namespace orla
