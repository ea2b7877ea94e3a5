// The device web agent module without a device: how it reads a request
// (header lines, form fields, bounds), how it writes pages (escaping, the
// change form), and the answers that need no SNMP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugins/webagent_kit/device_request.h"
#include "plugins/famib_webagent/fibre_page.h"
#include "plugins/famib_webagent/fibre_web_agent.h"
#include "tests/support/text_lines.h"
#include "tests/unit/web/recording_request.h"

namespace orla {
namespace {

// The control block as the web server hands it to the module: request header
// lines as server variables, and a recorder of the answer.
using test::RecordingRequest;
using test::Contains;

TEST(DeviceRequest, ReadsHeaderLinesPageAndFields) {
  RecordingRequest r("POST", "/webagent/Fibre/index.html", "",
                  "onAuthErr=index.html&unit=10&contact=Night+shift+%3Cops%3E&x=%zz");
  r.variables = {{"HTTP_VESTRA_MACHINE", "127.0.1.11"}, {"HTTP_VESTRA_COMMUNITY", "public"},
                 {"HTTP_VESTRA_SETCOMMUNITY", "private"}, {"HTTP_VESTRA_DEVICE", "tc01"},
                 {"HTTP_VESTRA_TIMEOUT", "2000"}, {"HTTP_VESTRA_RETRIES", "3"}, {"HTTP_VESTRA_MAYCHANGE", "yes"}};
  DeviceRequest request(r.Ecb(), "/webagent/Fibre/");
  EXPECT_TRUE(request.MayChange());
  EXPECT_EQ(request.Page(), "index.html");
  EXPECT_TRUE(request.IsPost());
  EXPECT_EQ(request.Machine(), "127.0.1.11");
  EXPECT_EQ(request.Community(), "public");
  EXPECT_EQ(request.SetCommunity(), "private");
  EXPECT_EQ(request.Device(), "tc01");
  EXPECT_EQ(request.TimeoutMilliseconds(), 2000);
  EXPECT_EQ(request.Retries(), 3);
  EXPECT_EQ(request.Field("contact"), "Night shift <ops>");
  EXPECT_EQ(request.Field("x"), "%zz");
  EXPECT_EQ(request.Field("location"), std::nullopt);
  EXPECT_EQ(request.Field("Unit"), std::nullopt);
  // Any other value, or none, offers no change.
  for (const char* value : {"no", "YES", "1", ""}) {
    r.variables["HTTP_VESTRA_MAYCHANGE"] = value;
    EXPECT_FALSE(DeviceRequest(r.Ecb(), "/webagent/Fibre/").MayChange()) << value;
  }

  RecordingRequest bare("GET", "/WEBAGENT/fibre/ports.html");
  DeviceRequest plain(bare.Ecb(), "/webagent/Fibre/");
  EXPECT_EQ(plain.Page(), "ports.html");
  EXPECT_EQ(plain.Machine(), "");
  EXPECT_EQ(plain.SetCommunity(), "");
}

TEST(DeviceRequest, TimeoutAndRetriesStayWithinWhatThePassThroughWaits) {
  struct Case {
    const char* timeout;
    const char* retries;
    int32_t wantTimeout, wantRetries;
  };
  const std::vector<Case> cases = {
      {"2000", "3", 2000, 3},   {"", "", 2000, 3},        {"abc", "-1", 2000, 3}, {"10", "0", 100, 0},
      {"99999", "9", 5000, 0},  {"1000", "9", 1000, 5},   {"4000", "3", 4000, 1}, {"2000 ", "3\r", 2000, 3},
  };
  for (const Case& c : cases) {
    int32_t timeout = 0, retries = 0;
    DeviceRequest::Bound(c.timeout, c.retries, &timeout, &retries);
    EXPECT_EQ(timeout, c.wantTimeout) << c.timeout << "/" << c.retries;
    EXPECT_EQ(retries, c.wantRetries) << c.timeout << "/" << c.retries;
    EXPECT_LE(timeout * (retries + 1), DeviceRequest::kMaxWait);
  }
  EXPECT_TRUE(DeviceRequest::IsPlainHost("127.0.1.11"));
  EXPECT_TRUE(DeviceRequest::IsPlainHost("tape-01.example.net"));
  for (const char* bad : {"", "10.0.0.1 X-Injected: 1", "a/b", "x\r\ny", "<b>"}) {
    EXPECT_FALSE(DeviceRequest::IsPlainHost(bad)) << bad;
  }
}

FibreDeviceReader::Unit MarkupUnit() {
  FibreDeviceReader::Unit unit;
  unit.id = {0x10, 0, 0, 0x60, 0x45, 0x17, 0x2a, 0x01, 0, 0, 0, 0, 0, 0, 0, 0};
  unit.wwn = "10:00:00:60:45:17:2a:01";
  unit.type = 14;
  unit.status = 3;
  unit.state = 2;
  unit.product = "<script>alert(1)</script>";
  unit.contact = "Ops \"A\" & 'B'";
  unit.location = "Room <4>";
  unit.revisions = {{"4.12.07", "Firmware"}, {"B2<i>", "Board"}};
  return unit;
}

TEST(FibrePage, OverviewEscapesDeviceTextsAndCarriesTheChangeForm) {
  FibrePage page("tc&01", "127.0.1.11");
  page.SetMayChange(true);
  const std::string html = page.Overview({MarkupUnit()}, {}, true, false, FibrePage::Notice{"Saved <now>", false});
  EXPECT_FALSE(Contains(html, "<script>alert")) << html;
  EXPECT_TRUE(Contains(html, "&lt;script&gt;alert(1)&lt;/script&gt;"));
  EXPECT_TRUE(Contains(html, "value=\"Ops &quot;A&quot; &amp; &#39;B&#39;\""));
  EXPECT_TRUE(Contains(html, "value=\"Room &lt;4&gt;\""));
  EXPECT_TRUE(Contains(html, "B2&lt;i&gt; (Board)"));
  EXPECT_TRUE(Contains(html, "Saved &lt;now&gt;"));
  EXPECT_TRUE(Contains(html, "storage access device"));
  EXPECT_TRUE(Contains(html, "10:00:00:60:45:17:2a:01"));
  EXPECT_TRUE(Contains(html, "<SCRIPT language=javascript1.2 src='/KOR/orla_utilities.js'>"));
  // Links and the form action carry device and address, URL-encoded, then
  // HTML-escaped; addr and device lead the form so the pass-through can
  // remove them; onAuthErr names the page to return to.
  EXPECT_TRUE(Contains(html, "href=\"ports.html?device=tc%2601&amp;addr=127.0.1.11\""));
  EXPECT_FALSE(Contains(html, "events.html"));
  EXPECT_TRUE(Contains(html, "action=\"index.html?device=tc%2601&amp;addr=127.0.1.11\""));
  const size_t addr = html.find("name=addr value=\"127.0.1.11\"");
  const size_t device = html.find("name=device value=\"tc&amp;01\"");
  const size_t auth = html.find("name=onAuthErr value=\"index.html\"");
  const size_t unit = html.find("name=unit value=\"100000604517" "2a010000000000000000\"");
  ASSERT_NE(unit, std::string::npos) << html;
  EXPECT_LT(addr, device);
  EXPECT_LT(device, auth);
  EXPECT_LT(auth, unit);
  // Values the MIB does not name show as numbers; absent ones stay empty.
  EXPECT_EQ(FibrePage::UnitStatusName(99), "99");
  EXPECT_EQ(FibrePage::UnitStatusName(std::nullopt), "");
  EXPECT_EQ(FibrePage::UrlEncode("a b&c=d/\xc3\xa9"), "a%20b%26c%3Dd%2F%C3%A9");
}

// A visitor who may not change things reads contact and location as text:
// no form, field, Save button or trap-target action.
TEST(FibrePage, OverviewOffersNoChangeToAReader) {
  FibrePage page("tc01", "127.0.1.11");
  const std::string html = page.Overview({MarkupUnit()}, {}, true, false, std::nullopt);
  for (const char* offer : {"<FORM", "<INPUT", "Save", "orla-trap-target-action"}) {
    EXPECT_FALSE(Contains(html, offer)) << offer << "\n" << html;
  }
  EXPECT_TRUE(Contains(html, "<B>Contact</B></TD><TD class=light>Ops &quot;A&quot; &amp; &#39;B&#39;</TD>")) << html;
  EXPECT_TRUE(Contains(html, "<B>Location</B></TD><TD class=light>Room &lt;4&gt;</TD>")) << html;
}

// Event objects name the unit, port or sensor, numbered as the pages list
// the units; anything else stays the identifier it is.
TEST(FibrePage, EventObjectsNameTheUnitPortOrSensor) {
  FibreDeviceReader::Unit second = MarkupUnit();
  second.id.back() = 1;
  const std::vector<FibreDeviceReader::Unit> units = {MarkupUnit(), second};
  const std::string first = "16.0.0.96.69.23.42.1.0.0.0.0.0.0.0.0";
  const std::string other = "16.0.0.96.69.23.42.1.0.0.0.0.0.0.0.1";
  const struct {
    std::string oid;
    std::string shown;
  } cases[] = {
      {"1.3.6.1.3.94.1.6.1.1." + first, "Unit 1"},
      {".1.3.6.1.3.94.1.6.1.6." + other, "Unit 2"},
      {"1.3.6.1.3.94.1.10.1.7." + first + ".4", "Port 4"},
      {"1.3.6.1.3.94.1.10.1.7." + other + ".2", "Port 2 of unit 2"},
      {"1.3.6.1.3.94.1.8.1.4." + first + ".1", "Sensor 1 of unit 1"},
      {"1.3.6.1.3.94.1.6.1.1.9.9", "1.3.6.1.3.94.1.6.1.1.9.9"},     // not a unit id
      {"1.3.6.1.3.94.1.6.1.1." + first + ".x", "1.3.6.1.3.94.1.6.1.1." + first + ".x"},
      {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.5.0"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FibrePage::ObjectName(c.oid, units, 1), c.shown) << c.oid;
  const std::string unknownUnit = "1.3.6.1.3.94.1.10.1.7.1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.3";
  EXPECT_EQ(FibrePage::ObjectName(unknownUnit, units, 1), "Port 3");
}

// Why a unit is not ok: its ports in warning or failure, else its state.
TEST(FibrePage, UnitReasonNamesThePortsInTrouble) {
  const auto port = [](uint32_t index, int32_t state, int32_t status) {
    FibreDeviceReader::Port p;
    p.index = index;
    p.state = state;
    p.status = status;
    return p;
  };
  FibreDeviceReader::Unit online = MarkupUnit();
  FibreDeviceReader::Unit offline = MarkupUnit();
  offline.state = 3;
  const struct {
    FibreDeviceReader::Unit unit;
    std::vector<FibreDeviceReader::Port> ports;
    std::string reason;
  } cases[] = {
      {online, {port(1, 2, 3), port(4, 3, 5)}, "Port 4 offline, failure"},
      {online, {port(2, 2, 4), port(4, 3, 5)}, "Port 2 online, warning; Port 4 offline, failure"},
      {online, {port(1, 2, 3)}, ""},
      {offline, {}, "Unit offline"},
  };
  for (const auto& c : cases) EXPECT_EQ(FibrePage::UnitReason(c.unit, c.ports), c.reason);
  FibrePage page("tc02", "127.0.1.12");
  FibreDeviceReader::Unit failed = MarkupUnit();
  failed.status = 5;
  const std::string html = page.Overview({failed}, {{failed, {port(4, 3, 5)}}}, true, false, std::nullopt);
  EXPECT_TRUE(Contains(html, "failed.gif")) << html;
  EXPECT_TRUE(Contains(html, ": <SPAN class=status-reason>Port 4 offline, failure</SPAN>")) << html;
  EXPECT_TRUE(Contains(html, "<A href=\"/KOR/\">")) << html;
}

TEST(FibreWebAgent, AnswersWithoutSnmpWhenTheRequestCannotNameADevice) {
  struct Case {
    const char* method;
    const char* path;
    const char* machine;  // null: no header line
    const char* community;
    const char* status;
    const char* text;
    const char* remote = "127.0.0.1";
    const char* local = "10.0.0.4";  // the address the request was sent to
  };
  const std::vector<Case> cases = {
      // Only the agent's own client requests, from this host, are answered.
      {"GET", "/webagent/Fibre/index.html", "10.1.2.3", "public", "403 Forbidden", "answers the agent only",
       "10.0.0.5"},
      {"GET", "/webagent/Fibre/index.html", "10.1.2.3", "public", "403 Forbidden", "answers the agent only", ""},
      {"GET", "/webagent/Fibre/index.html", "10.1.2.3", "public", "403 Forbidden", "answers the agent only", "", ""},
      // A server bound to one address: its own requests come from that address.
      {"GET", "/webagent/Fibre/index.html", "10.9.9.9", "", "200 OK", "does not manage", "10.0.0.4"},
      {"GET", "/webagent/Fibre/index.html", "10.9.9.9", "", "200 OK", "does not manage", "::1"},
      {"GET", "/webagent/Fibre/nothing.html", "10.1.2.3", "public", "404 Not Found", "has no page nothing.html"},
      {"GET", "/webagent/Fibre/x<b>.html", "10.1.2.3", "public", "404 Not Found", "x&lt;b&gt;.html"},
      {"POST", "/webagent/Fibre/ports.html", "10.1.2.3", "public", "405 Method Not Allowed", "overview page only"},
      {"GET", "/webagent/Fibre/index.html", nullptr, nullptr, "400 Bad Request", "did not name a device address"},
      {"GET", "/webagent/Fibre/index.html", "1.2.3.4 X-Injected: 1", "public", "400 Bad Request", "No device"},
      {"GET", "/webagent/Fibre/index.html", "10.9.9.9", "", "200 OK", "does not manage a device at 10.9.9.9"},
  };
  for (const Case& c : cases) {
    RecordingRequest r(c.method, c.path, "", std::string(c.method) == "POST" ? "contact=x" : nullptr);
    if (c.machine != nullptr) r.variables["HTTP_VESTRA_MACHINE"] = c.machine;
    if (c.community != nullptr) r.variables["HTTP_VESTRA_COMMUNITY"] = c.community;
    r.variables["REMOTE_ADDR"] = c.remote;
    r.variables["LOCAL_ADDR"] = c.local;
    EXPECT_EQ(FibreWebAgent::Answer(r.Ecb()), static_cast<uint32_t>(HSE_STATUS_SUCCESS));
    EXPECT_EQ(r.statusText, c.status) << c.path;
    EXPECT_TRUE(Contains(r.body, c.text)) << c.path << "\n" << r.body;
    EXPECT_TRUE(Contains(r.header, "Content-Type: text/html; charset=utf-8\r\n"));
  }
}

}  // namespace
}  // namespace orla
