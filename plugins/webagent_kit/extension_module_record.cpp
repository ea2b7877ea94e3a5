#include "plugins/webagent_kit/extension_module_record.h"

#include <cstring>
#include <string>

#include "platform/library/dynamic_library.h"

namespace orla {

int ExtensionModuleRecord::Version(HSE_VERSION_INFO* version, const char* description) {
  if (version == nullptr) return 0;
  version->dwExtensionVersion = 4;
  std::strncpy(version->lpszExtensionDesc, description, sizeof(version->lpszExtensionDesc) - 1);
  version->lpszExtensionDesc[sizeof(version->lpszExtensionDesc) - 1] = '\0';
  return 1;
}

int ExtensionModuleRecord::Fill(ExtensionRecord* record, const char* name, PFN_GETEXTENSIONVERSION version,
                                PFN_HTTPEXTENSIONPROC request, PFN_TERMINATEEXTENSION terminate) {
  if (record == nullptr) return 0;
  std::memset(record, 0, sizeof(*record));
  record->dwSize = sizeof(ExtensionRecord);
  std::strncpy(record->szName, name, sizeof(record->szName) - 1);
  const std::string file = DynamicLibrary::FileContaining(reinterpret_cast<const void*>(request));
  const size_t slash = file.rfind('/');
  const bool absolute = !file.empty() && file[0] == '/' && slash != std::string::npos && slash > 0 &&
                        slash < sizeof(record->szDirectory);
  const std::string folder = absolute ? file.substr(0, slash) : std::string("/");
  std::strncpy(record->szDirectory, folder.c_str(), sizeof(record->szDirectory) - 1);
  record->dwHomePageListVersion = 2;
  record->dwRightListVersion = 2;
  record->pfnGetExtensionVersion = version;
  record->pfnHttpExtensionProc = request;
  record->pfnTerminateExtension = terminate;
  return 1;
}

}  // namespace orla
