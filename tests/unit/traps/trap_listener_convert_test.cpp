#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "agent/snmp/snmp_binding.h"
#include "agent/snmp/snmp_integer.h"
#include "agent/snmp/snmp_ip_address.h"
#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_octet_string.h"
#include "agent/snmp/snmp_time_ticks.h"
#include "agent/traps/trap_listener.h"
#include "platform/snmpmgr/snmp_api.h"

using namespace orla;

namespace {

// A received binding as SnmpMgrGetTrap hands it out; released on scope end.
struct Received {
  SnmpVarBind bind{};
  Received(std::initializer_list<uint32_t> name, uint8_t type) {
    bind.name.idLength = static_cast<uint32_t>(name.size());
    bind.name.ids = static_cast<uint32_t*>(SnmpUtilMemAlloc(name.size() * sizeof(uint32_t)));
    std::copy(name.begin(), name.end(), bind.name.ids);
    bind.value.asnType = type;
  }
  void Octets(const std::string& bytes) {
    AsnOctetString& s = bind.value.asnType == ASN_IPADDRESS ? bind.value.asnValue.address
                                                            : bind.value.asnValue.string;
    s.stream = static_cast<uint8_t*>(SnmpUtilMemAlloc(bytes.size()));
    std::memcpy(s.stream, bytes.data(), bytes.size());
    s.length = static_cast<uint32_t>(bytes.size());
    s.dynamic = true;
  }
  ~Received() { SnmpUtilVarBindFree(&bind); }
};

std::unique_ptr<SnmpBinding> Convert(const Received& r) {
  return std::unique_ptr<SnmpBinding>(TrapListener::ConvertBinding(r.bind));
}

}  // namespace

TEST(TrapListenerConvert, NameIsAlwaysCopied) {
  Received r({1, 3, 6, 1, 4, 1, 1588, 2}, ASN_NULL);
  auto b = Convert(r);
  ASSERT_NE(b->GetName(), nullptr);
  ASSERT_EQ(b->GetName()->GetCount(), 8);
  EXPECT_EQ(b->GetName()->GetIds()[6], 1588u);
  EXPECT_NE(b->GetName()->GetIds(), r.bind.name.ids);
  EXPECT_EQ(b->GetValue(), nullptr);
}

TEST(TrapListenerConvert, ValueTypesOfTheTable) {
  Received integer({1, 3, 6, 1, 4, 1, 1}, ASN_INTEGER);
  integer.bind.value.asnValue.number = -42;
  auto b = Convert(integer);
  auto* i = dynamic_cast<SnmpInteger*>(b->GetValue());
  ASSERT_NE(i, nullptr);
  EXPECT_EQ(i->GetValue(), -42);

  Received ticks({1, 3, 6, 1, 4, 1, 2}, ASN_TIMETICKS);
  ticks.bind.value.asnValue.ticks = 4000000000u;
  b = Convert(ticks);
  auto* t = dynamic_cast<SnmpTimeTicks*>(b->GetValue());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->GetValue(), 4000000000u);

  Received ip({1, 3, 6, 1, 4, 1, 3}, ASN_IPADDRESS);
  ip.Octets(std::string("\xC0\xA8\x01\x07", 4));
  b = Convert(ip);
  auto* a = dynamic_cast<SnmpIpAddress*>(b->GetValue());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetAddress()[0], 192);
  EXPECT_EQ(a->GetAddress()[1], 168);
  EXPECT_EQ(a->GetAddress()[2], 1);
  EXPECT_EQ(a->GetAddress()[3], 7);

  Received oid({1, 3, 6, 1, 4, 1, 4}, ASN_OBJECTIDENTIFIER);
  oid.bind.value.asnValue.object.idLength = 3;
  oid.bind.value.asnValue.object.ids = static_cast<uint32_t*>(SnmpUtilMemAlloc(3 * sizeof(uint32_t)));
  oid.bind.value.asnValue.object.ids[2] = 99;
  b = Convert(oid);
  auto* o = dynamic_cast<SnmpObjectId*>(b->GetValue());
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->GetCount(), 3);
  EXPECT_EQ(o->GetIds()[2], 99u);
}

TEST(TrapListenerConvert, OctetStringsKeepTheirLength) {
  Received empty({1, 3, 6, 1, 4, 1, 5}, ASN_OCTETSTRING);
  auto b = Convert(empty);
  auto* s = dynamic_cast<SnmpOctetString*>(b->GetValue());
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->GetText(), "");
  EXPECT_EQ(s->GetLength(), 0);

  Received zero({1, 3, 6, 1, 4, 1, 6}, ASN_OCTETSTRING);
  zero.Octets(std::string("ab\0cd", 5));
  b = Convert(zero);
  s = dynamic_cast<SnmpOctetString*>(b->GetValue());
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->GetText(), "ab");
}

TEST(TrapListenerConvert, OtherTypesCarryTheNameOnly) {
  for (uint8_t type : {ASN_COUNTER32, ASN_GAUGE32, ASN_OPAQUE, ASN_NULL, ASN_COUNTER64, ASN_UNSIGNED32}) {
    Received r({1, 3, 6, 1, 4, 1, 7}, type);
    r.bind.value.asnValue.counter = 5;
    if (type == ASN_OPAQUE) r.bind.value.asnValue.arbitrary = AsnOctetString{nullptr, 0, false};
    auto b = Convert(r);
    EXPECT_NE(b->GetName(), nullptr) << int(type);
    EXPECT_EQ(b->GetValue(), nullptr) << int(type);
  }
}
