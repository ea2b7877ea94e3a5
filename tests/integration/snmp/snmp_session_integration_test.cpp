// SnmpSession against real peers on loopback: snmpsim devices for reads,
// writes and most error answers, a scripted responder for the error answers
// snmpsim cannot give (genErr on Get, readOnly on Set), a silent socket for
// time-outs, and the loopback broadcast address for a send that fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "agent/snmp/snmp_session.h"
#include "tests/integration/snmp/scripted_responder.h"
#include "tests/integration/snmp/snmpsim_device.h"
#include "tests/support/code_of.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/event_log_capture.h"

namespace orla {
namespace {

using test::CodeOf;

constexpr char kRecording[] =
    "1.3.6.1.2.1.1.1.0|4|Tape controller\n"
    "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.4413.132.2\n"
    "1.3.6.1.2.1.1.3.0|67|12345\n"
    "1.3.6.1.4.1.99.1.1.0|2|-42\n"
    "1.3.6.1.4.1.99.1.2.0|65|4000000000\n"
    "1.3.6.1.4.1.99.1.3.0|66|7\n"
    "1.3.6.1.4.1.99.2.1.0|2|1\n"
    "1.3.6.1.4.1.99.2.2.0|2|2\n"
    "1.3.6.1.4.1.99.2.3.0|2|0\n"
    "1.3.6.1.4.1.99.3.1.0|4|\n"
    "1.3.6.1.4.1.99.3.2.0|4x|6100620000\n"
    "1.3.6.1.4.1.99.4.1.0|64|10.1.2.3\n"
    "1.3.6.1.4.1.99.4.2.0|4x|0a01\n"
    "1.3.6.1.4.1.99.5.1.0|4x|200000e08b0a0b0c\n"
    "1.3.6.1.4.1.99.5.2.0|4x|200000e08b\n"
    "1.3.6.1.4.1.99.6.1.0|4x|0010e2a1b2c3\n"
    "1.3.6.1.4.1.99.6.2.0|4x|0010e2a1b2\n"
    "1.3.6.1.4.1.99.7.1.0|6|1.3.6.1.2.1\n"
    "1.3.6.1.4.1.99.7.2.0|6|1.3.6.1.4.1.1234567890.1234567890.1234567890.1234567890."
    "1234567890.1234567890.1234567890.1234567890.1234567890\n"
    "1.3.6.1.4.1.99.8.1.0|4x|010203\n"
    "1.3.6.1.4.1.99.8.2.0|4x|0102\n"
    "1.3.6.1.4.1.99.8.3.0|4x|fffefd\n"
    "1.3.6.1.4.1.99.9.1.0|2:writecache|value=5\n"
    "1.3.6.1.4.1.99.9.2.0|4:writecache|value=initial\n"
    "1.3.6.1.4.1.99.9.3.0|64:writecache|value=0.0.0.0\n"
    "1.3.6.1.4.1.99.9.4.0|4x:writecache|hexvalue=00\n"
    "1.3.6.1.4.1.99.10.1.0|2:error|op=set,status=wrongvalue,value=1\n"
    "1.3.6.1.4.1.99.10.2.0|2:error|op=set,status=commitfailed,value=1\n"
    "1.3.6.1.4.1.99.10.3.0|2:error|op=set,status=notwritable,value=1\n";

// A text from a typed read, released afterwards.
struct Text {
  char* text = nullptr;
  ~Text() { std::free(text); }
  std::string str() const { return text != nullptr ? text : "(null)"; }
};

class SnmpSessionDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device_.Start(kRecording)) << device_.Log();
    settings_.SnmpPort(device_.Port());
    session_ = std::make_unique<SnmpSession>("127.0.0.1", "public");
    session_->SetTimeoutSeconds(2);
    session_->Open();
  }
  test::ScopedSettings settings_;

  test::SnmpsimDevice device_;
  std::unique_ptr<SnmpSession> session_;
};

TEST_F(SnmpSessionDeviceTest, NumbersAndTruthValues) {
  EXPECT_EQ(session_->GetInteger(".1.3.6.1.4.1.99.1.1.0"), -42);
  // Counters, gauges and time ticks: the 32-bit number unchanged.
  EXPECT_EQ(session_->GetInteger(".1.3.6.1.4.1.99.1.2.0"), static_cast<int32_t>(4000000000u));
  EXPECT_EQ(session_->GetInteger(".1.3.6.1.4.1.99.1.3.0"), 7);
  EXPECT_EQ(session_->GetInteger("1.3.6.1.2.1.1.3.0"), 12345);
  EXPECT_TRUE(session_->GetTruthValue(".1.3.6.1.4.1.99.2.1.0"));
  EXPECT_FALSE(session_->GetTruthValue(".1.3.6.1.4.1.99.2.2.0"));
  EXPECT_FALSE(session_->GetTruthValue(".1.3.6.1.4.1.99.2.3.0"));
  // A string is not a number.
  EXPECT_EQ(CodeOf([&] { session_->GetInteger(".1.3.6.1.2.1.1.1.0"); }), 2001);
}

