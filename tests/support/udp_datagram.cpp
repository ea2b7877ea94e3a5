#include "tests/support/udp_datagram.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orla::test {

namespace {

void Send(int s, int port, const std::vector<uint8_t>& bytes, const std::string& from) {
  if (!from.empty()) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ASSERT_EQ(inet_pton(AF_INET, from.c_str(), &local.sin_addr), 1) << from;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local), 0) << from;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(bytes.size()));
}

}  // namespace

void SendDatagram(int port, const std::vector<uint8_t>& bytes, const std::string& from) {
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(s, 0);
  Send(s, port, bytes, from);  // the socket is closed however that ends
  close(s);
}

}  // namespace orla::test
