// A library whose initialisation blocks until the test lets it go: while a
// thread is inside dlopen() of it, the dynamic loader's lock is held, so
// every other thread's symbol lookup waits. Tests use it to hold a polling
// thread between its checks and its call into a plug-in.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace {

__attribute__((constructor)) void WaitForRelease() {
  // The test names a FIFO; opening it for reading blocks until the test
  // opens it for writing.
  const char* fifo = std::getenv("KOR_BLOCKING_INIT_FIFO");
  if (fifo == nullptr) return;
  const int fd = ::open(fifo, O_RDONLY);
  if (fd >= 0) ::close(fd);
}

}  // namespace
