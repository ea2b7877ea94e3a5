#include "platform/text/port_setting.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace orla {

bool PortSetting::Parse(const char* text, int* port) {
  // strtol would also take leading blanks and a sign.
  if (text == nullptr || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < 1 || value > 65535) return false;
  *port = static_cast<int>(value);
  return true;
}

bool PortSetting::ParseAddress(const char* text, int* port) {
  if (text == nullptr) return false;
  const char* colon = std::strrchr(text, ':');
  return Parse(colon != nullptr ? colon + 1 : text, port);
}

}  // namespace orla
