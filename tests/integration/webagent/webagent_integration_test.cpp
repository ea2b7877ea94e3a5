// The device web agent module, reached as a browser reaches it: through the
// agent's pass-through (/KOR/WebAgent/) in the real web server library, with
// the simulated tape controllers as devices, the module loaded by the server
// from its data directory's extensions/ folder. The server is bound to
// 127.0.0.2, an address "localhost" does not name, so every page also shows
// that the pass-through calls the address the server listens on. One server
// per process, so the whole flow is one test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text/string_printf.h"
#include "tests/integration/webagent/web_agent_fixture.h"
#include "tests/support/shell_command.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

constexpr char kUnitContact[] = "1.3.6.1.3.94.1.6.1.23.16.0.0.96.69.23.42.1.0.0.0.0.0.0.0.0";
constexpr char kTc01Unit[] = "10000060451" "72a010000000000000000";

using test::Contains;
using Reply = test::HttpsReply;

class WebAgentIntegration : public test::WebAgentFixture {
 protected:
  WebAgentIntegration() : WebAgentFixture(140, {"famib_webagent.so"}, {"tc01", "tc02"}) {}

  std::string Origin() const { return https_.OriginHeader(); }
  // The value alone: snmpget's warnings (its state file under
  // /var/lib/snmp, written by every snmp tool that runs at the same time)
  // stay out of it.
  std::string Contact() {
    return test::CommandOutput(StringPrintf("snmpget -v1 -c public -t 1 -r 1 -Oqv %s:%d %s 2>/dev/null",
                                            Address("tc01").c_str(), kSnmpPort, kUnitContact));
  }
};

