// The web server library with the test extension, against curl and openssl
// as real peers on the loopback address.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text/string_printf.h"
#include "platform/zepa/zepa.h"
#include "tests/integration/zepa/extension_server_test.h"
#include "tests/support/agent_process.h"
#include "tests/integration/zepa/test_extension.h"
#include "tests/support/file_text.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_lines.h"
#include "tests/unit/zepa/sample_extension_record.h"

using orla::StringPrintf;
using orla::test::Contains;
using orla::test::AgentProcess;
using orla::test::ReadFile;
using orla::test::TestExtension;
using orla::test::WriteFile;

namespace {

using Reply = orla::test::CurlReply;

// korusers on the data directory `data`, `input` on its standard input.
AgentProcess::Result Korusers(const std::string& data, const std::vector<std::string>& args,
                               const std::string& input = "") {
  std::vector<std::string> argv = {KORUSERS_PATH, "-d", data};
  argv.insert(argv.end(), args.begin(), args.end());
  return AgentProcess::Run(argv, input);
}

class ZepaServerTest : public orla::test::ExtensionServerTest {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    content_ = dir_.File("KORZEPA");
    agent_ = dir_.File("agent");
    fs::create_directories(content_ + "/sub");
    fs::create_directories(agent_);
    fs::create_directories(dir_.File("outside"));
    WriteFile(content_ + "/default.htm", "<HTML><BODY>KOR root page</BODY></HTML>");
    WriteFile(content_ + "/style.css", "body { color: black; }\n");
    WriteFile(content_ + "/pic.gif", std::string("GIF89a\x01\x00\x01\x00\x00\xff\x00", 13));
    WriteFile(content_ + "/sub/index.html", "<HTML><BODY>sub index</BODY></HTML>");
    WriteFile(dir_.File("outside/secret.txt"), "secret outside the folder");
    fs::create_symlink(dir_.File("outside"), content_ + "/link");
    fs::create_symlink(dir_.File("outside/secret.txt"), content_ + "/leak.txt");
    fs::create_symlink(content_ + "/style.css", content_ + "/alias.css");
    StartServer(dir_.File("KORZEPD"), content_, agent_);
    adminPassword_ = orla::test::ReadLine(data_ + "/administrator-password.txt");
  }

  // Logs in through the login form; the session cookie goes to `jar`.
  Reply Login(const std::string& user, const std::string& password, const std::string& jar) {
    return Curl("/zepa/login", {"-c", jar, "-H", "Origin: " + Origin(), "--data-urlencode", "user=" + user,
                                "--data-urlencode", "password=" + password, "--data-urlencode", "return=/KOR/"});
  }

  std::string content_, agent_, adminPassword_;
};

