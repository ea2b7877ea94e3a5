#include "request_gate.h"

#include <arpa/inet.h>

#include "platform/text/ascii_case.h"
#include "internal_secret.h"
#include "library_pages.h"
#include "users/login_service.h"
#include "web_text.h"

namespace orla {

namespace {
bool IsBodyMethod(const std::string& method) {
  return method == "POST" || method == "PUT" || method == "PATCH" || method == "DELETE";
}

// A program's call with a bearer token and no session cookie: a browser
// never adds such a header by itself, and a page of another origin cannot
// add it without this server's leave (which it never gives), so the call
// cannot be forged from another site; whatever it may do follows from the
// token alone.
bool BearerWithoutSession(const HttpTransport::Request& request) {
  int authorizations = 0;
  bool bearer = false;
  for (const auto& [name, value] : request.headers) {
    if (!AsciiCase::Equal(name, "Authorization")) continue;
    ++authorizations;
    bearer = value.size() > 7 && AsciiCase::Equal(value.substr(0, 7), "Bearer ");
  }
  std::string session;
  return authorizations == 1 && bearer &&
         !WebText::CookieValue(request.Header("Cookie"), LoginService::kCookieName, &session);
}

// Scheme, lower-case host and port of an absolute URL or of a Host header
// taken as https.
bool OriginParts(const std::string& url, ClientUrl* parts) {
  if (!ClientUrl::Parse(url, parts)) return false;
  parts->host = AsciiCase::Lower(parts->host);
  return true;
}
}  // namespace

void RequestGate::AddSecurityHeaders(HttpTransport::Response& response) {
  response.headers.emplace_back("Strict-Transport-Security", "max-age=31536000");
  response.headers.emplace_back("X-Content-Type-Options", "nosniff");
  response.headers.emplace_back("X-Frame-Options", "SAMEORIGIN");
  response.headers.emplace_back("Referrer-Policy", "same-origin");
  response.headers.emplace_back("Content-Security-Policy", kContentSecurityPolicy);
}

bool RequestGate::SameOrigin(const HttpTransport::Request& request) {
  const std::string host = request.Header("Host");
  ClientUrl self;
  if (host.empty() || !OriginParts("https://" + host + "/", &self)) return false;
  std::string claimed = request.Header("Origin");
  if (claimed.empty()) claimed = request.Header("Referer");
  ClientUrl from;
  if (claimed.empty() || claimed == "null" || !OriginParts(claimed, &from)) return false;
  return from.https && from.host == self.host && from.port == self.port;
}

bool RequestGate::EarlyCheck(const HttpTransport::Request& request, HttpTransport::Response& response,
                             const ExtensionTable& extensions) {
  const std::string& method = request.method;
  if (method != "GET" && method != "HEAD" && method != "OPTIONS" && !IsBodyMethod(method)) {
    AddSecurityHeaders(response);
    response.headers.emplace_back("Allow", "GET, HEAD, POST, PUT, PATCH, DELETE, OPTIONS");
    LibraryPages::SendError(response, 405, "This method is not served.");
    response.closeConnection = true;
    return true;
  }
  std::string below;
  std::shared_ptr<const ExtensionRegistration> extension = extensions.Find(request.path, &below);
  if (extension && extension->internalOnly && !CarriesSecret(request)) {
    AddSecurityHeaders(response);
    LibraryPages::SendError(response, 403, "This address serves the server's own requests only.");
    response.closeConnection = true;
    return true;
  }
  // The declared body size is not looked at here: the transport refuses a
  // malformed length (400) or one over its cap (413) before it calls this.
  if (!IsBodyMethod(method)) return false;
  if (!SameOrigin(request) && !BearerWithoutSession(request)) {
    AddSecurityHeaders(response);
    response.refusalText = "The request did not come from a page of this server.";
    LibraryPages::SendError(response, 403, response.refusalText);
    response.closeConnection = true;
    return true;
  }
  return false;
}

bool RequestGate::IsOwnUrl(const ClientUrl& url, int port, const std::string& listenAddress) {
  if (url.port != port) return false;
  const std::string host = AsciiCase::Lower(url.host);
  if (host == "localhost" || host == "::1") return true;
  if (!listenAddress.empty() && host == AsciiCase::Lower(listenAddress)) return true;
  unsigned char v4[4];
  return inet_pton(AF_INET, host.c_str(), v4) == 1 && v4[0] == 127;
}

bool RequestGate::CarriesSecret(const HttpTransport::Request& request) {
  const std::string& secret = InternalSecret::Value();
  int copies = 0;
  bool allMatch = true;
  for (const auto& [name, value] : request.headers) {
    if (!AsciiCase::Equal(name, InternalSecret::kHeader)) continue;
    ++copies;
    // Compared in constant time.
    unsigned char diff = value.size() == secret.size() ? 0 : 1;
    for (size_t i = 0; i < secret.size() && i < value.size(); ++i) {
      diff |= static_cast<unsigned char>(value[i] ^ secret[i]);
    }
    if (diff != 0) allMatch = false;
  }
  return copies > 0 && allMatch;
}

void RequestGate::SortOutInternal(HttpTransport::Request& request) {
  request.internal = CarriesSecret(request);
  HttpTransport::HeaderList kept;
  kept.reserve(request.headers.size());
  for (auto& header : request.headers) {
    if (AsciiCase::Equal(header.first, InternalSecret::kHeader)) continue;
    // Only this process's own requests may tell an extension which device
    // to manage and with which communities ("VESTRA-X" reads as VESTRA_X).
    if (!request.internal && header.first.size() >= 7 &&
        AsciiCase::Equal(header.first.substr(0, 6), "VESTRA") &&
        (header.first[6] == '_' || header.first[6] == '-')) {
      continue;
    }
    kept.push_back(std::move(header));
  }
  request.headers = std::move(kept);
}

}  // namespace orla
