// The add dialog and the trap-target question it hands over to: the checks
// in their order with their messages and OK targets, the registry's answers,
// the form filled from a query, and escaping of what is written back.
#include "agent/web/add_element_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "agent/web/trap_target_page.h"
#include "tests/support/manual_clock.h"
#include "tests/unit/web/dialog_fixture.h"

namespace orla::test {
namespace {

class AddElementPageTest : public DialogFixture {
 protected:
  // Outlives the registry, which TearDown destroys.
  ManualClock clock_{1000000};
};

TEST_F(AddElementPageTest, ChecksRunInOrderAndLeadBackToTheEmptyForm) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"element_address=10.9.0.1", "One or more fields have not been specified."},
      {"element_name=tc01", "One or more fields have not been specified."},
      // An empty text field sent last is no field at all.
      {"element_address=10.9.0.1&element_name=", "One or more fields have not been specified."},
      // The name is checked before the address is looked at.
      {"element_address=&element_name=abcdefghi",
       "The tape controller name must be between 1 and 8 characters in length."},
      {"element_address=10.9.0.1&element_name=&x=1",
       "The tape controller name must be between 1 and 8 characters in length."},
      {"element_address=&element_name=tc+01", kForbiddenCharacters},
      {"element_address=10.9.0.1&element_name=tc%3B01", kForbiddenCharacters},
      {"element_address=10.9.0.1&element_name=tc%7C01", kForbiddenCharacters},
      {"element_address=10.9.0.1&element_name=tc%2B01", kForbiddenCharacters},
      {"element_address=10.9.0.1&element_name=tc%2701", kForbiddenCharacters},
      // A line break would split the element file's line.
      {"element_address=10.9.0.1&element_name=tc%0A01", kForbiddenCharacters},
      {"element_address=&element_name=tc01", "No address has been specified."},
      {"element_address=no.such.host.invalid&element_name=tc01", "The specified address could not be verified."},
  };
  // Every check's OK leads back to the empty form; nothing reloads.
  for (const auto& [body, message] : cases) ExpectErrors<AddElementPage>({{body, message, "add_element.html", false}});
  EXPECT_EQ(registry_->ElementCount(), 0);
  EXPECT_FALSE(dir_.Exists("KOR/KORAgent.db"));
}

TEST_F(AddElementPageTest, AddedElementGivesTheEmptyFormAndIsStoredDotted) {
  // A host name is stored as its dotted address; "&" (sent as %26) is a
  // permitted character.
  EXPECT_TRUE(IsEmptyAddForm(Post<AddElementPage>("element_address=localhost&element_name=tc%2601")));
  EXPECT_TRUE(IsEmptyAddForm(Post<AddElementPage>("element_address=10.9.0.2&element_name=tc02")));
  EXPECT_EQ(AgentFile("KORAgent.db"), "tc&01|127.0.0.1\ntc02|10.9.0.2\n");
}

TEST_F(AddElementPageTest, RegistryRefusalsShowTheirMessages) {
  AddElement("tc01", "10.9.0.1");
  SetDevice("10.9.0.3", [](FakeDevice& d) { d.check = -1; });
  SetDevice("10.9.0.4", [](FakeDevice& d) { d.recognize = -1; });
  ExpectErrors<AddElementPage>({
      {"element_address=10.9.0.2&element_name=tc01",
       "There is already a tape controller using that name.  Please enter a new name.", "add_element.html", false},
      {"element_address=10.9.0.1&element_name=tc02",
       "The tape controller at the specified address is already being managed.", "add_element.html", false},
      {"element_address=10.9.0.3&element_name=tc03", "The TallSpoonKit community string does not exist.",
       "add_element.html", false},
      {"element_address=10.9.0.4&element_name=tc04", "The specified device is unsupported.", "add_element.html",
       false},
  });
  // Code 4 keeps the element.
  EXPECT_EQ(AgentFile("KORAgent.db"), "tc01|10.9.0.1\ntc03|10.9.0.3\n");
}

