#pragma once
// Sends one buffer as a UDP datagram to a host. Lives for one send: Open,
// Send, Close (the destructor closes too). Not shared between threads.
#include <cstdint>

#include "agent/core/root_object.h"
#include "platform/net/socket_address_in.h"

namespace orla {

class DatagramSender : public RootObject {
 public:
  DatagramSender();
  ~DatagramSender() override;
  DatagramSender(const DatagramSender&) = delete;
  DatagramSender& operator=(const DatagramSender&) = delete;

  // Resolves `host` (name or dotted address, IPv4) and creates the socket;
  // closes first when a socket is open. Throws OrlaException 2013 "Unable to
  // retrieve agent host information." when the host cannot be resolved, 2004
  // "Unable to communicate with managed device." when no socket can be made,
  // 3001 when the host text cannot be copied.
  void Open(const char* host, int32_t port);
  // Sends `length` bytes of `buffer` as one datagram. The sender takes the
  // buffer (from malloc) and releases it, whether the send succeeds or not.
  // Throws OrlaException 2004 when the send fails or no socket is open.
  void Send(uint8_t* buffer, int32_t length);
  // Releases the host copy and closes the socket. Never fails.
  void Close();

 private:
  int32_t socket_;
  char* host_ = nullptr;
  int32_t port_ = 0;
  SocketAddressIn* address_ = nullptr;
  SocketAddressIn addressRecord_{};
};

}  // namespace orla