TEST_F(ZepaServerTest, TlsWorksWithTheSelfMadeCertificate) {
  // First start: certificate, key (owner-only) and the administrator's
  // password file (owner-only) in the data directory, and a log entry.
  struct stat st;
  ASSERT_EQ(stat((data_ + "/server.key").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((data_ + "/administrator-password.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(adminPassword_.size(), 20u);
  EXPECT_EQ(log_.Count("administrator-password.txt"), 1);

  const auto names = AgentProcess::Run({"openssl", "x509", "-in", Certificate(), "-noout", "-ext", "subjectAltName"});
  EXPECT_TRUE(Contains(names.out, "DNS:localhost")) << names.out;
  EXPECT_TRUE(Contains(names.out, "IP Address:127.0.0.1")) << names.out;

  // openssl as the client, ended at once by its "Q" command.
  const auto client = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"openssl", "s_client", "-connect", StringPrintf("127.0.0.1:%d", port_)});
    return AgentProcess::Run(args, "Q\n");
  };
  const auto tls13 = client({"-servername", "localhost", "-CAfile", Certificate(), "-verify_return_error",
                             "-verify_hostname", "localhost"});
  EXPECT_EQ(tls13.exitCode, 0) << tls13.err;
  EXPECT_TRUE(Contains(tls13.out, "Verify return code: 0 (ok)")) << tls13.out;
  EXPECT_TRUE(Contains(tls13.out + tls13.err, "TLSv1.3")) << tls13.out;
  const auto tls12 = client({"-tls1_2", "-CAfile", Certificate(), "-verify_return_error"});
  EXPECT_EQ(tls12.exitCode, 0) << tls12.err;
  EXPECT_TRUE(Contains(tls12.out, "Protocol  : TLSv1.2")) << tls12.out;
  // TLS 1.1 is refused (the client is allowed every level so that the
  // refusal is the server's).
  const auto tls11 = client({"-tls1_1", "-cipher", "DEFAULT@SECLEVEL=0"});
  EXPECT_NE(tls11.exitCode, 0);

  // The home page shows each extension's fragment.
  const Reply home = Curl("/");
  EXPECT_EQ(home.status, 200);
  EXPECT_TRUE(Contains(home.body, "Monitor and configure tape controllers on the Storage Area Network."));
  EXPECT_TRUE(Contains(home.body, "Device web agent"));
  EXPECT_TRUE(Contains(home.headers, "X-Content-Type-Options: nosniff"));
}

TEST_F(ZepaServerTest, RightsFollowTheSession) {
  // Without a session the rights query answers 0x80000000.
  EXPECT_EQ(Curl("/KOR/rights").body, "rights=0x80000000");

  // A wrong password: the form again, no cookie, a warning in the log.
  const std::string jar = dir_.File("jar.txt");
  const Reply wrong = Login("administrator", "not-the-password", jar);
  EXPECT_EQ(wrong.status, 401);
  EXPECT_FALSE(Contains(wrong.headers, "Set-Cookie"));
  EXPECT_EQ(log_.Count("login as administrator"), 1);

  // The first-start administrator holds every bit.
  const Reply login = Login("administrator", adminPassword_, jar);
  EXPECT_EQ(login.status, 303);
  EXPECT_TRUE(Contains(login.headers, "Location: /KOR/")) << login.headers;
  EXPECT_TRUE(Contains(login.headers, "Set-Cookie: __Host-ZEPASESSION=")) << login.headers;
  EXPECT_TRUE(Contains(login.headers, "Path=/;")) << login.headers;
  EXPECT_TRUE(Contains(login.headers, "; Secure; HttpOnly; SameSite=Strict")) << login.headers;
  EXPECT_EQ(Curl("/KOR/rights", {"-b", jar}).body, "rights=0x7fffffff");
  EXPECT_TRUE(Contains(Curl("/KOR/echo", {"-b", jar}).body, "user=administrator"));
  // The static pages learn the signed-in user from the library.
  const Reply who = Curl("/zepa/session", {"-b", jar});
  EXPECT_EQ(who.body, "administrator");
  EXPECT_EQ(who.type, "text/plain; charset=utf-8");
  EXPECT_EQ(Curl("/zepa/session").body, "");

  // A user the users tool adds gets its own mask.
  const auto added = Korusers(data_, {"add", "operator", "KORAccess=1"}, "operator-pass\n");
  ASSERT_EQ(added.exitCode, 0) << added.err;
  const std::string jar2 = dir_.File("jar2.txt");
  EXPECT_EQ(Login("operator", "operator-pass", jar2).status, 303);
  EXPECT_EQ(Curl("/KOR/rights", {"-b", jar2}).body, "rights=0x00000001");
  // Without the administrator bit the page's 1015 becomes "no access".
  const Reply noAccess = Curl("/KOR/admin", {"-b", jar2});
  EXPECT_EQ(noAccess.status, 403);
  EXPECT_TRUE(Contains(noAccess.body, "No access"));
  EXPECT_EQ(Curl("/KOR/admin", {"-b", jar}).status, 200);

  // Rights changed by the tool apply at once; a new password ends the
  // session; logging out ends it too.
  ASSERT_EQ(Korusers(data_, {"rights", "operator", "KORAccess=3"}).exitCode, 0);
  EXPECT_EQ(Curl("/KOR/rights", {"-b", jar2}).body, "rights=0x00000003");
  ASSERT_EQ(Korusers(data_, {"password", "operator"}, "another-pass\n").exitCode, 0);
  EXPECT_EQ(Curl("/KOR/rights", {"-b", jar2}).body, "rights=0x80000000");
  // Logging out is a POST from this server's pages: reading its address
  // only shows the form, and a POST from elsewhere is refused.
  const Reply form = Curl("/zepa/logout", {"-b", jar});
  EXPECT_EQ(form.status, 200);
  EXPECT_TRUE(Contains(form.body, "<FORM class=logout method=POST action=\"/zepa/logout\"")) << form.body;
  EXPECT_EQ(Curl("/zepa/logout", {"-b", jar, "--data", "", "-H", "Origin: https://attacker.example"}).status, 403);
  EXPECT_EQ(Curl("/KOR/rights", {"-b", jar}).body, "rights=0x7fffffff");
  const Reply out = Curl("/zepa/logout", {"-b", jar, "-c", jar, "--data", "", "-H", "Origin: " + Origin()});
  EXPECT_EQ(out.status, 200);
  EXPECT_TRUE(Contains(out.headers, "Max-Age=0"));
  EXPECT_EQ(Curl("/KOR/rights", {"-b", jar}).body, "rights=0x80000000");
}

TEST_F(ZepaServerTest, AnotherAccountsSuccessResetsNoThrottle) {
  for (const char* user : {"reader", "operator"}) {
    ASSERT_EQ(Korusers(data_, {"add", user, "KORAccess=1"}, std::string(user) + "-pass\n").exitCode, 0);
  }
  const std::string jar = dir_.File("jar.txt");
  const auto from = [&](const std::string& address, const std::string& user, const std::string& password) {
    return Curl("/zepa/login", {"--interface", address, "-c", jar, "-H", "Origin: " + Origin(), "--data-urlencode",
                                "user=" + user, "--data-urlencode", "password=" + password})
        .status;
  };
  // One address guesses the administrator's password, logging in as the
  // reader after every four failures: the fifth failure blocks the
  // administrator from that address all the same, the right password
  // included; the reader's own log-in there is not blocked.
  for (int i = 0; i < 4; ++i) ASSERT_EQ(from("127.0.0.1", "administrator", "guess"), 401) << i;
  EXPECT_EQ(from("127.0.0.1", "reader", "reader-pass"), 303);
  EXPECT_EQ(from("127.0.0.1", "administrator", "guess"), 401);
  EXPECT_EQ(from("127.0.0.1", "administrator", adminPassword_), 429);
  EXPECT_EQ(from("127.0.0.1", "reader", "reader-pass"), 303);
  // The guesses lock the administrator out from that address only.
  EXPECT_EQ(from("127.0.0.9", "administrator", adminPassword_), 303);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(from(StringPrintf("127.0.0.%d", 10 + i), "reader", "guess"), 401) << i;
  EXPECT_EQ(from("127.0.0.20", "reader", "reader-pass"), 303);
}

TEST_F(ZepaServerTest, AUsersLoginsEndOnlyItsOwnOldestSessions) {
  ASSERT_EQ(Korusers(data_, {"add", "reader", "KORAccess=1"}, "reader-pass\n").exitCode, 0);
  const std::string admin = dir_.File("admin.jar");
  ASSERT_EQ(Login("administrator", adminPassword_, admin).status, 303);
  // 33 logins of the reader: its first session gives way to the 33rd.
  std::vector<std::string> jars;
  for (int i = 0; i < 33; ++i) {
    jars.push_back(dir_.File(StringPrintf("reader%d.jar", i)));
    ASSERT_EQ(Login("reader", "reader-pass", jars.back()).status, 303) << i;
  }
  EXPECT_EQ(Curl("/KOR/rights", {"-b", admin}).body, "rights=0x7fffffff");
  EXPECT_EQ(Curl("/KOR/rights", {"-b", jars[0]}).body, "rights=0x80000000");
  for (int i : {1, 32}) EXPECT_EQ(Curl("/KOR/rights", {"-b", jars[i]}).body, "rights=0x00000001") << i;
}

TEST_F(ZepaServerTest, PostsFromAnotherOriginAreRefused) {
  const std::vector<std::string> data = {"--data", "element_name=tc01&element_address=10.1.2.3"};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.end(), data.begin(), data.end());
    return Curl("/KOR/echo", extra);
  };
  EXPECT_EQ(with({}).status, 403);  // neither Origin nor Referer
  EXPECT_EQ(with({"-H", "Origin: https://attacker.example"}).status, 403);
  EXPECT_EQ(with({"-H", "Origin: null"}).status, 403);
  EXPECT_EQ(with({"-H", StringPrintf("Origin: http://localhost:%d", port_)}).status, 403);  // not https
  EXPECT_EQ(with({"-H", StringPrintf("Origin: https://localhost:%d", port_ + 1)}).status, 403);
  EXPECT_EQ(with({"-H", "Referer: https://attacker.example/KOR/"}).status, 403);
  // The login form is guarded the same way.
  EXPECT_EQ(Curl("/zepa/login", {"--data", "user=administrator&password=" + adminPassword_}).status, 403);
  // A program's call with a bearer token needs no Origin, unless it also
  // carries a session cookie (which a browser adds by itself) or a second
  // Authorization header.
  const std::string bearer = "Authorization: Bearer kor_anything";
  EXPECT_EQ(with({"-H", bearer}).status, 200);
  EXPECT_EQ(with({"-H", bearer, "-H", "Cookie: __Host-ZEPASESSION=x"}).status, 403);
  EXPECT_EQ(with({"-H", bearer, "-H", "Authorization: Basic eDp5"}).status, 403);
  EXPECT_EQ(with({"-H", "Authorization: Basic eDp5"}).status, 403);

  const Reply same = with({"-H", "Origin: " + Origin()});
  EXPECT_EQ(same.status, 200);
  EXPECT_TRUE(Contains(same.body, "method=POST\n"));
  EXPECT_TRUE(Contains(same.body, "data=element_name=tc01&element_address=10.1.2.3\n"));
  EXPECT_TRUE(Contains(same.body, "type=application/x-www-form-urlencoded\n"));
  EXPECT_EQ(with({"-H", "Referer: " + Url("/KOR/add_element.html")}).status, 200);
  EXPECT_EQ(with({"-H", StringPrintf("Origin: https://LOCALHOST:%d", port_)}).status, 200);
}

