// WebPage helpers: form fields and the tokenizer, method choice, the response
// header, the shared error and success pages; the escaping helpers; the
// choice of a routable host address.
#include "agent/web/web_page.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>
#include <utility>

#include "agent/web/text_escape.h"
#include "platform/net/host_address.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/text_lines.h"
#include "tests/unit/web/recording_request.h"

namespace orla {
namespace {

using test::Contains;
using test::RecordingRequest;

// A page that answers GET and POST with its own marker and can reach the
// protected helpers.
class ProbePage : public WebPage {
 public:
  using WebPage::WebPage;
  uint32_t HandleGet() override { return 11; }
  uint32_t HandlePost() override { return 12; }
  void Write(const std::string& text) { Append(text); }
};

struct FieldCase {
  const char* method;
  const char* query;
  const char* body;  // null: no body
  const char* name;
  std::optional<std::string> expected;
};

TEST(WebPageFields, GetFieldReadsBodyOrQueryAndDecodesValues) {
  const std::vector<FieldCase> cases = {
      {"POST", "", "element_name=tc01&element_address=10.1.2.3", "element_name", "tc01"},
      {"POST", "", "element_name=tc01&element_address=10.1.2.3", "element_address", "10.1.2.3"},
      {"POST", "", "remove=Remove+Address&client_address=10.1.2.3", "remove", "Remove Address"},
      {"POST", "", "remove=Remove+Address&client_address=10.1.2.3", "client_address", "10.1.2.3"},
      {"POST", "", "a=&b=1", "a", ""},
      {"POST", "", "a=&b=1", "b", "1"},
      {"POST", "", "a=1&b=", "b", std::nullopt},          // named last, nothing after "="
      {"POST", "", "a=1&b=2", "c", std::nullopt},
      {"POST", "", "a=1&b=2", "A", std::nullopt},         // names are case-sensitive
      {"POST", "", "x=%41", "x", "A"},
      {"POST", "", "x=%2b", "x", "+"},
      {"POST", "", "x=a+b", "x", "a b"},
      {"POST", "", "x=%3Cb%3E", "x", "<b>"},
      {"POST", "", "x=%zz%4", "x", "%zz%4"},              // malformed "%" kept
      {"POST", "", "x=a%00b", "x", "a%00b"},               // no zero byte inside a value
      {"POST", "", "element%5Fname=tc01", "element_name", std::nullopt},  // encoded name
      {"POST", "", "x=1\ny=2", "y", "2"},
      {"POST", "q=1", "", "q", std::nullopt},              // an empty body still is the source
      {"GET", "q=1", nullptr, "q", "1"},
      {"GET", "device=Fibre&addr=10.0.0.9", nullptr, "addr", "10.0.0.9"},
      {"GET", "", nullptr, "q", std::nullopt},             // GET without a query string
  };
  for (const FieldCase& c : cases) {
    RecordingRequest request(c.method, "/KOR/x", c.query, c.body);
    WebPage page(request.Ecb());
    EXPECT_EQ(page.GetField(c.name), c.expected)
        << c.method << " query=" << c.query << " body=" << (c.body ? c.body : "(none)") << " field " << c.name;
  }
}

TEST(WebPageFields, GetFieldTakesLongDataWhole) {
  std::string body = "pad=" + std::string(6000, 'p') + "&last=" + std::string(2000, 'v');
  RecordingRequest request("POST", "/KOR/x", "", body.c_str());
  WebPage page(request.Ecb());
  EXPECT_EQ(page.GetField("last"), std::string(2000, 'v'));
}

TEST(WebPageFields, NextTokenKeepsEmptyTokens) {
  RecordingRequest request("GET", "/KOR/x");
  WebPage page(request.Ecb());
  std::vector<std::string> tokens;
  for (const char* t = page.NextToken("=a==b&", "=&"); t != nullptr; t = page.NextToken(nullptr, "=&")) {
    tokens.emplace_back(t);
  }
  EXPECT_EQ(tokens, (std::vector<std::string>{"", "a", "", "b"}));
  EXPECT_EQ(page.NextToken(nullptr, "="), nullptr);
  EXPECT_EQ(page.NextToken("", "="), nullptr);
  ASSERT_NE(page.NextToken("rest", "="), nullptr);
  EXPECT_STREQ(page.NextToken("rest", "="), "rest");
  // Mixed delimiter sets, as GetField uses them.
  EXPECT_STREQ(page.NextToken("a=b=c&d", "\n\r="), "a");
  EXPECT_STREQ(page.NextToken(nullptr, "\n\r&"), "b=c");
  EXPECT_STREQ(page.NextToken(nullptr, "\n\r="), "d");
}

// What each answer of the rights query may do, in the pages' words.
TEST(WebPageLevel, NamesTheLevelOfEachMask) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "none"},           {0x80000000u, "none"}, {1, "reader"},          {8, "reader"},
      {4, "operator"},       {5, "operator"},       {2, "administrator"}, {6, "administrator"},
      {0xffff, "administrator"}};
  for (const auto& [rights, level] : cases) EXPECT_STREQ(WebPage::LevelName(rights), level) << rights;
}

