// SnmpSession without a network: construction, the fixed field order that
// plug-ins rely on, and refusals that happen before anything is sent.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "agent/snmp/snmp_session.h"
#include "agent/snmp/trap_message.h"
#include "tests/support/code_of.h"
#include "tests/support/event_log_capture.h"

namespace orla {
namespace {

using test::CodeOf;

TEST(SnmpSessionTest, StartsClosedWithFiveSecondsAndFourRetries) {
  std::string address = "10.0.0.5";
  std::string community = "public";
  SnmpSession session(address.c_str(), community.c_str());
  address[0] = 'x';
  community[0] = 'x';
  EXPECT_STREQ(session.GetAgentAddress(), "10.0.0.5");
  EXPECT_STREQ(session.GetCommunity(), "public");
  EXPECT_EQ(session.GetTimeout(), 5000);
  EXPECT_EQ(session.GetRetries(), 4);
  EXPECT_FALSE(session.IsOpen());
  session.SetTimeoutSeconds(2);
  EXPECT_EQ(session.GetTimeout(), 2000);
  session.Close();  // closing a closed session is fine
  EXPECT_FALSE(session.IsOpen());
}

// The record layouts plug-ins see, field by field.
struct SessionLayout {
  void* vtable;
  bool open;
  char* agentAddress;
  char* community;
  int32_t timeout;
  int32_t retries;
  void* handle;
  void* lock;
};

struct TrapLayout {
  void* vtable;
  uint8_t tag;
  int32_t kind;
  void* fields[9];  // version .. time stamp
  void* bindings;
};

TEST(SnmpSessionTest, FieldOrderIsThePluginContract) {
  static_assert(sizeof(SnmpSession) == sizeof(SessionLayout));
  SnmpSession session("10.0.0.5", "public");
  session.SetTimeoutSeconds(7);
  session.Open();
  SessionLayout seen;
  std::memcpy(&seen, static_cast<const void*>(&session), sizeof(seen));
  EXPECT_TRUE(seen.open);
  EXPECT_STREQ(seen.agentAddress, "10.0.0.5");
  EXPECT_STREQ(seen.community, "public");
  EXPECT_EQ(seen.timeout, 7000);
  EXPECT_EQ(seen.retries, 4);
  EXPECT_NE(seen.handle, nullptr);
  EXPECT_NE(seen.lock, nullptr);
}

TEST(SnmpSessionTest, TrapMessageFieldOrderIsThePluginContract) {
  static_assert(sizeof(TrapMessage) == sizeof(TrapLayout));
  TrapMessage trap;
  const uint32_t enterprise[] = {1, 3, 6, 1};
  const int32_t agent[] = {1, 2, 3, 4};
  trap.SetVersion(0);
  trap.SetCommunity("c");
  trap.SetSpare(9);
  trap.SetEnterprise(enterprise, 4);
  trap.SetAgentAddress(agent);
  trap.SetGenericTrap(6);
  trap.SetSpecificTrap(8);
  trap.SetTimeStamp(100);
  TrapLayout seen;
  std::memcpy(&seen, static_cast<const void*>(&trap), sizeof(seen));
  EXPECT_EQ(static_cast<SnmpInteger*>(seen.fields[0])->GetValue(), 0);
  EXPECT_STREQ(static_cast<SnmpOctetString*>(seen.fields[1])->GetText(), "c");
  EXPECT_EQ(static_cast<SnmpInteger*>(seen.fields[2])->GetValue(), 9);
  EXPECT_EQ(seen.fields[3], nullptr);  // the spare slot
  EXPECT_EQ(static_cast<SnmpObjectId*>(seen.fields[4])->GetCount(), 4);
  EXPECT_EQ(static_cast<SnmpIpAddress*>(seen.fields[5])->GetAddress()[2], 3);
  EXPECT_EQ(static_cast<SnmpInteger*>(seen.fields[6])->GetValue(), 6);
  EXPECT_EQ(static_cast<SnmpInteger*>(seen.fields[7])->GetValue(), 8);
  EXPECT_EQ(static_cast<SnmpTimeTicks*>(seen.fields[8])->GetValue(), 100u);
  EXPECT_NE(seen.bindings, nullptr);
}

TEST(SnmpSessionTest, OpenRaises2008WhenNoSessionCanBeHad) {
  test::EventLogCapture log;
  SnmpSession session("bad..name", "public");
  EXPECT_EQ(CodeOf([&] { session.Open(); }), 2008);
  EXPECT_FALSE(session.IsOpen());
  EXPECT_EQ(log.Count("Unable to open an SNMP session."), 1);
  // A request on it gives the same, and the list is freed (LeakSanitizer).
  SnmpVarBindList list{nullptr, 0};
  EXPECT_EQ(CodeOf([&] { session.RequestGet(".1.3.6.1.2.1.1.5.0", &list); }), 2008);
  EXPECT_EQ(list.list, nullptr);
}

TEST(SnmpSessionTest, OpenTwiceReopens) {
  SnmpSession session("127.0.0.1", "public");
  session.Open();
  EXPECT_TRUE(session.IsOpen());
  session.Open();
  EXPECT_TRUE(session.IsOpen());
  session.Close();
  EXPECT_FALSE(session.IsOpen());
}

TEST(SnmpSessionTest, UnconvertibleIdentifierIsRefusedBeforeOpening) {
  test::EventLogCapture log;
  // An address that cannot be opened: a refusal after opening would be 2008.
  SnmpSession session("bad..name", "public");
  SnmpVarBindList list{nullptr, 0};
  EXPECT_EQ(CodeOf([&] { session.RequestGet("sysName.0", &list); }), 2003);
  EXPECT_EQ(list.list, nullptr);
  EXPECT_EQ(CodeOf([&] { session.RequestGetNext("1..2", &list); }), 2003);
  EXPECT_EQ(CodeOf([&] { session.SetInteger(".1.3.x", 1); }), 2003);
  EXPECT_EQ(CodeOf([&] { session.SetString(nullptr, "x"); }), 2003);
  char* text = nullptr;
  EXPECT_EQ(CodeOf([&] { session.GetString("", &text); }), 2003);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(CodeOf([&] { session.SetOctets(".1.3.6.1", nullptr, 4); }), 2003);
  EXPECT_EQ(log.Count("A parameter is invalid."), 6);
  EXPECT_EQ(log.Count("Unable to open an SNMP session."), 0);
}

}  // namespace
}  // namespace orla
