// Extension records, the control block an extension sees, and the checks
// made before a request reaches it.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>

#include "platform/zepa/extensions/connection_context.h"
#include "platform/zepa/extensions/extension_registration.h"
#include "platform/zepa/internal_secret.h"
#include "platform/zepa/zepa_server.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/zepa/sample_extension_record.h"

using namespace orla;

namespace {

uint32_t Procedure(EXTENSION_CONTROL_BLOCK*) { return HSE_STATUS_SUCCESS; }

// The record of "KOR" the tests start from.
struct RecordFixture : test::SampleExtensionRecord {
  RecordFixture() : SampleExtensionRecord("KOR", "/opt/kor/KORZEPA", "<P>fragment</P>", Procedure) {}
};

HttpTransport::Request MakeRequest(const std::string& method, const std::string& target, const std::string& body) {
  HttpTransport::Request request;
  request.method = method;
  request.target = target;
  const size_t q = target.find('?');
  request.path = target.substr(0, q);
  if (q != std::string::npos) request.query = target.substr(q + 1);
  request.version = "HTTP/1.1";
  request.body = body;
  request.headers = {{"Host", "agent.example:2381"}, {"User-Agent", "test"}};
  if (!body.empty()) request.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
  request.remoteAddress = "127.0.0.1";
  return request;
}

// The settings of a server that is never started.
ZepaServer::Settings SettingsIn(const std::string& dataDirectory) {
  ZepaServer::Settings settings;
  settings.dataDirectory = dataDirectory;
  return settings;
}

}  // namespace

TEST(ExtensionRecord, LayoutKeepsTheGivenOffsets) {
  // The texts and numbers before the first pointer sit where the start-up
  // and extension records always had them; pointers take the platform's
  // width from offset 1052 on.
  EXPECT_EQ(sizeof(ServerStartupRecord), 1579u);
  EXPECT_EQ(offsetof(ServerStartupRecord, szDataDirectory), 524u);
  EXPECT_EQ(offsetof(ExtensionRecord, szDirectory), 784u);
  EXPECT_EQ(offsetof(ExtensionRecord, dwHomePageListVersion), 1048u);
  EXPECT_EQ(offsetof(ExtensionRecord, pHomePages), 1052u);
  EXPECT_EQ(sizeof(ExtensionRecord), sizeof(void*) == 4 ? 1084u : 1104u);
}

TEST(ExtensionRecord, IsCopiedWithItsLists) {
  RecordFixture f;
  ExtensionRegistration reg;
  std::string error;
  ASSERT_TRUE(ExtensionRegistration::FromRecord(&f.record, &reg, &error)) << error;
  // The library keeps copies: the caller's lists may go after the call.
  std::memset(f.fragments, 0, sizeof(f.fragments));
  std::memset(f.rights, 0, sizeof(f.rights));
  std::memset(f.descriptions, 0, sizeof(f.descriptions));
  std::memset(&f.record, 0, sizeof(f.record));
  EXPECT_EQ(reg.name, "KOR");
  EXPECT_EQ(reg.directory, "/opt/kor/KORZEPA");
  EXPECT_EQ(reg.HomePage("ENG"), "<P>fragment</P>");
  EXPECT_EQ(reg.HomePage("DEU"), "<P>fragment</P>");
  ASSERT_EQ(reg.rights.size(), 1u);
  EXPECT_EQ(reg.rights[0].name, "KORAccess");
  EXPECT_EQ(reg.rights[0].value, 2u);
  EXPECT_EQ(reg.rights[0].reserved2, 4u);
  ASSERT_EQ(reg.rights[0].descriptions.size(), 1u);
  EXPECT_EQ(reg.rights[0].descriptions[0].text, "Access to the KOR Page");
  EXPECT_EQ(reg.requestProcedure, &Procedure);
}