TEST_F(ZepaServerTest, OversizedBodiesGet413) {
  const std::string big(9000, 'a');
  const std::string file = dir_.File("big.txt");
  WriteFile(file, "x=" + big);
  EXPECT_EQ(Curl("/KOR/echo", {"-H", "Origin: " + Origin(), "--data-binary", "@" + file}).status, 413);
  // A body without a length up front (chunked) is not read at all.
  EXPECT_EQ(Curl("/KOR/echo", {"-H", "Origin: " + Origin(), "-H", "Transfer-Encoding: chunked", "--data-binary",
                               "@" + file})
                .status,
            501);
  // Just under the cap is fine.
  WriteFile(file, "x=" + std::string(8000, 'b'));
  const Reply ok = Curl("/KOR/echo", {"-H", "Origin: " + Origin(), "--data-binary", "@" + file});
  EXPECT_EQ(ok.status, 200);
  EXPECT_TRUE(Contains(ok.body, "bytes=8002\n"));
}

TEST_F(ZepaServerTest, PathsStayInsideTheFolder) {
  // Traversal in every spelling, and links that lead out of the folder.
  for (const char* path : {"/KOR/../x", "/KOR/sub/../../KORZEPD/server.key", "/KOR/%2e%2e/KORZEPD/server.key",
                           "/KOR/%2E%2E%2FKORZEPD%2Fserver.key", "/KOR/..%5cKORZEPD%5cserver.key",
                           "/KOR/style.css%00.gif", "/KOR/link/secret.txt", "/KOR/leak.txt"}) {
    EXPECT_EQ(Curl(path, {"--path-as-is"}).status, 403) << path;
  }
  // A link inside the folder is fine.
  const Reply alias = Curl("/KOR/alias.css");
  EXPECT_EQ(alias.status, 200);
  EXPECT_EQ(alias.type, "text/css");
  // Nor may the extension send a file from elsewhere.
  const Reply outside = Curl("/KOR/outside");
  EXPECT_EQ(outside.status, 403);
  EXPECT_FALSE(Contains(outside.body, "PRIVATE KEY"));
  // The translated path is the folder joined with the path, normalised.
  EXPECT_TRUE(Contains(Curl("/KOR/echo").body, "translated=" + content_ + "/echo\n"));
  EXPECT_EQ(Curl("/KOR//./sub/./index.html", {"--path-as-is"}).body, "<HTML><BODY>sub index</BODY></HTML>");
}

