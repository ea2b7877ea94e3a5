// The device web agent for Fibre Alliance MIB devices as a web server
// extension module: the web server loads this library from its data
// directory's "extensions/" folder at start-up, asks GetExtensionRecord for
// the record, and registers it under the URL root "/webagent/". The server
// lets only its own client requests (the agent's pass-through) reach the
// root; every request goes to FibreWebAgent, which serves "/webagent/Fibre/".
#include "plugins/webagent_kit/extension_module_record.h"
#include "platform/zepa/zepa.h"
#include "fibre_web_agent.h"

namespace {

int Version(HSE_VERSION_INFO* version) {
  return orla::ExtensionModuleRecord::Version(version, "Fibre Alliance MIB device web agent");
}

uint32_t Request(EXTENSION_CONTROL_BLOCK* ecb) {
  if (ecb == nullptr) return HSE_STATUS_SUCCESS;
  return orla::FibreWebAgent::Answer(ecb);
}

int Terminate(uint32_t) { return 1; }

}  // namespace

#define FIBRE_EXPORT extern "C" __attribute__((visibility("default")))

FIBRE_EXPORT int ExtensionVersion(HSE_VERSION_INFO* version) { return Version(version); }
FIBRE_EXPORT uint32_t ExtensionRequest(EXTENSION_CONTROL_BLOCK* ecb) { return Request(ecb); }
FIBRE_EXPORT int ExtensionTerminate(uint32_t flags) { return Terminate(flags); }

// The record the server registers: the root "webagent", this module's
// folder, and the module's own callbacks. Returns 1, or 0 for a null record.
FIBRE_EXPORT int GetExtensionRecord(ExtensionRecord* record) {
  return orla::ExtensionModuleRecord::Fill(record, "webagent", &Version, &Request, &Terminate);
}
