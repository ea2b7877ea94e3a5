#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/text/atomic_file.h"
#include "platform/text/string_printf.h"
#include "tests/support/temp_dir.h"

using namespace orla;

TEST(AtomicFile, ReplacesWholeFileAndLeavesNoTemporary) {
  test::TempDir dir;
  dir.Write("a.txt", "old contents that are longer\n");
  ASSERT_EQ(AtomicFile::Write(dir.File("a.txt"), "new\n"), 0);
  EXPECT_EQ(dir.Read("a.txt"), "new\n");
  int files = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(AtomicFile, FailureLeavesOldFileAndReportsErrno) {
  test::TempDir dir;
  EXPECT_NE(AtomicFile::Write(dir.File("missing/a.txt"), "x"), 0);
}

// The agent's files never stay or become readable by others.
TEST(AtomicFile, PrivateRewritesDropOthersBitsAndKeepTheRest) {
  struct Case {
    mode_t before;  // 0: no file yet
    mode_t after;
  };
  for (const Case& c : {Case{0, 0640}, Case{0644, 0640}, Case{0600, 0600}, Case{0666, 0660}, Case{0640, 0640}}) {
    test::TempDir dir;
    if (c.before != 0) {
      dir.Write("KORAgent.db", "old\n");
      ASSERT_EQ(::chmod(dir.File("KORAgent.db").c_str(), c.before), 0);
    }
    ASSERT_EQ(AtomicFile::WritePrivate(dir.File("KORAgent.db"), "new\n"), 0);
    struct stat st;
    ASSERT_EQ(::stat(dir.File("KORAgent.db").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.after) << std::oct << c.before;
    EXPECT_EQ(dir.Read("KORAgent.db"), "new\n");
  }
}

TEST(StringPrintf, FormatsWithoutLengthLimit) {
  const std::string big(5000, 'x');
  EXPECT_EQ(StringPrintf("%s-%d", big.c_str(), 7).size(), 5002u);
  EXPECT_EQ(StringPrintf("%s", ""), "");
}