TEST_F(ZepaServerTest, FilesAreSentWithTheirType) {
  const Reply css = Curl("/KOR/style.css");
  EXPECT_EQ(css.status, 200);
  EXPECT_EQ(css.type, "text/css");
  EXPECT_EQ(css.body, "body { color: black; }\n");
  const Reply gif = Curl("/KOR/pic.gif");
  EXPECT_EQ(gif.type, "image/gif");
  EXPECT_EQ(gif.body, std::string("GIF89a\x01\x00\x01\x00\x00\xff\x00", 13));
  const Reply head = Curl("/KOR/style.css", {"-I"});
  EXPECT_EQ(head.status, 200);
  EXPECT_TRUE(Contains(head.headers, "Content-Length: 23")) << head.headers;
  EXPECT_EQ(Curl("/KOR/missing.html").status, 404);
  // A folder without its slash is redirected; with it, its default page.
  const Reply folder = Curl("/KOR/sub");
  EXPECT_EQ(folder.status, 302);
  EXPECT_TRUE(Contains(folder.headers, "Location: /KOR/sub/"));
  const Reply index = Curl("/KOR/sub/");
  EXPECT_EQ(index.status, 200);
  EXPECT_EQ(index.body, "<HTML><BODY>sub index</BODY></HTML>");
  EXPECT_EQ(Curl("/nowhere.html").status, 404);
}

