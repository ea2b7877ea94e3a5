#include <gtest/gtest.h>

#include <random>

#include "platform/snmpmgr/trap_receiver.h"
#include "tests/unit/traps/ber_builder.h"

using namespace orla;
using namespace orla::test::ber;

namespace {

const uint8_t kSource[4] = {127, 0, 3, 9};

bool DecodeBytes(const Bytes& b, TrapReceiver::Trap* trap) {
  return TrapDecoder::Decode(b.data(), b.size(), kSource, trap);
}

std::vector<uint32_t> Ids(std::initializer_list<uint32_t> v) { return v; }

Bytes SysUpTime(uint32_t t) { return VarBind(Oid({1, 3, 6, 1, 2, 1, 1, 3, 0}), Unsigned(t, 0x43)); }
Bytes TrapOid(const Bytes& oid) { return VarBind(Oid({1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}), oid); }

}  // namespace

TEST(TrapReceiverDecode, V1TrapWithoutBindings) {
  // The smallest useful trap: empty community, enterprise 1.3.6.1.4.1,
  // agent 10.0.0.1, enterprise-specific trap 2, time stamp 0.
  const Bytes datagram = {0x30, 0x1F, 0x02, 0x01, 0x00, 0x04, 0x00, 0xA4, 0x18, 0x06, 0x05,
                          0x2B, 0x06, 0x01, 0x04, 0x01, 0x40, 0x04, 0x0A, 0x00, 0x00, 0x01,
                          0x02, 0x01, 0x06, 0x02, 0x01, 0x02, 0x43, 0x01, 0x00, 0x30, 0x00};
  TrapReceiver::Trap trap;
  ASSERT_TRUE(DecodeBytes(datagram, &trap));
  EXPECT_EQ(trap.enterprise, Ids({1, 3, 6, 1, 4, 1}));
  EXPECT_EQ(trap.agentAddress[0], 10);
  EXPECT_EQ(trap.agentAddress[3], 1);
  EXPECT_EQ(trap.genericTrap, 6);
  EXPECT_EQ(trap.specificTrap, 2);
  EXPECT_EQ(trap.timeStamp, 0u);
  EXPECT_TRUE(trap.bindings.empty());
}

TEST(TrapReceiverDecode, V1TrapKeepsEveryBindingTypeAndValue) {
  const Bytes binds = Cat({
      VarBind(Oid({1, 3, 6, 1, 4, 1, 9, 1}), Int(-5)),
      VarBind(Oid({1, 3, 6, 1, 4, 1, 9, 2}), Octets(std::string("ab\0c", 4))),
      VarBind(Oid({1, 3, 6, 1, 4, 1, 9, 3}), Octets("")),
      VarBind(Oid({1, 3, 6, 1, 4, 1, 9, 4}), Oid({1, 3, 6, 1, 4, 1, 4413})),
      VarBind(Oid({1, 3, 6, 1, 4, 1, 9, 5}), Ip(192, 168, 1, 7)),
      VarBind(Oid({1, 3, 6, 1, 4, 1, 9, 6}), Unsigned(4000000000u, 0x43)),
      VarBind(Oid({1, 3, 6, 1, 4, 1, 9, 7}), Unsigned(12, 0x41)),
      VarBind(Oid({1, 3, 6, 1, 4, 1, 9, 8}), Unsigned(13, 0x42)),
      VarBind(Oid({1, 3, 6, 1, 4, 1, 9, 9}), Null()),
  });
  const Bytes datagram = V1Trap("public", Oid({1, 3, 6, 1, 4, 1, 1588, 2, 1, 1, 1}), Ip(127, 0, 3, 5), 6,
                                300, 123456, binds);
  TrapReceiver::Trap trap;
  ASSERT_TRUE(DecodeBytes(datagram, &trap));
  EXPECT_EQ(trap.enterprise, Ids({1, 3, 6, 1, 4, 1, 1588, 2, 1, 1, 1}));
  EXPECT_EQ(trap.specificTrap, 300);
  EXPECT_EQ(trap.timeStamp, 123456u);
  ASSERT_EQ(trap.bindings.size(), 9u);
  EXPECT_EQ(trap.bindings[0].name, Ids({1, 3, 6, 1, 4, 1, 9, 1}));
  EXPECT_EQ(trap.bindings[0].type, 0x02);
  EXPECT_EQ(trap.bindings[0].integer, -5);
  EXPECT_EQ(trap.bindings[1].type, 0x04);
  EXPECT_EQ(trap.bindings[1].octets, std::string("ab\0c", 4));
  EXPECT_EQ(trap.bindings[2].octets, "");
  EXPECT_EQ(trap.bindings[3].type, 0x06);
  EXPECT_EQ(trap.bindings[3].objectId, Ids({1, 3, 6, 1, 4, 1, 4413}));
  EXPECT_EQ(trap.bindings[4].type, 0x40);
  EXPECT_EQ(trap.bindings[4].octets, std::string("\xC0\xA8\x01\x07", 4));
  EXPECT_EQ(trap.bindings[5].type, 0x43);
  EXPECT_EQ(trap.bindings[5].unsignedNumber, 4000000000u);
  EXPECT_EQ(trap.bindings[6].type, 0x41);
  EXPECT_EQ(trap.bindings[6].unsignedNumber, 12u);
  EXPECT_EQ(trap.bindings[7].type, 0x42);
  EXPECT_EQ(trap.bindings[8].type, 0x05);
}

