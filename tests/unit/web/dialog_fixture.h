#pragma once
// What the page tests share: a program directory as the current
// directory (the fake device plug-in from the devices tests), an agent
// directory KOR/ holding KORAgent.db, client.ini and storage.ini, a loaded
// registry and a trap destination list installed as the process's own, and
// one call that runs a page on a recorded request. The error page a page
// answered with is read back as its message, where its OK button leads and
// whether it reloads the opening window.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "agent/devices/element_registry.h"
#include "agent/traps/trap_destination_list.h"
#include "tests/support/text_lines.h"
#include "tests/unit/devices/devices_fixture.h"
#include "tests/unit/web/recording_request.h"

namespace orla::test {

// The parts of a ShowError page.
struct ErrorPage {
  bool found = false;       // the body is an error page at all
  std::string message;      // as written into the page (HTML-escaped)
  std::string location;     // the OK button's target; "" when it closes the window
  bool refresh = false;     // ResetParent reloads the opener
};

// One refused request: its body and the error page expected for it.
struct ErrorCase {
  std::string body;
  std::string message;   // as written into the page
  std::string location;  // "" when OK closes the window
  bool refresh;
};

class DialogFixture : public DevicesFixture {
 protected:
  static constexpr uint32_t kAdministrator = 2;
  // Who every request comes from.
  static constexpr const char* kUser = "ops";
  static constexpr const char* kUserAddress = "192.0.2.7";
  static constexpr const char* kLogIn =
      "You must log in (or log in again) as administrator to perform this operation.";
  static constexpr const char* kForbiddenCharacters =
      "The space, pipe, plus, semicolon, and apostrophe characters are not permitted.";

  void SetUp() override;
  void TearDown() override;

  // Runs a page of class Page for `method` on `path` with the query string
  // and body given (body null: none), as a user holding `rights`; returns
  // what the page sent.
  template <typename Page>
  std::string Run(const char* method, const std::string& query, const char* body,
                  uint32_t rights = kAdministrator) {
    RecordingRequest request(method, "/KOR/page.html", query, body);
    request.rights = rights;
    request.variables = {{"REMOTE_USER", kUser}, {"REMOTE_ADDR", kUserAddress}};
    Page page(request.Ecb());
    EXPECT_EQ(page.Process(), 1u);
    EXPECT_EQ(request.headerCalls, 1);
    return request.body;
  }
  template <typename Page>
  std::string Post(const std::string& body, uint32_t rights = kAdministrator) {
    return Run<Page>("POST", "", body.c_str(), rights);
  }
  template <typename Page>
  std::string Get(const std::string& query = "") {
    return Run<Page>("GET", query, nullptr);
  }

  static ErrorPage ErrorOf(const std::string& body);
  // Posts every case's body to a page of class Page and checks its error
  // page.
  template <typename Page>
  void ExpectErrors(const std::vector<ErrorCase>& cases) {
    for (const ErrorCase& c : cases) {
      const ErrorPage page = ErrorOf(Post<Page>(c.body));
      EXPECT_TRUE(page.found) << c.body;
      EXPECT_EQ(page.message, c.message) << c.body;
      EXPECT_EQ(page.location, c.location) << c.body;
      EXPECT_EQ(page.refresh, c.refresh) << c.body;
    }
  }
  // The success page, and the empty add form that reloads the opener.
  static bool IsSuccess(const std::string& body, const std::string& message);
  static bool IsEmptyAddForm(const std::string& body);

  // Adds an element through the registry, as an earlier add would have.
  void AddElement(const std::string& name, const std::string& address);

  std::string AgentFile(const std::string& name) const { return dir_.Read("KOR/" + name); }
  void WriteAgentFile(const std::string& name, const std::string& contents) const {
    dir_.Write("KOR/" + name, contents);
  }

  std::unique_ptr<ElementRegistry> registry_;
  std::unique_ptr<TrapDestinationList> destinations_;
};

}  // namespace orla::test
