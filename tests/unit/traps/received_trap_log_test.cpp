#include <gtest/gtest.h>

#include <chrono>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "agent/devices/element_registry.h"
#include "agent/snmp/trap_message.h"
#include "agent/traps/event_text_field.h"
#include "agent/traps/received_trap_log.h"
#include "agent/traps/trap_sender.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/bytes.h"

using namespace orla;

namespace {

using test::FromHex;
using test::Read16;
using test::Read32;

std::vector<uint8_t> Serialize(const EventTextField& field) {
  std::vector<uint8_t> out;
  field.SerializeTo(&out);
  return out;
}

TrapMessage* GenericTrap(int32_t generic, const int32_t address[4]) {
  auto* trap = new TrapMessage();
  const uint32_t enterprise[] = {1, 3, 6, 1, 4, 1, 4413};
  trap->SetEnterprise(enterprise, 7);
  trap->SetAgentAddress(address);
  trap->SetGenericTrap(generic);
  trap->SetSpecificTrap(0);
  trap->SetTimeStamp(0);
  return trap;
}

// A loaded registry without elements: every address is unmanaged.
class EmptyRegistry {
 public:
  EmptyRegistry() : registry_(dir_.File("KORAgent.db"), 300) {
    registry_.LoadElements();
    ElementRegistry::SetInstance(&registry_);
  }
  ~EmptyRegistry() { ElementRegistry::SetInstance(nullptr); }
  ElementRegistry* Get() { return &registry_; }

 private:
  test::TempDir dir_;
  ElementRegistry registry_;
};

// TZ for the life of the object; the C library reads it again both ways.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    tz_.emplace("TZ", zone);
    tzset();
  }
  ~ScopedTimeZone() {
    tz_.reset();
    tzset();
  }

 private:
  std::optional<test::ScopedEnv> tz_;
};

// The log tests: a captured event log, a loaded empty registry and a log
// of its traps.
class ReceivedTrapLogEntries : public ::testing::Test {
 protected:
  test::EventLogCapture log_;
  EmptyRegistry registry_;
  ReceivedTrapLog traps_{registry_.Get()};
};

}  // namespace

TEST(EventTextField, SerialisesTypeLengthTextAndPadding) {
  EXPECT_EQ(Serialize(EventTextField(129, "Windows NT")),
            (std::vector<uint8_t>{0x81, 0x00, 0x0C, 0x00, 'W', 'i', 'n', 'd', 'o', 'w', 's', ' ', 'N', 'T', 0, 0}));
  // No text: the type code and a zero length.
  EXPECT_EQ(Serialize(EventTextField(0x0401)), (std::vector<uint8_t>{0x01, 0x04, 0x00, 0x00}));
  // Every text is followed by at least one zero byte, up to a multiple of 4.
  for (size_t n = 0; n <= 9; ++n) {
    const std::string text(n, 'x');
    const auto bytes = Serialize(EventTextField(65, text));
    const size_t padded = (n + 1 + 3) / 4 * 4;
    ASSERT_EQ(bytes.size(), 4 + padded) << n;
    EXPECT_EQ(Read16(bytes, 2), padded) << n;
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 4 + static_cast<long>(n)), text);
    for (size_t i = 4 + n; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0) << n;
  }
}

TEST(EventTextField, TextEndsAtZeroByteAndLengthFitsSixteenBits) {
  EventTextField field(225, std::string("ab\0cd", 5));
  EXPECT_EQ(field.Text(), "ab");
  EventTextField huge(1057, std::string(70000, 'd'));
  const auto bytes = Serialize(huge);
  EXPECT_EQ(bytes.size(), 4u + Read16(bytes, 2));
  EXPECT_EQ(Read16(bytes, 2) % 4, 0);
  EXPECT_EQ(bytes.back(), 0);
}

TEST(ReceivedTrapLogText, TimeStampZoneEastWestAndUtc) {
  ReceivedTrapLog::LocalTime t{2026, 12, 7, 9, 5, 3, 129};
  EXPECT_EQ(ReceivedTrapLog::TimeStampText(t, -60), "20261207090503,12+0100");
  EXPECT_EQ(ReceivedTrapLog::TimeStampText(t, 60), "20261207090503,12-0100");
  EXPECT_EQ(ReceivedTrapLog::TimeStampText(t, 0), "20261207090503,12-0000");
  EXPECT_EQ(ReceivedTrapLog::TimeStampText(t, -330), "20261207090503,12+0530");
  EXPECT_EQ(ReceivedTrapLog::TimeStampText(t, 0).size(), 22u);
}