TEST_F(SnmpSessionDeviceTest, StringsAreCopiedExactlyWithTheirLength) {
  Text text;
  session_->GetString(".1.3.6.1.2.1.1.1.0", &text.text);
  EXPECT_EQ(text.str(), "Tape controller");
  session_->GetString(".1.3.6.1.4.1.99.3.1.0", &text.text);
  EXPECT_EQ(text.str(), "");
  // Zero bytes inside the value are kept, then the terminating zero.
  session_->GetString(".1.3.6.1.4.1.99.3.2.0", &text.text);
  EXPECT_EQ(std::memcmp(text.text, "a\0b\0\0\0", 6), 0);
}

// The typed text reads: each in its fixed format; an empty or short value
// gives an empty text without reading past it.
TEST_F(SnmpSessionDeviceTest, TypedTextReadsGiveTheirFixedFormats) {
  using Read = void (SnmpSession::*)(const char*, char**);
  const Read ip = &SnmpSession::GetIpAddress, wwn = &SnmpSession::GetWorldWideName,
             mac = &SnmpSession::GetMacAddress, oid = &SnmpSession::GetObjectId, hex = &SnmpSession::GetHex24;
  const struct {
    Read read;
    const char* oid;
    const char* text;
  } cases[] = {
      {ip, ".1.3.6.1.4.1.99.4.1.0", "10.1.2.3"},
      {wwn, ".1.3.6.1.4.1.99.5.1.0", "20:00:00:e0:8b:0a:0b:0c"},
      {mac, ".1.3.6.1.4.1.99.6.1.0", "00:10:e2:a1:b2:c3"},
      {oid, ".1.3.6.1.4.1.99.7.1.0", ".1.3.6.1.2.1"},
      {oid, ".1.3.6.1.2.1.1.2.0", ".1.3.6.1.4.1.4413.132.2"},
      {hex, ".1.3.6.1.4.1.99.8.1.0", "0x030201"},
      {hex, ".1.3.6.1.4.1.99.8.3.0", "0xfdfeff"},
      {wwn, ".1.3.6.1.4.1.99.3.1.0", ""},
      {wwn, ".1.3.6.1.4.1.99.5.2.0", ""},
      {mac, ".1.3.6.1.4.1.99.3.1.0", ""},
      {mac, ".1.3.6.1.4.1.99.6.2.0", ""},
      {hex, ".1.3.6.1.4.1.99.3.1.0", ""},
      {hex, ".1.3.6.1.4.1.99.8.2.0", ""},
      {ip, ".1.3.6.1.4.1.99.3.1.0", ""},
      {ip, ".1.3.6.1.4.1.99.4.2.0", ""},
  };
  for (const auto& c : cases) {
    Text text;
    (session_.get()->*c.read)(c.oid, &text.text);
    EXPECT_EQ(text.str(), c.text) << c.oid;
  }
}

TEST_F(SnmpSessionDeviceTest, AnIdentifierTooLongForItsTextIsRefusedAndTheOldTextStays) {
  Text text;
  session_->GetObjectId(".1.3.6.1.4.1.99.7.1.0", &text.text);
  char* before = text.text;
  EXPECT_EQ(CodeOf([&] { session_->GetObjectId(".1.3.6.1.4.1.99.7.2.0", &text.text); }), 2001);
  EXPECT_EQ(text.text, before);
  EXPECT_EQ(text.str(), ".1.3.6.1.2.1");
}

TEST_F(SnmpSessionDeviceTest, AReadReplacesAnEarlierTextButAFailedOneLeavesIt) {
  test::EventLogCapture log;
  Text text;
  session_->GetString(".1.3.6.1.2.1.1.1.0", &text.text);
  // The earlier text is freed (LeakSanitizer would report it otherwise).
  session_->GetMacAddress(".1.3.6.1.4.1.99.6.1.0", &text.text);
  EXPECT_EQ(text.str(), "00:10:e2:a1:b2:c3");
  char* before = text.text;
  EXPECT_EQ(CodeOf([&] { session_->GetString(".1.3.6.1.4.1.99.77.0", &text.text); }), 2007);
  EXPECT_EQ(text.text, before);
  EXPECT_EQ(text.str(), "00:10:e2:a1:b2:c3");
  EXPECT_EQ(log.Count("The target is not a recognized device."), 1);
}

