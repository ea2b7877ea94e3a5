#include "tests/support/scoped_settings.h"

#include <gtest/gtest.h>

#include <functional>

namespace orla::test {

namespace {

void Change(const std::function<std::string(AgentSettings&)>& change) {
  AgentSettings settings = AgentSettings::Current();
  const std::string error = change(settings);
  if (!error.empty()) {
    ADD_FAILURE() << error;
    return;
  }
  AgentSettings::SetCurrent(settings);
}

}  // namespace

ScopedSettings::ScopedSettings() : previous_(AgentSettings::Current()) {}

ScopedSettings::~ScopedSettings() { AgentSettings::SetCurrent(previous_); }

ScopedSettings& ScopedSettings::HttpsPort(int port) {
  Change([port](AgentSettings& s) { return s.SetHttpsPort(port); });
  return *this;
}

ScopedSettings& ScopedSettings::HttpsAddress(const std::string& address) {
  Change([&address](AgentSettings& s) {
    s.SetHttpsAddress(address);
    return std::string();
  });
  return *this;
}

ScopedSettings& ScopedSettings::SnmpPort(int port) {
  Change([port](AgentSettings& s) { return s.SetSnmpPort(port); });
  return *this;
}

ScopedSettings& ScopedSettings::TrapListen(const std::string& address) {
  Change([&address](AgentSettings& s) { return s.SetTrapListen(address); });
  return *this;
}

ScopedSettings& ScopedSettings::TrapPort(int port) {
  Change([port](AgentSettings& s) { return s.SetTrapPort(port); });
  return *this;
}

ScopedSettings& ScopedSettings::TrapRefreshInterval(int seconds) {
  Change([seconds](AgentSettings& s) { return s.SetTrapRefreshInterval(seconds); });
  return *this;
}

ScopedSettings& ScopedSettings::EventLogFile(const std::string& path) {
  Change([&path](AgentSettings& s) {
    s.SetEventLogFile(path);
    return std::string();
  });
  return *this;
}

}  // namespace orla::test