TEST(ReceivedTrapLogText, TimeStampCarriesTheOffsetInForceAtThatMoment) {
  // Winter and summer moments in zones with and without daylight saving
  // time: the zone text is the offset of the local time written before it.
  using std::chrono::milliseconds;
  const auto at = [](int64_t unixMs) { return std::chrono::system_clock::time_point(milliseconds(unixMs)); };
  const int64_t winter = 1768478400123;  // 2026-01-15 12:00:00.123 UTC
  const int64_t summer = 1784116800456;  // 2026-07-15 12:00:00.456 UTC
  const struct {
    const char* zone;
    int64_t moment;
    const char* text;
  } cases[] = {
      {"CET-1CEST,M3.5.0,M10.5.0/3", winter, "20260115130000,12+0100"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", summer, "20260715140000,45+0200"},
      {"EST5EDT,M3.2.0,M11.1.0", winter, "20260115070000,12-0500"},
      {"EST5EDT,M3.2.0,M11.1.0", summer, "20260715080000,45-0400"},
      {"XXX-5:30", summer, "20260715173000,45+0530"},
      {"UTC0", winter, "20260115120000,12-0000"},
  };
  for (const auto& c : cases) {
    ScopedTimeZone scoped(c.zone);
    EXPECT_EQ(ReceivedTrapLog::TimeStampTextAt(at(c.moment)), c.text) << c.zone;
  }
}

TEST(ReceivedTrapLogRecord, ComposesHeaderTextsAndPaddedEventData) {
  const EventTextField timeStamp(65, "20261207090503,12+0100");
  const EventTextField os(129, "Linux");
  const EventTextField wwn(225, "10:00:00:60:69:51:0e:8b");
  const EventTextField name(289, "tc01");
  const EventTextField wwnAgain(1025, "10:00:00:60:69:51:0e:8b");
  const EventTextField description(1057);
  const EventTextField firmware(1089, "");
  const EventTextField* const texts[6] = {&os, &wwn, &name, &wwnAgain, &description, &firmware};
  const uint8_t data[] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
  const auto record = ReceivedTrapLog::ComposeRecord(7, 0x12345, -1, timeStamp, texts, data, sizeof data);

  std::vector<uint8_t> expected = {0xFD, 0xFF, 0xFF, 0xFF};
  const size_t textsSize = 12 + 28 + 12 + 28 + 4 + 8;
  const uint32_t offset = static_cast<uint32_t>(72 + textsSize);
  for (uint32_t v : {offset, offset + 8}) {
    for (int i = 0; i < 4; ++i) expected.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  const std::vector<uint8_t> rest = {2, 0, 1, 0, 3, 0, 0, 0, 0x45, 0x23, 0xFF, 0xFF, 7, 0, 0, 0,
                                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0};
  expected.insert(expected.end(), rest.begin(), rest.end());
  for (const EventTextField* f : {&timeStamp, &os, &wwn, &name, &wwnAgain, &description, &firmware}) {
    const auto bytes = Serialize(*f);
    expected.insert(expected.end(), bytes.begin(), bytes.end());
  }
  expected.insert(expected.end(), {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0, 0, 0});
  EXPECT_EQ(record, expected);
  EXPECT_EQ(Serialize(timeStamp).size(), 28u);
}

TEST_F(ReceivedTrapLogEntries, ColdStartFromUnmanagedAddressGivesWarningWithRecord) {
  const int32_t address[4] = {127, 0, 3, 40};
  traps_.LogReceivedTrap(GenericTrap(0, address));
  traps_.LogReceivedTrap(GenericTrap(3, address));
  const auto events = log_.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].text, "WARNING: A Fibre device has performed a cold start.");
  EXPECT_EQ(events[0].eventType, 2);
  EXPECT_EQ(events[0].eventId, 0x40000004u);
  EXPECT_EQ(events[1].text, "WARNING: A network interface has come up on a fibre device.");

  const auto record = FromHex(events[0].dataHex);
  ASSERT_GE(record.size(), 72u);
  EXPECT_EQ(Read32(record, 0), 0xFFFFFFFDu);
  EXPECT_EQ(Read32(record, 8), record.size());
  EXPECT_EQ(Read16(record, 20), 0xFFFF);  // no element: no class codes
  EXPECT_EQ(Read16(record, 22), 0xFFFF);
  EXPECT_EQ(Read32(record, 24), 0u);      // the process's first record
  EXPECT_EQ(Read16(record, 44), 65);
  EXPECT_EQ(Read16(record, 46), 24);
  const std::string stamp(record.begin() + 48, record.begin() + 70);
  EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{14},\d{2}[+-]\d{4})"))) << stamp;
  // The OS version text, then five empty element texts.
  EXPECT_EQ(Read16(record, 72), 129);
  const std::string os(reinterpret_cast<const char*>(&record[76]));
  EXPECT_EQ(os, TrapSender::AgentOsName() + " " + TrapSender::AgentOsVersion());
  size_t at = 72 + 4 + Read16(record, 74);
  for (uint16_t type : {225, 289, 1025, 1057, 1089}) {
    EXPECT_EQ(Read16(record, at), type);
    EXPECT_EQ(Read16(record, at + 2), 0);
    at += 4;
  }
  EXPECT_EQ(Read32(record, 4), at);
  // Cold start: event data 00 00, padded to four bytes.
  EXPECT_EQ(std::vector<uint8_t>(record.begin() + static_cast<long>(at), record.end()),
            (std::vector<uint8_t>{0, 0, 0, 0}));

  const auto second = FromHex(events[1].dataHex);
  EXPECT_EQ(Read32(second, 24), 1u);
  EXPECT_EQ(std::vector<uint8_t>(second.end() - 4, second.end()), (std::vector<uint8_t>{3, 0, 0, 0}));
  EXPECT_EQ(traps_.SequenceNumber(), 2u);
}