TEST_F(ZepaServerTest, LeavingTheAnswerToTheLibraryLandsOnTheLoginPage) {
  const Reply root = Curl("/KOR/");
  EXPECT_EQ(root.status, 302);
  EXPECT_TRUE(Contains(root.headers, "Location: /zepa/login?return=%2FKOR%2F")) << root.headers;
  const Reply followed = Curl("/kor/DEFAULT.HTM", {"-L"});
  EXPECT_EQ(followed.status, 200);
  EXPECT_TRUE(Contains(followed.body, "<FORM class=login method=POST action=\"/zepa/login\">"));
  EXPECT_TRUE(Contains(followed.body, "value=\"/kor/DEFAULT.HTM\""));

  // Once logged in the root page is the folder's default page, in any case.
  const std::string jar = dir_.File("jar.txt");
  ASSERT_EQ(Login("administrator", adminPassword_, jar).status, 303);
  for (const char* path : {"/KOR/", "/KOR", "/kor/DEFAULT.HTM", "/KOR/Default.htm"}) {
    const Reply page = Curl(path, {"-b", jar, "-L"});
    EXPECT_EQ(page.status, 200) << path;
    EXPECT_EQ(page.body, "<HTML><BODY>KOR root page</BODY></HTML>") << path;
  }
}

TEST_F(ZepaServerTest, TheLibrarysOwnPagesTakeTheLookTheProgramGives) {
  // A path that could leave its attribute or lead to another server is
  // refused and changes nothing.
  for (const char* bad : {"style.css", "//elsewhere/x.css", "/a b.css", "/a\".css", "/a<b", "/a\\b", "/a\nb"}) {
    EXPECT_EQ(ZEPASetPageLook(bad, nullptr, nullptr), 0) << bad;
  }
  EXPECT_EQ(Curl("/favicon.ico").status, 404);

  ASSERT_EQ(ZEPASetPageLook("/KOR/style.css", "/KOR/look.js", "/KOR/pic.gif"), 1);
  const Reply login = Curl("/zepa/login");
  for (const char* part : {"<HTML lang=\"en\">", "<LINK rel=\"stylesheet\" href=\"/KOR/style.css\">",
                           "<SCRIPT src=\"/KOR/look.js\"></SCRIPT>",
                           "<BODY class=\"zepa-page\"><MAIN>", "</MAIN></BODY></HTML>"}) {
    EXPECT_TRUE(Contains(login.body, part)) << part << "\n" << login.body;
  }
  const Reply icon = Curl("/favicon.ico", {"-L"});
  EXPECT_EQ(icon.status, 200);
  EXPECT_EQ(icon.type, "image/gif");

  ASSERT_EQ(ZEPASetPageLook(nullptr, "", nullptr), 1);
  EXPECT_FALSE(Contains(Curl("/zepa/login").body, "<LINK"));
  EXPECT_EQ(Curl("/favicon.ico").status, 404);
}

TEST_F(ZepaServerTest, ClientRequestGoesThroughItsStatesAndAnswersTheBrowser) {
  const Reply reply = Curl("/KOR/fetch/status.html?device=tc01&addr=10.1.2.3");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.type, "application/x-agent-page");
  // The fetched page's caching header reaches the browser.
  EXPECT_TRUE(Contains(reply.headers, "Cache-Control: no-cache\r\n")) << reply.headers;
  EXPECT_TRUE(Contains(reply.body, "agent-path=/webagent/Fibre/status.html\n")) << reply.body;
  EXPECT_TRUE(Contains(reply.body, "agent-method=GET\n"));
  EXPECT_TRUE(Contains(reply.body, "VESTRA_MACHINE=10.1.2.3\n")) << reply.body;
  EXPECT_TRUE(Contains(reply.body, "VESTRA_COMMUNITY=public\n"));
  EXPECT_TRUE(Contains(reply.body, "VESTRA_SETCOMMUNITY=\n"));
  EXPECT_TRUE(Contains(reply.body, "VESTRA_DEVICE=tc01\n"));
  EXPECT_TRUE(Contains(reply.body, "VESTRA_TIMEOUT=2000\n"));
  EXPECT_TRUE(Contains(reply.body, "VESTRA_RETRIES=3\n"));

  const auto events = TestExtension::Events();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].state, 16u);
  EXPECT_TRUE(events[0].sendBytesOk);
  EXPECT_EQ(events[1].state, 11u);
  EXPECT_EQ(events[1].status, 200u);
  EXPECT_TRUE(events[1].hadCacheFile);
  EXPECT_TRUE(events[1].cacheFileExisted);
  EXPECT_EQ(events[2].state, 14u);
  // The cache file is gone once the request is over.
  struct stat st;
  EXPECT_NE(stat(events[1].cacheFile.c_str(), &st), 0);
  EXPECT_EQ(events[1].cacheFile.rfind(data_ + "/cache/", 0), 0u) << events[1].cacheFile;
}