TEST_F(WebAgentIntegration, ControllerPagesChangesAndRefusals) {
  // Without a session: the login page.
  EXPECT_EQ(Curl(Page("index.html", "tc01")).status, 302);
  LogIn();
  // The overview: each unit as the simulator holds it.
  const Reply index = Curl(Page("index.html", "tc01"));
  ASSERT_EQ(index.status, 200) << index.body;
  // The module's cache policy reaches the browser through the pass-through.
  EXPECT_TRUE(Contains(index.headers, "Cache-Control: no-store\r\n")) << index.headers;
  for (const char* part : {"10:00:00:60:45:17:2a:01", "Quillane FTC-400 Tape Controller", "4.12.07 (Firmware)",
                           "storage access device", "/KOR/ok.gif alt=\"\"> ok</SPAN>", "online",
                           "Storage team ext 4410",
                           "Computer room B rack 4", "ports.html?device=tc01", "events.html?device=tc01"}) {
    EXPECT_TRUE(Contains(index.body, part)) << part << "\n" << index.body;
  }
  // Ports, events (escaped), status of the second controller.
  const Reply ports = Curl(Page("ports.html", "tc02"));
  for (const char* part : {"NL_Port", "longwave", "failure", "offline", "20:02:00:e0:8b:04:11:c2"}) {
    EXPECT_TRUE(Contains(ports.body, part)) << part << "\n" << ports.body;
  }
  const Reply events = Curl(Page("events.html", "tc02"));
  EXPECT_TRUE(Contains(events.body, "Port 2 link speed &lt; 2 Gb/s &amp; negotiated to 1 Gb/s")) << events.body;
  EXPECT_TRUE(Contains(events.body, "&lt;bus reset&gt;"));
  EXPECT_FALSE(Contains(events.body, "<bus reset>"));
  EXPECT_LT(events.body.find(">121<"), events.body.find(">118<"));  // newest first
  // Event objects as what they name (unit 1's port 2), not as identifiers.
  EXPECT_TRUE(Contains(events.body, "\"Object\">Port 2</TD>")) << events.body;
  EXPECT_FALSE(Contains(events.body, "1.3.6.1.3.94.1.10.1.7."));
  EXPECT_TRUE(Contains(Curl(Page("status.html", "tc02")).body, "warning"));
  // Line breaks in the address end no header line: the module gets one
  // address that is no host name, and says so.
  const Reply injected = Curl("/KOR/WebAgent/index.html?device=tc01&addr=%0d%0aX-Injected:%201");
  EXPECT_EQ(injected.status, 400);
  EXPECT_TRUE(Contains(injected.body, "did not name a device address")) << injected.body;
  // An address the agent does not manage: forwarded, and said so.
  EXPECT_TRUE(Contains(Curl("/KOR/WebAgent/index.html?addr=127.0.1.250").body, "Device not managed"));

  // Twenty viewers of one page at once: one read of the device serves them.
  const int beforeViewers = SimulatorRequests();
  const std::vector<std::string> answers = ViewAtOnce(Page("events.html", "tc01"), 20);
  const int twentyViews = SimulatorRequests() - beforeViewers;
  ASSERT_EQ(answers.size(), 20u);
  for (const std::string& answer : answers) EXPECT_EQ(answer, answers[0]);
  EXPECT_EQ(answers[0].substr(0, 4), "200 ");

  // The administrator changes the contact; the device holds it, and the
  // page the change answers with (read after it) shows it, although the
  // overview was read just before.
  EXPECT_TRUE(Contains(Curl(Page("index.html", "tc01")).body, "Storage team ext 4410"));
  const std::string form = StringPrintf(
      "--data-urlencode addr=%s --data-urlencode device=tc01 --data-urlencode onAuthErr=index.html "
      "--data-urlencode unit=%s --data-urlencode 'contact=Night shift <ops>' --data-urlencode 'location=Vault 2'",
      Address("tc01").c_str(), kTc01Unit);
  const Reply changed = Curl(Page("index.html", "tc01"), Origin() + " " + form);
  EXPECT_EQ(changed.status, 200);
  EXPECT_TRUE(Contains(changed.body, "Contact and location saved.")) << changed.body;
  EXPECT_TRUE(Contains(changed.body, "value=\"Night shift &lt;ops&gt;\""));
  EXPECT_EQ(Contact(), "\"Night shift <ops>\"\n");
  // The change dropped what was read of the device: the next viewer of the
  // events reads them anew, and that one read costs what the twenty cost.
  const int beforeOne = SimulatorRequests();
  EXPECT_EQ(Curl(Page("events.html", "tc01")).status, 200);
  const int oneView = SimulatorRequests() - beforeOne;
  EXPECT_GT(oneView, 10);
  EXPECT_LE(twentyViews, 2 * oneView) << "one view " << oneView << ", twenty at once " << twentyViews;

  // Straight to the module with headers of one's own choosing: refused, and
  // the device is not touched.
  const std::string forged = StringPrintf("-H 'VESTRA_MACHINE: %s' -H 'VESTRA_COMMUNITY: public' "
                                          "-H 'VESTRA_SETCOMMUNITY: private' -H 'VESTRA_DEVICE: tc01'",
                                          Address("tc01").c_str());
  EXPECT_EQ(Curl("/webagent/Fibre/index.html", forged).status, 403);
  const std::string post = StringPrintf(" --data 'unit=%s&contact=forged'", kTc01Unit);
  const Reply direct = Curl("/webagent/Fibre/index.html", Origin() + " " + forged + post);
  EXPECT_EQ(direct.status, 403);
  EXPECT_EQ(Contact(), "\"Night shift <ops>\"\n");

  // A device that has gone silent: a page that says so (one not read within
  // the last seconds, which would still be shown as read).
  StopSimulator();
  const Reply silent = Curl(Page("ports.html", "tc01"));
  EXPECT_EQ(silent.status, 200);
  EXPECT_TRUE(Contains(silent.body, "Device not answering")) << silent.body;
  EXPECT_TRUE(Contains(silent.body, Address("tc01")));
}

}  // namespace
}  // namespace orla
