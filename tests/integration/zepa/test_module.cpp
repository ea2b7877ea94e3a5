// An extension module for the web server library's tests: registers the
// root "testagent" and answers every request with what it was given (the
// VESTRA_ headers, whether the secret header reached it). Built a second
// time with ZEPA_TEST_MODULE_REFUSES, its record function fails.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/zepa/zepa.h"

namespace {

std::string Variable(EXTENSION_CONTROL_BLOCK* ecb, const char* name) {
  char buffer[1024];
  uint32_t size = sizeof(buffer);
  if (!ecb->GetServerVariable(ecb->ConnID, name, buffer, &size)) return "(none)";
  return buffer;
}

}  // namespace

extern "C" {

int ExtensionVersion(HSE_VERSION_INFO* info) {
  info->dwExtensionVersion = 1;
  std::snprintf(info->lpszExtensionDesc, sizeof(info->lpszExtensionDesc), "test module");
  return 1;
}

uint32_t ExtensionRequest(EXTENSION_CONTROL_BLOCK* ecb) {
  std::string body = "module-path=" + std::string(ecb->lpszPathInfo) + "\n";
  for (const char* name : {"HTTP_VESTRA_MACHINE", "HTTP_VESTRA_DEVICE", "HTTP_VESTRA_COMMUNITY",
                           "HTTP_X_ZEPA_INTERNAL"}) {
    body += std::string(name) + "=" + Variable(ecb, name) + "\n";
  }
  const std::string header = "Content-Type: text/plain\r\n\r\n";
  uint32_t length = static_cast<uint32_t>(header.size());
  ecb->ServerSupportFunction(ecb->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, nullptr, &length,
                             reinterpret_cast<uint32_t*>(const_cast<char*>(header.c_str())));
  uint32_t n = static_cast<uint32_t>(body.size());
  ecb->WriteClient(ecb->ConnID, body.data(), &n, 0);
  return HSE_STATUS_SUCCESS;
}

int ExtensionTerminate(uint32_t) { return 1; }

int GetExtensionRecord(ExtensionRecord* record) {
#ifdef ZEPA_TEST_MODULE_REFUSES
  (void)record;
  return 0;
#else
  record->dwSize = sizeof(ExtensionRecord);
  std::snprintf(record->szName, sizeof(record->szName), "testagent");
  std::snprintf(record->szDirectory, sizeof(record->szDirectory), "/tmp");
  // The callbacks are left to the exports.
  return 1;
#endif
}

}  // extern "C"
