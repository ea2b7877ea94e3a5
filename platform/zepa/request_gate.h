#pragma once
// What every request passes before anything answers it: the method, the
// internal roots and the origin of a state-changing request (not for one
// that carries a bearer token and no session cookie; checked before the
// body is read; its framing and declared size are the transport's), and
// the sorting out of this process's own client requests. Those carry a
// header with a random secret of the process; the secret header is removed
// from every request, and a request without it loses its "VESTRA_..."
// headers and may not reach an internal root. Every answer gets the same
// security headers.
#include <cstddef>
#include <string>

#include "client_url.h"
#include "extensions/extension_table.h"
#include "transport/http_transport.h"

namespace orla {

class RequestGate {
 public:
  // What every answer's content may load and do. Everything comes from this
  // origin; inline scripts and event handlers stay allowed (the pages'
  // markup is built on them); no plug-in objects, no <BASE> elsewhere, forms
  // post only here, and only this origin may frame the pages.
  static constexpr const char* kContentSecurityPolicy =
      "default-src 'self'; script-src 'self' 'unsafe-inline'; style-src 'self' 'unsafe-inline'; "
      "img-src 'self' data:; frame-ancestors 'self'; object-src 'none'; base-uri 'self'; form-action 'self'";

  // True when a client request to `url` goes to a server of this process
  // listening on `port` and `listenAddress` (a loopback host, or the
  // address itself when the server is bound to one), so that it may carry
  // the secret.
  static bool IsOwnUrl(const ClientUrl& url, int port, const std::string& listenAddress);
  // True when the request carries the secret (every copy of its header).
  static bool CarriesSecret(const HttpTransport::Request& request);
  // Removes the secret header and, when it did not match, every VESTRA_
  // header; sets request.internal.
  static void SortOutInternal(HttpTransport::Request& request);
  // True when the request's Origin, or without one its Referer, is this
  // server (https and the Host the request was sent to).
  static bool SameOrigin(const HttpTransport::Request& request);
  // HSTS, nosniff, frame and referrer policies, the content security policy.
  static void AddSecurityHeaders(HttpTransport::Response& response);
  // The checks made before a request body is read; true when it answered.
  // The one place that keeps an internal root from every request without
  // the secret: what passes here reaches ZepaServer::Handle unchanged.
  static bool EarlyCheck(const HttpTransport::Request& request, HttpTransport::Response& response,
                         const ExtensionTable& extensions);
};

}  // namespace orla
