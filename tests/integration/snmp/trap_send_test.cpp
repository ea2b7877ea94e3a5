// Traps sent with TrapMessage::SendTo arrive at net-snmp's snmptrapd on
// loopback and decode to the fields we set; DatagramSender's failures.
#include <gtest/gtest.h>


#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/snmp/datagram_sender.h"
#include "agent/snmp/trap_message.h"
#include "tests/support/agent_process.h"
#include "tests/support/free_port.h"
#include "tests/integration/snmp/trap_daemon.h"
#include "tests/support/code_of.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/text_lines.h"
#include "tests/support/unencodable_value.h"

namespace orla {
namespace {

using test::CodeOf;
using test::UnencodableValue;

// snmptrapd's line for a trap:
// TRAP|version|community|agent address|enterprise|generic|specific|time stamp|bindings
constexpr char kTrapFormat[] = "TRAP|%s|%u|%a|%N|%w|%q|%T|%V~%v\n";

using Listener = test::BoundUdpSocket;

void FillTrap(TrapMessage* trap) {
  const uint32_t enterprise[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2};
  const int32_t agent[] = {10, 1, 2, 3};
  trap->SetVersion(0);
  trap->SetCommunity("public");
  trap->SetEnterprise(enterprise, 9);
  trap->SetAgentAddress(agent);
  trap->SetGenericTrap(6);
  trap->SetSpecificTrap(2);
  trap->SetTimeStamp(123456);
}

TEST(TrapSendTest, SnmptrapdDecodesWhatWeSend) {
  test::ScopedSettings settings;
  test::TrapDaemon daemon(kTrapFormat);
  ASSERT_TRUE(daemon.Start()) << daemon.Output();
  settings.TrapPort(daemon.Port());
  TrapMessage trap;
  FillTrap(&trap);
  const uint32_t name1[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 1, 0};
  const uint32_t name2[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 2, 0};
  const uint32_t name3[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 3, 0};
  const int32_t address[] = {192, 168, 7, 9};
  trap.AddBinding(new SnmpBinding(new SnmpOctetString("TAPE01"), new SnmpObjectId(name1, 11)));
  trap.AddBinding(new SnmpBinding(new SnmpInteger(-5), new SnmpObjectId(name2, 11)));
  trap.AddBinding(new SnmpBinding(new SnmpIpAddress(address), new SnmpObjectId(name3, 11)));
  trap.SendTo("localhost");

  const std::vector<std::string> traps = daemon.WaitForTraps(1);
  ASSERT_FALSE(traps.empty()) << daemon.Output();
  const std::string& line = traps[0];
  const std::vector<std::string> fields = test::Split(line, '|');
  ASSERT_EQ(fields.size(), 9u) << line;
  EXPECT_EQ(fields[1], "0");  // SNMPv1
  EXPECT_EQ(fields[2], "public");
  EXPECT_EQ(fields[3], "10.1.2.3");
  EXPECT_EQ(fields[4], ".1.3.6.1.4.1.4413.132.2");
  EXPECT_EQ(fields[5], "6");
  EXPECT_EQ(fields[6], ".2");  // printed as the enterprise's sub-identifier
  EXPECT_EQ(fields[7], "123456");
  const std::vector<std::string> bindings = test::Split(fields[8], '~');
  ASSERT_EQ(bindings.size(), 3u) << fields[8];
  EXPECT_EQ(bindings[0], ".1.3.6.1.4.1.4413.132.2.1.0 = STRING: \"TAPE01\"");
  EXPECT_EQ(bindings[1], ".1.3.6.1.4.1.4413.132.2.2.0 = INTEGER: -5");
  EXPECT_EQ(bindings[2], ".1.3.6.1.4.1.4413.132.2.3.0 = IpAddress: 192.168.7.9");
}

TEST(TrapSendTest, SendsExactlyTheEncodedMessageAsOneDatagram) {
  test::ScopedSettings settings;
  Listener listener;
  ASSERT_NE(listener.Port(), 0);
  settings.TrapPort(listener.Port());
  TrapMessage trap;
  FillTrap(&trap);
  trap.SendTo("127.0.0.1");
  uint8_t* buffer = nullptr;
  int32_t length = 0;
  trap.EncodeMessage(&buffer, &length);
  const std::vector<uint8_t> expected(buffer, buffer + length);
  std::free(buffer);
  const std::vector<std::vector<uint8_t>> received = listener.Receive(2000, 1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], expected);
}

TEST(TrapSendTest, IncompleteOrUnencodableTrapsSendNothing) {
  test::ScopedSettings settings;
  test::EventLogCapture log;
  Listener listener;
  ASSERT_NE(listener.Port(), 0);
  settings.TrapPort(listener.Port());
  TrapMessage noTimeStamp;
  const uint32_t enterprise[] = {1, 3, 6, 1, 4, 1};
  const int32_t agent[] = {10, 0, 0, 1};
  noTimeStamp.SetVersion(0);
  noTimeStamp.SetCommunity("");
  noTimeStamp.SetEnterprise(enterprise, 6);
  noTimeStamp.SetAgentAddress(agent);
  noTimeStamp.SetGenericTrap(6);
  noTimeStamp.SetSpecificTrap(2);
  EXPECT_EQ(CodeOf([&] { noTimeStamp.SendTo("127.0.0.1"); }), 0);

  TrapMessage failing;
  FillTrap(&failing);
  const uint32_t name[] = {1, 3, 6, 1};
  failing.AddBinding(new SnmpBinding(new SnmpInteger(1), new SnmpObjectId(name, 4)));
  failing.AddBinding(new SnmpBinding(new UnencodableValue(), new SnmpObjectId(name, 4)));
  EXPECT_EQ(CodeOf([&] { failing.SendTo("127.0.0.1"); }), 3001);
  EXPECT_EQ(log.Count("The system was unable to allocate memory space."), 1);
  EXPECT_TRUE(listener.Receive(500).empty());
}

TEST(TrapSendTest, UnresolvableHostGives2013AndNoDatagram) {
  test::EventLogCapture log;
  TrapMessage trap;
  FillTrap(&trap);
  // A name with an empty label fails in the resolver without a query.
  EXPECT_EQ(CodeOf([&] { trap.SendTo("bad..name"); }), 2013);
  EXPECT_EQ(CodeOf([&] { trap.SendTo(""); }), 2013);
  EXPECT_EQ(log.Count("Unable to retrieve agent host information."), 2);
}

TEST(DatagramSenderTest, SendsOneBufferAndReportsRefusedSends) {
  test::EventLogCapture log;
  Listener listener;
  ASSERT_NE(listener.Port(), 0);
  DatagramSender sender;
  sender.Open("127.0.0.1", listener.Port());
  auto* buffer = static_cast<uint8_t*>(std::malloc(3));
  std::memcpy(buffer, "abc", 3);
  sender.Send(buffer, 3);  // the sender releases the buffer
  const std::vector<std::vector<uint8_t>> received = listener.Receive(2000, 1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(std::string(received[0].begin(), received[0].end()), "abc");

  // Opening again closes first; the loopback broadcast address is refused
  // by the system, and the buffer is still released.
  sender.Open("127.255.255.255", listener.Port());
  buffer = static_cast<uint8_t*>(std::malloc(3));
  EXPECT_EQ(CodeOf([&] { sender.Send(buffer, 3); }), 2004);
  EXPECT_EQ(log.Count("Unable to communicate with managed device."), 1);
  sender.Close();
  sender.Close();
  // Sending without an open socket is refused the same way.
  buffer = static_cast<uint8_t*>(std::malloc(3));
  EXPECT_EQ(CodeOf([&] { sender.Send(buffer, 3); }), 2004);
}

}  // namespace
}  // namespace orla
