#pragma once
// curl as the browser of the web interface tests: HTTPS to 127.0.0.1 (or
// another loopback address the server is bound to) on the test's port (the self-made certificate taken as it is), the status, header
// block and body of each answer, and the library's login form.
#include <string>

namespace orla::test {

struct HttpsReply {
  int status = 0;  // 0: no answer at all
  std::string headers;
  std::string body;
};

struct LoopbackHttps {
  int port = 0;
  std::string scratchDir;  // where a transfer's header block and body land
  std::string host = "127.0.0.1";

  // One request for `path`; `extra` are further curl arguments, as shell words.
  HttpsReply Request(const std::string& path, const std::string& extra = "") const;
  // The curl arguments of a same-origin request, as the pages' forms send.
  std::string OriginHeader() const;
  // Signs in through the login form; the session cookie goes into `jar`.
  // The login's status (303 when it worked).
  int LogIn(const std::string& user, const std::string& password, const std::string& jar) const;
};

}  // namespace orla::test
