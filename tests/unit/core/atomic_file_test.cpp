#include <gtest/gtest.h>

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

TEST(StringPrintf, FormatsWithoutLengthLimit) {
  const std::string big(5000, 'x');
  EXPECT_EQ(StringPrintf("%s-%d", big.c_str(), 7).size(), 5002u);
  EXPECT_EQ(StringPrintf("%s", ""), "");
}
