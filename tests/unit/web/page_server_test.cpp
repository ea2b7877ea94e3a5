// Request dispatch: the match table and its order, the root page's rights
// query and status refresh, files for every other path and method, and the
// plain answers for requests that fail.
#include "agent/web/page_server.h"
#include "agent/web/web_page.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "tests/unit/web/dialog_fixture.h"
#include "tests/unit/web/recording_request.h"

namespace orla {
namespace {

using test::Contains;
using test::RecordingRequest;

// kSessionFile: a file sent once the session was checked (the root page,
// a page's path asked with another method); kFile: static content, sent to
// anyone.
enum class Reached { kSessionFile, kFile, kLoginPage, kListPage, kAboutPage, kDiscoveryDocument };

// What answered the request, judged from what reached the library.
Reached WhatAnswered(const RecordingRequest& request, uint32_t status) {
  if (status == 1015) return Reached::kLoginPage;
  if (!request.sentFiles.empty()) return request.rightsQueries > 0 ? Reached::kSessionFile : Reached::kFile;
  if (request.body.find("loadMenus(") != std::string::npos) return Reached::kListPage;
  if (request.body.find("<title>About ") != std::string::npos) return Reached::kAboutPage;
  if (request.body.rfind("<?xml", 0) == 0) return Reached::kDiscoveryDocument;
  ADD_FAILURE() << "unrecognised answer " << status << ": " << request.body;
  return Reached::kFile;
}

TEST(PageServerDispatch, PathsReachTheirPagesInTableOrder) {
  // `anyone`: an anonymous visitor gets the same; otherwise the library's
  // login page (1015), before any page runs.
  struct Case {
    const char* method;
    const char* path;
    Reached reached;
    bool anyone;
  };
  const std::vector<Case> cases = {
      {"GET", "/KOR/", Reached::kSessionFile, false},
      {"GET", "/kor", Reached::kSessionFile, false},
      {"GET", "/kor/DEFAULT.HTM", Reached::kSessionFile, false},
      {"GET", "/KOR/Default.htm", Reached::kSessionFile, false},
      {"GET", "/KOR/default.html", Reached::kFile, true},
      {"GET", "/KOR/elements.html", Reached::kListPage, false},
      {"POST", "/KOR/elements.html", Reached::kListPage, false},
      {"GET", "/KOR/elements.html.bak", Reached::kListPage, false},
      {"GET", "/KOR/Elements.html", Reached::kFile, true},
      {"HEAD", "/KOR/elements.html", Reached::kSessionFile, false},
      {"GET", "/KOR/kor.xml", Reached::kDiscoveryDocument, true},
      {"POST", "/KOR/kor.xml", Reached::kDiscoveryDocument, true},
      {"GET", "/KOR/kor.xml2", Reached::kFile, true},
      {"GET", "/KOR/KOR.XML", Reached::kFile, true},
      {"GET", "/KOR/about.htm", Reached::kAboutPage, true},
      {"GET", "/KOR/about.html", Reached::kAboutPage, true},
      {"GET", "/KOR/About.html", Reached::kFile, true},
      {"GET", "/KOR/menu.js", Reached::kFile, true},
      {"GET", "/KOR/help/add_tape_controller.htm", Reached::kFile, true},
  };
  for (const Case& c : cases) {
    for (const bool signedIn : {true, false}) {
      RecordingRequest request(c.method, c.path);
      if (!signedIn) request.rights = 0x80000000u;
      const Reached expected = signedIn || c.anyone ? c.reached : Reached::kLoginPage;
      const uint32_t status = PageServer::ExtensionRequest(request.Ecb());
      EXPECT_EQ(status, expected == Reached::kLoginPage ? 1015u : 1u) << c.path;
      EXPECT_EQ(WhatAnswered(request, status), expected) << c.method << " " << c.path << " signed in " << signedIn;
      if (!request.sentFiles.empty()) {
        EXPECT_EQ(request.sentFiles, std::vector<std::string>{request.Ecb()->lpszPathTranslated}) << c.path;
        EXPECT_EQ(request.headerCalls, 0) << c.path;
      }
    }
  }
}

TEST(PageServerDispatch, RootPageWithoutSessionIsLeftToTheLibrary) {
  RecordingRequest request("GET", "/KOR/");
  request.rights = 0x80000000u;
  EXPECT_EQ(PageServer::ExtensionRequest(request.Ecb()), 1015u);
  EXPECT_EQ(request.rightNames, std::vector<std::string>{"KORAccess"});
  EXPECT_TRUE(request.sentFiles.empty());
  EXPECT_EQ(request.headerCalls, 0);
  EXPECT_TRUE(request.body.empty());
  // Any right gets the root page; a session without any right (KORAccess 0) gets 403.
  RecordingRequest plain("GET", "/KOR");
  plain.rights = 1;
  EXPECT_EQ(PageServer::DispatchRequest(plain.Ecb()), 4u);
  for (const char* path : {"/KOR", "/KOR/events.json", "/KOR/WebAgent/index.html"}) {
    RecordingRequest none("GET", path);
    none.rights = 0;
    EXPECT_EQ(PageServer::ExtensionRequest(none.Ecb()), 1u) << path;
    EXPECT_EQ(none.statusText, "403 Forbidden") << path;
    EXPECT_EQ(none.body, std::string(WebPage::kNoRight) + "\n") << path;
  }
}

uint32_t ThrowHostInfo(EXTENSION_CONTROL_BLOCK*) {
  throw new OrlaException(2013, 0, "Unable to retrieve agent host information.");
}
uint32_t ThrowNoMemory(EXTENSION_CONTROL_BLOCK*) { throw std::bad_alloc(); }
uint32_t ThrowOther(EXTENSION_CONTROL_BLOCK*) { throw 42; }
uint32_t AnswerTwo(EXTENSION_CONTROL_BLOCK*) { return 2; }

TEST(PageServerDispatch, FailuresBecomePlainAnswers) {
  struct Case {
    uint32_t (*dispatch)(EXTENSION_CONTROL_BLOCK*);
    const char* statusText;
    const char* body;
  };
  const std::vector<Case> cases = {
      {ThrowHostInfo, "500 Internal Server Error", "Unable to retrieve agent host information.\n"},
      {ThrowNoMemory, "503 Service Unavailable", "The agent is short of memory. Try again later.\n"},
      {ThrowOther, "500 Internal Server Error", "The request could not be served.\n"},
  };
  for (const Case& c : cases) {
    RecordingRequest request("POST", "/KOR/elements.html");
    EXPECT_EQ(PageServer::Answer(request.Ecb(), c.dispatch), 1u);
    EXPECT_TRUE(request.statusTextGiven);
    EXPECT_EQ(request.body, c.body);
    EXPECT_TRUE(Contains(request.header, "Content-type: text/plain"));
    EXPECT_TRUE(request.sentFiles.empty());
  }
  // Any status but 1 and 1015 sends the file.
  RecordingRequest request("GET", "/KOR/x.html");
  EXPECT_EQ(PageServer::Answer(request.Ecb(), AnswerTwo), 1u);
  EXPECT_EQ(request.sentFiles.size(), 1u);
}

using RootPageRefresh = test::DialogFixture;

TEST_F(RootPageRefresh, RootPageRefreshesEveryStatusBeforeTheFile) {
  AddElement("tc01", "10.9.0.1");
  const int before = UpdatesOf("10.9.0.1");
  RecordingRequest request("GET", "/KOR/default.htm");
  EXPECT_EQ(PageServer::ExtensionRequest(request.Ecb()), 1u);
  EXPECT_EQ(UpdatesOf("10.9.0.1"), before + 1);
  EXPECT_EQ(request.sentFiles.size(), 1u);
}

}  // namespace
}  // namespace orla
