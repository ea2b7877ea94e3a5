#include "datagram_sender.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "platform/net/host_lookup.h"
#include "platform/net/udp_socket.h"

namespace orla {

DatagramSender::DatagramSender() : socket_(UdpSocket::kNone) {}

DatagramSender::~DatagramSender() { Close(); }

void DatagramSender::Open(const char* host, int32_t port) {
  if (socket_ != UdpSocket::kNone || host_ != nullptr) Close();
  if (host == nullptr) host = "";
  host_ = strdup(host);
  if (host_ == nullptr) {
    throw new OrlaException(kErrMemory, static_cast<uint32_t>(errno), kMsgMemory);
  }
  port_ = port;
  std::memset(&addressRecord_, 0, sizeof(addressRecord_));
  if (port < 0 || port > 65535 ||
      !HostLookup::ResolveIPv4(host_, static_cast<uint16_t>(port), &addressRecord_)) {
    Close();
    throw new OrlaException(kErrHostInfo, 0, kMsgHostInfo);
  }
  address_ = &addressRecord_;
  socket_ = UdpSocket::Open();
  if (socket_ == UdpSocket::kNone) {
    Close();
    throw new OrlaException(kErrCommunication, 0, kMsgCommunication);
  }
}

void DatagramSender::Send(uint8_t* buffer, int32_t length) {
  const bool sent = buffer != nullptr && length >= 0 && address_ != nullptr &&
                    UdpSocket::SendTo(socket_, buffer, static_cast<size_t>(length), address_);
  std::free(buffer);
  if (!sent) throw new OrlaException(kErrCommunication, 0, kMsgCommunication);
}

void DatagramSender::Close() {
  std::free(host_);
  host_ = nullptr;
  address_ = nullptr;
  UdpSocket::Close(socket_);
  socket_ = UdpSocket::kNone;
}

}  // namespace orla
