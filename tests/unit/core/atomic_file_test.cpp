#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "platform/text/atomic_file.h"
#include "platform/text/file_lock.h"
#include "platform/text/regular_file.h"
#include "platform/text/string_printf.h"
#include "tests/support/temp_dir.h"

using namespace orla;

namespace {

// The entries of `dir`, by name.
std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

// Everything left to read on `fd` from its start.
std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  for (off_t at = 0; (n = ::pread(fd, buffer, sizeof buffer, at)) > 0; at += n) text.append(buffer, n);
  return text;
}

}  // namespace

TEST(AtomicFile, ReplacesWholeFileAndLeavesNoTemporary) {
  test::TempDir dir;
  dir.Write("a.txt", "old contents that are longer\n");
  ASSERT_EQ(AtomicFile::Write(dir.File("a.txt"), "new\n"), 0);
  EXPECT_EQ(dir.Read("a.txt"), "new\n");
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"a.txt"});
  EXPECT_NE(AtomicFile::Write(dir.File("missing/a.txt"), "x"), 0);  // no such folder
}

// A rewrite that the file-size limit stops part-way (SIGXFSZ ignored, so the
// write fails with EFBIG): the old file keeps its old bytes, no temporary is
// left, and a reader that held the old file open reads it whole. The limit
// applies in a child process, which reports the writer's result.
TEST(AtomicFile, WriteStoppedPartWayLeavesTheOldFile) {
  for (const auto& c : {std::pair<rlim_t, size_t>{0, 100}, {4096, 100000}, {65536, 65537}}) {
    SCOPED_TRACE(c.first);
    test::TempDir dir;
    const std::string old = "old line 1\nold line 2\n", path = dir.File("KORAgent.db");
    dir.Write("KORAgent.db", old);
    const int held = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{c.first, c.first};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(255);
      ::_exit(AtomicFile::Write(path, std::string(c.second, 'n')));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_EQ(dir.Read("KORAgent.db"), old);
    EXPECT_EQ(ReadAll(held), old);
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"KORAgent.db"});
    ::close(held);
  }
}

// Readers that open the file while it is rewritten again and again see one
// whole version or the other, never a mixture or a short file; a reader that
// holds the file open keeps reading the version it opened.
TEST(AtomicFile, ReadersSeeOnlyWholeVersions) {
  test::TempDir dir;
  const std::string path = dir.File("client.ini");
  const std::string versions[] = {std::string(200000, 'a'), std::string(150000, 'b') + "\n"};
  ASSERT_EQ(AtomicFile::Write(path, versions[0]), 0);
  const int held = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 1; i <= 60; ++i) EXPECT_EQ(AtomicFile::Write(path, versions[i % 2]), 0);
    done.store(true);
  });
  int reads = 0;
  while (!done.load() || reads == 0) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::string seen = ReadAll(fd);
    ::close(fd);
    ASSERT_TRUE(seen == versions[0] || seen == versions[1]) << "a read of " << seen.size() << " bytes";
    ++reads;
  }
  writer.join();
  EXPECT_EQ(ReadAll(held), versions[0]);
  ::close(held);
}

// The agent's files never stay or become readable by others.
TEST(AtomicFile, PrivateRewritesDropOthersBitsAndKeepTheRest) {
  // Mode before (0: no file yet), mode after.
  for (const auto& [before, after] : {std::pair<mode_t, mode_t>{0, 0640}, {0644, 0640}, {0600, 0600}, {0666, 0660},
                                      {0640, 0640}}) {
    test::TempDir dir;
    const std::string path = dir.File("KORAgent.db");
    if (before != 0) {
      dir.Write("KORAgent.db", "old\n");
      ASSERT_EQ(::chmod(path.c_str(), before), 0);
    }
    ASSERT_EQ(AtomicFile::WritePrivate(path, "new\n"), 0);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, after) << std::oct << before;
    EXPECT_EQ(dir.Read("KORAgent.db"), "new\n");
  }
}

// What a kill between mkstemp and rename leaves goes at the next start; the
// file itself and other names that merely look alike stay.
TEST(AtomicFile, RemoveLeftoversTakesOnlyTheFilesOwnTemporaries) {
  test::TempDir dir;
  for (const char* name : {"KORAgent.db", "KORAgent.db.tmpA1b2C3", "KORAgent.db.tmpzzzzzz", "KORAgent.db.tmp",
                           "KORAgent.db.tmpA1b2C3x", "client.ini.tmpA1b2C3"}) {
    dir.Write(name, "x");
  }
  EXPECT_EQ(AtomicFile::RemoveLeftovers(dir.File("KORAgent.db")), 2);
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"KORAgent.db", "KORAgent.db.tmp", "KORAgent.db.tmpA1b2C3x",
                                         "client.ini.tmpA1b2C3"}));
}

// What stands in an agent file's place: only a regular file is read; a
// FIFO is refused without waiting for a writer, a planted link is not
// followed (unless asked), each with its own words.
TEST(RegularFile, ReadsOnlyRegularFilesAndNeverWaits) {
  test::TempDir dir;
  dir.Write("plain", "text\n");
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(dir.File("plain").c_str(), dir.File("link").c_str()), 0);
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0700), 0);
  struct Case {
    const char* name;
    bool followLink;
    int error;
    const char* words;  // in Describe
  };
  const Case cases[] = {
      {"plain", false, 0, ""},
      {"fifo", false, RegularFile::kNotRegular, "fifo: it is not a regular file"},
      {"folder", false, RegularFile::kNotRegular, "folder: it is not a regular file"},
      {"link", false, RegularFile::kSymbolicLink, "link: it is a symbolic link, which is not followed"},
      {"link", true, 0, ""},
      {"missing", false, ENOENT, "missing: No such file or directory"},
  };
  for (const Case& c : cases) {
    std::string text = "untouched";
    const int error = RegularFile::Read(dir.File(c.name), &text, c.followLink);
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(text, error == 0 ? "text\n" : "untouched") << c.name;
    if (error != 0) {
      EXPECT_NE(RegularFile::Describe(dir.File(c.name), error).find(c.words), std::string::npos) << c.name;
    }
  }
  // A descriptor handed out blocks again (reads wait as they always did).
  int fd = -1;
  ASSERT_EQ(RegularFile::Open(dir.File("plain"), O_RDONLY, 0, &fd), 0);
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  ::close(fd);
}

// A link planted as the lock file is refused: no file appears where it points.
TEST(FileLock, RefusesALinkInTheLockFilesPlace) {
  test::TempDir dir;
  ASSERT_EQ(::symlink(dir.File("elsewhere").c_str(), dir.File("users.lock").c_str()), 0);
  const FileLock lock(dir.File("users.lock"));
  EXPECT_FALSE(lock.Held());
  EXPECT_NE(lock.Error().find("symbolic link"), std::string::npos) << lock.Error();
  EXPECT_FALSE(dir.Exists("elsewhere"));
}

TEST(StringPrintf, FormatsWithoutLengthLimit) {
  const std::string big(5000, 'x');
  EXPECT_EQ(StringPrintf("%s-%d", big.c_str(), 7).size(), 5002u);
  EXPECT_EQ(StringPrintf("%s", ""), "");
}
