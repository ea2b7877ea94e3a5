#include "tests/support/notify_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace orla::test {

NotifySocket::NotifySocket() {
  char templ[] = "/tmp/kornotify.XXXXXX";
  if (mkdtemp(templ) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = templ;
  path_ = dir_ + "/notify";
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::runtime_error("socket failed");
  struct sockaddr_un addr;
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path_.c_str(), sizeof addr.sun_path - 1);
  if (::bind(fd_, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) != 0) {
    throw std::runtime_error("bind failed");
  }
}

NotifySocket::~NotifySocket() {
  if (fd_ >= 0) ::close(fd_);
  ::unlink(path_.c_str());
  ::rmdir(dir_.c_str());
}

std::string NotifySocket::Receive(std::chrono::milliseconds timeout) {
  struct pollfd pfd = {fd_, POLLIN, 0};
  if (::poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0) return std::string();
  char buffer[4096];
  const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(n));
}

bool NotifySocket::WaitFor(const std::string& needle, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const std::string message = Receive(left);
    if (message.empty()) return false;
    received_.push_back(message);
    if (message.find(needle) != std::string::npos) return true;
  }
}

}  // namespace orla::test
