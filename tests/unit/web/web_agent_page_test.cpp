// The device web agent pass-through: what it forwards (target URL, header
// lines, posted data) for the requests a browser makes, what it answers when
// it cannot forward, its client callback, and RemoveField. The web server
// library's client calls are replaced by a recording stand-in that the test
// steps through the states 16, 11 and 14 as the library would.
#include "agent/web/web_agent_page.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>
#include <utility>

#include "agent/devices/element_registry.h"
#include "agent/web/page_server.h"
#include "tests/support/scoped_settings.h"
#include "tests/unit/web/dialog_fixture.h"
#include "tests/unit/web/recording_request.h"

namespace orla {
namespace {

using test::Contains;
using test::RecordingRequest;

// The library's client side as the page sees it: one client request at a time.
struct FakeClient {
  static FakeClient* current;
  int startResult = 1;
  int starts = 0;
  std::string method, url, body;
  const char* contentType = "unset";
  uint32_t flags = 99;
  PFN_ZEPA_CLIENT_CALLBACK callback = nullptr;
  void* user = nullptr;
  uint32_t state = 0;
  const char* cacheFile = "/srv/KORZEPD/cache/client-1";
  std::vector<std::string> sent;  // one entry per ZEPAClientSendBytes

  int Step(uint32_t s) {
    state = s;
    return callback(reinterpret_cast<HZEPACLIENT>(this));
  }
  // The library's course of a client request that got a response.
  void Finish() {
    for (uint32_t s : {16u, 16u, 11u, 14u}) Step(s);
  }

  static FakeClient& Of(HZEPACLIENT client) { return *reinterpret_cast<FakeClient*>(client); }
  static int Start(const char* method, const char* url, PFN_ZEPA_CLIENT_CALLBACK cb, void* user) {
    FakeClient& c = *current;
    ++c.starts;
    if (c.startResult == 0) return 0;
    c.method = method;
    c.url = url;
    c.callback = cb;
    c.user = user;
    return 1;
  }
  static ::orla::WebAgentPage::ClientCalls Calls() {
    return {[]() -> uint32_t { return 7; },
            [](uint32_t handle, const char* url, PFN_ZEPA_CLIENT_CALLBACK cb, void* user) {
              return handle == 7 ? Start("GET", url, cb, user) : 0;
            },
            [](uint32_t handle, const char* url, const char* type, uint32_t flags, const void* body, uint32_t length,
               PFN_ZEPA_CLIENT_CALLBACK cb, void* user) {
              current->contentType = type;
              current->flags = flags;
              current->body.assign(static_cast<const char*>(body), length);
              return handle == 7 ? Start("POST", url, cb, user) : 0;
            },
            [](HZEPACLIENT c) { return Of(c).user; },
            [](HZEPACLIENT c) { return Of(c).state; },
            [](HZEPACLIENT) -> uint32_t { return 200; },
            [](HZEPACLIENT c) { return Of(c).cacheFile; },
            [](HZEPACLIENT c, const void* bytes, uint32_t length, uint32_t* count) {
              Of(c).sent.emplace_back(static_cast<const char*>(bytes), length);
              *count = length;
              return 1;
            }};
  }
};
FakeClient* FakeClient::current = nullptr;

std::string Lines(const std::string& machine, const std::string& get, const std::string& set,
                  const std::string& device, const char* mayChange = "yes") {
  return "VESTRA_MACHINE: " + machine + "\r\nVESTRA_COMMUNITY: " + get + "\r\nVESTRA_SETCOMMUNITY: " + set +
         "\r\nVESTRA_DEVICE: " + device + "\r\nVESTRA_TIMEOUT: 2000\r\nVESTRA_RETRIES: 3\r\nVESTRA_MAYCHANGE: " +
         mayChange + "\r\n";
}

// A registry holding tc01 at 10.1.2.3 (get community "public", set
// community "private"), and the recording client calls.
class WebAgentPageTest : public test::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    AddElement("tc01", "10.1.2.3");
    FakeClient::current = &client_;
    calls_ = FakeClient::Calls();
    WebAgentPage::SetClientCalls(&calls_);
  }
  void TearDown() override {
    WebAgentPage::SetClientCalls(nullptr);
    DialogFixture::TearDown();
  }

  // As the dispatcher does: a new page that owns itself from here on.
  static uint32_t Run(RecordingRequest& request) { return (new WebAgentPage(request.Ecb()))->Process(); }

  FakeClient client_;
  WebAgentPage::ClientCalls calls_{};
};

