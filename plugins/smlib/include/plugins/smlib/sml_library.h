#pragma once
// What the storage media library plug-in reads from and sets on a library,
// over one of the agent's SNMP sessions: whether it implements the MIB, its
// identity texts, the status of its library, frames, changers, drives,
// controllers and FC ports rolled up with the reason behind it, and this
// agent's row in its trap destination table.
//
// SNMP failures pass out as the session's OrlaException pointers; a missing
// object or column is an answer (libraries do not fill everything).
#include <cstdint>
#include <functional>
#include <string>

#include "platform/snmpmgr/snmp_api.h"

namespace orla {

class SnmpSession;

class SmlLibrary {
 public:
  static constexpr char kRoot[] = "1.3.6.1.4.1.14851.3.1";

  explicit SmlLibrary(SnmpSession* session) : session_(session) {}

  // 1 when the device implements the MIB (smlMibVersion answers a text, or
  // a GetNext on the root stays below it), else -1.
  int32_t Recognize();

  std::string Description();
  std::string Firmware();
  // changerDevice-DeviceID of the first changer, the closest the MIB has to
  // a library name; "" when none.
  std::string WorldWideName();

  // The rolled-up agent status (0 ok, 1 degraded, 2 failed, 3 unknown) and,
  // when not ok, the reason naming the worst component.
  int32_t Status(std::string* reason);

  // Whether a row of the trap destination table names `address` and `port`.
  bool HasTrapDestination(const std::string& address, int port);
  // Enables the traps and adds `address`/`port` as a new destination row
  // unless a row names them already. A library that refuses gives 2002 with
  // a text on configuring it by hand.
  void AddTrapDestination(const std::string& address, int port);

  bool OwnAddress(std::string* address) const;

  // Calls `row` for each row of table column `column` (dotted, below the
  // root, e.g. "6.2.1.11") with the row's index and value, in walk order.
  void Walk(const char* column, const std::function<void(uint32_t, const AsnAny&)>& row);

  // A scalar's text (blanks collapsed; "" when missing or "deprecated") and
  // number (`missing` when absent or not a number), `suffix` below the root
  // ("3.1.0").
  std::string Scalar(const char* suffix);
  int32_t ScalarNumber(const char* suffix, int32_t missing);

  static int32_t Integer(const AsnAny& value, int32_t missing);
  static std::string Text(const AsnAny& value);

 private:
  // Runs one read or write of objects a library may not implement: a refused
  // or missing object is no error (the caller keeps its default), while a
  // device that does not answer still fails the whole call.
  static void Optional(const std::function<void()>& work);

  SnmpSession* session_;
};

}  // namespace orla
