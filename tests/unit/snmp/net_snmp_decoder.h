#pragma once
// Decodes BER produced by the agent's encoders with net-snmp's own parser,
// so the tests check our encodings against an independent implementation.
#include <cstdint>
#include <string>
#include <vector>

namespace orla::test {

struct DecodedValue {
  bool ok = false;
  int type = -1;
  long number = 0;                   // INTEGER
  unsigned long unsignedNumber = 0;  // TimeTicks, Counter, Gauge
  std::string bytes;                 // OCTET STRING, IpAddress
  std::vector<unsigned long> oid;    // OBJECT IDENTIFIER
};

struct DecodedBinding {
  std::vector<unsigned long> name;
  DecodedValue value;
};

struct DecodedTrap {
  bool ok = false;
  long version = -1;
  std::string community;
  int command = -1;
  std::vector<unsigned long> enterprise;
  std::vector<int> agentAddress;
  long genericTrap = -1;
  long specificTrap = -1;
  unsigned long timeStamp = 0;
  std::vector<DecodedBinding> bindings;
};

// One value (INTEGER, OCTET STRING, OBJECT IDENTIFIER, IpAddress, TimeTicks);
// ok only when the whole buffer is consumed.
DecodedValue NetSnmpDecodeValue(const std::vector<uint8_t>& encoding);
// One variable binding (SEQUENCE of name and value).
bool NetSnmpDecodeBinding(const std::vector<uint8_t>& encoding, DecodedBinding* binding);
// A whole SNMPv1 Trap message.
DecodedTrap NetSnmpDecodeTrap(const std::vector<uint8_t>& message);

}  // namespace orla::test
