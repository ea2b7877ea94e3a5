// The agent's web interface inside the real web server library, on a free
// loopback port: the extension is registered, /KOR/ reaches it, the pages and
// files answer through HTTPS, and shutdown stops serving. Each test runs in a
// process of its own (one server per process).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "agent/web/page_server.h"
#include "platform/text/string_printf.h"
#include "tests/support/free_port.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/file_text.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

struct Reply {
  int status = 0;
  std::string headers;
  std::string body;
};

class PageServerIntegration : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = test::FreeLoopbackPort(SOCK_STREAM);
    ASSERT_NE(port_, 0);
    // The agent hands the web server its endpoint from the settings.
    settings_.HttpsPort(port_).HttpsAddress("127.0.0.1");
    std::filesystem::create_directories(dir_.File("KORZEPA/help"));
    test::WriteFile(dir_.File("KORZEPA/default.htm"), "<HTML><BODY>root page</BODY></HTML>");
    test::WriteFile(dir_.File("KORZEPA/menu.js"), "function loadMenus(n) {}\n");
  }

  Reply Curl(const std::string& path, const std::string& extra = "") {
    const std::string headers = dir_.File("headers.txt");
    const std::string body = dir_.File("body.txt");
    std::remove(headers.c_str());
    std::remove(body.c_str());
    int status = 0;
    const std::string code = test::CommandOutput(
        StringPrintf("curl -sS -k --max-time 30 -D '%s' -o '%s' -w '%%{http_code}' %s 'https://127.0.0.1:%d%s'",
                     headers.c_str(), body.c_str(), extra.c_str(), port_, path.c_str()),
        &status);
    Reply reply;
    reply.status = std::atoi(code.c_str());
    reply.headers = test::ReadFile(headers);
    reply.body = test::ReadFile(body);
    return reply;
  }

  test::EventLogCapture log_;  // before any server thread starts
  test::ScopedSettings settings_;
  test::TempDir dir_;
  int port_ = 0;
};

using test::Contains;

TEST_F(PageServerIntegration, RegistersAndServesKorUntilShutdown) {
  PageServer* server = PageServer::Instance();
  server->Start(dir_.File("KOR"));
  ASSERT_NE(server->Handle(), 0u);
  EXPECT_EQ(server->RegistrationResult(), 1);
  EXPECT_EQ(log_.Count("ZEPA interface failed to initialize."), 0);

  // The library's home page shows the agent's fragment.
  EXPECT_TRUE(Contains(Curl("/").body, "Monitor and configure tape controllers on the Storage Area Network."));
  // Without a session the root page is left to the library: its login page.
  const Reply anonymous = Curl("/KOR/");
  EXPECT_EQ(anonymous.status, 302);
  EXPECT_TRUE(Contains(anonymous.headers, "Location: /zepa/login")) << anonymous.headers;
  // Anyone gets the list page without the menu, the about page and the
  // discovery document; files come from the content folder.
  const Reply list = Curl("/KOR/elements.html");
  EXPECT_EQ(list.status, 200);
  EXPECT_TRUE(Contains(list.body, "loadMenus(-1);")) << list.body;
  EXPECT_TRUE(Contains(list.headers, "Cache-Control: no-cache"));
  EXPECT_TRUE(Contains(Curl("/KOR/about.htm").body, "Version V2.7.2.13"));
  EXPECT_TRUE(Contains(Curl("/KOR/kor.xml").body, StringPrintf(":%d/KOR/</url>", port_)));
  EXPECT_EQ(Curl("/KOR/menu.js").body, "function loadMenus(n) {}\n");
  EXPECT_EQ(Curl("/KOR/KOR.XML").status, 404);

  // Signed in as the administrator: the root page file, the menu bar.
  const std::string password = test::ReadLine(dir_.File("KORZEPD/administrator-password.txt"));
  ASSERT_FALSE(password.empty());
  const std::string jar = dir_.File("jar.txt");
  const Reply login = Curl("/zepa/login", StringPrintf("-c '%s' -H 'Origin: https://127.0.0.1:%d' "
                                                       "--data-urlencode user=administrator --data-urlencode "
                                                       "'password=%s' --data-urlencode return=/KOR/",
                                                       jar.c_str(), port_, password.c_str()));
  ASSERT_EQ(login.status, 303) << login.body;
  const Reply root = Curl("/kor/DEFAULT.HTM", "-b '" + jar + "'");
  EXPECT_EQ(root.status, 200);
  EXPECT_EQ(root.body, "<HTML><BODY>root page</BODY></HTML>");
  EXPECT_TRUE(Contains(Curl("/KOR/elements.html", "-b '" + jar + "'").body, "loadMenus(0);"));

  server->Shutdown();
  EXPECT_EQ(server->Handle(), 0u);
  server->Shutdown();  // once only: the second call does nothing
  EXPECT_EQ(Curl("/KOR/").status, 0);  // nothing listens any more
}

TEST_F(PageServerIntegration, AServerThatCannotStartIsLoggedAndLeavesNoHandle) {
  // The data directory must be an absolute path: the library refuses this one.
  PageServer server;
  server.Start("relative/KOR");
  EXPECT_EQ(server.Handle(), 0u);
  EXPECT_EQ(server.RegistrationResult(), 0);
  EXPECT_TRUE(log_.WaitFor("CRITICAL: ZEPA interface failed to initialize."));
  server.Shutdown();
}

}  // namespace
}  // namespace orla