TEST_F(ReceivedTrapLogEntries, TheRecordIsStampedWithTheTrapsArrival) {
  const int32_t address[4] = {127, 0, 3, 41};
  // An hour ago, with hundredths: the record carries that moment, not the
  // time the trap was logged.
  const auto arrival = std::chrono::system_clock::now() - std::chrono::hours(1) - std::chrono::milliseconds(370);
  ASSERT_TRUE(traps_.LogTrap(GenericTrap(0, address), arrival));
  EXPECT_FALSE(traps_.LogTrap(GenericTrap(7, address), arrival));  // not logged: no text
  const auto events = log_.Events();
  ASSERT_EQ(events.size(), 1u);
  const auto record = FromHex(events[0].dataHex);
  ASSERT_GE(record.size(), 72u);
  EXPECT_EQ(std::string(record.begin() + 48, record.begin() + 70), ReceivedTrapLog::TimeStampTextAt(arrival));
}

TEST_F(ReceivedTrapLogEntries, GenericMessagesAndDroppedTraps) {
  const int32_t address[4] = {127, 0, 3, 41};
  for (int32_t generic : {1, 2, 4, 5}) traps_.LogReceivedTrap(GenericTrap(generic, address));
  // Enterprise-specific from an address without element: no plug-in
  // describes it, nothing is logged. Unknown generic numbers likewise.
  traps_.LogReceivedTrap(GenericTrap(6, address));
  traps_.LogReceivedTrap(GenericTrap(7, address));
  traps_.LogReceivedTrap(GenericTrap(-1, address));
  traps_.LogReceivedTrap(nullptr);
  const auto texts = log_.Texts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0], "WARNING: A Fibre device has performed a warm start.");
  EXPECT_EQ(texts[1], "WARNING: A network interface has gone down on a fibre device.");
  EXPECT_EQ(texts[2], "WARNING: An unauthorized SNMP message was received by a fibre device.");
  EXPECT_EQ(texts[3], "WARNING: EGP loss detected by a fibre device.");
  EXPECT_EQ(traps_.SequenceNumber(), 4u);
}

TEST(ReceivedTrapLogWithoutRegistry, NothingIsLogged) {
  test::EventLogCapture log;
  ReceivedTrapLog traps(nullptr);
  const int32_t address[4] = {127, 0, 3, 42};
  traps.LogReceivedTrap(GenericTrap(0, address));
  EXPECT_TRUE(log.Events().empty());
}
