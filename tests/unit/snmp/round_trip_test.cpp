// What the agent encodes, net-snmp's parser decodes to the same values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "agent/snmp/snmp_binding.h"
#include "agent/snmp/snmp_integer.h"
#include "agent/snmp/snmp_ip_address.h"
#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_octet_string.h"
#include "agent/snmp/snmp_time_ticks.h"
#include "agent/snmp/trap_message.h"
#include "tests/unit/snmp/encoding_test_util.h"
#include "tests/unit/snmp/net_snmp_decoder.h"

namespace orla {
namespace {

using test::Encoded;
using test::NetSnmpDecodeValue;

TEST(RoundTripTest, IntegersDecodeToTheSameNumber) {
  for (int32_t v : {0, 1, -1, 127, 128, -128, -129, 255, 256, 32767, 32768, -32769, 8388607,
                    8388608, -8388609, 2147483647, -2147483647 - 1}) {
    const test::DecodedValue decoded = NetSnmpDecodeValue(Encoded(SnmpInteger(v)));
    ASSERT_TRUE(decoded.ok) << v;
    EXPECT_EQ(decoded.type, 0x02);
    EXPECT_EQ(decoded.number, v);
  }
}

TEST(RoundTripTest, TimeTicksDecodeToTheSameNumber) {
  for (uint32_t v : {0u, 1u, 127u, 128u, 200u, 255u, 256u, 65535u, 65536u, 16777215u,
                     16777216u, 2147483647u, 2147483648u, 4294967295u}) {
    const test::DecodedValue decoded = NetSnmpDecodeValue(Encoded(SnmpTimeTicks(v)));
    ASSERT_TRUE(decoded.ok) << v;
    EXPECT_EQ(decoded.type, 0x43);
    EXPECT_EQ(decoded.unsignedNumber, v);
  }
}

TEST(RoundTripTest, StringsAddressesAndIdentifiersDecodeToTheSameValues) {
  for (size_t length : {0u, 1u, 127u, 128u, 255u, 256u, 1000u}) {
    const std::string text(length, 'k');
    const test::DecodedValue decoded = NetSnmpDecodeValue(Encoded(SnmpOctetString(text.c_str())));
    ASSERT_TRUE(decoded.ok) << length;
    EXPECT_EQ(decoded.bytes, text);
  }
  const int32_t address[4] = {192, 168, 0, 255};
  const test::DecodedValue ip = NetSnmpDecodeValue(Encoded(SnmpIpAddress(address)));
  ASSERT_TRUE(ip.ok);
  EXPECT_EQ(ip.type, 0x40);
  EXPECT_EQ(ip.bytes, std::string("\xC0\xA8\x00\xFF", 4));

  const std::vector<uint32_t> ids = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 0, 127, 128, 16383, 16384,
                                     2097151, 2097152, 268435455, 268435456, 4294967295u};
  const test::DecodedValue oid =
      NetSnmpDecodeValue(Encoded(SnmpObjectId(ids.data(), static_cast<int32_t>(ids.size()))));
  ASSERT_TRUE(oid.ok);
  EXPECT_EQ(oid.oid, std::vector<unsigned long>(ids.begin(), ids.end()));
}

TEST(RoundTripTest, BindingsDecodeToNameAndValue) {
  const uint32_t name[] = {1, 3, 6, 1, 2, 1, 1, 5, 0};
  test::DecodedBinding decoded;
  ASSERT_TRUE(test::NetSnmpDecodeBinding(
      Encoded(SnmpBinding(new SnmpOctetString(std::string(300, 'n').c_str()),
                          new SnmpObjectId(name, 9))),
      &decoded));
  EXPECT_EQ(decoded.name, std::vector<unsigned long>(name, name + 9));
  EXPECT_EQ(decoded.value.bytes, std::string(300, 'n'));
}

TEST(RoundTripTest, TrapMessageDecodesToEveryField) {
  TrapMessage trap;
  const uint32_t enterprise[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2};
  const int32_t agent[] = {10, 20, 30, 40};
  trap.SetVersion(0);
  trap.SetCommunity("public");
  trap.SetEnterprise(enterprise, 9);
  trap.SetAgentAddress(agent);
  trap.SetGenericTrap(6);
  trap.SetSpecificTrap(5);
  trap.SetTimeStamp(123456);
  const uint32_t name1[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 1};
  const uint32_t name2[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 2};
  const uint32_t name3[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 3};
  trap.AddBinding(new SnmpBinding(new SnmpOctetString("TAPE01"), new SnmpObjectId(name1, 10)));
  trap.AddBinding(new SnmpBinding(new SnmpInteger(-7), new SnmpObjectId(name2, 10)));
  trap.AddBinding(
      new SnmpBinding(new SnmpObjectId(enterprise, 9), new SnmpObjectId(name3, 10)));
  // Enough bindings for long-form lengths at every level.
  for (int i = 0; i < 20; ++i) {
    trap.AddBinding(new SnmpBinding(new SnmpTimeTicks(static_cast<uint32_t>(i) * 1000u),
                                    new SnmpObjectId(name1, 10)));
  }

  uint8_t* buffer = nullptr;
  int32_t length = 0;
  trap.EncodeMessage(&buffer, &length);
  ASSERT_NE(buffer, nullptr);
  const std::vector<uint8_t> message(buffer, buffer + length);
  std::free(buffer);
  ASSERT_GT(length, 256);

  const test::DecodedTrap decoded = test::NetSnmpDecodeTrap(message);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.version, 0);
  EXPECT_EQ(decoded.community, "public");
  EXPECT_EQ(decoded.command, 0xA4);
  EXPECT_EQ(decoded.enterprise, std::vector<unsigned long>(enterprise, enterprise + 9));
  EXPECT_EQ(decoded.agentAddress, (std::vector<int>{10, 20, 30, 40}));
  EXPECT_EQ(decoded.genericTrap, 6);
  EXPECT_EQ(decoded.specificTrap, 5);
  EXPECT_EQ(decoded.timeStamp, 123456u);
  ASSERT_EQ(decoded.bindings.size(), 23u);
  EXPECT_EQ(decoded.bindings[0].name, std::vector<unsigned long>(name1, name1 + 10));
  EXPECT_EQ(decoded.bindings[0].value.bytes, "TAPE01");
  EXPECT_EQ(decoded.bindings[1].value.number, -7);
  EXPECT_EQ(decoded.bindings[2].value.oid,
            std::vector<unsigned long>(enterprise, enterprise + 9));
  EXPECT_EQ(decoded.bindings[22].value.unsignedNumber, 19000u);
}

TEST(RoundTripTest, The33ByteTrapDecodes) {
  const std::vector<uint8_t> message = test::Hex(
      "30 1F 02 01 00 04 00 A4 18 06 05 2B 06 01 04 01 40 04 0A 00 00 01 02 01 06 02 01 02 "
      "43 01 00 30 00");
  const test::DecodedTrap decoded = test::NetSnmpDecodeTrap(message);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.community, "");
  EXPECT_EQ(decoded.enterprise, (std::vector<unsigned long>{1, 3, 6, 1, 4, 1}));
  EXPECT_EQ(decoded.agentAddress, (std::vector<int>{10, 0, 0, 1}));
  EXPECT_EQ(decoded.specificTrap, 2);
  EXPECT_TRUE(decoded.bindings.empty());
}

}  // namespace
}  // namespace orla
