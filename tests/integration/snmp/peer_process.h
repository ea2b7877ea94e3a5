#pragma once
// A real peer program (snmpsimd, snmptrapd) run for one test: started with
// its output in a file, stopped (SIGTERM, then SIGKILL) when the object goes.
#include <sys/types.h>

#include <string>
#include <vector>

namespace orla::test {

class PeerProcess {
 public:
  PeerProcess() = default;
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Starts `argv[0]` (looked up in PATH) with stdout and stderr going to
  // `outputPath`. False when it cannot be started.
  bool Start(const std::vector<std::string>& argv, const std::string& outputPath);
  // True while the program runs.
  bool Running();
  void Stop();
  // What the program has written so far.
  std::string Output() const;

 private:
  pid_t pid_ = -1;
  std::string outputPath_;
};

// A free UDP port on 127.0.0.1 in [first, last], starting at a place chosen
// by the process id so that tests running side by side rarely try the same
// one; 0 when none is free.
int FreeUdpPort(int first, int last);

}  // namespace orla::test
