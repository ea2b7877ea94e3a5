#include "platform/net/udp_socket.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace orla {

int32_t UdpSocket::Open() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  return fd < 0 ? kNone : fd;
}

bool UdpSocket::SendTo(int32_t socket, const void* buffer, size_t length,
                       const SocketAddressIn* destination) {
  if (socket == kNone || destination == nullptr) {
    errno = EBADF;
    return false;
  }
  ssize_t sent;
  do {
    sent = ::sendto(socket, buffer, length, 0, reinterpret_cast<const sockaddr*>(destination),
                    sizeof(SocketAddressIn));
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) return false;
  if (static_cast<size_t>(sent) != length) {
    errno = EMSGSIZE;
    return false;
  }
  return true;
}

void UdpSocket::Close(int32_t socket) {
  if (socket != kNone) ::close(socket);
}

}  // namespace orla
