// The remove and rename dialogs: their name lists, the checks in order with
// their messages, OK targets and refresh flags, the element file after each
// change; and the refusal of every dialog's POST to a user without the
// administrator right.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agent/core/audit_trail.h"
#include "agent/core/orla_exception.h"
#include "agent/web/add_element_page.h"
#include "agent/web/agent_config_page.h"
#include "agent/web/remove_element_page.h"
#include "agent/web/rename_element_page.h"
#include "agent/web/trap_target_page.h"
#include "tests/unit/web/dialog_fixture.h"

namespace orla::test {
namespace {

class ElementDialogsTest : public DialogFixture {
 protected:
  void AddTwo() {
    AddElement("tc01", "10.9.0.1");
    AddElement("a&b", "10.9.0.2");
  }
  // Posts a body with given rights to the page `Page`; the page's answer.
  using Poster = std::function<std::string(const std::string&, uint32_t)>;
  template <typename Page>
  Poster PostTo() {
    return [this](const std::string& body, uint32_t rights) { return Post<Page>(body, rights); };
  }
};

TEST_F(ElementDialogsTest, ListsOfferEveryNameInRegistryOrderEscaped) {
  EXPECT_TRUE(Contains(Get<RemoveElementPage>(), "<SELECT name=\"element_name\" size=5></SELECT>"));
  EXPECT_TRUE(Contains(Get<RenameElementPage>(), "<SELECT name=\"element_name\" size=5></SELECT><P>"));

  AddTwo();
  const int polls = UpdateCalls();
  // No element is preselected, also on the way back from an error page.
  const char* options =
      "<SELECT name=\"element_name\" size=5><OPTION value=\"tc01\">tc01"
      "<OPTION value=\"a&amp;b\">a&amp;b</SELECT>";
  for (const std::string& page : {Get<RemoveElementPage>(), Get<RenameElementPage>(),
                                  Get<RenameElementPage>("element_name=tc01")}) {
    EXPECT_TRUE(Contains(page, options)) << page;
  }
  EXPECT_EQ(UpdateCalls(), polls);  // listing the names polls no device
}

TEST_F(ElementDialogsTest, RemoveTakesTheElementOutOfTheFile) {
  AddTwo();
  EXPECT_TRUE(IsSuccess(Post<RemoveElementPage>("element_name=tc01&ok=Remove"),
                        "The tape controller has been removed."));
  EXPECT_EQ(AgentFile("KORAgent.db"), "a&b|10.9.0.2\n");
  EXPECT_TRUE(IsSuccess(Post<RemoveElementPage>("element_name=a%26b&ok=Remove"),
                        "The tape controller has been removed."));
  EXPECT_EQ(AgentFile("KORAgent.db"), "");
}

TEST_F(ElementDialogsTest, RemoveRefusals) {
  AddElement("tc01", "10.9.0.1");
  ExpectErrors<RemoveElementPage>({
          {"ok=Remove", "No tape controller specified.", "", false},
          // Removed meanwhile by someone else: OK reloads the list.
          {"element_name=gone&ok=Remove", "The tape controller specified does not exist.", "", true},
  });
  EXPECT_EQ(registry_->ElementCount(), 1);
}

TEST_F(ElementDialogsTest, RenameChecksInOrder) {
  AddTwo();
  const char* back = "rename_element.html?element_name=tc01";
  ExpectErrors<RenameElementPage>({
          {"element_name=tc01", "Bad data format returned by form.", "", false},
          {"new_name=tc09", "Bad data format returned by form.", "", false},
          // The same name is refused before any length check.
          {"element_name=tc01&new_name=tc01", "Please enter a new name for the tape controller.", back, false},
          // A form sent without a new name: the length message, not a form fault.
          {"element_name=tc01&new_name=", "The name must be between 1 and 8 characters long.", back, false},
          {"element_name=tc01&new_name=&x=1", "The name must be between 1 and 8 characters long.", back, false},
          {"element_name=tc01&new_name=abcdefghi", "The name must be between 1 and 8 characters long.", back, false},
          {"element_name=tc01&new_name=a+b", kForbiddenCharacters, back, false},
          {"element_name=tc01&new_name=a%7Cb", kForbiddenCharacters, back, false},
          {"element_name=tc01&new_name=a%0Db", kForbiddenCharacters, back, false},
          // The registry's refusals reload the list behind the dialog.
          {"element_name=tc01&new_name=a%26b", "The name specified is already in use.  Please enter a new name.", back,
           true},
          {"element_name=gone&new_name=tc09", "Either the tape controller specified does not exist.", "", true},
  });
  EXPECT_EQ(AgentFile("KORAgent.db"), "tc01|10.9.0.1\na&b|10.9.0.2\n");
}

TEST_F(ElementDialogsTest, RenameStoresTheNewName) {
  AddTwo();
  EXPECT_TRUE(IsSuccess(Post<RenameElementPage>("element_name=a%26b&new_name=tc02"),
                        "The tape controller has been renamed."));
  EXPECT_EQ(AgentFile("KORAgent.db"), "tc01|10.9.0.1\ntc02|10.9.0.2\n");
}

TEST_F(ElementDialogsTest, RenameLocationCannotBreakOutOfTheScript) {
  const std::string name = "x%27%29%3Balert%281%29%3B%2F%2F";  // x');alert(1);//
  const std::string body = Post<RenameElementPage>("element_name=" + name + "&new_name=" + name);
  EXPECT_TRUE(Contains(body, "Please enter a new name for the tape controller."));
  EXPECT_FALSE(Contains(body, "x');alert(1)"));
  const std::string location = ErrorOf(body).location;
  EXPECT_EQ(location.find('\''), std::string::npos) << location;
  EXPECT_EQ(location.find('"'), std::string::npos) << location;
}

// A web server run without the agent's objects answers with an error, not
// a crash.
TEST_F(ElementDialogsTest, PagesWithoutTheAgentObjectsFailCleanly) {
  ElementRegistry::SetInstance(nullptr);
  TrapDestinationList::SetInstance(nullptr);
  EXPECT_EQ(ErrorOf(Post<RemoveElementPage>("element_name=tc01")).message,
            "The tape controller specified does not exist.");
  RecordingRequest request("GET", "/KOR/agent_config.html");
  AgentConfigPage page(request.Ecb());
  try {
    page.Process();
    ADD_FAILURE() << "no exception";
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    EXPECT_EQ(e->Code(), 3);
  }
}

// Every POST of every dialog, whatever the form holds, gives a user without
// the administrator right the log-in message with OK closing the window,
// and changes nothing.
TEST_F(ElementDialogsTest, EveryPostNeedsTheAdministratorRight) {
  AddElement("tc01", "10.9.0.1");
  WriteAgentFile("client.ini", "10.1.1.1\n");
  destinations_->Load();
  const std::string db = AgentFile("KORAgent.db");
  struct Dialog {
    const char* body;
    Poster post;
  };
  const std::vector<Dialog> dialogs = {
      {"element_address=10.9.0.2&element_name=tc02", PostTo<AddElementPage>()},
      {"element_name=tc01&yes=Yes", PostTo<TrapTargetPage>()},
      {"element_name=tc01&no=No", PostTo<TrapTargetPage>()},
      {"element_name=tc01&ok=Remove", PostTo<RemoveElementPage>()},
      {"element_name=tc01&new_name=tc09", PostTo<RenameElementPage>()},
      {"client_address=10.1.1.1&remove=Remove+Address", PostTo<AgentConfigPage>()},
      {"new_address=localhost&add=Add+Address", PostTo<AgentConfigPage>()},
      {"polling_interval=7&change=Change+Interval", PostTo<AgentConfigPage>()},
  };
  for (const uint32_t rights : {0u, 1u, 0x80000000u, 0xfffffffdu}) {
    for (const Dialog& d : dialogs) {
      const ErrorPage page = ErrorOf(d.post(d.body, rights));
      EXPECT_EQ(page.message, kLogIn) << d.body << " rights " << rights;
      EXPECT_EQ(page.location, "") << d.body;
      EXPECT_FALSE(page.refresh) << d.body;
    }
  }
  EXPECT_EQ(AgentFile("KORAgent.db"), db);
  EXPECT_EQ(AgentFile("client.ini"), "10.1.1.1\n");
  EXPECT_EQ(AgentFile("storage.ini"), "300\n");
  EXPECT_EQ(registry_->PollingInterval(), 300);
  EXPECT_EQ(Control().setTrapReceiverCalls, 0);
  EXPECT_EQ(log_.Count(AuditTrail::kTextStart), 0);  // a refused change leaves no audit event
}

// Every change made through a dialog is one audit event naming the user, the
// request's address and what changed.
TEST_F(ElementDialogsTest, EveryChangeIsAnAuditEventWithUserAndAddress) {
  AddElement("tc01", "10.9.0.1");
  WriteAgentFile("client.ini", "10.1.1.1\n");
  destinations_->Load();
  struct Change {
    const char* body;
    Poster post;
    const char* what;
  };
  const std::vector<Change> changes = {
      {"element_address=10.9.0.2&element_name=tc02", PostTo<AddElementPage>(),
       "added the device tc02 (10.9.0.2)."},
      {"element_name=tc02&yes=Yes", PostTo<TrapTargetPage>(),
       "set the trap destination of the device tc02 to this agent."},
      {"element_name=tc01&new_name=tc09", PostTo<RenameElementPage>(), "renamed the device tc01 to tc09."},
      {"element_name=tc09&ok=Remove", PostTo<RemoveElementPage>(), "removed the device tc09."},
      {"client_address=10.1.1.1&remove=Remove+Address", PostTo<AgentConfigPage>(),
       "removed the trap destination 10.1.1.1."},
      {"new_address=localhost&add=Add+Address", PostTo<AgentConfigPage>(), "added the trap destination localhost."},
      {"polling_interval=7&change=Change+Interval", PostTo<AgentConfigPage>(),
       "changed the polling interval from 5 to 7 minutes."},
  };
  for (const Change& c : changes) {
    c.post(c.body, kAdministrator);
    EXPECT_EQ(log_.Count(std::string("INFO: Change by ops from 192.0.2.7: ") + c.what), 1) << c.body;
  }
  EXPECT_EQ(log_.Count(AuditTrail::kTextStart), static_cast<int>(changes.size()));
}

}  // namespace
}  // namespace orla::test