TEST(TrapReceiverDecode, V2NotificationMapsToEnterpriseSpecificTrap) {
  TrapReceiver::Trap trap;
  // Next-to-last sub-identifier 0: both are cut off.
  ASSERT_TRUE(DecodeBytes(V2Pdu("public", 0xA7,
                                Cat({SysUpTime(999), TrapOid(Oid({1, 3, 6, 1, 4, 1, 4413, 0, 7})),
                                     VarBind(Oid({1, 3, 6, 1, 4, 1, 4413, 5}), Int(3))})),
                          &trap));
  EXPECT_EQ(trap.enterprise, Ids({1, 3, 6, 1, 4, 1, 4413}));
  EXPECT_EQ(trap.genericTrap, 6);
  EXPECT_EQ(trap.specificTrap, 7);
  EXPECT_EQ(trap.timeStamp, 999u);
  // No snmpTrapAddress.0: the datagram's source.
  EXPECT_EQ(std::vector<uint8_t>(trap.agentAddress, trap.agentAddress + 4),
            (std::vector<uint8_t>{127, 0, 3, 9}));
  ASSERT_EQ(trap.bindings.size(), 1u);
  EXPECT_EQ(trap.bindings[0].name, Ids({1, 3, 6, 1, 4, 1, 4413, 5}));

  // Next-to-last not 0: only the last is cut off.
  ASSERT_TRUE(DecodeBytes(V2Pdu("public", 0xA7, Cat({SysUpTime(1), TrapOid(Oid({1, 3, 6, 1, 4, 1, 4413, 2, 9}))})),
                          &trap));
  EXPECT_EQ(trap.enterprise, Ids({1, 3, 6, 1, 4, 1, 4413, 2}));
  EXPECT_EQ(trap.specificTrap, 9);
  EXPECT_TRUE(trap.bindings.empty());

  // An inform is the same notification, and owes the Response that repeats
  // its request id, community and bindings.
  const Bytes inform = V2Pdu("public", 0xA6, Cat({SysUpTime(1), TrapOid(Oid({1, 3, 6, 1, 4, 1, 4413, 0, 7}))}));
  TrapReceiver::Details details;
  ASSERT_TRUE(TrapDecoder::Decode(inform.data(), inform.size(), kSource, &trap, &details));
  EXPECT_EQ(trap.specificTrap, 7);
  EXPECT_TRUE(details.inform);
  Bytes response = inform;
  response[std::string(inform.begin(), inform.end()).find('\xA6')] = 0xA2;
  EXPECT_EQ(details.answer, response);
}

