#include "fuzz/fuzz_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/eventlog/event_log_writer.h"

namespace orla::fuzz {

FuzzFolder::FuzzFolder() {
  EventLogWriter::SetSystemLog(false);
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kor-fuzz.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  path_ = pattern;
}

const FuzzFolder& FuzzFolder::Get() {
  static const FuzzFolder* const folder = new FuzzFolder();
  return *folder;
}

std::string FuzzFolder::Write(const std::string& name, const uint8_t* data, size_t size) const {
  const std::string path = File(name);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return path;
}

}  // namespace orla::fuzz
