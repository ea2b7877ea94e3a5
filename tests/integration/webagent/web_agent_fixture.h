#pragma once
// The device web agent modules behind the agent's pass-through
// (/KOR/WebAgent/) in the real web server library, with simulated devices:
// the modules named are copied into the data directory's extensions/
// folder and loaded by the server, the elements named are managed, and
// the server is bound to 127.0.0.2, an address "localhost" does not name,
// so every page also shows that the pass-through calls the address the
// server listens on. One server per process: one test per executable.
#include <memory>
#include <string>
#include <vector>

#include "agent/devices/element_registry.h"
#include "tests/integration/devices/simulator_fixture.h"
#include "tests/integration/web/loopback_https.h"
#include "tests/support/scoped_settings.h"

namespace orla::test {

class WebAgentFixture : public SimulatorFixture {
 protected:
  // `modules`: file names in <build>/extensions/ ("famib_webagent.so");
  // `elements`: simulated devices to manage.
  WebAgentFixture(int firstHost, std::vector<std::string> modules, std::vector<std::string> elements)
      : SimulatorFixture(firstHost), modules_(std::move(modules)), elements_(std::move(elements)) {}

  void SetUp() override;
  void TearDown() override;

  // With the session of the last LogIn: the device pages need one.
  HttpsReply Curl(const std::string& path, const std::string& extra = "");
  // Signs the administrator in for the requests that follow.
  void LogIn();
  // "/KOR/WebAgent/<page>?device=<device>&addr=<its address>".
  std::string Page(const std::string& page, const std::string& device) const;
  // How many SNMP requests the simulated devices have answered so far.
  int SimulatorRequests();
  // `viewers` requests for `path` at once: the status and size of each answer.
  std::vector<std::string> ViewAtOnce(const std::string& path, int viewers);

  ScopedSettings settings_;
  std::unique_ptr<ElementRegistry> registry_;
  LoopbackHttps https_;
  std::string session_;

 private:
  std::vector<std::string> modules_;
  std::vector<std::string> elements_;
};

}  // namespace orla::test
