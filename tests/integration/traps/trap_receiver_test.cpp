// The trap receiver against real senders on loopback: net-snmp's snmptrap
// and raw UDP datagrams.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <string>
#include <vector>

#include "platform/snmpmgr/snmp_local_engine.h"
#include "platform/snmpmgr/snmp_mgr_v3.h"
#include "platform/snmpmgr/trap_receiver.h"
#include "tests/support/shell_command.h"
#include "tests/support/udp_datagram.h"
#include "tests/support/wait_until.h"
#include "tests/unit/traps/ber_builder.h"

using namespace orla;
using namespace orla::test::ber;

namespace {

int RunCommand(const std::string& command) { return test::RunCommand("timeout 20 " + command); }

void SendDatagram(int port, const Bytes& bytes) { test::SendDatagram(port, bytes, "127.0.3.20"); }

// Waits for the next trap, as the listener does: on the event, then takes.
bool NextTrap(TrapReceiver& receiver, TrapReceiver::Trap* trap) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    receiver.Event().Reset();
    if (receiver.Take(trap)) return true;
    receiver.Event().WaitFor(std::chrono::milliseconds(200));
  }
  return false;
}

std::string Address(const TrapReceiver::Trap& t) {
  return std::to_string(t.agentAddress[0]) + "." + std::to_string(t.agentAddress[1]) + "." +
         std::to_string(t.agentAddress[2]) + "." + std::to_string(t.agentAddress[3]);
}

// A receiver started on `address`.
class TrapReceiving : public ::testing::Test {
 protected:
  void Listen(const std::string& address) {
    std::string error;
    ASSERT_EQ(receiver_.Start(address, &error), 0) << error;
  }
  TrapReceiver receiver_;
};

}  // namespace

TEST_F(TrapReceiving, ReceivesV1TrapFromSnmptrap) {
  ASSERT_NO_FATAL_FAILURE(Listen("udp:127.0.0.1:13162"));
  ASSERT_EQ(RunCommand("snmptrap -v 1 -c public 127.0.0.1:13162 .1.3.6.1.4.1.4413.7 127.0.3.5 6 17 4321 "
                ".1.3.6.1.2.1.1.5.0 s 'tape one' .1.3.6.1.4.1.4413.7.1 i 42 .1.3.6.1.4.1.4413.7.2 a 192.168.1.7"),
            0);
  TrapReceiver::Trap trap;
  ASSERT_TRUE(NextTrap(receiver_, &trap));
  EXPECT_EQ(trap.enterprise, (std::vector<uint32_t>{1, 3, 6, 1, 4, 1, 4413, 7}));
  EXPECT_EQ(Address(trap), "127.0.3.5");
  EXPECT_EQ(trap.genericTrap, 6);
  EXPECT_EQ(trap.specificTrap, 17);
  EXPECT_EQ(trap.timeStamp, 4321u);
  ASSERT_EQ(trap.bindings.size(), 3u);
  EXPECT_EQ(trap.bindings[0].octets, "tape one");
  EXPECT_EQ(trap.bindings[1].integer, 42);
  EXPECT_EQ(trap.bindings[2].type, 0x40);
  EXPECT_EQ(trap.bindings[2].octets, std::string("\xC0\xA8\x01\x07", 4));
  EXPECT_EQ(receiver_.DroppedCount(), 0u);
}

TEST_F(TrapReceiving, MapsV2NotificationFromSnmptrap) {
  ASSERT_NO_FATAL_FAILURE(Listen("udp:127.0.0.1:13163"));
  ASSERT_EQ(RunCommand("snmptrap -v 2c -c public --clientaddr=127.0.3.7 127.0.0.1:13163 555 "
                ".1.3.6.1.4.1.4413.0.9 .1.3.6.1.2.1.1.5.0 s hi"),
            0);
  TrapReceiver::Trap trap;
  ASSERT_TRUE(NextTrap(receiver_, &trap));
  EXPECT_EQ(trap.enterprise, (std::vector<uint32_t>{1, 3, 6, 1, 4, 1, 4413}));
  EXPECT_EQ(trap.genericTrap, 6);
  EXPECT_EQ(trap.specificTrap, 9);
  EXPECT_EQ(trap.timeStamp, 555u);
  EXPECT_EQ(Address(trap), "127.0.3.7");
  ASSERT_EQ(trap.bindings.size(), 1u);
  EXPECT_EQ(trap.bindings[0].octets, "hi");
}

