#pragma once
// HttpsFetch: one HTTPS request from a tool to an agent's web server (the
// agent's own API, say), over the server library's client: the peer's
// certificate must be vouched for by `trustFile` (or the system's bundle),
// no redirect is followed, the answer is held in memory up to a cap.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace orla {

class HttpsFetch {
 public:
  struct Request {
    std::string method = "GET";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string contentType;
    std::string trustFile;    // PEM; empty: the system's bundle
    bool verifyHost = true;   // off only for a server's own certificate on this host
    size_t maxAnswerBytes = 16u << 20;
  };
  struct Answer {
    int status = 0;  // 0: no answer; `error` says why
    std::string body;
    std::string error;
  };

  static Answer Fetch(const Request& request);
  // The certificate a server with this data directory presents (made at its
  // first start): what a tool on the same host trusts.
  static std::string CertificateFile(const std::string& dataDirectory);
};

}  // namespace orla
