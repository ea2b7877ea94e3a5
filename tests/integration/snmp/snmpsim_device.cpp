#include "tests/integration/snmp/snmpsim_device.h"

#include <sys/socket.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/shell_command.h"

namespace orla::test {

bool SnmpsimDevice::Start(const std::string& recording) {
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
  if (geteuid() == 0) {
    argv.push_back("--process-user=nobody");
    argv.push_back("--process-group=nogroup");
  }
  if (!process_.Start(argv[0], {argv.begin() + 1, argv.end()})) return false;
  const std::string probe = "snmpget -v1 -c public -t 0.2 -r 0 127.0.0.1:" +
                            std::to_string(port) + " .1.3.6.1.2.1.1.1.0 >/dev/null 2>&1";
  for (int i = 0; i < 150; ++i) {
    if (!process_.Running()) return false;  // the port was taken meanwhile
    if (RunCommand(probe) == 0) {
      port_ = port;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  process_.Stop();
  return false;
}

}  // namespace orla::test