TEST_F(SnmpSessionDeviceTest, AbsentObjectGives2007AndTheSessionStaysUsable) {
  SnmpVarBindList list{nullptr, 0};
  EXPECT_EQ(CodeOf([&] { session_->RequestGet(".1.3.6.1.4.1.99.77.0", &list); }), 2007);
  EXPECT_EQ(list.list, nullptr);  // freed before the exception arrived
  EXPECT_FALSE(session_->IsOpen());
  EXPECT_EQ(session_->GetInteger(".1.3.6.1.4.1.99.1.1.0"), -42);
}

TEST_F(SnmpSessionDeviceTest, RequestGetLeavesTheAnswerForTheCaller) {
  SnmpVarBindList list{nullptr, 0};
  session_->RequestGet(".1.3.6.1.2.1.1.1.0", &list);
  ASSERT_EQ(list.len, 1u);
  EXPECT_EQ(list.list[0].value.asnType, ASN_OCTETSTRING);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(list.list[0].value.asnValue.string.stream),
                        list.list[0].value.asnValue.string.length),
            "Tape controller");
  SnmpUtilVarBindListFree(&list);
}

TEST_F(SnmpSessionDeviceTest, GetNextWalksToTheFollowingObject) {
  SnmpVarBindList list{nullptr, 0};
  session_->RequestGetNext(".1.3.6.1.2.1.1.1.0", &list);
  ASSERT_EQ(list.len, 1u);
  const AsnObjectIdentifier& name = list.list[0].name;
  EXPECT_EQ(std::vector<uint32_t>(name.ids, name.ids + name.idLength),
            (std::vector<uint32_t>{1, 3, 6, 1, 2, 1, 1, 2, 0}));
  EXPECT_EQ(list.list[0].value.asnType, ASN_OBJECTIDENTIFIER);
  SnmpUtilVarBindListFree(&list);
  // Past the last object a v1 agent answers noSuchName.
  EXPECT_EQ(CodeOf([&] { session_->RequestGetNext(".1.3.6.1.9", &list); }), 2007);
}

TEST_F(SnmpSessionDeviceTest, WritesReachTheDevice) {
  Text text;
  session_->SetInteger(".1.3.6.1.4.1.99.9.1.0", -7);
  EXPECT_EQ(session_->GetInteger(".1.3.6.1.4.1.99.9.1.0"), -7);
  session_->SetString(".1.3.6.1.4.1.99.9.2.0", "changed");
  session_->GetString(".1.3.6.1.4.1.99.9.2.0", &text.text);
  EXPECT_EQ(text.str(), "changed");
  // 300 is reduced to its low 8 bits.
  session_->SetIpAddress(".1.3.6.1.4.1.99.9.3.0", "10.1.2.300");
  session_->GetIpAddress(".1.3.6.1.4.1.99.9.3.0", &text.text);
  EXPECT_EQ(text.str(), "10.1.2.44");
  const uint8_t wwn[] = {0x50, 0x06, 0x0b, 0x00, 0x00, 0xc2, 0x62, 0x00};
  session_->SetOctets(".1.3.6.1.4.1.99.9.4.0", wwn, 8);
  session_->GetWorldWideName(".1.3.6.1.4.1.99.9.4.0", &text.text);
  EXPECT_EQ(text.str(), "50:06:0b:00:00:c2:62:00");
}

TEST_F(SnmpSessionDeviceTest, SetErrorAnswersMapToTheirCodes) {
  test::EventLogCapture log;
  // wrongValue reaches a v1 manager as badValue (3).
  EXPECT_EQ(CodeOf([&] { session_->SetInteger(".1.3.6.1.4.1.99.10.1.0", 3); }), 2003);
  EXPECT_EQ(log.Count("A parameter is invalid."), 1);
  // commitFailed as genErr (5): any other status.
  EXPECT_EQ(CodeOf([&] { session_->SetInteger(".1.3.6.1.4.1.99.10.2.0", 3); }), 2002);
  EXPECT_EQ(log.Count("An SNMP Set error has occurred."), 1);
  // notWritable as noSuchName (2); so is a Set on a plain read-only record.
  EXPECT_EQ(CodeOf([&] { session_->SetInteger(".1.3.6.1.4.1.99.10.3.0", 3); }), 2007);
  EXPECT_EQ(CodeOf([&] { session_->SetString(".1.3.6.1.2.1.1.1.0", "x"); }), 2007);
  // A Set list is freed by the core on failure.
  SnmpVarBindList list{nullptr, 0};
  list.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(sizeof(SnmpVarBind)));
  list.len = 1;
  list.list[0].value.asnType = ASN_INTEGER;
  list.list[0].value.asnValue.number = 1;
  EXPECT_EQ(CodeOf([&] { session_->RequestSet(".1.3.6.1.4.1.99.10.1.0", &list); }), 2003);
  EXPECT_EQ(list.list, nullptr);
}

