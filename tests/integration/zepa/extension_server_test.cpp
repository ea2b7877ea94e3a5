#include "tests/integration/zepa/extension_server_test.h"

#include <sys/socket.h>

#include <cstdio>
#include <sstream>

#include "platform/text/string_printf.h"
#include "tests/support/agent_process.h"
#include "tests/integration/zepa/test_extension.h"
#include "tests/support/file_text.h"
#include "tests/support/free_port.h"

namespace orla::test {

void ExtensionServerTest::TearDown() {
  if (started_) TestExtension::Stop();
}

void ExtensionServerTest::StartServer(const std::string& data, const std::string& content, const std::string& agent) {
  data_ = data;
  // A port free a moment ago may be taken by now: the next one then.
  for (int attempt = 0; attempt < 20 && !started_; ++attempt) {
    port_ = FreeLoopbackPort(SOCK_STREAM);
    started_ = port_ != 0 && TestExtension::Start(data, content, agent, "127.0.0.1", port_);
  }
  ASSERT_TRUE(started_) << "the server did not start";
}

std::string ExtensionServerTest::Origin() const { return StringPrintf("https://localhost:%d", port_); }

CurlReply ExtensionServerTest::Curl(const std::string& path, const std::vector<std::string>& extra) {
  const std::string headers = dir_.File("headers.txt");
  const std::string body = dir_.File("body.bin");
  std::remove(headers.c_str());
  std::remove(body.c_str());
  std::vector<std::string> argv = {"curl", "-sS", "--cacert", Certificate(), "-D", headers, "-o", body, "-w",
                                   "%{http_code} %{content_type}", "--max-time", "30"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  argv.push_back(path.rfind("https://", 0) == 0 ? path : Url(path));
  const AgentProcess::Result run = AgentProcess::Run(argv);
  CurlReply reply;
  std::istringstream out(run.out);
  out >> reply.status;
  std::getline(out, reply.type);
  if (!reply.type.empty() && reply.type[0] == ' ') reply.type.erase(0, 1);
  reply.headers = ReadFile(headers);
  reply.body = ReadFile(body);
  return reply;
}

}  // namespace orla::test
