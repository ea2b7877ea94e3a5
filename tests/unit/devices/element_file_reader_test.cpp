// The element file's lines: where the line limit cuts, what the split keeps,
// and the reader's answers for a missing, unreadable or unterminated file.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "agent/devices/element_file_reader.h"
#include "platform/text/regular_file.h"
#include "tests/support/temp_dir.h"

namespace orla::test {
namespace {

using Line = ElementFileReader::ElementLine;

TEST(ElementFileReaderTest, LinesAreCutAtTheLimitBeforeTheSplit) {
  const std::string name(505, 'n');
  const struct {
    std::string line;
    bool element;
    Line parsed;
  } cases[] = {
      {"tc01|10.9.0.1\n", true, {"tc01", "10.9.0.1"}},
      {"tc01|10.9.0.1|more|fields", true, {"tc01", "10.9.0.1"}},
      {"\r|tc 01\r\r10.9.0.1", true, {"tc 01", "10.9.0.1"}},
      {std::string("t\0c|a\0b\n", 8), true, {std::string("t\0c", 3), std::string("a\0b", 3)}},
      {"lonely\n", false, {}},
      {"|||\r\n", false, {}},
      {"", false, {}},
      // 511 characters are read, the 512th is not.
      {name + "|abcde", true, {name, "abcde"}},
      {name + "|abcdef\n", true, {name, "abcde"}},
      {std::string(509, 'n') + "|a", true, {std::string(509, 'n'), "a"}},
      {std::string(510, 'n') + "|a", false, {}},
  };
  for (const auto& c : cases) {
    Line parsed;
    EXPECT_EQ(ElementFileReader::ParseLine(c.line, &parsed), c.element) << c.line.size() << ": " << c.line;
    if (c.element) {
      EXPECT_EQ(parsed, c.parsed) << c.line.size() << ": " << c.line;
    }
  }
}

TEST(ElementFileReaderTest, ReadsEveryElementLineAndReportsFailuresByErrno) {
  TempDir dir;
  std::vector<Line> lines;

  dir.Write("KORAgent.db", "tc01|10.9.0.1\n\nlonely\r\n" + std::string(600, 'y') + "|10.9.0.9\ntc02|10.9.0.2");
  ElementFileReader reader(dir.File("KORAgent.db"));
  ASSERT_EQ(reader.Open(), 0);
  EXPECT_EQ(reader.ReadLines(&lines), 0);
  EXPECT_EQ(lines, (std::vector<Line>{{"tc01", "10.9.0.1"}, {"tc02", "10.9.0.2"}}));

  ElementFileReader missing(dir.File("absent.db"));
  EXPECT_EQ(missing.Open(), ENOENT);

  std::filesystem::create_directory(dir.File("folder.db"));
  ElementFileReader folder(dir.File("folder.db"));
  EXPECT_EQ(folder.Open(), RegularFile::kNotRegular);
  EXPECT_EQ(folder.ReadLines(&lines), EBADF);
  EXPECT_EQ(lines.size(), 2u);
}

}  // namespace
}  // namespace orla::test
