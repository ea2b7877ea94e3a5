// KORAgent run as a process from a program directory, with its web interface
// on a free loopback port: the agent configuration dialog over HTTPS changes
// the polling interval, storage.ini in the agent directory holds it, and the
// agent started again polls at the new interval. Who sees what: every page
// but the discovery document and About needs a session whose user holds a
// right (KORAccess 0 reads nothing, the metrics neither), and only the
// administrator changes anything.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/text/string_printf.h"
#include "tests/integration/web/agent_pages_fixture.h"
#include "tests/support/text_lines.h"
#include "tests/support/shell_command.h"

namespace orla {
namespace {

using test::Contains;

class AgentDialogs : public test::AgentPagesFixture {
 protected:
  void AddUser(const std::string& user, const std::string& rights, const std::string& jar) {
    AgentPagesFixture::AddUser(KORUSERS_PATH, user, rights, jar);
  }
  // The agent configuration page, with the session in `jar`; `form` posted.
  std::string ConfigPage(const std::string& jar, const std::string& form = "") {
    return Page("agent_config.html", jar, form).body;
  }
};

TEST_F(AgentDialogs, IntervalChangedInTheDialogHoldsAfterARestart) {
  Start();
  const std::string admin = dir_.File("admin.jar");
  Login(admin);
  EXPECT_TRUE(Contains(ConfigPage(admin), "<OPTION value=\"5\" SELECTED>5<"));

  const std::string changed = ConfigPage(admin, "polling_interval=7&change=Change+Interval");
  EXPECT_TRUE(Contains(changed, "<OPTION value=\"7\" SELECTED>7<")) << changed;
  EXPECT_EQ(dir_.Read("KOR/storage.ini"), "420\n");
  EXPECT_FALSE(dir_.Exists("storage.ini"));  // not in the program directory

  // Out of range: refused, nothing changes.
  const std::string refused = ConfigPage(admin, "polling_interval=61&change=Change+Interval");
  EXPECT_TRUE(Contains(refused, "The polling interval must be between 1 and 60 minutes.")) << refused;
  EXPECT_EQ(dir_.Read("KOR/storage.ini"), "420\n");

  Stop();
  Start();
  Login(admin);
  EXPECT_TRUE(Contains(ConfigPage(admin), "<OPTION value=\"7\" SELECTED>7<"));
}

TEST_F(AgentDialogs, EveryPageButTheDiscoveryDocumentAndAboutNeedsASession) {
  ASSERT_EQ(::mkdir(dir_.File("KORZEPA").c_str(), 0755), 0);
  dir_.Write("KORZEPA/default.htm", "<HTML><BODY>root page</BODY></HTML>");
  Start();
  const std::string admin = dir_.File("admin.jar");
  Login(admin);
  const std::string reader = dir_.File("reader.jar");
  AddUser("reader", "KORAccess=1", reader);
  const std::string none = dir_.File("none.jar");
  AddUser("none", "KORAccess=0", none);
  const std::string before = dir_.Read("KOR/storage.ini");
  // Each page, and what its change (a POST by a reader) is.
  struct Page {
    const char* path;
    bool anyone;
    const char* change;  // form posted by the reader; empty: the page changes nothing
  };
  const std::vector<Page> pages = {
      {"/KOR/", false, ""},
      {"/KOR/default.htm", false, ""},
      {"/KOR/elements.html", false, ""},
      {"/KOR/add_element.html", false, "element_name=tc09&element_address=127.0.0.9"},
      {"/KOR/delete_element.html?element_name=tc01", false, "element_name=tc01"},
      {"/KOR/rename_element.html?element_name=tc01", false, "element_name=tc01&new_name=tc02"},
      {"/KOR/set_trap_target.html?element_name=tc01", false, "element_name=tc01&yes=Yes"},
      {"/KOR/agent_config.html", false, "polling_interval=7&change=Change+Interval"},
      {"/KOR/WebAgent/Fibre/index.html?device=tc01", false, "x=1"},
      {"/KOR/kor.xml", true, ""},
      {"/KOR/about.htm", true, ""},
  };
  for (const Page& page : pages) {
    SCOPED_TRACE(page.path);
    const test::HttpsReply anonymous = https_.Request(page.path);
    if (page.anyone) {
      EXPECT_EQ(anonymous.status, 200);
    } else {
      // The login page, which comes back to the page asked for.
      EXPECT_EQ(anonymous.status, 302);
      std::string login = "/zepa/login?return=";
      for (const char* c = page.path; *c != '\0'; ++c) {
        login += std::isalnum(static_cast<unsigned char>(*c)) || std::strchr("-._~", *c) ? std::string(1, *c)
                                                                                          : StringPrintf("%%%02X", *c);
      }
      EXPECT_TRUE(Contains(anonymous.headers, "Location: " + login)) << anonymous.headers;
      const std::string jar = dir_.File("back.jar");
      const test::HttpsReply back = https_.Request(
          "/zepa/login", "-c '" + jar + "' " + https_.OriginHeader() +
                             " --data-urlencode user=reader --data-urlencode password=reader-password "
                             "--data-urlencode 'return=" + page.path + "'");
      EXPECT_EQ(back.status, 303);
      EXPECT_TRUE(Contains(back.headers, std::string("Location: ") + page.path + "\r\n")) << back.headers;
      // A script asking without a session gets 401, not the login form.
      const test::HttpsReply script = https_.Request(page.path, "-H 'Sec-Fetch-Mode: cors'");
      EXPECT_EQ(script.status, 401);
      EXPECT_TRUE(Contains(script.body, "\"login\":\"/zepa/login?return=")) << script.body;
    }
    // A reader reads every page as the administrator does (the device page
    // of an unknown device is 404 for both)...
    const test::HttpsReply read = https_.Request(page.path, "-b '" + reader + "'");
    EXPECT_EQ(read.status, https_.Request(page.path, "-b '" + admin + "'").status);
    EXPECT_EQ(read.status, Contains(page.path, "WebAgent") ? 404 : 200) << read.body;
    EXPECT_FALSE(Contains(read.body, "name=password")) << read.body;
    // ...with the content security policy...
    EXPECT_TRUE(Contains(read.headers, "Content-Security-Policy: default-src 'self';")) << read.headers;
    EXPECT_TRUE(Contains(read.headers, "frame-ancestors 'self'; object-src 'none'; base-uri 'self'; "
                                       "form-action 'self'"))
        << read.headers;
    // A user whose right is 0 is signed in but reads nothing.
    const test::HttpsReply refused = https_.Request(page.path, "-b '" + none + "'");
    EXPECT_EQ(refused.status, page.anyone ? 200 : 403) << refused.body;
    // ...and is refused every change.
    if (*page.change != '\0') {
      const test::HttpsReply change = https_.Request(
          page.path, "-b '" + reader + "' " + https_.OriginHeader() + " --data '" + page.change + "'");
      EXPECT_TRUE(Contains(change.body, "as administrator to perform this operation.")) << change.body;
    }
  }
  // Nor the metrics, by session or by basic credentials.
  EXPECT_EQ(https_.Request("/KOR/metrics", "-b '" + none + "'").status, 401);
  EXPECT_EQ(https_.Request("/KOR/metrics", "-u none:none-password").status, 401);
  EXPECT_EQ(https_.Request("/KOR/metrics", "-u reader:reader-password").status, 200);
  EXPECT_EQ(dir_.Read("KOR/storage.ini"), before);
  EXPECT_FALSE(dir_.Exists("KOR/KORAgent.db") && Contains(dir_.Read("KOR/KORAgent.db"), "tc09"));
}

}  // namespace
}  // namespace orla
