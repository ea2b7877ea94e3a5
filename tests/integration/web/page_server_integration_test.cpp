// The agent's web interface inside the real web server library, on a free
// loopback port: the extension is registered, /KOR/ reaches it, the pages and
// files answer through HTTPS, and shutdown stops serving. Each test runs in a
// process of its own (one server per process).
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <filesystem>
#include <string>

#include "agent/web/page_server.h"
#include "platform/text/string_printf.h"
#include "tests/integration/web/loopback_https.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/file_text.h"
#include "tests/support/free_port.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

using test::Contains;

class PageServerIntegration : public ::testing::Test {
 protected:
  void SetUp() override {
    https_ = {test::FreeLoopbackPort(SOCK_STREAM), dir_.Path()};
    ASSERT_NE(https_.port, 0);
    // The agent hands the web server its endpoint from the settings.
    settings_.HttpsPort(https_.port).HttpsAddress("127.0.0.1");
    std::filesystem::create_directories(dir_.File("KORZEPA/help"));
    test::WriteFile(dir_.File("KORZEPA/default.htm"), "<HTML><BODY>root page</BODY></HTML>");
    test::WriteFile(dir_.File("KORZEPA/menu.js"), "function loadMenus(n) {}\n");
  }

  test::HttpsReply Curl(const std::string& path, const std::string& extra = "") { return https_.Request(path, extra); }

  test::EventLogCapture log_;  // before any server thread starts
  test::ScopedSettings settings_;
  test::TempDir dir_;
  test::LoopbackHttps https_;
};

TEST_F(PageServerIntegration, RegistersAndServesKorUntilShutdown) {
  PageServer* server = PageServer::Instance();
  server->Start(dir_.File("KOR"));
  ASSERT_NE(server->Handle(), 0u);
  EXPECT_EQ(server->RegistrationResult(), 1);
  EXPECT_EQ(log_.Count("ZEPA interface failed to initialize."), 0);

  // The library's home page shows the agent's fragment.
  EXPECT_TRUE(Contains(Curl("/").body, "Monitor and configure tape controllers on the Storage Area Network."));
  // Without a session the root page is left to the library: its login page.
  const test::HttpsReply anonymous = Curl("/KOR/");
  EXPECT_EQ(anonymous.status, 302);
  EXPECT_TRUE(Contains(anonymous.headers, "Location: /zepa/login")) << anonymous.headers;
  // Anyone gets the about page and the discovery document, and the files of
  // the content folder; the list page needs a session.
  EXPECT_EQ(Curl("/KOR/elements.html").status, 302);
  EXPECT_TRUE(Contains(Curl("/KOR/about.htm").body, "Version V2.7.2.13"));
  EXPECT_TRUE(Contains(Curl("/KOR/kor.xml").body, StringPrintf(":%d/KOR/</url>", https_.port)));
  EXPECT_EQ(Curl("/KOR/menu.js").body, "function loadMenus(n) {}\n");
  EXPECT_EQ(Curl("/KOR/KOR.XML").status, 404);

  // Signed in as the administrator: the root page file, the menu bar.
  const std::string password = test::ReadLine(dir_.File("KORZEPD/administrator-password.txt"));
  ASSERT_FALSE(password.empty());
  const std::string jar = dir_.File("jar.txt");
  ASSERT_EQ(https_.LogIn("administrator", password, jar), 303);
  const test::HttpsReply root = Curl("/kor/DEFAULT.HTM", "-b '" + jar + "'");
  EXPECT_EQ(root.status, 200);
  EXPECT_EQ(root.body, "<HTML><BODY>root page</BODY></HTML>");
  const test::HttpsReply list = Curl("/KOR/elements.html", "-b '" + jar + "'");
  EXPECT_TRUE(Contains(list.body, "loadMenus(0);")) << list.body;
  EXPECT_TRUE(Contains(list.headers, "Cache-Control: no-cache"));

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
