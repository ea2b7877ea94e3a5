// The device web agent for tape libraries as a web server extension
// module, loaded like the Fibre Alliance one from the web server's
// "extensions/" folder and registered under the URL root "/weblibrary/",
// which only the server's own client requests (the agent's pass-through)
// reach. Every request goes to LibraryWebAgent.
#include "plugins/webagent_kit/extension_module_record.h"
#include "platform/zepa/zepa.h"
#include "library_web_agent.h"

namespace {

int Version(HSE_VERSION_INFO* version) {
  return orla::ExtensionModuleRecord::Version(version, "Storage media library device web agent");
}

uint32_t Request(EXTENSION_CONTROL_BLOCK* ecb) {
  if (ecb == nullptr) return HSE_STATUS_SUCCESS;
  return orla::LibraryWebAgent::Answer(ecb);
}

int Terminate(uint32_t) { return 1; }

}  // namespace

#define LIBRARY_EXPORT extern "C" __attribute__((visibility("default")))

LIBRARY_EXPORT int ExtensionVersion(HSE_VERSION_INFO* version) { return Version(version); }
LIBRARY_EXPORT uint32_t ExtensionRequest(EXTENSION_CONTROL_BLOCK* ecb) { return Request(ecb); }
LIBRARY_EXPORT int ExtensionTerminate(uint32_t flags) { return Terminate(flags); }

// The record the server registers: the root "weblibrary", this module's
// folder, and the module's own callbacks. Returns 1, or 0 for a null record.
LIBRARY_EXPORT int GetExtensionRecord(ExtensionRecord* record) {
  return orla::ExtensionModuleRecord::Fill(record, "weblibrary", &Version, &Request, &Terminate);
}
