#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "tests/support/bytes.h"
#include "tests/support/event_log_capture.h"

using namespace orla;

TEST(OrlaException, CodesUpTo1000AreNotLogged) {
  test::EventLogCapture log;
  std::unique_ptr<OrlaException> e(new OrlaException(kErrNoSuchObject, 0, kMsgNoSuchObject));
  EXPECT_EQ(e->Code(), 3);
  EXPECT_EQ(e->Message(), "No object with that name exists.");
  EXPECT_TRUE(log.Events().empty());
}

TEST(OrlaException, WarningCodeLogsPrefixedMessage) {
  test::EventLogCapture log;
  std::unique_ptr<OrlaException> e(new OrlaException(kErrCommunication, 0, kMsgCommunication));
  auto events = log.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, "WARNING: Unable to communicate with managed device.");
  EXPECT_EQ(events[0].eventType, 2);
  EXPECT_EQ(events[0].category, 1);
  EXPECT_EQ(events[0].eventId, 0x80000005u);
}

TEST(OrlaException, OsErrorPrefixesMessageButNotTheLogEntry) {
  test::EventLogCapture log;
  std::unique_ptr<OrlaException> e(new OrlaException(kErrMemory, ENOMEM, kMsgMemory));
  const std::string expected =
      "Error = " + std::to_string(ENOMEM) + ", " + std::strerror(ENOMEM) + "\n" + kMsgMemory;
  EXPECT_EQ(e->Message(), expected);
  EXPECT_EQ(e->OsError(), static_cast<uint32_t>(ENOMEM));
  auto events = log.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, "CRITICAL: The system was unable to allocate memory space.");
  EXPECT_EQ(events[0].eventType, 1);
  EXPECT_EQ(events[0].category, 2);
}

TEST(OrlaException, SystemTextLeadsTheMessageAndIsTheEntrysData) {
  // The dynamic loader describes its failures by a text, not a number.
  test::EventLogCapture log;
  const std::string loader = "devices/absent.so: cannot open shared object file";
  std::unique_ptr<OrlaException> e(new OrlaException(kErrDllFunction, loader, kMsgDllFunction));
  EXPECT_EQ(e->Message(), loader + "\n" + kMsgDllFunction);
  EXPECT_EQ(e->OsError(), 0u);
  auto events = log.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, "CRITICAL: A failure has been detected in a required DLL function.");
  EXPECT_EQ(events[0].eventId, 0x40000004u);
  const std::vector<uint8_t> data = test::FromHex(events[0].dataHex);
  EXPECT_EQ(std::string(data.begin(), data.end()), loader);
}

TEST(OrlaException, SeverityBoundaries) {
  EXPECT_EQ(OrlaException::SeverityOf(1000), -1);
  EXPECT_EQ(OrlaException::SeverityOf(1001), 0);
  EXPECT_EQ(OrlaException::SeverityOf(2000), 0);
  EXPECT_EQ(OrlaException::SeverityOf(2001), 1);
  EXPECT_EQ(OrlaException::SeverityOf(3000), 1);
  EXPECT_EQ(OrlaException::SeverityOf(3001), 2);
}

TEST(OrlaException, ThrownAsPointerAndOwnedByTheHandler) {
  test::EventLogCapture log;
  try {
    throw new OrlaException(kErrFileSystem, 0, kMsgFileSystem);
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    EXPECT_EQ(owned->Code(), 3002);
  }
  EXPECT_EQ(log.Count("CRITICAL: There has been a file system error."), 1);
}
