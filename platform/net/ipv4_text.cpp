#include "platform/net/ipv4_text.h"

#include <string>

namespace orla {

std::string Ipv4Text::Dotted(const uint8_t octets[4]) {
  std::string text;
  text.reserve(15);
  for (int i = 0; i < 4; ++i) {
    if (i > 0) text += '.';
    text += std::to_string(octets[i]);
  }
  return text;
}

std::string Ipv4Text::Dotted(const int32_t octets[4]) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(octets[0] & 0xff), static_cast<uint8_t>(octets[1] & 0xff),
                            static_cast<uint8_t>(octets[2] & 0xff), static_cast<uint8_t>(octets[3] & 0xff)};
  return Dotted(bytes);
}

std::string Ipv4Text::FromNetwork(uint32_t networkAddress) {
  // Network byte order: the first octet is the lowest-addressed byte.
  const auto* bytes = reinterpret_cast<const uint8_t*>(&networkAddress);
  return Dotted(bytes);
}

}  // namespace orla