TEST_F(ZepaServerTest, ClientRequestsGoStraightToTheDeviceWhateverProxyTheEnvironmentNames) {
  // A proxy named in the agent's environment (a shell's, say) must not take
  // the requests to the devices, nor make them fail.
  const std::string nowhere = "http://127.0.0.1:9";
  orla::test::ScopedEnv https("https_proxy", nowhere), http("http_proxy", nowhere), all("ALL_PROXY", nowhere),
      none("no_proxy", "");
  const Reply reply = Curl("/KOR/fetch/status.html?device=tc01&addr=10.1.2.3", {"--noproxy", "*"});
  EXPECT_EQ(reply.status, 200) << reply.body;
  EXPECT_TRUE(Contains(reply.body, "agent-path=/webagent/Fibre/status.html\n")) << reply.body;
}

TEST_F(ZepaServerTest, ClientPostForwardsTheBodyAndTheStatus) {
  const Reply post = Curl("/KOR/fetchpost/set.html?addr=10.1.2.3",
                          {"-H", "Origin: " + Origin(), "--data", "speed=4&name=a+b"});
  EXPECT_EQ(post.status, 200);
  EXPECT_TRUE(Contains(post.body, "agent-method=POST\n")) << post.body;
  EXPECT_TRUE(Contains(post.body, "agent-data=speed=4&name=a+b\n"));
  EXPECT_TRUE(Contains(post.body, "VESTRA_MACHINE=10.1.2.3\n"));

  // The fetched response's status goes to the browser with its body.
  const Reply missing = Curl("/KOR/fetch/missing.html");
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.body, "<HTML><BODY>no such page</BODY></HTML>");
}

TEST_F(ZepaServerTest, ClientRequestWithoutResponseGives502) {
  const Reply reply = Curl("/KOR/fetchdead");
  EXPECT_EQ(reply.status, 502);
  const auto events = TestExtension::Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].state, 16u);
  EXPECT_EQ(events[1].state, 14u);
  EXPECT_EQ(events[1].status, 0u);
}

TEST_F(ZepaServerTest, ExtensionAnswersAreMapped) {
  const Reply echo = Curl("/KOR/echo?x=1%202&y=%41");
  EXPECT_TRUE(Contains(echo.body, "method=GET\n"));
  EXPECT_TRUE(Contains(echo.body, "query=x=1%202&y=%41\n"));  // as sent
  EXPECT_TRUE(Contains(echo.body, "data=(null)\n"));          // no body, no data
  EXPECT_EQ(echo.type, "text/plain");
  EXPECT_EQ(Curl("/KOR/nothing").status, 500);
  EXPECT_EQ(Curl("/KOR/throw").status, 500);
  const Reply redirect = Curl("/KOR/redirect");
  EXPECT_EQ(redirect.status, 302);
  EXPECT_TRUE(Contains(redirect.headers, "Location: /KOR/echo"));
  EXPECT_EQ(Curl("/KOR/leave").status, 302);
  EXPECT_EQ(Curl("/KOR/echo", {"-X", "TRACE"}).status, 405);
  // Other methods reach the extension; it serves the file.
  EXPECT_EQ(Curl("/KOR/style.css", {"-X", "OPTIONS"}).status, 200);
}

