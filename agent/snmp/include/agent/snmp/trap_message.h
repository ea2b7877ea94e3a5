#pragma once
// One SNMPv1 trap: version, community, enterprise, agent address, generic
// and specific trap numbers, time stamp and variable bindings.
//
// The agent's own traps are built here, encoded with EncodeMessage and sent
// with SendTo; every trap received from a managed element is turned into one
// and handed to the element's plug-in by address. The field order is
// therefore part of the plug-in contract and must not change.
//
// A record belongs to the one thread that builds or handles it; it has no
// lock.
#include <cstdint>
#include <vector>

#include "agent/core/object_list.h"
#include "agent/snmp/snmp_binding.h"
#include "agent/snmp/snmp_integer.h"
#include "agent/snmp/snmp_ip_address.h"
#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_octet_string.h"
#include "agent/snmp/snmp_time_ticks.h"
#include "agent/snmp/snmp_value.h"

namespace orla {

class TrapMessage : public SnmpValue {
 public:
  // All fields absent, an empty binding list. Throws OrlaException 3001 when
  // the list cannot be allocated.
  TrapMessage();
  // Deletes every present field and the binding list with its bindings.
  ~TrapMessage() override;

  // Encode() and EncodedLength() keep the base behaviour (no buffer, -1): a
  // message is encoded with EncodeMessage.

  // Every setter makes a new value object, releasing the one held before;
  // it throws OrlaException 3001 when the object cannot be allocated (the
  // old value then stays).
  void SetVersion(int32_t version);
  int32_t GetVersion() const;  // -1 when absent
  void SetCommunity(const char* community);
  const char* GetCommunity() const;  // null when absent
  // Kept and returned, never encoded; the agent does not use it.
  void SetSpare(int32_t spare);
  int32_t GetSpare() const;  // -1 when absent
  // Copies `count` sub-identifiers.
  void SetEnterprise(const uint32_t* ids, int32_t count);
  // Sets `*ids` to the array and returns the count; -1 (and `*ids` null)
  // when absent.
  int32_t GetEnterprise(const uint32_t** ids) const;
  // Four integers, one octet each.
  void SetAgentAddress(const int32_t address[4]);
  const int32_t* GetAgentAddress() const;  // null when absent
  void SetGenericTrap(int32_t generic);
  int32_t GetGenericTrap() const;  // -1 when absent
  void SetSpecificTrap(int32_t specific);
  int32_t GetSpecificTrap() const;  // -1 when absent
  void SetTimeStamp(uint32_t ticks);
  uint32_t GetTimeStamp() const;  // 0 when absent

  // Appends `binding` (null is ignored); the list takes ownership.
  void AddBinding(SnmpBinding* binding);
  // The binding at `position` (from 0), still owned by the record; null
  // beyond the end.
  SnmpBinding* GetBinding(int32_t position) const;
  int32_t GetBindingCount() const;
  // The first binding whose name starts with `prefix`, and in `suffix`
  // (when given) the sub-identifiers after it (a table row's index); null
  // when none has such a name.
  const SnmpBinding* FindBinding(const std::vector<uint32_t>& prefix, std::vector<uint32_t>* suffix = nullptr) const;
  // Replaces the list by a new empty one, deleting the old list and its
  // bindings. Throws OrlaException 3001 when the new list cannot be allocated
  // (the old one then stays).
  void ClearBindings();

  // Writes the SNMPv1 Trap message in BER into a new buffer that the caller
  // releases with free(). When any of version, community, enterprise, agent
  // address, generic trap, specific trap or time stamp is missing, nothing is
  // encoded: `*buffer` null and `*length` 0. When a buffer (the message's or a
  // part's) cannot be allocated, nothing partial is handed out: `*buffer` null,
  // `*length` 0, and OrlaException 3001 is thrown.
  void EncodeMessage(uint8_t** buffer, int32_t* length) const;

  // Encodes the message and sends it as one UDP datagram to `host` at the
  // port named by KORAGENT_TRAP_PORT (default 162). A message missing a
  // required field is not sent and no error is raised. Throws OrlaException
  // 2013 (host not resolvable), 2004 (no socket, send failed) or 3001 (an
  // encoding buffer could not be allocated; nothing is sent).
  void SendTo(const char* host) const;

  // The UDP port traps are sent to: KORAGENT_TRAP_PORT when it holds a port
  // number from 1 to 65535, else 162.
  static uint16_t TrapPort();

 private:
  template <typename T>
  static void Replace(T** field, T* value);

  SnmpInteger* version_ = nullptr;
  SnmpOctetString* community_ = nullptr;
  SnmpInteger* spare_ = nullptr;
  SnmpValue* spareSlot_ = nullptr;
  SnmpObjectId* enterprise_ = nullptr;
  SnmpIpAddress* agentAddress_ = nullptr;
  SnmpInteger* genericTrap_ = nullptr;
  SnmpInteger* specificTrap_ = nullptr;
  SnmpTimeTicks* timeStamp_ = nullptr;
  ObjectList* bindings_ = nullptr;
};

}  // namespace orla
