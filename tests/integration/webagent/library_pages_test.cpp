// The tape library device pages as a browser reaches them: through the
// agent's pass-through (/KOR/WebAgent/Library/) to the library module in
// the real web server, against the simulated libraries, beside the Fibre
// Alliance module. One server per process, so the whole flow is one test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/text/string_printf.h"
#include "tests/integration/webagent/web_agent_fixture.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

using test::Contains;

class LibraryPages : public test::WebAgentFixture {
 protected:
  LibraryPages()
      : WebAgentFixture(170, {"famib_webagent.so", "smlib_webagent.so"}, {"lib01", "lib02", "lib03", "tc01"}) {}
};

TEST_F(LibraryPages, EachLibraryShowsItsStatusDrivesSlotsAndPortsWithDeviceTextsEscaped) {
  EXPECT_EQ(Curl(Page("Library/index.html", "lib02")).status, 302);  // not signed in: the login page
  LogIn();
  // The list links a library's name to its page.
  EXPECT_TRUE(Contains(Curl("/KOR/elements.html").body, "WebAgent/Library/index.html?addr=" + Address("lib02")));

  struct Row {
    const char* device;
    std::vector<std::string> shown;
  };
  const std::vector<Row> rows = {
      // Healthy, counters as raw octets: the same numbers as decimal text.
      {"lib01",
       {"ok.gif alt=\"\"> ok</SPAN></TD>", "<TD data-label=\"Mounts\">6772</TD>", "<TD data-label=\"Power-on hours\">121 / 21100 total</TD>",
        "<TD data-label=\"Type\">tape drive</TD>", "<TD data-label=\"FC port\">2100005007630F04 (ok)</TD>",
        "<TD data-label=\"Serves\">Drive 4</TD>", "CLN039L1</TD><TD data-label=\"Location\">slot 39</TD>",
        ">Quillane TL-2000 lib01</TD>"}},
      // A drive that needs cleaning, with its firmware, serial, port.
      {"lib02",
       {"degraded</SPAN>: <SPAN class=status-reason>Drive 2 (QUILLANE ULT3580-TD8 10450002) needs cleaning</SPAN>",
        "<TD data-label=\"Drive\">2</TD><TD data-label=\"Name\">QUILLANE ULT3580-TD8 10450002</TD>"
        "<TD data-label=\"Type\">tape drive</TD>",
        "degraded.gif alt=\"\"> yes</SPAN></TD><TD data-label=\"Mounts\">1074</TD>"
        "<TD data-label=\"Power-on hours\">122 / 21200 total</TD><TD data-label=\"Firmware\">Q3B7</TD>"
        "<TD data-label=\"Serial number\">10450002</TD><TD data-label=\"FC port\">2100005007630F02 (ok)</TD>",
        "<TD data-label=\"Type\">slot</TD><TD data-label=\"Total\">40</TD><TD data-label=\"Occupied\">32</TD>"
        "<TD data-label=\"Free\">8</TD><TD data-label=\"Used\">80 %</TD>",
        "import/export slot</TD><TD data-label=\"Total\">2</TD><TD data-label=\"Occupied\">1</TD>"
        "<TD data-label=\"Free\">1</TD><TD data-label=\"Used\">50 %</TD>",
        "Cleaning cartridges: 2", "CLN040L1</TD><TD data-label=\"Location\">slot 40</TD>",
        ">Logical_Library: LIB02</TD>", ">I/E station 1</TD>",
        "<TD data-label=\"State\">closed</TD><TD data-label=\"Cartridge\">empty</TD>", ">127.0.0.1:162</TD>"}},
      // A failed drive, and a device text that is markup.
      {"lib03",
       {"failed</SPAN>: <SPAN class=status-reason>Drive 1 (QUILLANE ULT3580-TD8 10450001) error</SPAN>",
        "failed.gif alt=\"\"> error</SPAN>", "I/E &lt;script&gt;alert(", "&lt;/script&gt; &amp; ",
        "CLN040L1</TD><TD data-label=\"Location\">slot 40</TD>"}},
      // A Fibre Alliance unit is no library.
      {"tc01", {"No storage media library"}},
  };
  for (const Row& row : rows) {
    const test::HttpsReply reply = Curl(Page("Library/index.html", row.device));
    ASSERT_EQ(reply.status, 200) << row.device << "\n" << reply.body;
    EXPECT_TRUE(Contains(reply.headers, "Cache-Control: no-store\r\n")) << reply.headers;
    EXPECT_FALSE(Contains(reply.body, "<script>alert")) << row.device;
    for (const std::string& part : row.shown) EXPECT_TRUE(Contains(reply.body, part)) << row.device << ": " << part << "\n" << reply.body;
  }
  // The Fibre Alliance pages stay where they were.
  EXPECT_TRUE(Contains(Curl(Page("index.html", "tc01")).body, "10:00:00:60:45:17:2a:01"));

  // A drive set to error shows at the next read (the last one is kept
  // for 3 seconds), with the reason naming it.
  Simctl("drive lib01 3 error");
  test::HttpsReply failed;
  for (int tries = 0; tries < 40 && !Contains(failed.body, "failed</SPAN>: "); ++tries) {
    if (tries > 0) usleep(250'000);
    failed = Curl(Page("Library/index.html", "lib01"));
  }
  EXPECT_TRUE(Contains(failed.body, "failed</SPAN>: <SPAN class=status-reason>Drive 3 (QUILLANE ULT3580-TD8 10450003) "
                                    "error</SPAN>"))
      << failed.body;

  // Twenty viewers at once cost about one read of the library.
  usleep(3'100'000);  // past the lifetime of the reading above
  const int before = SimulatorRequests();
  const std::vector<std::string> answers = ViewAtOnce(Page("Library/index.html", "lib02"), 20);
  const int twenty = SimulatorRequests() - before;
  ASSERT_EQ(answers.size(), 20u);
  for (const std::string& answer : answers) EXPECT_EQ(answer, answers[0]);
  EXPECT_EQ(answers[0].substr(0, 4), "200 ");
  usleep(3'100'000);
  const int beforeOne = SimulatorRequests();
  EXPECT_EQ(Curl(Page("Library/index.html", "lib02")).status, 200);
  const int one = SimulatorRequests() - beforeOne;
  EXPECT_GT(one, 100);
  EXPECT_LE(twenty, 2 * one) << "one view " << one << ", twenty at once " << twenty;

  // Refused: a change, an unknown page, headers of one's own straight to the module.
  EXPECT_EQ(Curl(Page("Library/status.html", "lib02")).status, 404);
  const std::string forged = StringPrintf("-H 'VESTRA_MACHINE: %s' -H 'VESTRA_COMMUNITY: public'",
                                          Address("lib02").c_str());
  EXPECT_EQ(Curl("/weblibrary/index.html", forged).status, 403);
  EXPECT_EQ(Curl(Page("Library/index.html", "lib02"), https_.OriginHeader() + " --data x=1").status, 405);

  // A library gone silent says so.
  StopSimulator();
  usleep(3'100'000);
  const test::HttpsReply silent = Curl(Page("Library/index.html", "lib03"));
  EXPECT_TRUE(Contains(silent.body, "Device not answering")) << silent.body;
}

}  // namespace
}  // namespace orla
