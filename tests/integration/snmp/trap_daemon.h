#pragma once
// net-snmp's snmptrapd as the receiving manager of a test: run in the
// foreground on a free port, writing one line per trap in a
// format the test chooses (each line starts with "TRAP|").
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/agent_process.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace orla::test {

class TrapDaemon {
 public:
  // `format` is snmptrapd's -F format of one trap line ("TRAP|...\n");
  // the daemon listens on `listenAddress` at a port the system found free.
  // `config` is its snmptrapd.conf (users, authorisation).
  explicit TrapDaemon(std::string format, std::string listenAddress = "127.0.0.1",
                      std::string config = "disableAuthorization yes\n")
      : format_(std::move(format)), listenAddress_(std::move(listenAddress)), config_(std::move(config)) {}

  // Starts the daemon and waits until it is ready; another port is tried
  // when it does not come up. False when it never does. With `port` it
  // listens there or fails. Its persistent files stay in its own folder.
  bool Start(int port = 0) {
    dir_.Write("snmptrapd.conf", config_);
    for (int attempt = 0; attempt < 5; ++attempt) {
      port_ = port != 0 ? port : FreeLoopbackPort(SOCK_DGRAM);
      if (port_ == 0) return false;
      const std::vector<std::string> argv = {
          "snmptrapd", "-f", "-Lo", "-C", "-c", dir_.File("snmptrapd.conf"), "-On", "-m", "", "-M", dir_.Path(),
          "-F", format_, "udp:" + listenAddress_ + ":" + std::to_string(port_)};
      if (!process_.Start(argv[0], {argv.begin() + 1, argv.end()}, {"SNMP_PERSISTENT_DIR=" + dir_.Path()})) {
        return false;
      }
      const auto ready = [&] { return process_.Output().find("NET-SNMP version") != std::string::npos; };
      WaitUntil([&] { return !process_.Running() || ready(); }, std::chrono::seconds(5), std::chrono::milliseconds(50));
      if (ready()) return true;
      process_.Stop();
      if (port != 0) return false;
    }
    return false;
  }

  int Port() const { return port_; }
  std::string Output() const { return process_.Output(); }

  // The complete trap lines received so far, in order.
  std::vector<std::string> Traps() const {
    std::vector<std::string> traps;
    const std::string output = process_.Output();
    for (size_t start = output.find("TRAP|"); start != std::string::npos; start = output.find("TRAP|", start + 1)) {
      const size_t end = output.find('\n', start);
      if (end == std::string::npos) break;
      traps.push_back(output.substr(start, end - start));
    }
    return traps;
  }

  // Waits until `count` traps have arrived (at most 10 seconds); the traps.
  std::vector<std::string> WaitForTraps(size_t count) const {
    WaitUntil([&] { return Traps().size() >= count; }, std::chrono::seconds(10), std::chrono::milliseconds(50));
    return Traps();
  }

 private:
  const std::string format_;
  const std::string listenAddress_;
  const std::string config_;
  TempDir dir_;
  AgentProcess process_;
  int port_ = 0;
};

}  // namespace orla::test