TEST(ExtensionRecord, MalformedRecordsAreRefused) {
  std::string error;
  ExtensionRegistration reg;
  auto refuses = [&](const std::function<void(RecordFixture&)>& spoil) {
    RecordFixture f;
    spoil(f);
    return !ExtensionRegistration::FromRecord(&f.record, &reg, &error);
  };
  EXPECT_TRUE(refuses([](RecordFixture& f) { f.record.dwSize = 1084; }));
  EXPECT_TRUE(refuses([](RecordFixture& f) { std::memset(f.record.szName, 'A', sizeof(f.record.szName)); }));
  EXPECT_TRUE(refuses([](RecordFixture& f) { std::strcpy(f.record.szName, ""); }));
  EXPECT_TRUE(refuses([](RecordFixture& f) { std::strcpy(f.record.szName, "K/OR"); }));
  EXPECT_TRUE(refuses([](RecordFixture& f) { std::strcpy(f.record.szName, "ZEPA"); }));
  EXPECT_TRUE(refuses([](RecordFixture& f) { std::strcpy(f.record.szDirectory, "KORZEPA"); }));
  EXPECT_TRUE(refuses([](RecordFixture& f) { f.record.pfnHttpExtensionProc = nullptr; }));
  EXPECT_TRUE(refuses([](RecordFixture& f) { f.fragments[0].cbSize = 12; }));
  EXPECT_TRUE(refuses([](RecordFixture& f) { f.rights[0].cbSize = 24; }));
  EXPECT_TRUE(refuses([](RecordFixture& f) { f.descriptions[0].cbSize = 3; }));
  EXPECT_TRUE(refuses([](RecordFixture& f) { f.rights[0].lpszName = nullptr; }));
  // A list without its terminating entry is not read past 64 entries.
  std::vector<ZEPA_TEXT_ENTRY> endless(65, ZEPA_TEXT_ENTRY{sizeof(ZEPA_TEXT_ENTRY), "ENG", "x"});
  EXPECT_TRUE(refuses([&](RecordFixture& f) { f.record.pHomePages = endless.data(); }));
}

TEST(ExtensionRecord, OwnsItsRootIgnoringCase) {
  RecordFixture f;
  ExtensionRegistration reg;
  std::string error, below;
  ASSERT_TRUE(ExtensionRegistration::FromRecord(&f.record, &reg, &error));
  const std::pair<const char*, const char*> owned[] = {
      {"/KOR", ""}, {"/KOR/", ""}, {"/kor/DEFAULT.HTM", "DEFAULT.HTM"}, {"/KOR/help/a.html", "help/a.html"}};
  for (const auto& [path, rest] : owned) {
    EXPECT_TRUE(reg.Owns(path, &below)) << path;
    EXPECT_EQ(below, rest) << path;
  }
  for (const char* path : {"/KORX", "/KO", "/", "/webagent/KOR"}) EXPECT_FALSE(reg.Owns(path, &below)) << path;
}

class ControlBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    fs::create_directories(dir_.File("web/sub"));
    dir_.Write("web/orla.css", "css");
    dir_.Write("web/sub/default.htm", "sub page");
    dir_.Write("secret.txt", "secret");
    ZepaServer::Settings settings = SettingsIn(dir_.File("data"));
    settings.name = "KOR";
    server_ = std::make_unique<ZepaServer>(settings);
    RecordFixture f;
    std::strcpy(f.record.szDirectory, dir_.File("web").c_str());
    auto reg = std::make_shared<ExtensionRegistration>();
    std::string error;
    ASSERT_TRUE(ExtensionRegistration::FromRecord(&f.record, reg.get(), &error)) << error;
    extension_ = reg;
  }

  std::shared_ptr<ConnectionContext> Open(const std::string& method, const std::string& target,
                                          const std::string& body = "") {
    const HttpTransport::Request request = MakeRequest(method, target, body);
    std::string below = request.path.size() > 5 ? request.path.substr(5) : "";
    auto context = std::make_shared<ConnectionContext>(server_.get(), extension_, request,
                                                       dir_.File("web") + (below.empty() ? "" : "/" + below),
                                                       std::nullopt);
    ConnectionContext::Register(context);
    opened_.push_back(context);
    return context;
  }
  void TearDown() override {
    for (const auto& context : opened_) ConnectionContext::Unregister(context.get());
  }

  uint32_t SendFile(EXTENSION_CONTROL_BLOCK* ecb, const std::string& path) {
    uint32_t length = static_cast<uint32_t>(path.size());
    return static_cast<uint32_t>(ecb->ServerSupportFunction(ecb->ConnID, REQ_SEND_FILE, nullptr, &length,
                                                            reinterpret_cast<uint32_t*>(const_cast<char*>(path.c_str()))));
  }

  test::TempDir dir_;
  std::unique_ptr<ZepaServer> server_;
  std::shared_ptr<const ExtensionRegistration> extension_;
  std::vector<std::shared_ptr<ConnectionContext>> opened_;  // unregistered at the end
};

