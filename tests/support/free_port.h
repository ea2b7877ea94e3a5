#pragma once
// Ports for tests: every port comes from binding port 0, so the system picks
// a free one. A test that binds its own socket keeps it (BoundUdpSocket);
// FreeLoopbackPort serves the peer programs that must be told a port before
// they bind it (snmpsimd, snmptrapd, the agent).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orla::test {

// A UDP socket bound to port 0 of `address` (127.0.0.1 by default): the
// system picks a free port. It reads nothing unless asked, so it also serves
// as a device that never answers.
class BoundUdpSocket {
 public:
  explicit BoundUdpSocket(const std::string& address = "127.0.0.1");
  ~BoundUdpSocket();
  BoundUdpSocket(const BoundUdpSocket&) = delete;
  BoundUdpSocket& operator=(const BoundUdpSocket&) = delete;

  int Fd() const { return fd_; }
  // 0 when the socket could not be bound.
  int Port() const { return port_; }
  // The datagrams that arrive until `ms` milliseconds pass without one, or
  // `atMost` have come.
  std::vector<std::vector<uint8_t>> Receive(int ms, size_t atMost = 1000);

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A port of socket `type` (SOCK_STREAM or SOCK_DGRAM) on 127.0.0.1 that
// nobody uses right now, as the system picks it for port 0: for a server
// that must be told its port before it binds it. 0 when none could be had.
int FreeLoopbackPort(int type);

}  // namespace orla::test