class SnmpSessionScriptedTest : public ::testing::Test {
 protected:
  void UsePort(int port) { settings_.SnmpPort(port); }
  // A session to `peer` on 127.0.0.1, waiting `seconds` for each answer.
  std::unique_ptr<SnmpSession> SessionTo(const test::ScriptedResponder& peer, const char* community = "public",
                                         int seconds = 2) {
    EXPECT_NE(peer.Port(), 0);
    UsePort(peer.Port());
    auto session = std::make_unique<SnmpSession>("127.0.0.1", community);
    session->SetTimeoutSeconds(seconds);
    return session;
  }
  test::ScopedSettings settings_;
};

TEST_F(SnmpSessionScriptedTest, GetErrorStatusesMapToTheirCodes) {
  test::EventLogCapture log;
  for (const auto& [status, code] : {std::pair{5, 2001}, {1, 2001}, {2, 2007}, {4, 2001}}) {
    test::ScriptedResponder peer(status);
    const auto session = SessionTo(peer);
    EXPECT_EQ(CodeOf([&] { session->GetInteger(".1.3.6.1.2.1.1.3.0"); }), code) << status;
    EXPECT_EQ(peer.Received(), 1);
  }
  EXPECT_EQ(log.Count("An SNMP Get error has occurred."), 3);
}

TEST_F(SnmpSessionScriptedTest, SetAnsweredReadOnlyGives2002) {
  test::EventLogCapture log;
  test::ScriptedResponder peer(4);
  const auto session = SessionTo(peer, "private");
  EXPECT_EQ(CodeOf([&] { session->SetInteger(".1.3.6.1.4.1.99.1.0", 1); }), 2002);
  EXPECT_EQ(log.Count("An SNMP Set error has occurred."), 1);
  test::ScriptedResponder badValue(3);
  UsePort(badValue.Port());
  EXPECT_EQ(CodeOf([&] { session->SetString(".1.3.6.1.4.1.99.1.0", "x"); }), 2003);
}

TEST_F(SnmpSessionScriptedTest, SilentDeviceTimesOutAfterEveryRetry) {
  test::EventLogCapture log;
  test::ScriptedResponder silent(test::ScriptedResponder::kSilent);
  const auto session = SessionTo(silent, "public", 1);
  Text text;
  text.text = strdup("earlier");
  EXPECT_EQ(CodeOf([&] { session->GetString(".1.3.6.1.2.1.1.1.0", &text.text); }), 2006);
  // One try and four retries.
  EXPECT_EQ(silent.Received(), 5);
  EXPECT_EQ(text.str(), "earlier");
  EXPECT_FALSE(session->IsOpen());
  EXPECT_EQ(log.Count("The requested operation has timed out."), 1);
}

TEST_F(SnmpSessionScriptedTest, UnreachableAddressGives2004) {
  test::EventLogCapture log;
  UsePort(11999);
  // The loopback broadcast address: the system refuses the datagram.
  SnmpSession session("127.255.255.255", "public");
  session.Open();
  EXPECT_EQ(CodeOf([&] { session.GetInteger(".1.3.6.1.2.1.1.3.0"); }), 2004);
  EXPECT_EQ(CodeOf([&] { session.SetInteger(".1.3.6.1.2.1.1.3.0", 1); }), 2004);
  EXPECT_EQ(log.Count("Unable to communicate with managed device."), 2);
}

TEST_F(SnmpSessionScriptedTest, UnconvertibleIdentifierSendsNothing) {
  test::ScriptedResponder peer(0);
  const auto session = SessionTo(peer);
  SnmpVarBindList list{nullptr, 0};
  EXPECT_EQ(CodeOf([&] { session->RequestGet(".1.3.6.1.2.1.1.5.x", &list); }), 2003);
  EXPECT_EQ(CodeOf([&] { session->SetString("system.sysName.0", "x"); }), 2003);
  EXPECT_EQ(CodeOf([&] { session->GetInteger(".1.3..6"); }), 2003);
  // The same session then works: the scripted peer echoes the request.
  session->RequestGet(".1.3.6.1.2.1.1.5.0", &list);
  SnmpUtilVarBindListFree(&list);
  EXPECT_EQ(peer.Received(), 1);
}

}  // namespace
}  // namespace orla