TEST(WebPageProcess, MethodChoosesHandlerOrFile) {
  const std::vector<std::pair<const char*, uint32_t>> cases = {
      {"GET", 11}, {"POST", 12}, {"HEAD", 4}, {"get", 4}, {"PUT", 4}, {"", 4}};
  for (const auto& [method, expected] : cases) {
    RecordingRequest request(method, "/KOR/x");
    ProbePage page(request.Ecb());
    EXPECT_EQ(page.Process(), expected) << method;
  }
  RecordingRequest request("GET", "/KOR/x");
  WebPage base(request.Ecb());
  EXPECT_EQ(base.Process(), 1u);
  EXPECT_EQ(base.ShowForm(true), 1u);
  EXPECT_EQ(request.headerCalls, 0);
}

TEST(WebPageResponse, SendPageWritesHeaderThenOutput) {
  RecordingRequest request("GET", "/KOR/x");
  ProbePage page(request.Ecb());
  page.Write("<HTML>caf\xc3\xa9</HTML>");
  EXPECT_EQ(page.SendPage(), 1u);
  EXPECT_EQ(request.header, "Content-type: text/html\r\nContent-length: 18\r\nCache-Control: no-cache\r\n\r\n");
  EXPECT_FALSE(request.statusTextGiven);
  EXPECT_EQ(request.body, "<HTML>caf\xc3\xa9</HTML>");
}

class WebPageAnswers : public ::testing::Test {
 protected:
  WebPageAnswers() { settings_.HttpsPort(8443); }
  test::ScopedSettings settings_;
  RecordingRequest request_{"POST", "/KOR/add_element.html"};
  ProbePage page_{request_.Ecb()};
};

// Script, image and OK location are paths on the browser's own origin,
// whatever the port and host address.
TEST_F(WebPageAnswers, ShowErrorReplacesOutputWithPathsOnTheBrowsersOrigin) {
  page_.Write("half a page");
  EXPECT_EQ(page_.ShowError("Name <b> & \"x\"", "add_element.html", false), 1u);
  const std::string expected =
      "<HTML><HEAD><TITLE>Quillane Command Console</TITLE>"
      "<SCRIPT language=javascript1.2 src='/KOR/orla_utilities.js'> </SCRIPT>"
      "<SCRIPT language=javascript1.2>includeStyleSheet();focus();</SCRIPT>"
      "<SCRIPT language=javascript1.2>function ResetParent(){}</SCRIPT>"
      "</HEAD><BODY class=dialog onLoad=\"document.input_form.ok.focus();\"><CENTER><TABLE class=dark width=80%>"
      "<TR class=dark><TD class=dark valign=top><IMG src=/KOR/warningwhite.gif></TD>"
      "<TD class=dark valign=top>Name &lt;b&gt; &amp; &quot;x&quot;<P>"
      "<CENTER><FORM name=input_form><INPUT name=ok type=button value=\"OK\" "
      "onClick=\"ResetParent();window.location='add_element.html';\"></FORM></CENTER>"
      "</TD></TR></TABLE></CENTER></BODY></HTML>";
  EXPECT_EQ(request_.body, expected);
}

TEST_F(WebPageAnswers, ShowErrorWithoutLocationClosesAndRefreshReloadsOpener) {
  for (const char* location : {static_cast<const char*>(nullptr), ""}) {
    RecordingRequest request("POST", "/KOR/x");
    ProbePage page(request.Ecb());
    page.ShowError("m", location, true);
    EXPECT_TRUE(Contains(request.body, "function ResetParent(){window.opener.refresh();}"));
    EXPECT_TRUE(Contains(request.body, "onClick=\"ResetParent();window.close();\""));
  }
}

TEST_F(WebPageAnswers, LocationCannotLeaveItsScriptString) {
  page_.ShowError("m", "x.html';alert(1);'\"><script>", false);
  EXPECT_TRUE(Contains(request_.body,
                       "window.location='x.html\\x27;alert\\x281\\x29;\\x27\\x22\\x3e\\x3cscript\\x3e';"))
      << request_.body;
  EXPECT_FALSE(Contains(request_.body, "<script>"));
}