TEST_F(ZepaServerTest, ManyConcurrentRequestsAreAllAnswered) {
  // One curl process with up to 24 transfers at once over separate
  // connections, pages, files and client requests mixed.
  std::vector<std::string> argv = {"curl", "-sS", "--cacert", Certificate(), "--parallel", "--parallel-max", "24",
                                   "--max-time", "60", "-w", "%{http_code}\\n"};
  const char* const paths[] = {"/KOR/fetch/p.html?addr=1.2.3.4", "/KOR/style.css", "/KOR/rights", "/"};
  for (int i = 0; i < 40; ++i) argv.insert(argv.end(), {"-o", "/dev/null", Url(paths[i % 4])});
  const auto run = AgentProcess::Run(argv, "", 120);
  std::istringstream codes(run.out);
  int count = 0, ok = 0, code = 0;
  while (codes >> code) {
    ++count;
    if (code == 200) ++ok;
  }
  EXPECT_EQ(count, 40) << run.out << run.err;
  EXPECT_EQ(ok, 40) << run.out;
  EXPECT_EQ(TestExtension::Events().size(), 30u);  // ten client requests, three states each
}

TEST_F(ZepaServerTest, ASecondServerCannotTakeTheSamePort) {
  ServerStartupRecord record = orla::test::StartupRecord("KOR", dir_.File("other"));
  uint32_t handle = 0;
  EXPECT_EQ(ZEPAStartupHTTPServer(&record, &handle), 0);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(log_.Count("Address already in use"), 1);
  // A malformed record is refused before anything is made.
  record.dwSize = 1580;
  EXPECT_EQ(ZEPAStartupHTTPServer(&record, &handle), 0);
  EXPECT_EQ(ZEPASetIsapiStackSize(12345, 48000), 0);  // no such server
  EXPECT_EQ(ZEPARegisterIsapiExtension(TestExtension::Handle(), nullptr), 0);
  // The running server is unharmed.
  EXPECT_EQ(Curl("/KOR/rights").status, 200);
}

TEST_F(ZepaServerTest, ShutdownTerminatesEachExtensionOnce) {
  const uint32_t handle = TestExtension::Handle();
  EXPECT_EQ(TestExtension::VersionCalls(), 2);
  TestExtension::Stop();
  started_ = false;
  // Both termination callbacks ran; they called the shutdown again, which
  // the library took as the one already under way.
  EXPECT_EQ(TestExtension::Terminations(), 2);
  EXPECT_EQ(ZEPAShutdownHTTPServer(handle), 0);  // the handle is gone
  const auto refused = AgentProcess::Run({"curl", "-sS", "--cacert", Certificate(), "--max-time", "5", Url("/")});
  EXPECT_NE(refused.exitCode, 0);
  // A second server on the same data directory keeps the certificate and
  // the users, and makes no new password.
  const std::string before = ReadFile(Certificate());
  std::remove((data_ + "/administrator-password.txt").c_str());
  ASSERT_TRUE(TestExtension::Start(data_, content_, agent_, "127.0.0.1", port_));
  started_ = true;
  EXPECT_EQ(ReadFile(Certificate()), before);
  EXPECT_FALSE(std::filesystem::exists(data_ + "/administrator-password.txt"));
  EXPECT_EQ(Curl("/KOR/rights").status, 200);
}

TEST_F(ZepaServerTest, ALargerStackRestartsTheListenerOnTheSamePort) {
  // The connection threads' stack is fixed when the listener starts; asking
  // for more than it has starts a new one on the same socket.
  EXPECT_EQ(ZEPASetIsapiStackSize(TestExtension::Handle(), 16u << 20), 1);
  EXPECT_EQ(Curl("/KOR/rights").body, "rights=0x80000000");
  EXPECT_EQ(Curl("/KOR/fetch/p.html?addr=10.1.2.3").status, 200);
  // Refusals made before the request reaches the server's pages carry the
  // same security headers as every answer.
  const Reply refused = Curl("/KOR/echo", {"-H", "Origin: " + Origin(), "-H", "Transfer-Encoding: chunked",
                                           "--data", "x=1"});
  EXPECT_EQ(refused.status, 501);
  EXPECT_TRUE(Contains(refused.headers, "Strict-Transport-Security: max-age=31536000")) << refused.headers;
  EXPECT_TRUE(Contains(refused.headers, "X-Content-Type-Options: nosniff")) << refused.headers;
}

}  // namespace