TEST_F(AddElementPageTest, DeviceNotSendingTrapsHereTurnsIntoTheQuestion) {
  SetDevice("10.9.0.5", [](FakeDevice& d) { d.check = 0; });
  const std::string body = Post<AddElementPage>("element_address=10.9.0.5&element_name=tc05");
  EXPECT_TRUE(Contains(body, "<TITLE>Reconfigure Tape Controller?</TITLE>"));
  EXPECT_TRUE(Contains(body, "<DIV class=head2>tc05</DIV><P>"));
  EXPECT_TRUE(Contains(body, "<INPUT type=hidden name=element_name value='tc05'>"));
  EXPECT_TRUE(Contains(body, "onLoad=\"document.input_form.yes.focus();\""));
  EXPECT_EQ(AgentFile("KORAgent.db"), "tc05|10.9.0.5\n");  // added all the same
}

TEST_F(AddElementPageTest, AddedElementPollsAtTheConfiguredInterval) {
  // On a clock the test moves: one minute configured, one minute later the
  // new element has been polled.
  registry_->SetClock(&clock_);
  registry_->SetPollingInterval(60);
  EXPECT_TRUE(IsEmptyAddForm(Post<AddElementPage>("element_address=10.9.0.6&element_name=tc06")));
  ASSERT_TRUE(clock_.WaitForWaiters(1));
  clock_.Advance(std::chrono::seconds(60));
  EXPECT_TRUE(WaitFor([](FakePluginControl& c) { return c.updatesByAddress["10.9.0.6"] == 1; }));
}

TEST_F(AddElementPageTest, GetFillsTheFormFromTheQueryEscaped) {
  std::string body = Get<AddElementPage>("element_name=tc01");
  EXPECT_TRUE(Contains(body, "<input type=text maxlength=8 size=20 name=element_name value='tc01'> </TD>"));
  EXPECT_TRUE(Contains(body, "<input type=text maxlength=32 size=20 name=element_address> </TD>"));
  EXPECT_TRUE(Contains(body, "function ResetParent(){}"));  // the list is not reloaded

  body = Get<AddElementPage>("element_address=a%27+onfocus%3D%27x%3C&element_name=%3Cb%3E");
  EXPECT_TRUE(Contains(body, "name=element_address value='a&#39; onfocus=&#39;x&lt;'> </TD>"));
  EXPECT_TRUE(Contains(body, "name=element_name value='&lt;b&gt;'> </TD>"));

  EXPECT_TRUE(Contains(Get<AddElementPage>(), "name=element_name> </TD>"));
}

class TrapTargetPageTest : public DialogFixture {};

TEST_F(TrapTargetPageTest, QuestionNamesTheElementEscaped) {
  const ErrorPage none = ErrorOf(Get<TrapTargetPage>());
  EXPECT_EQ(none.message, "No element specified.");
  EXPECT_EQ(none.location, "");

  const std::string body = Get<TrapTargetPage>("element_name=%3Cb%3E%27");
  EXPECT_TRUE(Contains(body, "<DIV class=head2>&lt;b&gt;&#39;</DIV><P>"));
  EXPECT_TRUE(Contains(body, "<INPUT type=hidden name=element_name value='&lt;b&gt;&#39;'>"));
  EXPECT_FALSE(Contains(body, "<b>"));
}

TEST_F(TrapTargetPageTest, NoLeavesTheDeviceAndYesReconfiguresIt) {
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.check = 0; });
  ErrorOf(Post<AddElementPage>("element_address=10.9.0.1&element_name=tc01"));

  EXPECT_TRUE(IsEmptyAddForm(Post<TrapTargetPage>("element_name=tc01&no=No")));
  EXPECT_EQ(Control().setTrapReceiverCalls, 0);
  EXPECT_TRUE(registry_->IsManaged("10.9.0.1"));

  // Any POST with a name and without "no" reconfigures.
  EXPECT_TRUE(IsEmptyAddForm(Post<TrapTargetPage>("element_name=tc01&yes=Yes")));
  EXPECT_TRUE(IsEmptyAddForm(Post<TrapTargetPage>("element_name=tc01")));
  EXPECT_EQ(Control().setTrapReceiverCalls, 2);
}

TEST_F(TrapTargetPageTest, FailuresCloseTheWindow) {
  AddElement("tc01", "10.9.0.1");
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.throwOnSetTrap = 2002; });
  ExpectErrors<TrapTargetPage>({
      {"yes=Yes", "Bad data format returned by form.", "", false},
      {"element_name=gone&yes=Yes", "The element specified does not exist.", "", false},
      {"element_name=tc01&yes=Yes", "An SNMP Set error has occurred.", "", false},  // a device that refuses
  });
}

}  // namespace
}  // namespace orla::test
