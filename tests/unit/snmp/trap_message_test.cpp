// The trap record: fields, ownership and its SNMPv1 encoding byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "agent/core/orla_exception.h"
#include "agent/snmp/trap_message.h"
#include "tests/unit/snmp/encoding_test_util.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/unencodable_value.h"

namespace orla {
namespace {

using test::Hex;
using test::UnencodableValue;

std::vector<uint8_t> Message(const TrapMessage& trap) {
  uint8_t* buffer = nullptr;
  int32_t length = -1;
  trap.EncodeMessage(&buffer, &length);
  if (buffer == nullptr) return {};
  std::vector<uint8_t> bytes(buffer, buffer + length);
  std::free(buffer);
  return bytes;
}

// version 0, empty community, enterprise 1.3.6.1.4.1, agent 10.0.0.1,
// generic 6, specific 2, time stamp 0.
void FillMinimal(TrapMessage* trap) {
  const uint32_t enterprise[] = {1, 3, 6, 1, 4, 1};
  const int32_t agent[] = {10, 0, 0, 1};
  trap->SetVersion(0);
  trap->SetCommunity("");
  trap->SetEnterprise(enterprise, 6);
  trap->SetAgentAddress(agent);
  trap->SetGenericTrap(6);
  trap->SetSpecificTrap(2);
  trap->SetTimeStamp(0);
}

TEST(TrapMessageTest, MinimalTrapEncodesIn33Bytes) {
  TrapMessage trap;
  FillMinimal(&trap);
  EXPECT_EQ(Message(trap), Hex("30 1F 02 01 00 04 00 A4 18 06 05 2B 06 01 04 01 40 04 0A 00 00 01 "
                               "02 01 06 02 01 02 43 01 00 30 00"));
}

TEST(TrapMessageTest, BindingsFollowInListOrder) {
  TrapMessage trap;
  FillMinimal(&trap);
  const uint32_t name1[] = {1, 3, 6, 1, 4, 1, 4413, 1};
  const uint32_t name2[] = {1, 3, 6, 1, 4, 1, 4413, 2};
  trap.AddBinding(new SnmpBinding(new SnmpOctetString("t1"), new SnmpObjectId(name1, 8)));
  trap.AddBinding(new SnmpBinding(new SnmpInteger(2), new SnmpObjectId(name2, 8)));
  trap.AddBinding(nullptr);
  ASSERT_EQ(trap.GetBindingCount(), 2);
  // binding 1: 30 0E 06 08 2B 06 01 04 01 A2 3D 01 04 02 74 31 (16 bytes)
  // binding 2: 30 0D 06 08 2B 06 01 04 01 A2 3D 02 02 01 02    (15 bytes)
  EXPECT_EQ(Message(trap),
            Hex("30 3E 02 01 00 04 00 A4 37 06 05 2B 06 01 04 01 40 04 0A 00 00 01 02 01 06 "
                "02 01 02 43 01 00 30 1F "
                "30 0E 06 08 2B 06 01 04 01 A2 3D 01 04 02 74 31 "
                "30 0D 06 08 2B 06 01 04 01 A2 3D 02 02 01 02"));
}

TEST(TrapMessageTest, LongPduContentsUseLongFormLengths) {
  TrapMessage trap;
  FillMinimal(&trap);
  const uint32_t name[] = {1, 3, 6, 1};
  // Trap-PDU contents of the minimal trap: 24 bytes. A binding of 104 bytes
  // (name 5 + value 97: 04 5F + 95 bytes, sequence header 2) gives 128.
  trap.AddBinding(new SnmpBinding(new SnmpOctetString(std::string(95, 'a').c_str()),
                                  new SnmpObjectId(name, 4)));
  std::vector<uint8_t> bytes = Message(trap);
  ASSERT_GE(bytes.size(), 12u);
  // 30 81 88 | 02 01 00 | 04 00 | A4 81 80 ...
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 11),
            Hex("30 81 88 02 01 00 04 00 A4 81 80"));
  EXPECT_EQ(bytes.size(), 3u + 0x88u);

  trap.ClearBindings();
  EXPECT_EQ(trap.GetBindingCount(), 0);
  // A binding of 236 bytes (30 81 E9: name 5 + value 04 81 E1 + 225 bytes)
  // makes the bindings sequence 239 bytes and the Trap-PDU contents 261.
  trap.AddBinding(new SnmpBinding(new SnmpOctetString(std::string(225, 'b').c_str()),
                                  new SnmpObjectId(name, 4)));
  bytes = Message(trap);
  ASSERT_GE(bytes.size(), 13u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 9, bytes.begin() + 13), Hex("A4 82 01 05"));
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4), Hex("30 82 01 0E"));
}