// korusers at its password prompt on a terminal, ended by each signal a
// person or the system sends: the terminal gets its echo back.
TEST(KorusersTerminal, EchoComesBackWhenThePromptIsInterrupted) {
  orla::test::TempDir dir;
  const std::string script = R"(
import os, pty, signal, sys, termios, time
for name in ("SIGINT", "SIGTERM", "SIGHUP"):
    pid, fd = pty.fork()
    if pid == 0:
        os.execv(sys.argv[1], [sys.argv[1], "-d", sys.argv[2], "add", "bob", "KORAccess=1"])
    out = b""
    deadline = time.time() + 20
    while b"password" not in out and time.time() < deadline:
        out += os.read(fd, 100)
    # The prompt is written just before echo goes off: wait for that.
    while termios.tcgetattr(fd)[3] & termios.ECHO and time.time() < deadline:
        time.sleep(0.01)
    quiet = not (termios.tcgetattr(fd)[3] & termios.ECHO)
    os.kill(pid, getattr(signal, name))
    os.waitpid(pid, 0)
    print(name, "quiet" if quiet else "echo", "restored" if termios.tcgetattr(fd)[3] & termios.ECHO else "lost")
)";
  const auto run = AgentProcess::Run({"python3", "-c", script, KORUSERS_PATH, dir.Path()}, "", 60);
  EXPECT_EQ(run.out, "SIGINT quiet restored\nSIGTERM quiet restored\nSIGHUP quiet restored\n") << run.err;
}

// korusers run as root in a data directory the agent's own user owns works as
// that user: what it writes stays readable by the agent, root's leftovers are
// handed over, and a link planted there never makes root touch another file.
TEST(KorusersAsRoot, WorksAsTheDataDirectoryOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  constexpr uid_t kOwner = 65534;  // nobody
  constexpr gid_t kGroup = 65534;
  orla::test::TempDir dir;
  ASSERT_EQ(chown(dir.Path().c_str(), kOwner, kGroup), 0);
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  const auto owner = [](const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? StringPrintf("%u:%u %o", st.st_uid, st.st_gid, st.st_mode & 07777)
                                         : std::string("missing");
  };
  const auto ownedFolder = [&](const std::string& data) {
    ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
    ASSERT_EQ(chown(data.c_str(), kOwner, kGroup), 0);
  };
  struct Case {
    const char* what;
    std::function<void(const std::string& data)> before;  // the data directory's state
  };
  const std::vector<Case> cases = {
      {"an empty folder of the owner",
       [&](const std::string& data) { ownedFolder(data); }},
      {"a folder still to be made, in one of the owner",
       [&](const std::string&) {}},
      {"the users file and its lock left owned by root",
       [&](const std::string& data) {
         ownedFolder(data);
         WriteFile(data + "/users", "old:$y$j9T$abc$def:KORAccess=1\n");
         WriteFile(data + "/users.lock", "");
         chmod((data + "/users").c_str(), 0600);
         chmod((data + "/users.lock").c_str(), 0600);
       }},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string data = dir.File("data" + std::to_string(n++));
    c.before(data);
    const auto added = Korusers(data, {"add", "operator", "KORAccess=1"}, "a-good-password\n");
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(owner(data), "65534:65534 700");
    EXPECT_EQ(owner(data + "/users"), "65534:65534 600");
    EXPECT_EQ(owner(data + "/users.lock"), "65534:65534 600");
    const auto listed = Korusers(data, {"list"});
    EXPECT_TRUE(Contains(listed.out, "operator\tKORAccess=0x00000001")) << listed.err;
  }

  // A lock file that is a link to a file of root's: neither handed over nor
  // written through; the tool refuses the change.
  const std::string data = dir.File("linked");
  ownedFolder(data);
  WriteFile(dir.File("roots-file"), "root's\n");
  ASSERT_EQ(chmod(dir.File("roots-file").c_str(), 0600), 0);
  ASSERT_EQ(symlink(dir.File("roots-file").c_str(), (data + "/users.lock").c_str()), 0);
  const auto refused = Korusers(data, {"add", "operator"}, "a-good-password\n");
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_TRUE(Contains(refused.err, "it is a symbolic link, which is not followed")) << refused.err;
  EXPECT_EQ(owner(dir.File("roots-file")), "0:0 600");
  EXPECT_EQ(ReadFile(dir.File("roots-file")), "root's\n");
  EXPECT_EQ(owner(data + "/users"), "missing");

  // A hard link to a file of root's, as the users file: refused, not handed over.
  const std::string hard = dir.File("hard");
  ownedFolder(hard);
  ASSERT_EQ(link(dir.File("roots-file").c_str(), (hard + "/users").c_str()), 0);
  const auto linked = Korusers(hard, {"add", "operator"}, "a-good-password\n");
  EXPECT_EQ(linked.exitCode, 2);
  EXPECT_TRUE(Contains(linked.err, "hard links")) << linked.err;
  EXPECT_EQ(owner(dir.File("roots-file")), "0:0 600");
  EXPECT_EQ(ReadFile(dir.File("roots-file")), "root's\n");
}
