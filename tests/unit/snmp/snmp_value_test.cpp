// BER encodings of the SNMP value classes and bindings, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "agent/snmp/snmp_binding.h"
#include "agent/snmp/snmp_integer.h"
#include "agent/snmp/snmp_ip_address.h"
#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_octet_string.h"
#include "agent/snmp/snmp_time_ticks.h"
#include "tests/unit/snmp/encoding_test_util.h"
#include "tests/support/unencodable_value.h"

namespace orla {
namespace {

using test::Encoded;
using test::Hex;
using test::UnencodableValue;

std::vector<uint8_t> IntegerBytes(int32_t v) { return Encoded(SnmpInteger(v)); }
std::vector<uint8_t> TicksBytes(uint32_t v) { return Encoded(SnmpTimeTicks(v)); }
std::vector<uint8_t> OidBytes(std::vector<uint32_t> ids) {
  return Encoded(SnmpObjectId(ids.data(), static_cast<int32_t>(ids.size())));
}

TEST(SnmpIntegerTest, EncodesInFewestBytesKeepingTheSign) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "02 01 00"},          {127, "02 01 7F"},          {128, "02 02 00 80"},
      {256, "02 02 01 00"},     {-1, "02 01 FF"},           {-128, "02 01 80"},
      {-129, "02 02 FF 7F"},    {-256, "02 02 FF 00"},      {-257, "02 02 FE FF"},
      {32768, "02 03 00 80 00"}, {2147483647, "02 04 7F FF FF FF"}, {-2147483647 - 1, "02 04 80 00 00 00"}};
  for (const auto& [v, hex] : cases) EXPECT_EQ(IntegerBytes(v), Hex(hex)) << v;
  SnmpInteger value(5);
  EXPECT_EQ(value.GetKind(), SnmpValue::kInteger);
  EXPECT_EQ(value.GetTag(), 0x02);
  value.SetValue(300);
  EXPECT_EQ(Encoded(value), Hex("02 02 01 2C"));
  EXPECT_EQ(value.EncodedLength(), 4);
}

TEST(SnmpTimeTicksTest, EncodesUnsignedWithALeadingZeroWhenTheTopBitIsSet) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "43 01 00"},        {127, "43 01 7F"},           {128, "43 02 00 80"},
      {200, "43 02 00 C8"},   {65535, "43 03 00 FF FF"},   {0x7FFFFFFF, "43 04 7F FF FF FF"},
      {4294967295u, "43 05 00 FF FF FF FF"}};
  for (const auto& [v, hex] : cases) EXPECT_EQ(TicksBytes(v), Hex(hex)) << v;
  SnmpTimeTicks ticks(1);
  EXPECT_EQ(ticks.GetKind(), SnmpValue::kTimeTicks);
  ticks.SetValue(256);
  EXPECT_EQ(ticks.GetValue(), 256u);
  EXPECT_EQ(Encoded(ticks), Hex("43 02 01 00"));
}

TEST(SnmpIpAddressTest, EncodesTheLowOctetOfEachInteger) {
  const int32_t address[4] = {10, 0, 0, 1};
  SnmpIpAddress ip(address);
  EXPECT_EQ(Encoded(ip), Hex("40 04 0A 00 00 01"));
  EXPECT_EQ(ip.EncodedLength(), 6);
  EXPECT_EQ(ip.GetKind(), SnmpValue::kIpAddress);
  EXPECT_EQ(ip.GetAddress()[3], 1);
  const int32_t wide[4] = {300, -1, 256, 127};
  EXPECT_EQ(Encoded(SnmpIpAddress(wide)), Hex("40 04 2C FF 00 7F"));
}

TEST(SnmpObjectIdTest, EncodesFirstPairInOneByteAndTheRestInBase128) {
  const std::pair<std::vector<uint32_t>, const char*> cases[] = {
      {{1, 3, 6, 1, 2, 1, 1}, "06 06 2B 06 01 02 01 01"}, {{1, 3}, "06 01 2B"},
      {{1, 3, 300}, "06 03 2B 82 2C"},                    {{1, 3, 127, 128}, "06 04 2B 7F 81 00"},
      {{1, 3, 16383, 16384}, "06 06 2B FF 7F 81 80 00"},  {{1, 3, 2097151}, "06 04 2B FF FF 7F"},
      {{1, 3, 2097152}, "06 05 2B 81 80 80 00"},          {{1, 3, 268435455}, "06 05 2B FF FF FF 7F"},
      {{1, 3, 268435456}, "06 06 2B 81 80 80 80 00"},     {{1, 3, 2147483647}, "06 06 2B 87 FF FF FF 7F"},
      {{1, 3, 4294967295u}, "06 06 2B 8F FF FF FF 7F"},   {{2, 39}, "06 01 77"}};
  for (const auto& [ids, hex] : cases) EXPECT_EQ(OidBytes(ids), Hex(hex)) << hex;
}

TEST(SnmpObjectIdTest, FewerThanTwoSubIdentifiersNeverReadPastTheArray) {
  EXPECT_EQ(OidBytes({1}), Hex("06 01 28"));
  SnmpObjectId empty(nullptr, 0);
  EXPECT_EQ(Encoded(empty), Hex("06 01 00"));
  EXPECT_EQ(empty.GetCount(), 0);
  EXPECT_TRUE(empty.IsAllocated());
}

TEST(SnmpObjectIdTest, KeepsItsOwnCopy) {
  uint32_t ids[] = {1, 3, 6, 1, 4, 1, 4413};
  SnmpObjectId oid(ids, 7);
  ids[6] = 0;
  EXPECT_EQ(oid.GetCount(), 7);
  EXPECT_EQ(oid.GetIds()[6], 4413u);
  EXPECT_EQ(oid.GetKind(), SnmpValue::kObjectId);
  EXPECT_EQ(oid.GetTag(), 0x06);
}

