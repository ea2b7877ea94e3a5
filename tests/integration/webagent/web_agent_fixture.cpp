#include "tests/integration/webagent/web_agent_fixture.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <filesystem>

#include "agent/core/orla_exception.h"
#include "agent/web/page_server.h"
#include "platform/library/dynamic_library.h"
#include "platform/text/string_printf.h"
#include "platform/zepa/zepa.h"
#include "tests/support/file_text.h"
#include "tests/support/free_port.h"
#include "tests/support/shell_command.h"
#include "tests/support/text_lines.h"

namespace orla::test {

void WebAgentFixture::SetUp() {
  SimulatorFixture::SetUp();
  if (HasFatalFailure()) return;
  https_ = {FreeLoopbackPort(SOCK_STREAM), dir_.Path(), "127.0.0.2"};
  ASSERT_NE(https_.port, 0);
  settings_.HttpsPort(https_.port).HttpsAddress(https_.host);
  namespace fs = std::filesystem;
  fs::create_directories(dir_.File("KORZEPA"));
  fs::create_directories(dir_.File("KORZEPD/extensions"));
  for (const std::string& module : modules_) {
    fs::copy_file(std::string(KOR_BINARY_DIR) + "/extensions/" + module, dir_.File("KORZEPD/extensions/" + module));
  }
  registry_ = Loaded();
  // Code 6: the devices do not send their traps here yet; they are kept.
  for (const std::string& name : elements_) {
    try {
      registry_->AddElement(name, Address(name), 300);
    } catch (OrlaException* e) {
      std::unique_ptr<OrlaException> owned(e);
      ASSERT_EQ(e->Code(), 6) << e->Message();
    }
  }
  ElementRegistry::SetInstance(registry_.get());

  PageServer* server = PageServer::Instance();
  server->Start(AgentLayout("", dir_.File("KOR")));
  ASSERT_NE(server->Handle(), 0u);
  // The server has loaded each module from its extensions/ folder: its
  // record's root is therefore taken.
  for (const std::string& module : modules_) {
    const std::string file = dir_.File("KORZEPD/extensions/" + module);
    EXPECT_EQ(log_.Count("The web server loaded the extension module " + file + "."), 1);
    std::string error;
    std::unique_ptr<DynamicLibrary> library = DynamicLibrary::Open(file, &error);
    ASSERT_NE(library, nullptr) << error;
    auto fill = reinterpret_cast<PFN_GETEXTENSIONRECORD>(library->Symbol("GetExtensionRecord", &error));
    ASSERT_NE(fill, nullptr) << error;
    ExtensionRecord record{};
    ASSERT_EQ(fill(&record), 1);
    EXPECT_EQ(record.dwSize, sizeof(ExtensionRecord));
    EXPECT_EQ(ZEPARegisterIsapiExtension(server->Handle(), &record), 0) << module << " registered twice";
  }
}

void WebAgentFixture::TearDown() {
  PageServer::Instance()->Shutdown();
  ElementRegistry::SetInstance(nullptr);
  registry_.reset();
  SimulatorFixture::TearDown();
}

HttpsReply WebAgentFixture::Curl(const std::string& path, const std::string& extra) {
  return https_.Request(path, session_.empty() ? extra : "-b '" + session_ + "' " + extra);
}

void WebAgentFixture::LogIn() {
  session_ = dir_.File("jar.txt");
  ASSERT_EQ(https_.LogIn("administrator", ReadLine(dir_.File("KORZEPD/administrator-password.txt")), session_), 303);
}

std::string WebAgentFixture::Page(const std::string& page, const std::string& device) const {
  return StringPrintf("/KOR/WebAgent/%s?device=%s&addr=%s", page.c_str(), device.c_str(), Address(device).c_str());
}

int WebAgentFixture::SimulatorRequests() {
  const std::string log = ReadFile(dir_.File("sim/snmpsimd.log"));
  int count = 0;
  for (size_t at = log.find("Request var-binds"); at != std::string::npos; at = log.find("Request var-binds", at + 1)) {
    ++count;
  }
  return count;
}

std::vector<std::string> WebAgentFixture::ViewAtOnce(const std::string& path, int viewers) {
  std::string urls;
  for (int i = 0; i < viewers; ++i) {
    urls += StringPrintf(" -o /dev/null 'https://%s:%d%s'", https_.host.c_str(), https_.port, path.c_str());
  }
  return Lines(CommandOutput(StringPrintf("curl -sk -b '%s' --max-time 60 --parallel --parallel-immediate "
                                          "--parallel-max %d -w '%%{http_code} %%{size_download}\\n'%s",
                                          session_.c_str(), viewers, urls.c_str())));
}

}  // namespace orla::test