TEST_F(ControlBlockTest, CarriesTheRequest) {
  auto get = Open("GET", "/KOR/elements.html?sort=name%20asc");
  EXTENSION_CONTROL_BLOCK* ecb = get->Ecb();
  EXPECT_STREQ(ecb->lpszMethod, "GET");
  EXPECT_STREQ(ecb->lpszQueryString, "sort=name%20asc");
  EXPECT_STREQ(ecb->lpszPathInfo, "/KOR/elements.html");
  EXPECT_EQ(ecb->lpbData, nullptr);  // fields then come from the query
  EXPECT_EQ(ecb->cbTotalBytes, 0u);
  EXPECT_NE(ecb->ConnID, nullptr);
  uint32_t rights = 0;
  ASSERT_EQ(ecb->ServerSupportFunction(ecb->ConnID, REQ_QUERY_RIGHTS, const_cast<char*>("KORAccess"), nullptr,
                                       &rights), 1);
  EXPECT_EQ(rights, ZEPA_RIGHTS_NO_SESSION);

  auto post = Open("POST", "/KOR/add_element.html", "element_name=tc01");
  ecb = post->Ecb();
  ASSERT_NE(ecb->lpbData, nullptr);
  EXPECT_STREQ(reinterpret_cast<char*>(ecb->lpbData), "element_name=tc01");
  EXPECT_EQ(ecb->cbTotalBytes, 17u);
  EXPECT_STREQ(ecb->lpszContentType, "application/x-www-form-urlencoded");
  EXPECT_NE(get->ConnId(), post->ConnId());
}

TEST_F(ControlBlockTest, HeaderAndWrittenBytesMakeTheResponse) {
  auto context = Open("GET", "/KOR/about.html");
  EXTENSION_CONTROL_BLOCK* ecb = context->Ecb();
  const std::string header = "Content-type: text/html\r\nContent-length: 999\r\nCache-Control: no-cache\r\n\r\n";
  uint32_t length = static_cast<uint32_t>(header.size());
  ASSERT_EQ(ecb->ServerSupportFunction(ecb->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, nullptr, &length,
                                       reinterpret_cast<uint32_t*>(const_cast<char*>(header.c_str()))), 1);
  uint32_t n = 5;
  ASSERT_EQ(ecb->WriteClient(ecb->ConnID, "<HTML", &n, 0), 1);
  n = 8;
  ASSERT_EQ(ecb->WriteClient(ecb->ConnID, "></HTML>", &n, 0), 1);
  ConnectionContext::Unregister(context.get());
  // Once answered, the ConnID no longer reaches the connection.
  n = 1;
  EXPECT_EQ(ecb->WriteClient(ecb->ConnID, "x", &n, 0), 0);
  HttpTransport::Response response;
  ASSERT_TRUE(context->BuildResponse(response));
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.contentType, "text/html");
  EXPECT_EQ(response.body, "<HTML></HTML>");  // its own length, not the header's 999
  ASSERT_EQ(response.headers.size(), 1u);
  EXPECT_EQ(response.headers[0].first, "Cache-Control");
  EXPECT_EQ(context->WriteClient("x", &n), 0);  // closed
}

TEST_F(ControlBlockTest, StatusTextAndNothingAtAll) {
  auto context = Open("GET", "/KOR/x");
  EXTENSION_CONTROL_BLOCK* ecb = context->Ecb();
  uint32_t length = 2;
  EXPECT_EQ(ecb->ServerSupportFunction(ecb->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, const_cast<char*>("999 Odd"),
                                       &length, reinterpret_cast<uint32_t*>(const_cast<char*>("\r\n"))), 0);
  ASSERT_EQ(ecb->ServerSupportFunction(ecb->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, const_cast<char*>("404 Not Found"),
                                       &length, reinterpret_cast<uint32_t*>(const_cast<char*>("\r\n"))), 1);
  EXPECT_EQ(ecb->ServerSupportFunction(ecb->ConnID, 9999, nullptr, nullptr, nullptr), 0);
  HttpTransport::Response response;
  ASSERT_TRUE(context->BuildResponse(response));
  EXPECT_EQ(response.status, 404);

  auto silent = Open("GET", "/KOR/y");
  HttpTransport::Response none;
  EXPECT_FALSE(silent->BuildResponse(none));
}

