#include "platform/sysinfo/system_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace orla {
namespace {

TEST(SystemInfo, ReleaseGivesMajorAndMinor) {
  int major = -1;
  int minor = -1;
  SystemInfo::ParseRelease("6.1.0-18-amd64", &major, &minor);
  EXPECT_EQ(major, 6);
  EXPECT_EQ(minor, 1);
  SystemInfo::ParseRelease("5", &major, &minor);
  EXPECT_EQ(major, 5);
  EXPECT_EQ(minor, 0);
  SystemInfo::ParseRelease("4.19-rc1", &major, &minor);
  EXPECT_EQ(major, 4);
  EXPECT_EQ(minor, 19);
  SystemInfo::ParseRelease("", &major, &minor);
  EXPECT_EQ(major, 0);
  EXPECT_EQ(minor, 0);
  SystemInfo::ParseRelease("99999999999999.7", &major, &minor);
  EXPECT_GT(major, 0);
  EXPECT_EQ(minor, 7);
}

TEST(SystemInfo, ProcessorTypeNumbers) {
  EXPECT_EQ(SystemInfo::ProcessorTypeOf("x86_64"), 8664);
  EXPECT_EQ(SystemInfo::ProcessorTypeOf("i686"), 586);
  EXPECT_EQ(SystemInfo::ProcessorTypeOf("i386"), 386);
  EXPECT_EQ(SystemInfo::ProcessorTypeOf("ia64"), 2200);
  EXPECT_EQ(SystemInfo::ProcessorTypeOf("riscv64"), 0);
}

TEST(SystemInfo, HostTextsComeFromThisHost) {
  char name[256] = {};
  ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
  EXPECT_EQ(SystemInfo::ComputerName(), name);
  EXPECT_EQ(SystemInfo::OsName(), "Linux");
}

}  // namespace
}  // namespace orla
