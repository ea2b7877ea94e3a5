#include "platform/sysinfo/system_info.h"

#include <sys/resource.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/sysinfo/open_file_limit.h"

namespace orla {
namespace {

TEST(SystemInfo, ReleaseGivesMajorAndMinor) {
  const struct {
    const char* release;
    int major, minor;
  } cases[] = {{"6.1.0-18-amd64", 6, 1}, {"5", 5, 0}, {"4.19-rc1", 4, 19}, {"", 0, 0}};
  for (const auto& c : cases) {
    int major = -1, minor = -1;
    SystemInfo::ParseRelease(c.release, &major, &minor);
    EXPECT_EQ(std::make_pair(major, minor), std::make_pair(c.major, c.minor)) << c.release;
  }
  int major = -1, minor = -1;
  SystemInfo::ParseRelease("99999999999999.7", &major, &minor);
  EXPECT_GT(major, 0);
  EXPECT_EQ(minor, 7);
}

TEST(SystemInfo, ProcessorTypeNumbers) {
  const std::pair<const char*, int> cases[] = {
      {"x86_64", 8664}, {"i686", 586}, {"i386", 386}, {"ia64", 2200}, {"riscv64", 0}};
  for (const auto& [machine, type] : cases) EXPECT_EQ(SystemInfo::ProcessorTypeOf(machine), type) << machine;
}

TEST(SystemInfo, HostTextsComeFromThisHost) {
  char name[256] = {};
  ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
  EXPECT_EQ(SystemInfo::ComputerName(), name);
  EXPECT_EQ(SystemInfo::OsName(), "Linux");
}

// A service's soft limit of 1024 open files is raised to its hard limit.
TEST(OpenFileLimit, RaisesTheSoftLimitToTheHardOne) {
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit lowered = saved;
  lowered.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  EXPECT_EQ(OpenFileLimit::Current(), 64u);
  uint64_t before = 0;
  const uint64_t after = OpenFileLimit::Raise(&before);
  EXPECT_EQ(before, 64u);
  if (saved.rlim_max != RLIM_INFINITY) {
    EXPECT_EQ(after, saved.rlim_max);
  }
  EXPECT_GT(after, 64u);
  EXPECT_EQ(OpenFileLimit::Current(), after);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_TRUE(OpenFileLimit::IsReached(EMFILE));
  EXPECT_TRUE(OpenFileLimit::IsReached(ENFILE));
  EXPECT_FALSE(OpenFileLimit::IsReached(EACCES));
}

}  // namespace
}  // namespace orla
