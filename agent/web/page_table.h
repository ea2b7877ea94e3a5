#pragma once
// PageTable: which page answers which path under /KOR/. The dispatcher
// (PageServer::DispatchRequest) compares the request's path with the rows in
// their order and takes the first that matches:
//   kWholeAnyCase  the whole path equals the row's path, ignoring case;
//   kWholeExact    the whole path equals it, case-sensitive;
//   kPrefix        the path begins with the row's path, case-sensitive, so
//                  longer paths match too ("/KOR/elements.html.bak").
// A row names what answers: the root page (the rights query and a status
// refresh, then the file), or a page class through its factory. A page row
// whose factory is null is served as a file, as is any path no row claims.
//
// Access: a row's pages need a signed-in session unless the row says
// Access::kAnyone; without a session the dispatcher leaves the request to
// the library, which sends the visitor to its log-in page and back (or
// answers 401 to a script). The column defaults to kSession, so a new row is
// closed to anonymous visitors until it says otherwise. The JSON API's row
// says Access::kApi: its router asks for the session and the right itself. Paths no row claims
// are the static content (scripts, style sheets, images, help pages): files
// that hold none of the agent's data, open to anyone. Reading a page needs no
// right beyond the session; each change asks for the administrator right.
//
// Adding a page: give its row the factory &PageTable::Make<YourPage> (and
// include the page's header in page_table.cpp). A page whose object must
// outlive the request (it deletes itself) uses kSelfOwnedPage; the
// dispatcher never touches such a page after Process, so Process must not
// throw once the page has handed itself over to whoever deletes it.
#include <cstddef>
#include <new>

#include "web_page.h"

namespace orla {

class PageTable {
 public:
  enum class Match { kWholeAnyCase, kWholeExact, kPrefix };
  enum class Access {
    kSession,  // a signed-in session (any user)
    kAnyone,   // anonymous visitors too
    kApi,      // a signed-in session, which the page checks itself so that it
               // answers a script in JSON (401, 403) instead of the log-in page
    kSignedIn,  // a signed-in session, even of a user without any right (their
                // own password)
  };
  enum class Answer {
    kRootPage,        // rights query, status refresh, then the file
    kPage,            // a page object for this request, deleted after it
    kSelfOwnedPage,   // a page object that deletes itself when it is done
  };
  // A new page for the request, or null when it cannot be allocated.
  using Factory = WebPage* (*)(EXTENSION_CONTROL_BLOCK* request);

  struct Route {
    const char* path;
    Match match;
    Answer answer;
    Factory factory;  // null for the root page, and for a page served as a file
    Access access = Access::kSession;
  };

  template <class Page>
  static WebPage* Make(EXTENSION_CONTROL_BLOCK* request) {
    return new (std::nothrow) Page(request);
  }

  // The first row that matches `path`, or null.
  static const Route* Find(const char* path);
  static bool Matches(const Route& route, const char* path);

  // The rows, in order.
  static const Route* Rows();
  static size_t RowCount();
};

}  // namespace orla