TEST_F(ControlBlockTest, SendFileStaysInTheFolder) {
  auto context = Open("GET", "/KOR/ORLA.CSS");
  EXPECT_EQ(SendFile(context->Ecb(), dir_.File("web/ORLA.CSS")), 1u);  // found ignoring case
  HttpTransport::Response response;
  ASSERT_TRUE(context->BuildResponse(response));
  EXPECT_EQ(response.contentType, "text/css");
  ASSERT_TRUE(response.file);
  EXPECT_EQ(response.file->size, 3u);

  auto outside = Open("GET", "/KOR/x");
  EXPECT_EQ(SendFile(outside->Ecb(), dir_.File("secret.txt")), 0u);
  EXPECT_EQ(SendFile(outside->Ecb(), dir_.File("web/../secret.txt")), 0u);
  HttpTransport::Response refused;
  ASSERT_TRUE(outside->BuildResponse(refused));
  EXPECT_EQ(refused.status, 403);
  EXPECT_FALSE(refused.file);

  auto folder = Open("GET", "/KOR/sub/");
  EXPECT_EQ(SendFile(folder->Ecb(), dir_.File("web/sub")), 1u);
  HttpTransport::Response index;
  ASSERT_TRUE(folder->BuildResponse(index));
  ASSERT_TRUE(index.file);
  EXPECT_EQ(index.file->size, 8u);
}

TEST_F(ControlBlockTest, ServerVariablesFollowTheBufferRules) {
  auto context = Open("GET", "/KOR/x?a=1");
  EXTENSION_CONTROL_BLOCK* ecb = context->Ecb();
  uint32_t size = 0;
  EXPECT_EQ(ecb->GetServerVariable(ecb->ConnID, "HTTP_USER_AGENT", nullptr, &size), 0);
  EXPECT_EQ(size, 5u);
  char small[3];
  size = sizeof(small);
  EXPECT_EQ(ecb->GetServerVariable(ecb->ConnID, "HTTP_USER_AGENT", small, &size), 0);
  char buf[64];
  for (const auto& [name, value] : {std::pair<const char*, const char*>{"HTTP_USER_AGENT", "test"},
                                    {"SERVER_NAME", "agent.example"}, {"QUERY_STRING", "a=1"}}) {
    size = sizeof(buf);
    ASSERT_EQ(ecb->GetServerVariable(ecb->ConnID, name, buf, &size), 1) << name;
    EXPECT_STREQ(buf, value);
  }
  size = sizeof(buf);
  EXPECT_EQ(ecb->GetServerVariable(ecb->ConnID, "NO_SUCH_VARIABLE", buf, &size), 0);
}

TEST(RequestChecks, SameOriginMeansHttpsAndTheRequestedHost) {
  auto request = [](const std::string& host, const std::string& origin, const std::string& referer) {
    HttpTransport::Request r;
    r.method = "POST";
    if (!host.empty()) r.headers.emplace_back("Host", host);
    if (!origin.empty()) r.headers.emplace_back("Origin", origin);
    if (!referer.empty()) r.headers.emplace_back("Referer", referer);
    return RequestGate::SameOrigin(r);
  };
  EXPECT_TRUE(request("agent:2381", "https://agent:2381", ""));
  EXPECT_TRUE(request("Agent:2381", "https://AGENT:2381", ""));
  EXPECT_TRUE(request("agent", "https://agent:443", ""));
  EXPECT_TRUE(request("[::1]:2381", "https://[::1]:2381", ""));
  EXPECT_TRUE(request("agent:2381", "", "https://agent:2381/KOR/add_element.html?x=1"));
  EXPECT_FALSE(request("agent:2381", "https://agent:2382", ""));
  EXPECT_FALSE(request("agent:2381", "http://agent:2381", ""));
  EXPECT_FALSE(request("agent:2381", "https://agent.evil:2381", ""));
  EXPECT_FALSE(request("agent:2381", "null", "https://agent:2381/"));  // Origin wins over Referer
  EXPECT_FALSE(request("agent:2381", "", ""));
  EXPECT_FALSE(request("", "https://agent:2381", ""));
}