TEST(TrapReceiverDecode, V2StandardTrapsBecomeGenericTraps) {
  TrapReceiver::Trap trap;
  const Bytes trapAddress = VarBind(Oid({1, 3, 6, 1, 6, 3, 18, 1, 3, 0}), Ip(10, 1, 2, 3));
  const Bytes enterprise = VarBind(Oid({1, 3, 6, 1, 6, 3, 1, 1, 4, 3, 0}), Oid({1, 3, 6, 1, 4, 1, 4413}));
  // linkDown with snmpTrapEnterprise.0 and snmpTrapAddress.0.
  ASSERT_TRUE(DecodeBytes(V2Pdu("c", 0xA7, Cat({SysUpTime(5), TrapOid(Oid({1, 3, 6, 1, 6, 3, 1, 1, 5, 3})),
                                                trapAddress, enterprise})),
                          &trap));
  EXPECT_EQ(trap.genericTrap, 2);
  EXPECT_EQ(trap.specificTrap, 0);
  EXPECT_EQ(trap.enterprise, Ids({1, 3, 6, 1, 4, 1, 4413}));
  EXPECT_EQ(std::vector<uint8_t>(trap.agentAddress, trap.agentAddress + 4),
            (std::vector<uint8_t>{10, 1, 2, 3}));
  EXPECT_EQ(trap.bindings.size(), 2u);

  // coldStart without snmpTrapEnterprise.0: enterprise snmpTraps.
  ASSERT_TRUE(DecodeBytes(V2Pdu("c", 0xA7, Cat({SysUpTime(5), TrapOid(Oid({1, 3, 6, 1, 6, 3, 1, 1, 5, 1}))})),
                          &trap));
  EXPECT_EQ(trap.genericTrap, 0);
  EXPECT_EQ(trap.enterprise, Ids({1, 3, 6, 1, 6, 3, 1, 1, 5}));
}

TEST(TrapReceiverDecode, RefusesWhatIsNotATrap) {
  TrapReceiver::Trap trap;
  const Bytes good = V1Trap("public", Oid({1, 3, 6, 1, 4, 1, 4413}), Ip(127, 0, 3, 5), 0, 0, 7,
                            VarBind(Oid({1, 3, 6, 1, 2, 1, 1, 5, 0}), Octets("name")));
  ASSERT_TRUE(DecodeBytes(good, &trap));
  // Every truncation of a good trap.
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_FALSE(TrapDecoder::Decode(good.data(), n, kSource, &trap)) << "length " << n;
  }
  // A length field that claims more than the datagram holds.
  Bytes overlong = good;
  overlong[1] = 0x7f;
  EXPECT_FALSE(DecodeBytes(overlong, &trap));
  Bytes huge = {0x30, 0x84, 0x7f, 0xff, 0xff, 0xff, 0x02, 0x01, 0x00};
  EXPECT_FALSE(DecodeBytes(huge, &trap));
  // Requests, a notification without snmpTrapOID.0, SNMPv3.
  EXPECT_FALSE(DecodeBytes(V2Pdu("public", 0xA0, VarBind(Oid({1, 3, 6, 1, 2, 1, 1, 5, 0}), Null())), &trap));
  EXPECT_FALSE(DecodeBytes(V2Pdu("public", 0xA7, SysUpTime(1)), &trap));
  EXPECT_FALSE(DecodeBytes(Tlv(0x30, Cat({Int(3), Tlv(0x30, Int(1))})), &trap));
  // An SNMPv1 message that carries an SNMPv2 PDU type.
  Bytes v1WithV2Pdu = V2Pdu("public", 0xA7, Cat({SysUpTime(1), TrapOid(Oid({1, 3, 6, 1, 4, 1, 4413, 0, 7}))}));
  v1WithV2Pdu[4] = 0x00;
  EXPECT_FALSE(DecodeBytes(v1WithV2Pdu, &trap));
}

