#pragma once
// The blocking HTTP(S) client under the library's client requests. This is
// the one file pair that talks to libcurl (OpenSSL flavour). One request per
// call, no connection kept; the response body goes to a sink piece by piece.
// Redirects are not followed, no compressed answer is asked for or decoded,
// only http and https are spoken. An https peer must present a certificate
// that a trusted bundle vouches for and that names the host.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "../client_url.h"
#include "../web_text.h"

namespace orla {

class HttpClient {
 public:
  using HeaderList = WebText::HeaderList;

  struct FetchRequest {
    ClientUrl url;
    std::string method = "GET";
    HeaderList headers;
    std::string body;
    std::string contentType;
    std::string trustFile;  // PEM bundle of trusted certificates; empty: the system's
    // Whether the certificate must name the host. Off only for this server's
    // own address with its own certificate as the one trusted.
    bool verifyHost = true;
    int connectTimeoutSeconds = 10;
    int readTimeoutSeconds = 30;    // no byte for this long ends the request
    int totalTimeoutSeconds = 120;  // the whole response, however slowly it drips
    uint64_t maxResponseBytes = 16u << 20;
    const std::atomic<bool>* abort = nullptr;  // when set and true, the request ends early
  };

  struct FetchResult {
    bool responded = false;
    int status = 0;
    std::string contentType;
    std::string location;
    std::string cacheControl;  // the response's Cache-Control, passed on with it
    std::string error;
  };

  // One request; the response body goes to `sink` (a false return aborts).
  // Blocks until the response has ended or failed.
  static FetchResult Fetch(const FetchRequest& request, const std::function<bool(const char*, size_t)>& sink);
};

}  // namespace orla
