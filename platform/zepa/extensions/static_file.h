#pragma once
// The file an extension asks the library to send (REQ_SEND_FILE), resolved
// inside the extension's directory: a name that does not exist as written is
// looked up ignoring case; the result must stay inside the directory after
// resolving symbolic links (else 403); a folder asked for without its
// trailing "/" is redirected to it, and with it served as its default page
// (default.htm, default.html, index.html, index.htm). The file is opened
// during the call, so it may be removed afterwards.
#include <memory>
#include <string>

#include "../transport/http_transport.h"

namespace orla {

class StaticFile {
 public:
  struct Result {
    std::shared_ptr<HttpTransport::FileBody> file;  // set on success
    std::string contentType;
    std::string redirect;  // set for a folder without its "/"
    int error = 0;         // 403 or 404
  };

  // `requestTarget` is the request's target as sent (path and query), for
  // the redirect of a folder.
  static Result Resolve(const std::string& directory, const std::string& path, const std::string& requestTarget);
  // Opens a regular file (not following a final symbolic link); false with
  // errno otherwise.
  static bool Open(const std::string& path, std::shared_ptr<HttpTransport::FileBody>* out);
};

}  // namespace orla