TEST(TrapReceiverDecode, RandomGarbageNeverCrashes) {
  std::mt19937 random(12345);
  TrapReceiver::Trap trap;
  const Bytes good = V1Trap("public", Oid({1, 3, 6, 1, 4, 1, 4413}), Ip(127, 0, 3, 5), 6, 1, 7,
                            Cat({VarBind(Oid({1, 3, 6, 1, 2, 1, 1, 5, 0}), Octets("name")),
                                 VarBind(Oid({1, 3, 6, 1, 4, 1, 1}), Oid({1, 3, 6, 1}))}));
  for (int round = 0; round < 3000; ++round) {
    Bytes b;
    if (round % 2 == 0) {
      b.resize(random() % 200);
      for (auto& x : b) x = static_cast<uint8_t>(random());
    } else {
      // Flip a few bytes of a good trap.
      b = good;
      for (int k = 0; k < 3; ++k) b[random() % b.size()] = static_cast<uint8_t>(random());
    }
    (void)TrapDecoder::Decode(b.data(), b.size(), kSource, &trap);
  }
  SUCCEED();
}

// An SNMPv3 message's head is read before the library sees it: a user no
// assigned profile has, or a level below the profile's, is refused for
// that reason; a broken head is malformed (not refused, nothing owed); the
// engine discovery that starts an inform gets its report, no larger than
// twice the probe, and is no refusal.
TEST(TrapReceiverDecode, SnmpV3HeadIsCheckedBeforeTheSecurityModel) {
  TrapDecoder::SetUserLevels({{"korpoll", 1}});
  const Bytes binds = Cat({SysUpTime(1), TrapOid(Oid({1, 3, 6, 1, 6, 3, 1, 1, 5, 1}))});
  const std::string engine("\x80\x00\x12\x34\x01", 5);
  using Refusal = TrapReceiver::Refusal;
  struct Case {
    const char* what;
    Bytes datagram;
    bool refused;
    Refusal refusal;
    bool answered;
  } cases[] = {
      {"no user", V3Message(0x00, engine, 1, 1, "", 0xA7, binds), true, Refusal::kUnknownUser, false},
      {"a user nobody assigned", V3Message(0x01, engine, 1, 1, "intruder", 0xA7, binds), true, Refusal::kUnknownUser,
       false},
      {"below the profile's level", V3Message(0x00, engine, 1, 1, "korpoll", 0xA7, binds), true,
       Refusal::kWrongLevel, false},
      {"privacy without authentication", V3Message(0x02, engine, 1, 1, "korpoll", 0xA7, binds), false,
       Refusal::kOther, false},
      {"the discovery of this engine", V3Message(0x04, "", 0, 0, "", 0xA0, {}), false, Refusal::kOther, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TrapReceiver::Trap trap;
    TrapReceiver::Details details;
    EXPECT_FALSE(TrapDecoder::Decode(c.datagram.data(), c.datagram.size(), kSource, &trap, &details));
    EXPECT_EQ(details.refused, c.refused);
    if (c.refused) {
      EXPECT_EQ(details.refusal, c.refusal);
    }
    EXPECT_EQ(!details.answer.empty(), c.answered);
    EXPECT_LE(details.answer.size(), 2 * c.datagram.size());
  }
  // Every truncation of a head is malformed: neither refused nor answered.
  const Bytes good = V3Message(0x04, engine, 1, 1, "korpoll", 0xA6, binds);
  for (size_t n = 0; n < good.size(); ++n) {
    TrapReceiver::Trap trap;
    TrapReceiver::Details details;
    EXPECT_FALSE(TrapDecoder::Decode(good.data(), n, kSource, &trap, &details)) << "length " << n;
  }
  TrapDecoder::SetUserLevels({});
}
