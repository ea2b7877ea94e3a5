// The agent configuration dialog: the destination list and interval choice
// it shows, remove, add (duplicates by address, entries kept as typed) and
// the interval change, with client.ini and storage.ini after each.
#include "agent/web/agent_config_page.h"

#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "agent/alarms/alert_pusher.h"
#include "tests/support/wait_until.h"
#include "tests/unit/web/dialog_fixture.h"

namespace orla::test {
namespace {

class AgentConfigPageTest : public DialogFixture {
 protected:
  void Destinations(const std::string& contents) {
    WriteAgentFile("client.ini", contents);
    destinations_ = std::make_unique<TrapDestinationList>(dir_.File("KOR"));
    destinations_->Load();
    TrapDestinationList::SetInstance(destinations_.get());
  }
  // Every refusal's OK returns to this page.
  void ExpectRefused(const std::string& body, const std::string& message) {
    ExpectErrors<AgentConfigPage>({{body, message, "agent_config.html", false}});
  }
  static std::string Selected(int minutes) {
    return "<OPTION value=\"" + std::to_string(minutes) + "\" SELECTED>" + std::to_string(minutes) + "<";
  }
};

TEST_F(AgentConfigPageTest, ShowsDestinationsAsTypedAndTheIntervalInMinutes) {
  Destinations("# managers\n\nmgr<1>\n!old\n10.1.1.1\n");
  const std::string body = Get<AgentConfigPage>();
  EXPECT_TRUE(Contains(body, "<SELECT name=\"client_address\" size=4><OPTION value=\"mgr&lt;1&gt;\">mgr&lt;1&gt;"
                             "<OPTION value=\"10.1.1.1\">10.1.1.1</SELECT>"));
  EXPECT_TRUE(Contains(body, Selected(5)));

  struct IntervalCase {
    int seconds;
    int selected;  // 0: none
  };
  for (const IntervalCase c : std::vector<IntervalCase>{{300, 5}, {90, 1}, {3600, 60}, {3659, 60}, {30, 0},
                                                       {3660, 0}}) {
    registry_->SetPollingInterval(c.seconds);
    const std::string page = Get<AgentConfigPage>();
    EXPECT_EQ(Contains(page, " SELECTED>"), c.selected != 0) << c.seconds;
    if (c.selected != 0) {
      EXPECT_TRUE(Contains(page, Selected(c.selected))) << c.seconds;
    }
    EXPECT_TRUE(Contains(page, "<OPTION value=\"1\"")) << c.seconds;
    EXPECT_TRUE(Contains(page, "<OPTION value=\"60\"")) << c.seconds;
    EXPECT_FALSE(Contains(page, "<OPTION value=\"61\"")) << c.seconds;
  }
}

// A reader or an operator is offered nothing to change: the same settings
// as text, escaped; the administrator's page is the form.
TEST_F(AgentConfigPageTest, AUserWithoutTheAdministratorRightReadsTheSettingsAsText) {
  Destinations("mgr<1>\n10.1.1.1\n");
  struct Case {
    uint32_t rights;
    int seconds;
    bool form;
    const char* interval;
  };
  for (const Case& c : {Case{1, 300, false, "<SPAN id=polling_interval>5</SPAN> minutes."},
                        Case{4, 60, false, "<SPAN id=polling_interval>1</SPAN> minute."},
                        Case{5, 90, false, "<SPAN id=polling_interval>90</SPAN> seconds."},
                        Case{6, 300, true, nullptr}}) {
    registry_->SetPollingInterval(c.seconds);
    const std::string page = Run<AgentConfigPage>("GET", "", nullptr, c.rights);
    EXPECT_EQ(Contains(page, "<FORM"), c.form) << c.rights;
    EXPECT_EQ(Contains(page, "<INPUT type=submit"), c.form) << c.rights;
    EXPECT_EQ(Contains(page, "<SELECT"), c.form) << c.rights;
    if (c.form) continue;
    EXPECT_TRUE(Contains(page, "<UL id=trap_hosts class=read-only-list><LI>mgr&lt;1&gt;</LI><LI>10.1.1.1</LI></UL>"))
        << page;
    EXPECT_TRUE(Contains(page, c.interval)) << page;
    EXPECT_TRUE(Contains(page, "value=\"Close\"")) << page;
  }
  Destinations("");
  EXPECT_TRUE(Contains(Run<AgentConfigPage>("GET", "", nullptr, 1), "<P id=trap_hosts>None.</P>"));
}

TEST_F(AgentConfigPageTest, RemoveTakesTheFirstEqualEntryAndRewritesClientIni) {
  Destinations("# managers\nmgr1\n10.1.1.1\nmgr1\n");
  ExpectRefused("remove=Remove+Address", "Required field not found in data.");
  EXPECT_EQ(AgentFile("client.ini"), "# managers\nmgr1\n10.1.1.1\nmgr1\n");

  const std::string body = Post<AgentConfigPage>("remove=Remove+Address&client_address=mgr1");
  EXPECT_TRUE(Contains(body, "<TITLE>AgentConfiguration</TITLE>"));
  EXPECT_TRUE(Contains(body, "<OPTION value=\"10.1.1.1\">10.1.1.1<OPTION value=\"mgr1\">mgr1</SELECT>"));
  EXPECT_EQ(AgentFile("client.ini"), "# managers\n10.1.1.1\nmgr1\n");
  // "remove" wins over the other buttons.
  Post<AgentConfigPage>("client_address=mgr1&remove=Remove+Address&add=Add+Address&new_address=x");
  EXPECT_EQ(AgentFile("client.ini"), "# managers\n10.1.1.1\n");
}

TEST_F(AgentConfigPageTest, AddRefusesBadTextsAndHostsAlreadyListedByAddress) {
  Destinations("127.0.0.1\nunresolvable.invalid\n");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"add=Add+Address", "Required field not found in data."},
      {"add=Add+Address&new_address=", "Required field not found in data."},  // empty and last: absent
      {"new_address=&add=Add+Address", "Bad name entered."},
      {"new_address=localhost+&add=Add+Address", "Bad name entered."},
      {"new_address=local%20host&add=Add+Address", "Bad name entered."},
      {"new_address=host%0Aname&add=Add+Address", "Bad name entered."},  // would split its client.ini line
      {"new_address=no.such.host.invalid&add=Add+Address", "Unable to verify client address."},
      // Listed in dotted form: the host name is the same host.
      {"new_address=localhost&add=Add+Address",
       "The specified host is already in the list of clients.  Please enter a unique host."},
      {"new_address=127.0.0.1&add=Add+Address",
       "The specified host is already in the list of clients.  Please enter a unique host."},
  };
  for (const auto& [body, message] : cases) ExpectRefused(body, message);
  EXPECT_EQ(AgentFile("client.ini"), "127.0.0.1\nunresolvable.invalid\n");
}