TEST_F(WebAgentPageTest, GetForwardsTheDeviceWithItsGetCommunityOnly) {
  struct Case {
    const char* path;
    const char* query;
    const char* url;
    std::string lines;
  };
  const std::vector<Case> cases = {
      {"/KOR/WebAgent/status.html", "device=tc01&addr=10.1.2.3", "https://localhost:2381/webagent/Fibre/status.html",
       Lines("10.1.2.3", "public", "", "tc01")},
      // An address no element has: empty communities, forwarded all the same.
      {"/KOR/WebAgent/index.html", "addr=10.9.9.9", "https://localhost:2381/webagent/Fibre/index.html",
       Lines("10.9.9.9", "", "", "")},
      {"/KOR/WebAgent/", "", "https://localhost:2381/webagent/Fibre/", Lines("", "", "", "")},
      // A library's pages go to the library module; the segment only at the start.
      {"/KOR/WebAgent/Library/index.html", "device=lib02&addr=10.1.2.3", "https://localhost:2381/weblibrary/index.html",
       Lines("10.1.2.3", "public", "", "lib02")},
      {"/KOR/WebAgent/x/Library/index.html", "addr=10.1.2.3", "https://localhost:2381/webagent/Fibre/x/Library/index.html",
       Lines("10.1.2.3", "public", "", "")},
      // Line breaks in the decoded values never start a header line.
      {"/KOR/WebAgent/index.html", "device=tc01%0d%0aX-Device:%202&addr=%0d%0aX-Injected:%201",
       "https://localhost:2381/webagent/Fibre/index.html", Lines("X-Injected: 1", "", "", "tc01X-Device: 2")},
      // The decoded path: cut at "?", and re-encoded where a URL cannot carry it.
      {"/KOR/WebAgent/a b%\r\n.html?x=1", "addr=10.1.2.3", "https://localhost:2381/webagent/Fibre/a%20b%25%0D%0A.html",
       Lines("10.1.2.3", "public", "", "")},
  };
  for (const Case& c : cases) {
    client_ = FakeClient{};
    RecordingRequest request("GET", c.path, c.query);
    EXPECT_EQ(Run(request), 1u) << c.query;
    ASSERT_EQ(client_.starts, 1) << c.query;
    EXPECT_EQ(client_.method, "GET");
    EXPECT_EQ(client_.url, c.url);
    client_.Finish();
    // Header lines once, at the first state 16; the response file on the
    // browser's connection at 11; the page is gone after 14.
    ASSERT_EQ(client_.sent.size(), 1u);
    EXPECT_EQ(client_.sent[0], c.lines) << c.query;
    EXPECT_EQ(request.sentFiles, std::vector<std::string>{client_.cacheFile});
    EXPECT_TRUE(request.body.empty());
  }
  // Only an administrator's page is told it may offer changes: a reader's
  // and an operator's are not.
  for (const auto& [rights, mayChange] : std::vector<std::pair<uint32_t, const char*>>{
           {1, "no"}, {4, "no"}, {5, "no"}, {2, "yes"}, {6, "yes"}}) {
    client_ = FakeClient{};
    RecordingRequest request("GET", "/KOR/WebAgent/index.html", "device=tc01&addr=10.1.2.3");
    request.rights = rights;
    Run(request);
    client_.Finish();
    ASSERT_EQ(client_.sent.size(), 1u) << rights;
    EXPECT_EQ(client_.sent[0], Lines("10.1.2.3", "public", "", "tc01", mayChange)) << rights;
  }
}

TEST_F(WebAgentPageTest, TheListenAddressAndPortNameTheDeviceWebAgent) {
  struct Case {
    const char* address;
    int port;
    const char* url;
  };
  for (const Case& c : {Case{"", 9443, "https://localhost:9443/webagent/Fibre/ports.html"},
                        Case{"0.0.0.0", 2381, "https://localhost:2381/webagent/Fibre/ports.html"},
                        Case{"::", 2381, "https://localhost:2381/webagent/Fibre/ports.html"},
                        Case{"127.0.0.2", 2381, "https://127.0.0.2:2381/webagent/Fibre/ports.html"},
                        Case{"10.1.2.3", 443, "https://10.1.2.3:443/webagent/Fibre/ports.html"},
                        Case{"fd00::1", 2381, "https://[fd00::1]:2381/webagent/Fibre/ports.html"}}) {
    client_ = FakeClient{};
    test::ScopedSettings settings;
    settings.HttpsPort(c.port).HttpsAddress(c.address);
    RecordingRequest request("GET", "/KOR/WebAgent/ports.html", "addr=10.1.2.3");
    Run(request);
    EXPECT_EQ(client_.url, c.url);
    client_.cacheFile = nullptr;  // no response came: nothing is sent
    client_.Finish();
    EXPECT_TRUE(request.sentFiles.empty());
  }
}

TEST_F(WebAgentPageTest, AdministratorPostForwardsTheFormWithoutAddrAndDevice) {
  RecordingRequest request("POST", "/KOR/WebAgent/index.html", "device=tc01&addr=10.1.2.3",
                           "addr=10.1.2.3&device=tc01&onAuthErr=index.html&unit=ab&contact=Night+shift");
  request.rights = 2;
  EXPECT_EQ(Run(request), 1u);
  ASSERT_EQ(client_.starts, 1);
  EXPECT_EQ(client_.method, "POST");
  EXPECT_EQ(client_.url, "https://localhost:2381/webagent/Fibre/index.html");
  EXPECT_EQ(client_.body, "onAuthErr=index.html&unit=ab&contact=Night+shift");
  EXPECT_EQ(client_.contentType, nullptr);
  EXPECT_EQ(client_.flags, 0u);
  client_.Finish();
  EXPECT_EQ(client_.sent.at(0), Lines("10.1.2.3", "public", "private", "tc01"));
}

