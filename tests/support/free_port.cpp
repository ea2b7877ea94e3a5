#include "tests/support/free_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orla::test {

BoundUdpSocket::BoundUdpSocket(const std::string& address) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) return;
  socklen_t length = sizeof local;
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return;
  }
  port_ = ntohs(local.sin_port);
}

BoundUdpSocket::~BoundUdpSocket() {
  if (fd_ >= 0) ::close(fd_);
}

std::vector<std::vector<uint8_t>> BoundUdpSocket::Receive(int ms, size_t atMost) {
  std::vector<std::vector<uint8_t>> datagrams;
  pollfd waiting{fd_, POLLIN, 0};
  while (datagrams.size() < atMost && ::poll(&waiting, 1, ms) > 0) {
    std::vector<uint8_t> buffer(65536);
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (n < 0) break;
    buffer.resize(static_cast<size_t>(n));
    datagrams.push_back(buffer);
  }
  return datagrams;
}

int FreeLoopbackPort(int type) {
  const int fd = socket(AF_INET, type, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

}  // namespace orla::test
