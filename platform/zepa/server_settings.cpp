#include "server_settings.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstring>

#include "platform/text/string_printf.h"

namespace orla {

namespace {
bool FieldText(const char* field, size_t width, std::string* out) {
  const size_t n = strnlen(field, width);
  if (n == width) return false;
  out->assign(field, n);
  return true;
}
}  // namespace

bool ServerSettings::From(const ServerStartupRecord* record, const ServerTable::NextStart& next,
                          ServerSettings* out, std::string* error) {
  if (record == nullptr) {
    *error = "no start-up record";
    return false;
  }
  uint32_t size = 0;
  std::memcpy(&size, record, sizeof(size));
  if (size != ZEPA_SERVER_STARTUP_RECORD_SIZE) {
    *error = StringPrintf("the start-up record's size is %u, not %u", size, ZEPA_SERVER_STARTUP_RECORD_SIZE);
    return false;
  }
  ServerSettings settings;
  if (!FieldText(record->szServerName, sizeof(record->szServerName), &settings.name) ||
      !FieldText(record->szDataDirectory, sizeof(record->szDataDirectory), &settings.dataDirectory)) {
    *error = "a text of the start-up record is not terminated";
    return false;
  }
  if (settings.name.empty()) settings.name = "ZEPA";
  if (settings.dataDirectory.empty() || settings.dataDirectory[0] != '/') {
    *error = "the data directory of the start-up record must be an absolute path";
    return false;
  }
  if (!next.address.empty()) settings.address = next.address;
  if (next.port != 0) settings.port = next.port;
  if (next.maxConnections != 0) settings.maxConnections = next.maxConnections;
  if (next.maxConnectionsPerAddress != 0) settings.maxConnectionsPerAddress = next.maxConnectionsPerAddress;
  settings.largeBodyPath = next.largeBodyPath;
  settings.largeBodyBytes = next.largeBodyBytes;
  *out = settings;
  return true;
}

bool ServerSettings::IsNumericAddress(const std::string& address) {
  unsigned char buffer[sizeof(struct in6_addr)];
  return inet_pton(AF_INET, address.c_str(), buffer) == 1 || inet_pton(AF_INET6, address.c_str(), buffer) == 1;
}

}  // namespace orla
