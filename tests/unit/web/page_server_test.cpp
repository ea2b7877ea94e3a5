// Request dispatch: the match table and its order, the root page's rights
// query and status refresh, files for every other path and method, and the
// plain answers for requests that fail.
#include "agent/web/page_server.h"

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

enum class Reached { kRootPage, kFile, kLoginPage, kListPage, kAboutPage, kDiscoveryDocument };

// What answered the request, judged from what reached the library.
Reached WhatAnswered(const RecordingRequest& request, uint32_t status) {
  if (status == 1015) return Reached::kLoginPage;
  if (!request.sentFiles.empty()) return request.rightsQueries > 0 ? Reached::kRootPage : Reached::kFile;
  if (request.body.find("loadMenus(") != std::string::npos) return Reached::kListPage;
  if (request.body.find("<title>About ") != std::string::npos) return Reached::kAboutPage;
  if (request.body.rfind("<?xml", 0) == 0) return Reached::kDiscoveryDocument;
  ADD_FAILURE() << "unrecognised answer " << status << ": " << request.body;
  return Reached::kFile;
}

TEST(PageServerDispatch, PathsReachTheirPagesInTableOrder) {
  struct Case {
    const char* method;
    const char* path;
    Reached reached;
  };
  const std::vector<Case> cases = {
      {"GET", "/KOR/", Reached::kRootPage},
      {"GET", "/kor", Reached::kRootPage},
      {"GET", "/kor/DEFAULT.HTM", Reached::kRootPage},
      {"GET", "/KOR/Default.htm", Reached::kRootPage},
      {"GET", "/KOR/default.html", Reached::kFile},
      {"GET", "/KOR/elements.html", Reached::kListPage},
      {"POST", "/KOR/elements.html", Reached::kListPage},
      {"GET", "/KOR/elements.html.bak", Reached::kListPage},
      {"GET", "/KOR/Elements.html", Reached::kFile},
      {"HEAD", "/KOR/elements.html", Reached::kFile},
      {"GET", "/KOR/kor.xml", Reached::kDiscoveryDocument},
      {"POST", "/KOR/kor.xml", Reached::kDiscoveryDocument},
      {"GET", "/KOR/kor.xml2", Reached::kFile},
      {"GET", "/KOR/KOR.XML", Reached::kFile},
      {"GET", "/KOR/about.htm", Reached::kAboutPage},
      {"GET", "/KOR/about.html", Reached::kAboutPage},
      {"GET", "/KOR/About.html", Reached::kFile},
      {"GET", "/KOR/menu.js", Reached::kFile},
      {"GET", "/KOR/help/add_tape_controller.htm", Reached::kFile},
  };
  for (const Case& c : cases) {
    RecordingRequest request(c.method, c.path);
    const uint32_t status = PageServer::ExtensionRequest(request.Ecb());
    EXPECT_EQ(status, c.reached == Reached::kLoginPage ? 1015u : 1u) << c.path;
    EXPECT_EQ(WhatAnswered(request, status), c.reached) << c.method << " " << c.path;
    if (!request.sentFiles.empty()) {
      EXPECT_EQ(request.sentFiles, std::vector<std::string>{request.Ecb()->lpszPathTranslated}) << c.path;
      EXPECT_EQ(request.headerCalls, 0) << c.path;
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
  // Any other answer, no right at all included, gets the root page.
  RecordingRequest plain("GET", "/KOR");
  plain.rights = 0;
  EXPECT_EQ(PageServer::DispatchRequest(plain.Ecb()), 4u);
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