TEST_F(TrapReceiving, MalformedDatagramsAreDroppedAndCountedAndTheNextTrapArrives) {
  ASSERT_NO_FATAL_FAILURE(Listen("udp:127.0.0.1:13164"));
  const Bytes good = V1Trap("public", Oid({1, 3, 6, 1, 4, 1, 4413}), Ip(127, 0, 3, 5), 0, 0, 7, {});
  SendDatagram(13164, Bytes(good.begin(), good.begin() + 12));           // truncated
  SendDatagram(13164, Bytes(60000, 0x30));                                // over-long junk
  SendDatagram(13164, {0x30, 0x84, 0x7f, 0xff, 0xff, 0xff, 0x02, 0x01});  // lying length
  SendDatagram(13164, {0xde, 0xad, 0xbe, 0xef});                          // garbage
  SendDatagram(13164, {});                                                // empty
  SendDatagram(13164, good);
  TrapReceiver::Trap trap;
  ASSERT_TRUE(NextTrap(receiver_, &trap));
  EXPECT_EQ(Address(trap), "127.0.3.5");
  EXPECT_EQ(trap.genericTrap, 0);
  EXPECT_EQ(receiver_.DroppedCount(), 5u);
  EXPECT_EQ(receiver_.ReceivedCount(), 6u);
  EXPECT_FALSE(receiver_.Take(&trap));
}

TEST_F(TrapReceiving, SeveralTrapsQueueInArrivalOrder) {
  ASSERT_NO_FATAL_FAILURE(Listen("udp:127.0.0.1:13165"));
  for (int i = 0; i < 5; ++i) {
    SendDatagram(13165, V1Trap("public", Oid({1, 3, 6, 1, 4, 1, 4413}), Ip(127, 0, 3, 5), 6, i, 0, {}));
  }
  for (int i = 0; i < 5; ++i) {
    TrapReceiver::Trap trap;
    ASSERT_TRUE(NextTrap(receiver_, &trap));
    EXPECT_EQ(trap.specificTrap, i);
  }
}

TEST(TrapReceiver, StartFailsForBadOrBusyAddressAndTwice) {
  TrapReceiver first;
  std::string error;
  ASSERT_EQ(first.Start("udp:127.0.0.1:13166", &error), 0) << error;
  EXPECT_EQ(first.Start("udp:127.0.0.1:13167", &error), EALREADY);
  TrapReceiver second;
  EXPECT_NE(second.Start("udp:127.0.0.1:13166", &error), 0);
  EXPECT_NE(error.find("udp:127.0.0.1:13166"), std::string::npos);
  EXPECT_NE(second.Start("nosuchdomain:what", &error), 0);
  first.Stop();
  // Stopped, the address is free again.
  EXPECT_EQ(second.Start("udp:127.0.0.1:13166", &error), 0) << error;
}

// A stream transport would give the receiver a listening socket that is
// always readable and never a trap: every transport but UDP is refused.
TEST(TrapReceiver, OnlyUdpTransportsAreTaken) {
  for (const char* address : {"tcp:127.0.0.1:0", "tcp6:[::1]:0"}) {
    TrapReceiver receiver;
    std::string error;
    EXPECT_EQ(receiver.Start(address, &error), EPROTONOSUPPORT) << address;
    EXPECT_NE(error.find("only a UDP transport receives traps"), std::string::npos) << error;
  }
  TrapReceiver receiver;
  std::string error;
  EXPECT_EQ(receiver.Start("udp:127.0.0.1:0", &error), 0) << error;
}