TEST(TrapMessageTest, AnyMissingRequiredFieldMeansNoEncoding) {
  for (int missing = 0; missing < 7; ++missing) {
    TrapMessage trap;
    const uint32_t enterprise[] = {1, 3, 6, 1, 4, 1};
    const int32_t agent[] = {10, 0, 0, 1};
    if (missing != 0) trap.SetVersion(0);
    if (missing != 1) trap.SetCommunity("public");
    if (missing != 2) trap.SetEnterprise(enterprise, 6);
    if (missing != 3) trap.SetAgentAddress(agent);
    if (missing != 4) trap.SetGenericTrap(6);
    if (missing != 5) trap.SetSpecificTrap(1);
    if (missing != 6) trap.SetTimeStamp(10);
    uint8_t* buffer = reinterpret_cast<uint8_t*>(&trap);
    int32_t length = 99;
    trap.EncodeMessage(&buffer, &length);
    EXPECT_EQ(buffer, nullptr) << "missing field " << missing;
    EXPECT_EQ(length, 0) << "missing field " << missing;
    // Nothing to send and no error either.
    EXPECT_NO_THROW(trap.SendTo("127.0.0.1"));
  }
}

TEST(TrapMessageTest, FieldsReadBackAndAbsentFieldsGiveTheirMarkers) {
  TrapMessage trap;
  const uint32_t* ids = reinterpret_cast<const uint32_t*>(&trap);
  EXPECT_EQ(trap.GetVersion(), -1);
  EXPECT_EQ(trap.GetCommunity(), nullptr);
  EXPECT_EQ(trap.GetSpare(), -1);
  EXPECT_EQ(trap.GetEnterprise(&ids), -1);
  EXPECT_EQ(ids, nullptr);
  EXPECT_EQ(trap.GetAgentAddress(), nullptr);
  EXPECT_EQ(trap.GetGenericTrap(), -1);
  EXPECT_EQ(trap.GetSpecificTrap(), -1);
  EXPECT_EQ(trap.GetTimeStamp(), 0u);
  EXPECT_EQ(trap.GetBinding(0), nullptr);
  EXPECT_EQ(trap.Encode(), nullptr);
  EXPECT_EQ(trap.EncodedLength(), -1);

  const uint32_t enterprise[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2};
  const int32_t agent[] = {192, 168, 1, 20};
  trap.SetVersion(0);
  trap.SetCommunity("public");
  trap.SetSpare(77);
  trap.SetEnterprise(enterprise, 9);
  trap.SetAgentAddress(agent);
  trap.SetGenericTrap(6);
  trap.SetSpecificTrap(3);
  trap.SetTimeStamp(4294967295u);
  EXPECT_EQ(trap.GetVersion(), 0);
  EXPECT_STREQ(trap.GetCommunity(), "public");
  EXPECT_EQ(trap.GetSpare(), 77);
  ASSERT_EQ(trap.GetEnterprise(&ids), 9);
  EXPECT_EQ(ids[6], 4413u);
  EXPECT_EQ(ids[8], 2u);
  ASSERT_NE(trap.GetAgentAddress(), nullptr);
  EXPECT_EQ(trap.GetAgentAddress()[0], 192);
  EXPECT_EQ(trap.GetAgentAddress()[3], 20);
  EXPECT_EQ(trap.GetGenericTrap(), 6);
  EXPECT_EQ(trap.GetSpecificTrap(), 3);
  EXPECT_EQ(trap.GetTimeStamp(), 4294967295u);

  // Setting again replaces the value (the old one is released: ASan checks).
  trap.SetCommunity("private");
  trap.SetSpecificTrap(4);
  EXPECT_STREQ(trap.GetCommunity(), "private");
  EXPECT_EQ(trap.GetSpecificTrap(), 4);
}

TEST(TrapMessageTest, AddedBindingsAreOwnedAndReachableByPosition) {
  TrapMessage trap;
  const uint32_t name[] = {1, 3, 6, 1, 4, 1, 4413, 9};
  auto* first = new SnmpBinding(new SnmpInteger(1), new SnmpObjectId(name, 8));
  auto* second = new SnmpBinding();
  trap.AddBinding(first);
  trap.AddBinding(second);
  EXPECT_EQ(trap.GetBinding(0), first);
  EXPECT_EQ(trap.GetBinding(1), second);
  EXPECT_EQ(trap.GetBinding(2), nullptr);
  EXPECT_EQ(trap.GetBinding(-1), nullptr);
  trap.ClearBindings();
  EXPECT_EQ(trap.GetBinding(0), nullptr);
}

TEST(TrapMessageTest, APartThatCannotBeEncodedIsAnErrorAndNoBuffer) {
  TrapMessage trap;
  FillMinimal(&trap);
  const uint32_t name[] = {1, 3, 6, 1};
  trap.AddBinding(new SnmpBinding(new SnmpInteger(1), new SnmpObjectId(name, 4)));
  trap.AddBinding(new SnmpBinding(new UnencodableValue(), new SnmpObjectId(name, 4)));
  uint8_t* buffer = nullptr;
  int32_t length = 0;
  try {
    trap.EncodeMessage(&buffer, &length);
    FAIL() << "an encoding failure must be reported";
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    EXPECT_EQ(e->Code(), 3001);
    EXPECT_NE(e->Message().find("The system was unable to allocate memory space."),
              std::string::npos);
  }
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(length, 0);
}

TEST(TrapMessageTest, TrapPortComesFromTheSettings) {
  test::ScopedSettings settings;
  EXPECT_EQ(TrapMessage::TrapPort(), 162);
  settings.TrapPort(11162);
  EXPECT_EQ(TrapMessage::TrapPort(), 11162);
}

}  // namespace
}  // namespace orla
