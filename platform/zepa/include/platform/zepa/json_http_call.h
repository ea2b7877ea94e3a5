#pragma once
// JsonHttpCall: one JSON request to an HTTP(S) service the agent reports to
// (an Alertmanager's API): a method, a JSON body, optional credentials (a
// bearer token or a user and password for basic authentication), an
// optional CA file the peer's certificate must be vouched for by, and a
// timeout for the whole call. Blocking, one connection per call, no
// redirect followed; the answer is held in memory up to a cap. A caller's
// abort flag, once true, ends a call under way within about a second.
#include <atomic>
#include <cstddef>
#include <string>

namespace orla {

class JsonHttpCall {
 public:
  struct Request {
    std::string method = "POST";
    std::string url;
    std::string body;         // sent as application/json when not empty
    std::string bearerToken;  // "Authorization: Bearer ..." when not empty
    std::string basicUser;    // basic authentication when user or password is set
    std::string basicPassword;
    std::string caFile;       // PEM; empty: the system's bundle
    int timeoutSeconds = 10;
    const std::atomic<bool>* abort = nullptr;  // when set and true, the call ends early (no answer)
    size_t maxAnswerBytes = 1u << 20;          // a longer answer counts as none
  };
  struct Answer {
    int status = 0;  // 0: no answer; `error` says why
    std::string body;
    std::string error;
    bool Succeeded() const { return status >= 200 && status < 300; }
  };

  static Answer Call(const Request& request);
  // "user:password" in base64, as an Authorization header carries it.
  static std::string BasicCredentials(const std::string& user, const std::string& password);
};

}  // namespace orla
