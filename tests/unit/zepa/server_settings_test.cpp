// What a server starts with: the endpoint and limits the program chose, the
// library's defaults for the rest whatever the environment says, and the
// refusal of malformed start-up records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/zepa/server_settings.h"
#include "tests/support/scoped_env.h"
#include "tests/unit/zepa/sample_extension_record.h"

using namespace orla;

namespace {

using test::StartupRecord;

ServerTable::NextStart Next(const std::string& address, int port, unsigned total = 0, unsigned perAddress = 0) {
  ServerTable::NextStart next;
  next.address = address;
  next.port = port;
  next.maxConnections = total;
  next.maxConnectionsPerAddress = perAddress;
  return next;
}

}  // namespace

TEST(ServerSettings, TheProgramsChoiceOrTheDefaultsNeverTheEnvironment) {
  // The agent's variables name another endpoint; the library must not see them.
  test::ScopedEnv port("KORAGENT_HTTPS_PORT", "12381");
  test::ScopedEnv address("KORAGENT_HTTPS_ADDRESS", "127.0.0.1");
  struct Case {
    const char* what;
    ServerTable::NextStart next;
    const char* address;
    int port;
    unsigned total;
    unsigned perAddress;
  } cases[] = {
      {"nothing chosen", ServerTable::NextStart{}, "0.0.0.0", 2381, 512, 64},
      {"both chosen", Next("::1", 15000), "::1", 15000, 512, 64},
      {"port only", Next("", 15001), "0.0.0.0", 15001, 512, 64},
      {"address only", Next("127.0.0.2", 0), "127.0.0.2", 2381, 512, 64},
      {"limits", Next("", 0, 2048, 100), "0.0.0.0", 2381, 2048, 100},
  };
  const ServerStartupRecord record = StartupRecord("KOR", "/var/opt/kor/ZEPD");
  for (const Case& c : cases) {
    ServerSettings settings;
    std::string error;
    ASSERT_TRUE(ServerSettings::From(&record, c.next, &settings, &error)) << c.what << ": " << error;
    EXPECT_EQ(settings.address, c.address) << c.what;
    EXPECT_EQ(settings.port, c.port) << c.what;
    EXPECT_EQ(settings.maxConnections, c.total) << c.what;
    EXPECT_EQ(settings.maxConnectionsPerAddress, c.perAddress) << c.what;
    EXPECT_EQ(settings.name, "KOR") << c.what;
    EXPECT_EQ(settings.dataDirectory, "/var/opt/kor/ZEPD") << c.what;
  }
}

TEST(ServerSettings, MalformedRecordsAreRefusedWithTheReason) {
  ServerStartupRecord wrongSize = StartupRecord("KOR", "/data");
  wrongSize.dwSize = 1580;
  ServerStartupRecord unterminated = StartupRecord("KOR", "/data");
  std::memset(unterminated.szServerName, 'x', sizeof(unterminated.szServerName));
  const ServerStartupRecord relative = StartupRecord("KOR", "data");
  const ServerStartupRecord noDirectory = StartupRecord("KOR", "");
  struct Case {
    const ServerStartupRecord* record;
    const char* error;
  } cases[] = {
      {nullptr, "no start-up record"},
      {&wrongSize, "the start-up record's size is 1580, not 1579"},
      {&unterminated, "a text of the start-up record is not terminated"},
      {&relative, "the data directory of the start-up record must be an absolute path"},
      {&noDirectory, "the data directory of the start-up record must be an absolute path"},
  };
  for (const Case& c : cases) {
    ServerSettings settings;
    settings.port = 1;
    std::string error;
    EXPECT_FALSE(ServerSettings::From(c.record, ServerTable::NextStart{}, &settings, &error)) << c.error;
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(settings.port, 1) << "left alone on failure: " << c.error;
  }
  // A record without a name gets the library's.
  const ServerStartupRecord unnamed = StartupRecord("", "/data");
  ServerSettings settings;
  std::string error;
  ASSERT_TRUE(ServerSettings::From(&unnamed, ServerTable::NextStart{}, &settings, &error)) << error;
  EXPECT_EQ(settings.name, "ZEPA");
}
