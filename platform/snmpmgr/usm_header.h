#pragma once
// The clear-text head of an SNMPv3 message, read without the library: the
// message flags, the security model and the user-based security
// parameters (authoritative engine ID, boots, time, user name). The trap
// receiver reads it before it hands a datagram to net-snmp, so that a
// message from a user nobody assigned, or below its profile's level, is
// refused without touching the library's process-wide security state (no
// engine record, no key work), and so that the time synchronisation that
// starts an inform (boots and time 0) is told apart from a replay.
//
// Only the framing is read (BER tags and lengths, bounded by the
// datagram); nothing is authenticated here.
#include <cstddef>
#include <cstdint>
#include <string>

namespace orla {

class UsmHeader {
 public:
  // msgFlags bits.
  static constexpr uint8_t kAuthFlag = 0x01;
  static constexpr uint8_t kPrivFlag = 0x02;
  static constexpr uint8_t kReportableFlag = 0x04;
  // msgSecurityModel of the user-based security model.
  static constexpr long kUsmModel = 3;

  long messageId = 0;
  uint8_t flags = 0;
  long securityModel = 0;
  std::string engineId;  // raw octets
  long engineBoots = 0;
  long engineTime = 0;
  std::string user;

  // The security level the flags claim: 0 noAuthNoPriv, 1 authNoPriv,
  // 2 authPriv; -1 for the invalid privacy-without-authentication.
  int Level() const;
  bool Reportable() const { return (flags & kReportableFlag) != 0; }

  // Reads the head of `data`; false when it is not an SNMPv3 message with
  // user-based security parameters framed as the protocol says.
  static bool Read(const uint8_t* data, size_t length, UsmHeader* out);
};

}  // namespace orla