TEST_F(TrapReceiving, StampsArrivalAndTurnsAwayTrapsWithTooManyBindingsCountingThem) {
  ASSERT_NO_FATAL_FAILURE(Listen("udp:127.0.0.1:13167"));
  auto trapWith = [](size_t bindings, int specific) {
    Bytes list;
    for (size_t i = 0; i < bindings; ++i) list = Cat({list, VarBind(Oid({1, 3, 6, 1, 4, 1, 4413, 7, 1}), Null())});
    return V1Trap("public", Oid({1, 3, 6, 1, 4, 1, 4413}), Ip(127, 0, 3, 21), 6, specific, 7, list);
  };
  const auto before = std::chrono::system_clock::now();
  SendDatagram(13167, trapWith(TrapReceiver::kMaxBindings + 1, 1));
  SendDatagram(13167, trapWith(TrapReceiver::kMaxBindings, 2));
  TrapReceiver::Trap trap;
  ASSERT_TRUE(NextTrap(receiver_, &trap));
  EXPECT_EQ(trap.specificTrap, 2);
  EXPECT_EQ(trap.bindings.size(), TrapReceiver::kMaxBindings);
  EXPECT_GE(trap.arrival, before);
  EXPECT_LE(trap.arrival, std::chrono::system_clock::now());
  EXPECT_EQ(receiver_.OverflowCount(), 1u);
  EXPECT_EQ(receiver_.DroppedCount(), 1u);
  // The queue's byte count covers what a trap holds.
  EXPECT_GT(TrapReceiver::QueuedSize(trap), TrapReceiver::kMaxBindings * 9 * sizeof(uint32_t));
}

// SNMPv3 traps from snmptrap -v3: the user-list entry for the sender's
// engine ID and user (made here, as polling the device makes it, by a v3
// session that knows the engine) lets the right key in; a wrong key, an
// unknown user or an engine never polled is refused and counted, not queued.
// snmpinform -v3 goes to the receiver's own engine (its users set as the
// agent sets the assigned profiles'): acknowledged, or with a wrong key
// refused and not. v3-only refuses SNMPv1/v2c (an inform unacknowledged).
TEST_F(TrapReceiving, SnmpV3TrapsNeedTheUserOfThePolledEngineAndInformsAreAcknowledged) {
  ASSERT_NO_FATAL_FAILURE(Listen("udp:127.0.0.1:13163"));
  const std::string engine = "800012340102030405";
  SnmpMgrUsm usm;
  usm.user = "kor-trap";
  usm.level = SnmpMgrUsm::Level::kAuthPriv;
  usm.auth = SnmpMgrUsm::Auth::kSha256;
  usm.authPassPhrase = "trap-auth-pass";
  usm.priv = SnmpMgrUsm::Priv::kAes128;
  usm.privPassPhrase = "trap-priv-pass";
  ASSERT_TRUE(SnmpMgrSetLocalUsers({usm}));
  for (size_t i = 0; i < engine.size(); i += 2) {
    usm.engineId += static_cast<char>(std::stoi(engine.substr(i, 2), nullptr, 16));
  }
  LPSNMP_MGR_SESSION session = SnmpMgrOpenV3("127.0.0.1", usm, 1000, 0, 13999);
  ASSERT_NE(session, nullptr);
  SnmpMgrClose(session);

  const std::string user = " -u kor-trap -a SHA-256 -A trap-auth-pass -x AES -X trap-priv-pass";
  const std::string wrongKey = " -u kor-trap -a SHA-256 -A wrong-auth-pass -x AES -X trap-priv-pass";
  const std::string trap = "snmptrap -v3 -l authPriv -e 0x" + engine;
  const std::string inform = "snmpinform -t 1 -r 1 -v3 -l authPriv";
  const std::string v2c = " -v 2c -c public -t 1 -r 0 127.0.0.1:13163 '' .1.3.6.1.4.1.4413.7.0.5 .1.3.6.1.2.1.1.5.0 s 'tape one'";
  enum Outcome { kReceived, kRefused, kV3Only };
  struct Case {
    bool v3Only;
    std::string command;
    Outcome outcome;
    bool acknowledged;  // the tool's exit status 0 (a trap's always)
  };
  const Case cases[] = {
      {false, trap + user, kReceived, true}, {false, trap + wrongKey, kRefused, true},
      {false, trap + " -u nobody -a SHA-256 -A trap-auth-pass -x AES -X trap-priv-pass", kRefused, true},
      {false, "snmptrap -v3 -l authPriv -e 0x800012340999" + user, kRefused, true},
      {false, inform + user, kReceived, true}, {false, inform + wrongKey, kRefused, false},
      {false, "snmpinform" + v2c, kReceived, true}, {true, "snmptrap" + v2c, kV3Only, true},
      {true, "snmpinform" + v2c, kV3Only, false}, {true, inform + user, kReceived, true},
  };
  const std::string notification = " 127.0.0.1:13163 '' .1.3.6.1.4.1.4413.7.0.5 .1.3.6.1.2.1.1.5.0 s 'tape one'";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    receiver_.SetV3Only(c.v3Only);
    const uint64_t refused = receiver_.RefusedCount();
    const uint64_t v3Only = receiver_.DroppedFor(TrapReceiver::Drop::kV3Only);
    const bool complete = c.command.find("127.0.0.1:13163") != std::string::npos;
    EXPECT_EQ(RunCommand(c.command + (complete ? "" : notification) + " >/dev/null 2>&1") == 0, c.acknowledged);
    TrapReceiver::Trap trap;
    if (c.outcome == kReceived) {
      ASSERT_TRUE(NextTrap(receiver_, &trap));
      EXPECT_EQ(trap.enterprise, (std::vector<uint32_t>{1, 3, 6, 1, 4, 1, 4413, 7}));
      EXPECT_EQ(trap.specificTrap, 5);
      ASSERT_EQ(trap.bindings.size(), 1u);
      EXPECT_EQ(trap.bindings[0].octets, "tape one");
    } else {
      ASSERT_TRUE(test::WaitUntil(
          [&] {
            return c.outcome == kRefused ? receiver_.RefusedCount() > refused
                                         : receiver_.DroppedFor(TrapReceiver::Drop::kV3Only) > v3Only;
          },
          std::chrono::seconds(10), std::chrono::milliseconds(20)));
      EXPECT_FALSE(receiver_.Take(&trap));
    }
  }
  // The discovery and time synchronisation of the informs were not refusals.
  EXPECT_EQ(receiver_.RefusedCount(), 4u);
  EXPECT_EQ(receiver_.DroppedFor(TrapReceiver::Drop::kMalformed), 0u);
}

