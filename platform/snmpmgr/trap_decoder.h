#pragma once
// The decoding of one datagram that reached the trap port: an SNMPv1 trap,
// an SNMPv2c notification or inform, or an SNMPv3 one, into SNMPv1 terms
// (RFC 3584 for the SNMPv2 forms), with what is owed to its sender (an
// inform's acknowledgement, the report a refused SNMPv3 message asks for).
// Decoding runs net-snmp's parsers and, for SNMPv3, its security model,
// under the library lock; the head of an SNMPv3 message is read first
// (UsmHeader), so that a user nobody assigned, or a level below its
// profile's, goes no further.
//
// Stateless but for the users taken (SetUserLevels), which are
// process-wide like the library's user list. The trap receiver decodes
// every datagram through it; the fuzzer and the tests call it directly.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orla {

class TrapDecoder {
 public:
  // The largest UDP payload; a datagram is never cut short by the
  // receiver's buffer.
  static constexpr size_t kMaxDatagram = 65535;

  // One variable binding as received. Which value member is meaningful
  // depends on `type` (the BER tag): INTEGER uses `integer`; Counter32,
  // Gauge32, TimeTicks, UInteger32 and Counter64 use `unsignedNumber`;
  // OCTET STRING, IpAddress, Opaque, NsapAddress and BIT STRING use
  // `octets`; OBJECT IDENTIFIER uses `objectId`; NULL and the SNMPv2
  // exception values carry nothing.
  struct Binding {
    std::vector<uint32_t> name;
    uint8_t type = 0;
    int64_t integer = 0;
    uint64_t unsignedNumber = 0;
    std::string octets;
    std::vector<uint32_t> objectId;
  };

  // One trap in SNMPv1 terms.
  struct Trap {
    std::vector<uint32_t> enterprise;
    uint8_t agentAddress[4] = {0, 0, 0, 0};
    int32_t genericTrap = 0;
    int32_t specificTrap = 0;
    uint32_t timeStamp = 0;
    std::vector<Binding> bindings;
    // When the datagram was read.
    std::chrono::system_clock::time_point arrival;
  };

  // Why an SNMPv3 message was refused.
  enum class Refusal : size_t {
    kUnknownUser,              // no assigned profile has its user
    kUnknownEngine,            // an engine never polled (a trap) or not ours (an inform)
    kWrongLevel,               // below its user's profile's security level
    kWrongKey,                 // wrong digest, or not decryptable
    kNotInTimeWindow,          // a replay, or a clock far off
    kNotThisElementsProfile,   // the element it speaks for has another profile
    kOther,                    // any other error of the security model
  };
  static constexpr size_t kRefusalReasons = 7;
  // The name of a refusal in the metrics ("unknown_user", ...).
  static const char* RefusalName(Refusal reason);

  // What Decode found besides the trap.
  struct Details {
    long version = -1;     // 0 SNMPv1, 1 SNMPv2c, 3 SNMPv3; -1 unread
    bool inform = false;   // a confirmed notification
    bool refused = false;  // an SNMPv3 message the security model refused
    Refusal refusal = Refusal::kOther;  // why, when refused
    // SNMPv3: the user and security level it was authenticated as.
    std::string user;
    int level = 0;
    // snmpTrapAddress.0 when the notification carries one (four octets).
    bool hasTrapAddress = false;
    uint8_t trapAddress[4] = {0, 0, 0, 0};
    // An inform's identity against repeats: sender, request ID, bindings.
    std::string informKey;
    // What is owed to the sender: the Response that acknowledges an inform
    // (to be sent once it is queued), or the Report that a refused SNMPv3
    // message asks for (engine discovery, time synchronisation, a wrong
    // key; to be sent at once). Empty when nothing is owed.
    std::vector<uint8_t> answer;
  };

  // Decodes one datagram. `source` is the sender's IPv4 address (four
  // octets), used as the agent address of an SNMPv2c notification that does
  // not carry snmpTrapAddress.0. Returns false when the datagram is not a
  // well-formed SNMPv1 trap, SNMPv2c notification or inform, or an SNMPv3
  // notification or inform that the security model accepts.
  //
  // An SNMPv3 message is first checked against SetUserLevels (user and
  // level), then by the security model. A trap is checked against the
  // process's USM user list: the
  // sender is authoritative, so it needs an entry for the sender's engine ID
  // and the trap's user, which a v3 management session to that device makes
  // (SnmpMgrOpenV3) — the engine ID is learned by polling, nobody types it.
  // An SNMPv3 inform is sent to this process's engine (the receiver is
  // authoritative): its user is one of SnmpMgrSetLocalUsers. The discovery
  // of this engine and the synchronisation of its time are not refusals:
  // they get their Report and are not counted.
  static bool Decode(const uint8_t* data, size_t length, const uint8_t source[4], Trap* trap,
                     Details* details = nullptr);

  // The SNMPv3 users taken, each with the lowest security level a message
  // of it may have (0 to 2). Process-wide, like the library's user list.
  static void SetUserLevels(std::map<std::string, int> levels);
};

}  // namespace orla
