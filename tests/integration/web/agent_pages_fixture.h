#pragma once
// KORAgent run as a process from a program directory (KORAgent linked to the
// built program, KORAgent.cfg, the agent directory KOR with storage.ini at
// 300 seconds), its web interface on a free loopback port, and curl as the
// administrator's browser: started, stopped, killed, signed in, pages read
// and forms posted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/integration/web/loopback_https.h"
#include "tests/support/agent_process.h"
#include "tests/support/temp_dir.h"

namespace orla::test {

class AgentPagesFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the agent from another working directory, `env` added to its
  // environment, and waits until it reports running and its pages answer.
  void Start(const std::vector<std::string>& env = {});
  // Stops it with SIGTERM; it must end with exit code 0.
  void Stop();
  // Ends it at once with SIGKILL, whatever it is doing.
  void Kill();

  // Signs in as the administrator (the password the first start wrote); the
  // session goes into `jar`.
  void Login(const std::string& jar);
  // Adds `user` with `rights` ("KORAccess=1") through the users tool at
  // `korusers` (the agent reads the users file on every log-in) and signs
  // it in; the session goes into `jar`.
  void AddUser(const char* korusers, const std::string& user, const std::string& rights, const std::string& jar);
  // The page at `path` (below /KOR/) with the session in `jar`; `form`, when
  // given, posted from this server's own pages.
  HttpsReply Page(const std::string& path, const std::string& jar, const std::string& form = "");

  TempDir dir_;
  AgentProcess agent_;
  LoopbackHttps https_;
  int trapPort_ = 0;
  bool running_ = false;
};

}  // namespace orla::test
