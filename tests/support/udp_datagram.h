#pragma once
// Raw UDP datagrams to a receiver on 127.0.0.1, for feeding a listener
// bytes no real sender would produce.
#include <cstdint>
#include <string>
#include <vector>

namespace orla::test {

// Sends `bytes` as one datagram to 127.0.0.1:`port`, from the loopback
// address `from` when one is given. A failing step fails the test.
void SendDatagram(int port, const std::vector<uint8_t>& bytes, const std::string& from = "");

}  // namespace orla::test