TEST_F(AgentConfigPageTest, AddStoresTheTextAsTyped) {
  Destinations("# managers\n10.1.1.1\n");
  const std::string body = Post<AgentConfigPage>("new_address=localhost&add=Add+Address");
  EXPECT_TRUE(Contains(body, "<OPTION value=\"10.1.1.1\">10.1.1.1<OPTION value=\"localhost\">localhost</SELECT>"));
  EXPECT_EQ(AgentFile("client.ini"), "# managers\n10.1.1.1\nlocalhost\n");
}

TEST_F(AgentConfigPageTest, TwoAdministratorsAddingOneHostAtOnceAddItOnce) {
  // Both start together; the listed hosts take their look-ups between the
  // check and the add.
  std::string listed;
  for (int i = 1; i <= 30; ++i) listed += "10.0.0." + std::to_string(i) + "\n";
  Destinations(listed);
  for (int round = 0; round < 50; ++round) {
    std::latch start(2);
    std::vector<std::thread> admins;
    for (const char* typed : {"localhost", "127.0.0.1"}) {
      admins.emplace_back([this, &start, typed] {
        start.arrive_and_wait();
        Post<AgentConfigPage>(std::string("add=Add+Address&new_address=") + typed);
      });
    }
    for (auto& admin : admins) admin.join();
    const std::string added = AgentFile("client.ini").substr(listed.size());
    ASSERT_TRUE(added == "localhost\n" || added == "127.0.0.1\n") << "round " << round << ": " << added;
    Post<AgentConfigPage>("remove=Remove+Address&client_address=" + added.substr(0, added.size() - 1));
  }
}