TEST(RequestChecks, EarlyRefusalsBeforeTheBodyIsRead) {
  test::TempDir dir;
  ZepaServer::Settings settings = SettingsIn(dir.Path());
  settings.maxBodyBytes = 100;
  ZepaServer server(settings);
  auto check = [&](const std::string& method, std::vector<std::pair<std::string, std::string>> headers) {
    HttpTransport::Request r;
    r.method = method;
    r.path = "/KOR/x";
    r.headers = std::move(headers);
    HttpTransport::Response response;
    return server.EarlyCheck(r, response) ? response.status : 0;
  };
  const std::pair<std::string, std::string> host{"Host", "a:1"}, origin{"Origin", "https://a:1"};
  EXPECT_EQ(check("GET", {host}), 0);
  EXPECT_EQ(check("HEAD", {host}), 0);
  EXPECT_EQ(check("TRACE", {host}), 405);
  EXPECT_EQ(check("CONNECT", {host}), 405);
  // The declared length (400 when malformed, 413 over the cap) is the
  // transport's, checked before these: the hostile-client table covers it.
  EXPECT_EQ(check("POST", {host, origin, {"Content-Length", "100"}}), 0);
  EXPECT_EQ(check("POST", {host, {"Content-Length", "10"}}), 403);
  EXPECT_EQ(check("DELETE", {host, {"Origin", "https://b:1"}}), 403);
}

TEST(RequestChecks, OnlyTheSecretMarksARequestInternal) {
  const std::string secret = InternalSecret::Value();
  EXPECT_EQ(secret.size(), 64u);
  struct Case {
    std::vector<std::pair<std::string, std::string>> headers;
    bool internal;
    std::vector<std::string> kept;  // header names left for the extension
  };
  const Case cases[] = {
      {{{"Host", "a"}, {"VESTRA_MACHINE", "1.2.3.4"}, {"vestra-community", "x"}, {"VESTRAX", "y"}},
       false,
       {"Host", "VESTRAX"}},
      {{{"X-ZEPA-Internal", secret}, {"VESTRA_MACHINE", "1.2.3.4"}}, true, {"VESTRA_MACHINE"}},
      {{{"x-zepa-internal", secret}, {"X-ZEPA-Internal", "forged"}, {"VESTRA_DEVICE", "d"}}, false, {}},
      {{{"X-ZEPA-Internal", secret.substr(0, 63)}}, false, {}},
      {{{"X-ZEPA-Internal", secret + "0"}}, false, {}},
  };
  for (const Case& c : cases) {
    HttpTransport::Request request;
    request.headers = c.headers;
    RequestGate::SortOutInternal(request);
    EXPECT_EQ(request.internal, c.internal) << c.headers.size();
    std::vector<std::string> names;
    for (const auto& header : request.headers) names.push_back(header.first);
    EXPECT_EQ(names, c.kept);
  }
}

TEST(RequestChecks, TheSecretGoesOnlyToThisServer) {
  struct Case {
    const char* url;
    bool own;
    const char* listen;  // the address the server is bound to
  };
  for (const Case& c : {Case{"https://localhost:2381/webagent/Fibre/", true, "0.0.0.0"},
                        Case{"https://LOCALHOST:2381/", true, "0.0.0.0"}, Case{"https://127.0.0.1:2381/", true, "::"},
                        Case{"https://[::1]:2381/", true, "0.0.0.0"}, Case{"https://localhost:2382/", false, "0.0.0.0"},
                        Case{"https://10.1.2.3:2381/", false, "0.0.0.0"},
                        Case{"https://device.example:2381/", false, "0.0.0.0"},
                        Case{"https://localhost/", false, "0.0.0.0"},
                        // Bound to one address: that address is this server too.
                        Case{"https://10.1.2.3:2381/webagent/Fibre/", true, "10.1.2.3"},
                        Case{"https://[fd00::a]:2381/", true, "fd00::A"}, Case{"https://10.1.2.4:2381/", false, "10.1.2.3"},
                        Case{"https://10.1.2.3:2382/", false, "10.1.2.3"}}) {
    test::TempDir dir;
    ZepaServer::Settings settings = SettingsIn(dir.Path());
    settings.port = 2381;
    settings.address = c.listen;
    ZepaServer server(settings);
    ClientUrl url;
    ASSERT_TRUE(ClientUrl::Parse(c.url, &url)) << c.url;
    EXPECT_EQ(server.IsOwnUrl(url), c.own) << c.url << " " << c.listen;
  }
}