TEST(SnmpOctetStringTest, EncodesTheTextWithoutItsZero) {
  EXPECT_EQ(Encoded(SnmpOctetString("abc")), Hex("04 03 61 62 63"));
  EXPECT_EQ(Encoded(SnmpOctetString("")), Hex("04 00"));
  EXPECT_EQ(Encoded(SnmpOctetString(static_cast<const char*>(nullptr))), Hex("04 00"));
  SnmpOctetString text("abc");
  EXPECT_EQ(text.GetKind(), SnmpValue::kOctetString);
  EXPECT_EQ(text.GetTag(), 0x04);
  ASSERT_TRUE(text.SetText("xy"));
  EXPECT_STREQ(text.GetText(), "xy");
  EXPECT_EQ(Encoded(text), Hex("04 02 78 79"));
}

TEST(SnmpOctetStringTest, LongTextsUseLongFormLengths) {
  const std::vector<uint8_t> s200 = Encoded(SnmpOctetString(std::string(200, 'x').c_str()));
  ASSERT_EQ(s200.size(), 203u);
  EXPECT_EQ(std::vector<uint8_t>(s200.begin(), s200.begin() + 3), Hex("04 81 C8"));
  const std::vector<uint8_t> s300 = Encoded(SnmpOctetString(std::string(300, 'x').c_str()));
  ASSERT_EQ(s300.size(), 304u);
  EXPECT_EQ(std::vector<uint8_t>(s300.begin(), s300.begin() + 4), Hex("04 82 01 2C"));
  EXPECT_EQ(s300.back(), 'x');
  const std::vector<uint8_t> s127 = Encoded(SnmpOctetString(std::string(127, 'x').c_str()));
  EXPECT_EQ(s127[1], 0x7F);
  const std::vector<uint8_t> s128 = Encoded(SnmpOctetString(std::string(128, 'x').c_str()));
  EXPECT_EQ(std::vector<uint8_t>(s128.begin(), s128.begin() + 3), Hex("04 81 80"));
  const std::vector<uint8_t> s70000 = Encoded(SnmpOctetString(std::string(70000, 'x').c_str()));
  ASSERT_EQ(s70000.size(), 70005u);
  EXPECT_EQ(std::vector<uint8_t>(s70000.begin(), s70000.begin() + 5), Hex("04 83 01 11 70"));
}

TEST(SnmpOctetStringTest, BytesWithZerosAreKeptWhole) {
  const uint8_t bytes[] = {0x20, 0x00, 0x00, 0x01};
  SnmpOctetString octets(bytes, 4);
  EXPECT_EQ(octets.GetLength(), 4);
  EXPECT_EQ(Encoded(octets), Hex("04 04 20 00 00 01"));
  EXPECT_EQ(octets.GetText()[4], '\0');
}

TEST(SnmpBindingTest, EncodesNameThenValueInASequence) {
  const uint32_t ids[] = {1, 3, 6, 1, 2, 1, 1, 5, 0};
  SnmpBinding binding(new SnmpOctetString("tape"), new SnmpObjectId(ids, 9));
  EXPECT_EQ(Encoded(binding), Hex("30 10 06 08 2B 06 01 02 01 01 05 00 04 04 74 61 70 65"));
  EXPECT_EQ(binding.GetTag(), 0x30);
  binding.SetValue(new SnmpInteger(7));
  EXPECT_EQ(Encoded(binding), Hex("30 0D 06 08 2B 06 01 02 01 01 05 00 02 01 07"));
  binding.SetValue(binding.GetValue());  // setting the same object keeps it
  EXPECT_EQ(static_cast<SnmpInteger*>(binding.GetValue())->GetValue(), 7);
}

TEST(SnmpBindingTest, MissingNameOrValueEncodesAsEmptySequence) {
  EXPECT_EQ(Encoded(SnmpBinding()), Hex("30 00"));
  const uint32_t ids[] = {1, 3, 6};
  EXPECT_EQ(Encoded(SnmpBinding(nullptr, new SnmpObjectId(ids, 3))), Hex("30 00"));
  EXPECT_EQ(Encoded(SnmpBinding(new SnmpInteger(1), nullptr)), Hex("30 00"));
}

TEST(SnmpBindingTest, ContentsOf130BytesUseLongFormLength) {
  // name 06 03 2B 06 01 (5 bytes) + octet string of 122 bytes (04 7A + 122) = 129... tune:
  // name 5 bytes + value 125 bytes (04 7B + 123 text bytes) = 130.
  const uint32_t ids[] = {1, 3, 6, 1};
  SnmpBinding binding(new SnmpOctetString(std::string(123, 'a').c_str()),
                      new SnmpObjectId(ids, 4));
  const std::vector<uint8_t> bytes = Encoded(binding);
  ASSERT_EQ(bytes.size(), 133u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 3), Hex("30 81 82"));
  EXPECT_EQ(binding.EncodedLength(), 133);
}

TEST(SnmpBindingTest, APartThatCannotBeEncodedGivesNoBuffer) {
  const uint32_t ids[] = {1, 3, 6};
  SnmpBinding binding(new UnencodableValue(), new SnmpObjectId(ids, 3));
  EXPECT_EQ(binding.Encode(), nullptr);
}

TEST(SnmpValueTest, BaseHasNoEncoding) {
  class Plain : public SnmpValue {};
  Plain plain;
  EXPECT_EQ(plain.Encode(), nullptr);
  EXPECT_EQ(plain.EncodedLength(), -1);
}

}  // namespace
}  // namespace orla