TEST_F(WebPageAnswers, ShowErrorBanner) {
  page_.ShowErrorBanner("You must log in (or log in again) as administrator to perform this operation.",
                        "/KOR/WebAgent/a.htm?device=d&addr=1.2.3.4");
  const std::string expected =
      "<HTML><HEAD><TITLE>Error!</TITLE></HEAD><BODY><CENTER><TABLE width=80%><TR><TD valign=top>"
      "<IMG src=/KOR/warningwhite.gif></TD><TD valign=top>"
      "<FONT size=5>Error</FONT><P><CENTER><HR width=100></CENTER>"
      "You must log in (or log in again) as administrator to perform this operation.<P>"
      "<CENTER><FORM><INPUT type=button value=\"OK\" "
      "onClick=\"window.location='/KOR/WebAgent/a.htm?device=d\\x26addr=1.2.3.4';\"></FORM></CENTER>"
      "</TD></TR></TABLE></CENTER></BODY></HTML>";
  EXPECT_EQ(request_.body, expected);
  RecordingRequest other("GET", "/KOR/x");
  ProbePage page(other.Ecb());
  page.ShowErrorBanner("m", "");
  EXPECT_TRUE(Contains(other.body, "onClick=\"window.parent.location='/KOR/';\""));
}

TEST_F(WebPageAnswers, ShowSuccess) {
  page_.Write("discarded");
  page_.ShowSuccess("The tape controller has been removed.");
  EXPECT_EQ(request_.body,
            "<HTML><HEAD><TITLE>Success!</TITLE><SCRIPT language=javascript1.2 src='orla_utilities.js'> </SCRIPT>"
            "<SCRIPT language=javascript1.2>includeStyleSheet();focus();</SCRIPT>"
            "<SCRIPT language=javascript1.2>function ResetParent(){window.opener.refresh();}</SCRIPT>"
            "</HEAD><BODY class=dialog onLoad='ResetParent();document.input_form.ok.focus();'><CENTER><BR><BR>"
            "The tape controller has been removed.<P>"
            "<FORM name=input_form><INPUT name=ok type=button value=\"OK\" onClick=\"window.close();\">"
            "</FORM></CENTER></BODY></HTML>");
}

TEST(WebPageRights, AdministratorBitAndFailedQuery) {
  const std::vector<std::pair<uint32_t, bool>> cases = {{2, true}, {3, true}, {1, false}, {0, false},
                                                        {0x80000000u, false}};
  for (const auto& [rights, admin] : cases) {
    RecordingRequest request("GET", "/KOR/x");
    request.rights = rights;
    WebPage page(request.Ecb());
    EXPECT_EQ(page.IsAdministrator(), admin) << rights;
    EXPECT_EQ(request.rightNames, std::vector<std::string>{"KORAccess"});
  }
  RecordingRequest failing("GET", "/KOR/x");
  failing.rightsQueryFails = true;
  EXPECT_EQ(WebPage::QueryRights(failing.Ecb()), 0u);
}

TEST(WebPageAddresses, ResolveAddressAcceptsDottedAndNames) {
  std::string dotted = "10.1.2.3";
  EXPECT_TRUE(WebPage::ResolveAddress(&dotted));
  EXPECT_EQ(dotted, "10.1.2.3");
  std::string name = "localhost";
  EXPECT_TRUE(WebPage::ResolveAddress(&name));
  EXPECT_EQ(name, "127.0.0.1");
  std::string bad = "no-such-host.invalid";
  EXPECT_FALSE(WebPage::ResolveAddress(&bad));
  EXPECT_EQ(bad, "no-such-host.invalid");
}

TEST(WebPageAddresses, RoutableAddressSkipsLoopback) {
  auto a = [](const char* text) { return inet_addr(text); };
  struct Case {
    const char* resolved;
    std::vector<uint32_t> interfaces;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"10.0.0.5", {a("192.168.1.2")}, "10.0.0.5"},                      // not loopback: kept
      {"127.0.1.1", {a("127.0.0.1"), a("192.168.1.2"), a("10.0.0.1")}, "192.168.1.2"},
      {"127.0.0.1", {}, "127.0.0.1"},                                     // nothing else: kept
      {"127.0.1.1", {a("127.0.0.1")}, "127.0.1.1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HostAddress::Routable(a(c.resolved), c.interfaces), a(c.expected)) << c.resolved;
  }
}

TEST(WebText, EscapingTable) {
  struct Case {
    std::string in, html, xml, script;
  };
  const std::vector<Case> cases = {
      {"plain 10.1.2.3", "plain 10.1.2.3", "plain 10.1.2.3", "plain 10.1.2.3"},
      {"<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;", "&lt;img src=x onerror=alert(1)&gt;",
       "\\x3cimg src=x onerror=alert\\x281\\x29\\x3e"},
      {"a&b\"c'd", "a&amp;b&quot;c&#39;d", "a&amp;b&quot;c&apos;d", "a\\x26b\\x22c\\x27d"},
      {std::string("t\x01\tx\\", 5), std::string("t\x01\tx\\", 5), "t\tx\\", "t\\x01\\x09x\\x5c"},
      {"caf\xc3\xa9", "caf\xc3\xa9", "caf\xc3\xa9", "caf\xc3\xa9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextEscape::Html(c.in), c.html) << c.in;
    EXPECT_EQ(TextEscape::Xml(c.in), c.xml) << c.in;
    EXPECT_EQ(TextEscape::ScriptInAttribute(c.in), c.script) << c.in;
  }
}

}  // namespace
}  // namespace orla
