#include "tests/integration/snmp/scripted_responder.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <vector>

namespace orla::test {

namespace {

// Reads a BER tag and length at `p`; false when they run past `size`.
bool Header(const std::vector<uint8_t>& b, size_t* p, uint8_t* tag, size_t* length) {
  if (*p + 2 > b.size()) return false;
  *tag = b[(*p)++];
  const uint8_t first = b[(*p)++];
  if ((first & 0x80) == 0) {
    *length = first;
  } else {
    size_t count = first & 0x7F;
    if (count > 4 || *p + count > b.size()) return false;
    *length = 0;
    while (count-- > 0) *length = (*length << 8) | b[(*p)++];
  }
  return *p + *length <= b.size();
}

// Turns a request into its answer in place: PDU tag GetResponse, error status
// and error index set (both are single-byte integers in a request).
bool Answer(std::vector<uint8_t>* message, int errorStatus) {
  std::vector<uint8_t>& b = *message;
  size_t p = 0;
  uint8_t tag = 0;
  size_t length = 0;
  if (!Header(b, &p, &tag, &length) || tag != 0x30) return false;
  for (int skip = 0; skip < 2; ++skip) {  // version, community
    if (!Header(b, &p, &tag, &length)) return false;
    p += length;
  }
  const size_t pdu = p;
  if (!Header(b, &p, &tag, &length)) return false;
  if (!Header(b, &p, &tag, &length)) return false;  // request id
  p += length;
  if (!Header(b, &p, &tag, &length) || length != 1) return false;
  b[p++] = static_cast<uint8_t>(errorStatus);
  if (!Header(b, &p, &tag, &length) || length != 1) return false;
  b[p] = errorStatus != 0 ? 1 : 0;
  b[pdu] = 0xA2;
  return true;
}

}  // namespace

ScriptedResponder::ScriptedResponder(int errorStatus) : errorStatus_(errorStatus) {
  if (socket_.Port() != 0) thread_ = std::thread([this] { Run(); });
}

ScriptedResponder::~ScriptedResponder() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void ScriptedResponder::Run() {
  const int fd = socket_.Fd();
  std::vector<uint8_t> buffer(65536);
  while (!stop_) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, 50) <= 0) continue;
    sockaddr_in from{};
    socklen_t fromLength = sizeof(from);
    const ssize_t n = recvfrom(fd, buffer.data(), buffer.size(), 0,
                               reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n <= 0) continue;
    ++received_;
    if (errorStatus_ == kSilent) continue;
    std::vector<uint8_t> message(buffer.begin(), buffer.begin() + n);
    if (Answer(&message, errorStatus_)) {
      sendto(fd, message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&from),
             fromLength);
    }
  }
}

}  // namespace orla::test