namespace {

// The notification every forged message below carries: snmpTrapOID.0
// coldStart and snmpTrapAddress.0 naming `element`.
Bytes ColdStartNaming(uint8_t element) {
  return Cat({VarBind(Oid({1, 3, 6, 1, 2, 1, 1, 3, 0}), Unsigned(5, 0x43)),
              VarBind(Oid({1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}), Oid({1, 3, 6, 1, 6, 3, 1, 1, 5, 1})),
              VarBind(Oid({1, 3, 6, 1, 6, 3, 18, 1, 3, 0}), Ip(127, 0, 3, element))});
}

std::string Raw(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

// What a forger sends, against three managed elements: .21 with the
// profile of user kor-trap (authPriv), .22 with kor-other's (authNoPriv),
// .23 polled with its community. Each message is refused for its reason
// before it is logged, acknowledged or counted for an element, or taken
// for the element it may speak for.
TEST_F(TrapReceiving, ForgedNotificationsAreRefusedBeforeTheySpeakForAnElement) {
  ASSERT_NO_FATAL_FAILURE(Listen("udp:127.0.0.1:13166"));
  SnmpMgrUsm tape;
  tape.user = "kor-trap";
  tape.level = SnmpMgrUsm::Level::kAuthPriv;
  tape.auth = SnmpMgrUsm::Auth::kSha256;
  tape.authPassPhrase = "trap-auth-pass";
  tape.priv = SnmpMgrUsm::Priv::kAes128;
  tape.privPassPhrase = "trap-priv-pass";
  SnmpMgrUsm disk;
  disk.user = "kor-other";
  disk.level = SnmpMgrUsm::Level::kAuthNoPriv;
  disk.auth = SnmpMgrUsm::Auth::kSha1;
  disk.authPassPhrase = "other-auth-pass";
  ASSERT_TRUE(SnmpMgrSetLocalUsers({tape, disk}));
  // The engine polling .21 learned.
  tape.engineId = std::string("\x80\x00\x12\x34\x01\x02\x03\x21", 8);
  LPSNMP_MGR_SESSION session = SnmpMgrOpenV3("127.0.3.21", tape, 1000, 0, 13999);
  ASSERT_NE(session, nullptr);
  SnmpMgrClose(session);
  receiver_.SetAdmission([](const uint8_t a[4], const std::string& user, int level) {
    if (a[0] != 127 || a[1] != 0 || a[2] != 3) return false;
    if (a[3] == 21) return user.empty() || (user == "kor-trap" && level >= 2);
    if (a[3] == 22) return user.empty() || (user == "kor-other" && level >= 1);
    return a[3] == 23 && user.empty();
  });

  const std::vector<uint8_t> local = SnmpMgrLocalEngineId();
  const std::string keys = " -u kor-trap -a SHA-256 -A trap-auth-pass -x AES -X trap-priv-pass";
  const std::string trap = "snmptrap -v3 -l authPriv -e 0x8000123401020321" + keys;
  const std::string tail = " 127.0.0.1:13166 '' .1.3.6.1.6.3.1.1.5.1 .1.3.6.1.6.3.18.1.3.0 a ";
  using Refusal = TrapReceiver::Refusal;
  using Drop = TrapReceiver::Drop;
  struct Case {
    const char* what;
    std::string command;   // a tool's command line, or empty for `datagram`
    std::string datagram;  // raw, sent from `from`
    const char* from;
    int outcome;           // 0 taken, 1 refused for `refusal`, 2 dropped for `drop`
    Refusal refusal;
    Drop drop;
    const char* element;   // whom a taken one speaks for
  };
  const Bytes inform = V2Pdu("public", 0xA6, ColdStartNaming(23));
  const Case cases[] = {
      {"empty user, made-up engine", "", Raw(V3Message(0x00, "\x80\x00\x12\x34\xde\xad", 1, 100, "", 0xA7,
                                                                 ColdStartNaming(21))),
       "127.0.3.21", 1, Refusal::kUnknownUser, Drop::kMalformed, ""},
      {"empty user to this engine (the library's default user)", "",
       Raw(V3Message(0x04, Raw(local), SnmpMgrLocalEngineBoots(), SnmpMgrLocalEngineTime(), "", 0xA6,
                     ColdStartNaming(21))),
       "127.0.3.21", 1, Refusal::kUnknownUser, Drop::kMalformed, ""},
      {"profile's user below its level, inform", "snmpinform -t 1 -r 0 -v3 -l noAuthNoPriv -u kor-trap --clientaddr=127.0.3.21" + tail + "127.0.3.21",
       "", "", 1, Refusal::kWrongLevel, Drop::kMalformed, ""},
      {"profile's user below its level, with the polled engine", "snmptrap -v3 -l noAuthNoPriv -u kor-trap -e 0x8000123401020321 --clientaddr=127.0.3.21" + tail + "127.0.3.21",
       "", "", 1, Refusal::kWrongLevel, Drop::kMalformed, ""},
      {"another element's profile", trap + " --clientaddr=127.0.3.22" + tail + "127.0.3.22", "", "", 1,
       Refusal::kNotThisElementsProfile, Drop::kMalformed, ""},
      {"naming another element from its own address", trap + " --clientaddr=127.0.3.21" + tail + "127.0.3.22", "", "",
       0, Refusal::kOther, Drop::kMalformed, "127.0.3.21"},
      {"community inform from an address that is no element", "snmpinform -t 1 -r 0 -v 2c -c public --clientaddr=127.0.3.40" + tail + "127.0.3.41",
       "", "", 2, Refusal::kOther, Drop::kNotManaged, ""},
      {"an inform", "", Raw(inform), "127.0.3.23", 0, Refusal::kOther, Drop::kMalformed, "127.0.3.23"},
      {"the same inform again", "", Raw(inform), "127.0.3.23", 2, Refusal::kOther, Drop::kRepeatedInform, ""},
      {"a device's trap with its boots and time", trap + " -Z 100000,1000 --clientaddr=127.0.3.21" + tail + "127.0.3.21",
       "", "", 0, Refusal::kOther, Drop::kMalformed, "127.0.3.21"},
      {"the same replayed outside the time window", trap + " -Z 100000,500 --clientaddr=127.0.3.21" + tail + "127.0.3.21",
       "", "", 1, Refusal::kNotInTimeWindow, Drop::kMalformed, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint64_t refused = receiver_.RefusedFor(c.refusal);
    const uint64_t dropped = receiver_.DroppedFor(c.drop);
    if (!c.command.empty()) {
      RunCommand(c.command + " >/dev/null 2>&1");
    } else {
      test::SendDatagram(13166, Bytes(c.datagram.begin(), c.datagram.end()), c.from);
    }
    TrapReceiver::Trap taken;
    if (c.outcome == 0) {
      ASSERT_TRUE(NextTrap(receiver_, &taken));
      EXPECT_EQ(Address(taken), c.element);
    } else {
      ASSERT_TRUE(test::WaitUntil(
          [&] { return c.outcome == 1 ? receiver_.RefusedFor(c.refusal) > refused : receiver_.DroppedFor(c.drop) > dropped; },
          std::chrono::seconds(10), std::chrono::milliseconds(20)));
      EXPECT_FALSE(receiver_.Take(&taken));
    }
  }

  // A flood of made-up engine IDs from one address: the first are refused
  // as unknown engines (nothing is recorded for them), the rest turned away
  // before they are decoded; the next element's trap is taken.
  const uint64_t before = receiver_.ReceivedCount();
  for (int i = 0; i < 3000; ++i) {
    const std::string engine = "\x80\x00\x12\x34\x05" + std::to_string(100000 + i);
    test::SendDatagram(13166, V3Message(0x03, engine, 1, 100, "kor-trap", 0xA7, ColdStartNaming(21)), "127.0.3.30");
  }
  test::SendDatagram(13166, V2Pdu("public", 0xA7, ColdStartNaming(23)), "127.0.3.23");
  TrapReceiver::Trap taken;
  ASSERT_TRUE(NextTrap(receiver_, &taken));
  EXPECT_EQ(Address(taken), "127.0.3.23");
  ASSERT_TRUE(test::WaitUntil([&] { return receiver_.ReceivedCount() == before + 3001; }, std::chrono::seconds(10),
                              std::chrono::milliseconds(20)));
  EXPECT_GE(receiver_.RefusedFor(Refusal::kUnknownEngine), TrapReceiver::kRefusalBurst);
  EXPECT_LT(receiver_.RefusedFor(Refusal::kUnknownEngine), 1000u);
  EXPECT_GT(receiver_.DroppedFor(Drop::kSourceShare), 2000u);
}

// A device that never answers is being discovered (its probe has arrived
// at a socket that swallows it, and the session waits out time-outs and
// retries): a trap arriving meanwhile is taken before that wait ends. The
// library's own probe inside the send once held the library lock, and so
// every trap, for the whole wait.
TEST_F(TrapReceiving, ATrapIsTakenWhileASilentSnmpV3DeviceIsDiscovered) {
  ASSERT_NO_FATAL_FAILURE(Listen("udp:127.0.0.1:13167"));
  const int silent = ::socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(silent, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(13997);
  at.sin_addr.s_addr = htonl(0x7f000363);  // 127.0.3.99
  ASSERT_EQ(::bind(silent, reinterpret_cast<const sockaddr*>(&at), sizeof at), 0);
  std::atomic<bool> opened{false};
  std::thread discovering([&] {
    SnmpMgrUsm usm;
    usm.user = "kor-silent";
    usm.level = SnmpMgrUsm::Level::kAuthNoPriv;
    usm.auth = SnmpMgrUsm::Auth::kSha1;
    usm.authPassPhrase = "silent-auth-pass";
    // Time-outs and retries longer than NextTrap waits (12 s against 10 s).
    LPSNMP_MGR_SESSION session = SnmpMgrOpenV3("127.0.3.99", usm, 4000, 2, 13997);
    if (session != nullptr) SnmpMgrClose(session);
    opened.store(true);
  });
  pollfd probe{silent, POLLIN, 0};
  const bool probed = ::poll(&probe, 1, 10000) == 1;
  test::SendDatagram(13167, V1Trap("public", Oid({1, 3, 6, 1, 4, 1, 4413}), Ip(127, 0, 3, 5), 0, 0, 7, {}));
  TrapReceiver::Trap trap;
  const bool taken = NextTrap(receiver_, &trap);
  const bool before = !opened.load();
  discovering.join();
  ::close(silent);
  ASSERT_TRUE(probed) << "no discovery probe reached the silent device";
  EXPECT_TRUE(taken);
  EXPECT_TRUE(before) << "the trap waited for the silent device's time-outs";
}