TEST_F(AgentConfigPageTest, IntervalChangeRewritesStorageIniInTheAgentDirectory) {
  AddElement("tc01", "10.9.0.1");
  const std::string body = Post<AgentConfigPage>("polling_interval=60&change=Change+Interval");
  EXPECT_TRUE(Contains(body, Selected(60)));
  EXPECT_EQ(AgentFile("storage.ini"), "3600\n");
  EXPECT_FALSE(dir_.Exists("storage.ini"));  // not in the program directory
  EXPECT_EQ(registry_->PollingInterval(), 3600);

  Post<AgentConfigPage>("polling_interval=1&change=Change+Interval");
  EXPECT_EQ(AgentFile("storage.ini"), "60\n");
  Post<AgentConfigPage>("polling_interval=7min&change=Change+Interval");  // read as atoi reads
  EXPECT_EQ(AgentFile("storage.ini"), "420\n");
}

TEST_F(AgentConfigPageTest, IntervalOutsideTheChoicesChangesNothing) {
  for (const char* minutes : {"0", "61", "-5", "abc", "", "99999999999999999999", "4294967297"}) {
    ExpectRefused(std::string("polling_interval=") + minutes + "&change=Change+Interval",
                  "The polling interval must be between 1 and 60 minutes.");
  }
  EXPECT_EQ(AgentFile("storage.ini"), "300\n");
  EXPECT_EQ(registry_->PollingInterval(), 300);
}

TEST_F(AgentConfigPageTest, UnknownButtonIsUnexpectedData) {
  for (const char* body :
       {"change=Change+Interval", "polling_interval=5", "x=1", "change=Change+Interval&polling_interval="}) {
    ExpectRefused(body, "Unexpected data returned by web browser");
  }
}

// Our section after the form: the Alertmanagers as the pusher read
// alerting.conf, escaped, with the files' paths but never a secret, and the
// file's bad lines; no section while the file names none.
TEST_F(AgentConfigPageTest, ShowsTheAlertmanagersWithoutSecrets) {
  EXPECT_FALSE(Contains(Get<AgentConfigPage>(), "id=alerting"));
  WriteAgentFile("token", "s3cret-token\n");
  WriteAgentFile("alerting.conf", "alertmanager http://127.0.0.1:1/<a>\nbearer-token-file " + dir_.File("KOR/token") +
                                      "\nreceiver mail\n");
  AlertPusher pusher(dir_.File("KOR/alerting.conf"), [] { return std::vector<Alarm>(); }, AlertPusher::Options());
  pusher.Start();
  ASSERT_TRUE(WaitUntil([&pusher] { return !pusher.ConfigErrors().empty(); }));
  pusher.Stop();
  AlertPusher::SetInstance(&pusher);
  for (const std::string& page : {Get<AgentConfigPage>(), Run<AgentConfigPage>("GET", "", nullptr, 1)}) {
    EXPECT_TRUE(Contains(page, "<LI>http://127.0.0.1:1/&lt;a&gt; (bearer token from " + dir_.File("KOR/token") +
                                   ")</LI>"));
    EXPECT_TRUE(Contains(page, "<LI>line 3: unknown setting &quot;receiver&quot;</LI>"));
    EXPECT_FALSE(Contains(page, "s3cret"));
  }
  AlertPusher::SetInstance(nullptr);
}

}  // namespace
}  // namespace orla::test
