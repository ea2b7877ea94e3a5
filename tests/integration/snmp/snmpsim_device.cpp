#include "tests/integration/snmp/snmpsim_device.h"

#include <sys/socket.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "tests/support/shell_command.h"
#include "tests/support/wait_until.h"

namespace orla::test {

bool SnmpsimDevice::Start(const std::string& recording, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& extraHosts) {
  arguments_ = arguments;
  extraHosts_ = extraHosts;
  // snmpsimd drops root privileges to "nobody": it must be able to read the
  // recording and write its index cache.
  chmod(dir_.Path().c_str(), 0755);
  const std::string data = dir_.File("data");
  const std::string cache = dir_.File("cache");
  mkdir(data.c_str(), 0755);
  mkdir(cache.c_str(), 0777);
  chmod(cache.c_str(), 0777);
  dir_.Write("data/public.snmprec", recording);
  chmod(dir_.File("data/public.snmprec").c_str(), 0644);

  for (int attempt = 0; attempt < 5; ++attempt) {
    const int port = FreeLoopbackPort(SOCK_DGRAM);
    if (port != 0 && TryPort(port)) return true;
  }
  return false;
}

bool SnmpsimDevice::TryPort(int port) {
  std::vector<std::string> argv = {"snmpsimd",
                                   "--data-dir=" + dir_.File("data"),
                                   "--cache-dir=" + dir_.File("cache"),
                                   "--agent-udpv4-endpoint=127.0.0.1:" + std::to_string(port),
                                   "--logging-method=stderr"};
  for (const std::string& host : extraHosts_) {
    argv.push_back("--agent-udpv4-endpoint=" + host + ":" + std::to_string(port));
  }
  argv.insert(argv.end(), arguments_.begin(), arguments_.end());
  if (geteuid() == 0) {
    argv.push_back("--process-user=nobody");
    argv.push_back("--process-group=nogroup");
  }
  if (!process_.Start(argv[0], {argv.begin() + 1, argv.end()})) return false;
  const std::string probe = "snmpget -v1 -c public -t 0.2 -r 0 127.0.0.1:" +
                            std::to_string(port) + " .1.3.6.1.2.1.1.1.0 >/dev/null 2>&1";
  bool answers = false;
  // Ends early when the simulator ends: the port was taken meanwhile.
  WaitUntil([&] { return !process_.Running() || (answers = RunCommand(probe) == 0); }, std::chrono::seconds(15),
            std::chrono::milliseconds(100));
  if (answers) {
    port_ = port;
    return true;
  }
  process_.Stop();
  return false;
}

}  // namespace orla::test
