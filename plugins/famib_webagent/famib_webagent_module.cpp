// The device web agent for Fibre Alliance MIB devices as a web server
// extension module: the web server loads this library from its data
// directory's "extensions/" folder at start-up, asks GetExtensionRecord for
// the record, and registers it under the URL root "/webagent/". The server
// lets only its own client requests (the agent's pass-through) reach the
// root; every request goes to FibreWebAgent, which serves "/webagent/Fibre/".
#include <cstring>
#include <string>

#include "platform/library/dynamic_library.h"
#include "platform/zepa/zepa.h"
#include "fibre_web_agent.h"

namespace {

constexpr char kName[] = "webagent";
constexpr char kDescription[] = "Fibre Alliance MIB device web agent";

int Version(HSE_VERSION_INFO* version) {
  if (version == nullptr) return 0;
  version->dwExtensionVersion = 4;
  std::strncpy(version->lpszExtensionDesc, kDescription, sizeof(version->lpszExtensionDesc) - 1);
  version->lpszExtensionDesc[sizeof(version->lpszExtensionDesc) - 1] = '\0';
  return 1;
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

// Fills the record the server registers: the root "webagent", this module's
// folder as the extension's directory (the module serves every path itself),
// and the three callbacks. The callbacks are the module's own internal
// functions, so the agent program's callbacks of the same exported names can
// never stand in for them. Returns 1, or 0 for a null record.
FIBRE_EXPORT int GetExtensionRecord(ExtensionRecord* record) {
  if (record == nullptr) return 0;
  std::memset(record, 0, sizeof(*record));
  record->dwSize = sizeof(ExtensionRecord);
  std::strncpy(record->szName, kName, sizeof(record->szName) - 1);
  const std::string file = orla::DynamicLibrary::FileContaining(reinterpret_cast<const void*>(&Request));
  const size_t slash = file.rfind('/');
  // The folder must be absolute and fit the record; "/" stands in otherwise
  // (the module serves every path itself, nothing from the folder).
  const bool absolute = !file.empty() && file[0] == '/' && slash != std::string::npos && slash > 0 &&
                        slash < sizeof(record->szDirectory);
  const std::string folder = absolute ? file.substr(0, slash) : std::string("/");
  std::strncpy(record->szDirectory, folder.c_str(), sizeof(record->szDirectory) - 1);
  record->dwHomePageListVersion = 2;
  record->dwRightListVersion = 2;
  record->pfnGetExtensionVersion = &Version;
  record->pfnHttpExtensionProc = &Request;
  record->pfnTerminateExtension = &Terminate;
  return 1;
}