TEST_F(WebAgentPageTest, NonAdministratorPostGetsTheErrorBannerBackToOnAuthErr) {
  for (uint32_t rights : {0u, 0x80000000u}) {
    RecordingRequest request("POST", "/KOR/WebAgent/index.html", "",
                             "addr=10.1.2.3&device=tc01&onAuthErr=ports.html&contact=x");
    request.rights = rights;
    EXPECT_EQ(Run(request), 1u);
    EXPECT_EQ(client_.starts, 0);
    EXPECT_TRUE(Contains(request.body, "<TITLE>Error!</TITLE>")) << request.body;
    EXPECT_TRUE(Contains(request.body, "You must log in (or log in again) as administrator to perform this operation."));
    EXPECT_TRUE(Contains(request.body, "window.location='/KOR/WebAgent/ports.html?device=tc01")) << request.body;
    EXPECT_TRUE(Contains(request.body, "addr=10.1.2.3")) << request.body;
  }
}

TEST_F(WebAgentPageTest, WhatCannotBeForwardedGetsAnErrorPageAndFreesThePage) {
  struct Case {
    const char* method;
    std::string path;
    std::string body;
    int startResult;
    int wantStarts;
    const char* text;  // in the error page; null: forwarded
  };
  const std::string prefix = "/KOR/WebAgent/";
  // "https://localhost:2381/webagent/Fibre/" is 38 characters.
  const std::vector<Case> cases = {
      {"POST", prefix + "index.html", "addr=1&x=" + std::string(759, 'a'), 1, 0, "too much data"},
      {"POST", prefix + "index.html", "addr=1&x=" + std::string(758, 'a'), 1, 1, nullptr},
      {"GET", prefix + std::string(1024 - 38, 'p'), "", 1, 0, "too long"},
      {"GET", prefix + std::string(1023 - 38, 'p'), "", 1, 1, nullptr},
      {"GET", prefix + "index.html", "", 0, 1, "could not be reached"},
      {"POST", prefix + "index.html", "addr=1", 0, 1, "could not be reached"},
  };
  for (const Case& c : cases) {
    client_ = FakeClient{};
    client_.startResult = c.startResult;
    RecordingRequest request(c.method, c.path, "addr=10.1.2.3", c.body.empty() ? nullptr : c.body.c_str());
    EXPECT_EQ(Run(request), 1u);
    EXPECT_EQ(client_.starts, c.wantStarts) << c.path.size() << " " << c.body.size();
    if (c.text != nullptr) {
      EXPECT_TRUE(Contains(request.body, c.text)) << request.body;
      EXPECT_TRUE(Contains(request.body, "<TITLE>")) << request.body;
    } else {
      client_.Finish();  // the forwarded page goes at state 14
    }
  }
}

TEST_F(WebAgentPageTest, DispatcherHandsPassThroughPathsToTheSelfOwnedPage) {
  RecordingRequest get("GET", "/KOR/WebAgent/events.html", "addr=10.1.2.3");
  EXPECT_EQ(PageServer::DispatchRequest(get.Ecb()), 1u);
  EXPECT_EQ(client_.url, "https://localhost:2381/webagent/Fibre/events.html");
  client_.Finish();
  // Another method starts nothing, leaks nothing and is served as a file.
  client_ = FakeClient{};
  RecordingRequest head("HEAD", "/KOR/WebAgent/events.html", "addr=10.1.2.3");
  EXPECT_EQ(PageServer::DispatchRequest(head.Ecb()), 4u);
  EXPECT_EQ(client_.starts, 0);
}

TEST(RemoveField, RemovesOnePairAtTheStartOrAfterAnAmpersand) {
  struct Case {
    const char* data;
    const char* key;
    const char* want;
  };
  const std::vector<Case> cases = {
      {"a=1&addr=10.1.2.3&b=2", "addr=", "a=1&b=2"},
      {"addr=10.1.2.3&b=2", "addr=", "b=2"},
      {"b=2&addr=10.1.2.3", "addr=", "b=2"},
      {"addr=10.1.2.3", "addr=", ""},
      {"a=1&b=2", "addr=", "a=1&b=2"},
      {"mailaddr=x&addr=1&c=3", "addr=", "mailaddr=x&c=3"},
      {"mailaddr=x", "addr=", "mailaddr=x"},
      {"onAuthErr=index.html&device=tc01", "device=", "onAuthErr=index.html"},
  };
  for (const Case& c : cases) {
    std::string data = c.data;
    RemoveField(&data, c.key);
    EXPECT_EQ(data, c.want) << c.data;
  }
}

}  // namespace
}  // namespace orla
