#pragma once
// Changes the process's runtime settings (AgentSettings::Current) for the
// life of the object and puts the previous ones back. The way tests move the
// agent's ports and sinks in-process; a program a test starts is given its
// settings through its environment instead. Create it before starting
// threads that read the settings.
#include <string>

#include "agent/core/agent_settings.h"

namespace orla::test {

class ScopedSettings {
 public:
  ScopedSettings();
  ~ScopedSettings();
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;

  // Each applies at once; a value the settings refuse fails the test.
  ScopedSettings& HttpsPort(int port);
  ScopedSettings& HttpsAddress(const std::string& address);
  ScopedSettings& SnmpPort(int port);
  ScopedSettings& TrapListen(const std::string& address);
  ScopedSettings& TrapPort(int port);
  ScopedSettings& TrapRefreshInterval(int seconds);
  ScopedSettings& EventLogFile(const std::string& path);

 private:
  AgentSettings previous_;
};

}  // namespace orla::test
