#include "agent/service/agent_configuration.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/event_log_capture.h"

namespace orla {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

// Byte 0 counts the points; each number after a point follows as its low
// eight bits. Without a leading point the last number is not read.
TEST(EnterpriseLine, CountThenTheLowEightBitsOfEachNumber) {
  const struct {
    const char* line;
    std::optional<std::vector<uint8_t>> bytes;  // none: rejected
  } cases[] = {
      {".1.3.6.1.4.1", Bytes({6, 1, 3, 6, 1, 4, 1})},
      {"1.3.6.1.4.1", Bytes({5, 1, 3, 6, 1, 4})},
      {"enterprise", Bytes({0})},
      {"", Bytes({0})},
      {".1.257.511", Bytes({3, 1, 1, 255})},
      // Without a leading point a trailing one still leaves every field present.
      {"1.3.", Bytes({2, 1, 3})},
      // A number of 0 (or 256, or text), or more points than numbers.
      {".1.3.0.1", std::nullopt},
      {".1.256", std::nullopt},
      {".1.abc", std::nullopt},
      {".512.1", std::nullopt},
      {".1..3", std::nullopt},
      {".1.3.", std::nullopt},
      {".", std::nullopt},
      {"....", std::nullopt},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes = {9};
    EXPECT_EQ(AgentConfiguration::ParseEnterprise(c.line, &bytes), c.bytes.has_value()) << c.line;
    EXPECT_EQ(bytes, c.bytes.value_or(std::vector<uint8_t>{})) << c.line;
  }
  // A number too large for any integer type is read without overflow.
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(AgentConfiguration::ParseEnterprise(".99999999999999999999999", &bytes));
  EXPECT_EQ(bytes.size(), 2u);
}

class ConfigurationFile : public ::testing::Test {
 protected:
  bool Parse(const std::string& text) {
    std::istringstream in(text);
    return config_.Parse(in, "KORAgent.cfg");
  }
  test::EventLogCapture log_;
  AgentConfiguration config_;
};

TEST_F(ConfigurationFile, FiveLinesGiveTheirValues) {
  ASSERT_TRUE(Parse("first\n/opt/kor/KOR\nthird\nLabel text\n.1.3.6.1.4.1.4413\n"));
  EXPECT_EQ(config_.Line1(), "first");
  EXPECT_EQ(config_.AgentDirectory(), "/opt/kor/KOR");
  EXPECT_EQ(config_.Line3(), "third");
  EXPECT_EQ(config_.SystemLabel(), "Label text");
  EXPECT_EQ(config_.Enterprise(), Bytes({7, 1, 3, 6, 1, 4, 1, 4413 & 0xff}));
  EXPECT_TRUE(log_.Events().empty());
}

TEST_F(ConfigurationFile, LineEndsAreRemovedButNothingElse) {
  // CR LF line ends, and a last line without a line end keeps its last
  // character.
  ASSERT_TRUE(Parse("a\r\n/k\r\nc\r\nd\r\n.1.3"));
  EXPECT_EQ(config_.AgentDirectory(), "/k");
  EXPECT_EQ(config_.SystemLabel(), "d");
  EXPECT_EQ(config_.Enterprise(), Bytes({2, 1, 3}));
}

TEST_F(ConfigurationFile, MissingLineIsReportedAndRejected) {
  EXPECT_FALSE(Parse("a\n/k\nc\n"));
  ASSERT_EQ(log_.Events().size(), 1u);
  EXPECT_EQ(log_.Events()[0].text, "CRITICAL: File KORAgent.cfg - Line 4 is missing.");
  EXPECT_EQ(log_.Events()[0].eventType, 1);
  log_.Clear();
  EXPECT_FALSE(Parse(""));
  EXPECT_EQ(log_.Texts(), std::vector<std::string>{"CRITICAL: File KORAgent.cfg - Line 1 is missing."});
  EXPECT_EQ(config_.AgentDirectory(), "");
}

TEST_F(ConfigurationFile, LinesUpTo79CharactersAreAccepted) {
  const std::string dir = "/" + std::string(78, 'd');
  ASSERT_TRUE(Parse("a\n" + dir + "\nc\nd\n.1\n"));
  EXPECT_EQ(config_.AgentDirectory(), dir);
}

TEST_F(ConfigurationFile, LongerLineIsReportedAndRejected) {
  const std::string label(80, 'x');
  EXPECT_FALSE(Parse("a\n/k\nc\n" + label + "\n.1\n"));
  EXPECT_EQ(log_.Texts(), std::vector<std::string>{"CRITICAL: File KORAgent.cfg - Line 4 is longer than 79 characters."});
  // A rejected file leaves nothing half read.
  EXPECT_EQ(config_.AgentDirectory(), "");
}

TEST_F(ConfigurationFile, InvalidEnterpriseLineIsReported) {
  for (const char* line : {".1.0", ".256", ".1..3", ".1.3."}) {
    log_.Clear();
    EXPECT_FALSE(Parse(std::string("a\n/k\nc\nd\n") + line + "\n")) << line;
    EXPECT_EQ(log_.Texts(), std::vector<std::string>{"CRITICAL: File KORAgent.cfg - Invalid SNMP Enterprise number format."})
        << line;
  }
}

}  // namespace
}  // namespace orla
