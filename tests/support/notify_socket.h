#pragma once
// A datagram socket standing in for systemd's notification socket: a child
// started with NOTIFY_SOCKET=Path() sends its sd_notify messages here.
#include <chrono>
#include <string>
#include <vector>

namespace orla::test {

class NotifySocket {
 public:
  NotifySocket();
  ~NotifySocket();
  NotifySocket(const NotifySocket&) = delete;
  NotifySocket& operator=(const NotifySocket&) = delete;

  const std::string& Path() const { return path_; }
  // "NOTIFY_SOCKET=<path>", for a child's environment.
  std::string EnvEntry() const { return "NOTIFY_SOCKET=" + path_; }

  // The next message, or an empty string when none comes within `timeout`.
  std::string Receive(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Receives messages until one contains `needle`; every message received
  // is appended to Received(). False when none came within `timeout`.
  bool WaitFor(const std::string& needle, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  const std::vector<std::string>& Received() const { return received_; }

 private:
  std::string dir_;
  std::string path_;
  int fd_ = -1;
  std::vector<std::string> received_;
};

}  // namespace orla::test
