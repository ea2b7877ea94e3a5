#pragma once
// Unbound IPv4 UDP datagram sockets: the system chooses the source address
// and port when the first datagram is sent.
#include <cstddef>
#include <cstdint>

#include "platform/net/socket_address_in.h"

namespace orla {

class UdpSocket {
 public:
  static constexpr int32_t kNone = -1;

  // A new socket (close-on-exec), or kNone with errno set.
  static int32_t Open();
  // Sends `length` bytes as one datagram; false with errno set when the
  // system refuses it (or sends fewer bytes).
  static bool SendTo(int32_t socket, const void* buffer, size_t length,
                     const SocketAddressIn* destination);
  // Closes a socket from Open(); kNone is ignored.
  static void Close(int32_t socket);
};

}  // namespace orla
