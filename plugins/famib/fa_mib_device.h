#pragma once
// What the Fibre Alliance MIB plug-in reads from and sets on a device, over
// one of the agent's SNMP sessions: the first connectivity unit, its type,
// status, world wide name, product and firmware texts, and this agent's row
// in the trap registration table.
//
// SNMP failures pass out as the session's OrlaException pointers; a "no such
// name" answer where the MIB allows a missing object is an answer, not an
// error.
#include <cstdint>
#include <string>
#include <vector>

#include "agent/devices/plugin/device_plugin.h"
#include "plugins/famib_core/fa_mib_reader.h"

namespace orla {

class SnmpSession;

class FaMibDevice {
 public:
  // connUnitType values
  static constexpr int32_t kTypeHub = 3;
  static constexpr int32_t kTypeSwitch = 4;
  static constexpr int32_t kTypeGateway = 5;
  static constexpr int32_t kTypeConverter = 6;
  static constexpr int32_t kTypeStorageDevice = 9;
  static constexpr int32_t kTypeStorageSubsystem = 11;
  static constexpr int32_t kTypeStorageAccessDevice = 14;
  // trapRegRowState values
  static constexpr int32_t kRowDestroy = 1;
  static constexpr int32_t kRowInactive = 2;
  static constexpr int32_t kRowActive = 3;
  // FcEventSeverity info: traps of this severity and more severe are sent.
  static constexpr int32_t kFilterInfo = 8;

  explicit FaMibDevice(SnmpSession* session) : session_(session), mib_(session) {}

  // Finds the first connectivity unit: the one this process found before for
  // the session's device address, else FindFirstUnitAnew. False when the
  // device has none, that is when it does not implement the MIB.
  bool FindFirstUnit();
  // Asks the device (a GetNext on connUnitId) and remembers the answer for
  // its address, for every later call of the process.
  bool FindFirstUnitAnew();
  // Forgets the unit remembered for the session's device address: a request
  // has said it is gone.
  void ForgetUnit();
  // The unit's 16-octet id, as found by FindFirstUnit.
  const std::vector<uint32_t>& UnitId() const { return unitId_; }

  int32_t UnitType();
  // connUnitStatus: unknown 1, unused 2, ok 3, warning 4, failed 5.
  int32_t UnitStatus();
  // The worst status of all the device's units as the agent's status
  // (failed 2, then degraded 1, then unknown 3, then ok 0), walking the
  // connUnitStatus column; units that are unused do not count. -1 when the
  // device has no unit in use. `reason`, when given, names the first unit
  // of the worst status ("Unit 2 failed"; units counted in walk order).
  // The walk also keeps the unit ids, in walk order, for Units.
  int32_t WorstUnitStatus(std::string* reason = nullptr);
  // The unit ids the last WorstUnitStatus walked on the device at
  // `address`, in walk order (unit 1 first); none before it.
  static std::vector<std::vector<uint32_t>> Units(const std::string& address);
  // connUnitGlobalId as "xx:xx:xx:xx:xx:xx:xx:xx"; a unit whose global id is
  // all zeros (or missing) gives the first eight octets of its unit id.
  std::string WorldWideName();
  // connUnitProduct without trailing blanks.
  std::string Product();
  // The revision text (connUnitRevsRevId) of the unit's row whose
  // description names the firmware, else of its first row; "" when it has
  // none.
  std::string FirmwareRevision();

  // trapRegRowState of the row for `address` and `port`; 0 when there is no
  // such row.
  int32_t TrapRegistration(const std::string& address, int port);
  // Creates (or activates) the row for `address` and `port` and sets its
  // filter to info. Throws when the device refuses, and 2002 when the row is
  // not active afterwards.
  void RegisterTrapReceiver(const std::string& address, int port);

  // The first unit's port counters (connUnitPortStatTable): for every port
  // and every counter the agent reads, one sample (plugin::kPartPort, the
  // port index); a counter the device marks unsupported has present 0, a
  // column it lacks is left out. At most `capacity` samples go to
  // `samples`; answers how many.
  int32_t PortCounters(KorDeviceSample* samples, int32_t capacity);

  // The address this host's datagrams to the device come from; false when
  // the device address cannot be resolved or reached.
  bool OwnAddress(std::string* address) const;

  // A storage or bridge type, the kinds of unit this plug-in manages.
  static bool IsClaimedType(int32_t type);
  // connUnitStatus as the agent's status: ok 0, warning 1, failed 2,
  // anything else 3.
  static int32_t AgentStatus(int32_t connUnitStatus);
  // The worse of two agent statuses: failed, degraded, unknown, ok (-1,
  // none yet, is better than all).
  static int32_t Worse(int32_t a, int32_t b);
  // The UDP port this agent receives traps on: the port of
  // KORAGENT_TRAP_LISTEN (a net-snmp transport address such as
  // "udp:127.0.0.1:10162"), 162 when unset.
  static int TrapListenPort();
  // The devices' SNMP port: KORAGENT_SNMP_PORT, 161 when unset.
  static int SnmpPort();

 private:
  // The instance of a connUnitTable column (FaMibOids) for the unit, or the
  // start of the unit's rows in a table indexed by unit.
  std::string UnitOid(const char* column) const;

  SnmpSession* session_;
  FaMibReader mib_;
  std::vector<uint32_t> unitId_;
};

}  // namespace orla
