// SnmpMgrTrapListen / SnmpMgrGetTrap against net-snmp's snmptrap on loopback.
// The registration is process-wide, so everything runs in one test case.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/snmpmgr/snmp_mgr.h"
#include "platform/snmpmgr/snmp_mgr_trap.h"
#include "tests/support/shell_command.h"

using namespace orla;

TEST(SnmpMgrTrap, ListenOnceGetTrapsAndReleaseThem) {

  AsnObjectIdentifier enterprise;
  AsnNetworkAddress address;
  int32_t generic = -1, specific = -1;
  uint32_t ticks = 1;
  SnmpVarBindList bindings;
  // Nothing registered yet: no traps.
  EXPECT_FALSE(SnmpMgrGetTrap(&enterprise, &address, &generic, &specific, &ticks, &bindings));
  EXPECT_EQ(SnmpMgrGetLastError(), SNMP_MGMTAPI_NOTRAPS);
  EXPECT_EQ(enterprise.ids, nullptr);
  EXPECT_EQ(bindings.len, 0u);

  ManualResetEvent* event = nullptr;
  ASSERT_TRUE(SnmpMgrTrapListen("udp:127.0.0.1:13170", &event));
  ASSERT_NE(event, nullptr);
  ManualResetEvent* again = nullptr;
  EXPECT_FALSE(SnmpMgrTrapListen("udp:127.0.0.1:13170", &again));
  EXPECT_EQ(SnmpMgrGetLastError(), SNMP_MGMTAPI_TRAP_DUPINIT);
  EXPECT_EQ(again, event);

  ASSERT_EQ(orla::test::RunCommand("timeout 20 snmptrap -v 1 -c public 127.0.0.1:13170 .1.3.6.1.4.1.4413.9 127.0.3.11 6 5 77 "
                        ".1.3.6.1.4.1.4413.9.1 s abc .1.3.6.1.4.1.4413.9.2 c 7 .1.3.6.1.4.1.4413.9.3 t 99 "
                        ".1.3.6.1.4.1.4413.9.4 o .1.3.6.1.4.1 .1.3.6.1.4.1.4413.9.5 a 10.1.2.3"),
            0);
  ASSERT_TRUE(event->WaitFor(std::chrono::seconds(10)));
  ASSERT_TRUE(SnmpMgrGetTrap(&enterprise, &address, &generic, &specific, &ticks, &bindings));
  ASSERT_EQ(enterprise.idLength, 8u);
  EXPECT_EQ(enterprise.ids[6], 4413u);
  EXPECT_EQ(enterprise.ids[7], 9u);
  ASSERT_EQ(address.length, 4u);
  EXPECT_EQ(address.stream[0], 127);
  EXPECT_EQ(address.stream[3], 11);
  EXPECT_EQ(generic, 6);
  EXPECT_EQ(specific, 5);
  EXPECT_EQ(ticks, 77u);
  ASSERT_EQ(bindings.len, 5u);
  EXPECT_EQ(bindings.list[0].value.asnType, ASN_OCTETSTRING);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bindings.list[0].value.asnValue.string.stream),
                        bindings.list[0].value.asnValue.string.length),
            "abc");
  EXPECT_EQ(bindings.list[1].value.asnType, ASN_COUNTER32);
  EXPECT_EQ(bindings.list[1].value.asnValue.counter, 7u);
  EXPECT_EQ(bindings.list[2].value.asnType, ASN_TIMETICKS);
  EXPECT_EQ(bindings.list[2].value.asnValue.ticks, 99u);
  EXPECT_EQ(bindings.list[3].value.asnType, ASN_OBJECTIDENTIFIER);
  EXPECT_EQ(bindings.list[3].value.asnValue.object.idLength, 6u);
  EXPECT_EQ(bindings.list[4].value.asnType, ASN_IPADDRESS);
  EXPECT_EQ(bindings.list[4].value.asnValue.address.stream[3], 3);
  EXPECT_EQ(bindings.list[4].name.idLength, 9u);
  SnmpUtilOidFree(&enterprise);
  SnmpUtilMemFree(address.stream);
  SnmpUtilVarBindListFree(&bindings);

  EXPECT_FALSE(SnmpMgrGetTrap(&enterprise, &address, &generic, &specific, &ticks, &bindings));
  EXPECT_EQ(SnmpMgrGetLastError(), SNMP_MGMTAPI_NOTRAPS);
  EXPECT_EQ(SnmpMgrTrapsReceived(), 1u);
  EXPECT_EQ(SnmpMgrTrapsDropped(), 0u);
}
