#pragma once
// An absolute http or https URL taken apart for a client request:
// scheme://host[:port][/path][?query]; an IPv6 host is written in brackets.
// User information, fragments, and control characters or spaces in the
// scheme and host are refused; in the path and query, such bytes (and the
// others a request line may not carry) are percent-encoded.
#include <string>

namespace orla {

class ClientUrl {
 public:
  static bool Parse(const std::string& url, ClientUrl* out);

  bool https = false;
  std::string host;    // without brackets
  int port = 0;        // 443 or 80 when the URL names none
  std::string target;  // path and query, at least "/"

  // "https://host:port" as a browser writes an Origin header (default ports
  // left out, an IPv6 host in brackets).
  std::string Origin() const;
};

}  // namespace orla
