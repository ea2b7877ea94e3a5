#pragma once
// The HTTP server under the web server library: an HTTPS listener (TLS 1.2
// and 1.3) that reads each request, checks its framing and limits, and hands
// the whole request to a handler that fills in the response. This is the one
// file pair that talks to libmicrohttpd (HttpClient talks to libcurl); the
// rest of the library sees only the plain request and response records.
//
// Each connection has a thread of its own for its whole life, so a handler
// may block (an extension waiting for its client requests) without holding
// up anyone else. What a client can make the server spend is bounded:
//   - connections: a total limit and a limit per client address; one over
//     either is closed at once, so descriptors and threads cannot run out;
//   - a request's head: a per-connection memory limit bounds its total size
//     and `maxHeaderCount` its lines (431); the whole request, head and body,
//     must arrive within `requestDeadlineSeconds` of the connection opening or
//     the previous answer ending, and the line may stay idle for at most
//     `idleTimeoutSeconds`; sending an answer has `sendDeadlineSeconds`;
//   - bodies: POST, PUT and PATCH need Content-Length (411; a DELETE without
//     one has no body); requests with
//     Transfer-Encoding (501) or Content-Encoding (415) are refused; the cap
//     (413) is checked against the declared length before a byte is read and
//     again while reading; a refused body of a bounded size is read and
//     dropped before the refusal goes out (maxDrainBytes);
//   - answers are never compressed, and Range is not honoured (the whole file
//     is sent, with "Accept-Ranges: none").
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "../web_text.h"

namespace orla {

class Clock;

class HttpTransport {
 public:
  using HeaderList = WebText::HeaderList;

  struct Request {
    std::string method;
    std::string path;    // percent-decoded
    std::string target;  // as sent: path and query
    std::string query;   // as sent, without "?"
    std::string version;
    HeaderList headers;
    std::string body;
    std::string remoteAddress;
    int remotePort = 0;
    std::string localAddress;
    int localPort = 0;
    // Set by the server: the request came from this process's own client
    // requests (it carried the process's secret).
    bool internal = false;
    // Set by the server: credentials the request carried and the server
    // accepted (ScrapeCredentials): "Bearer" or "Basic", the user's name
    // for "Basic" and a user token, and the user token's name.
    std::string authType;
    std::string authUser;
    std::string authTokenName;

    // The first header of that name (ignoring case); empty when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
  };

  // An open file sent as a response body; the descriptor is closed with it.
  struct FileBody {
    FileBody(int fd, uint64_t size) : fd(fd), size(size) {}
    ~FileBody();
    FileBody(const FileBody&) = delete;
    FileBody& operator=(const FileBody&) = delete;
    int fd;
    uint64_t size;
  };

  struct Response {
    int status = 200;
    HeaderList headers;  // besides Content-Type and Content-Length
    std::string contentType = "text/html";
    std::string body;
    std::shared_ptr<FileBody> file;  // when set, sent instead of `body`
    bool closeConnection = false;
    // A refusal's own sentence; a caller that reads JSON (WantsJson) gets
    // it as {"error": TEXT, "field": null} instead of the HTML page. Empty:
    // the status's reason phrase.
    std::string refusalText;
  };

  // Whether `request` names application/json in its Accept or
  // Content-Type header: a script, which gets the server's own refusals
  // (400, 403, 413, ...) in JSON.
  static bool WantsJson(const Request& request);

  // May change the request (the server removes headers before extensions
  // see them).
  using Handler = std::function<void(Request&, Response&)>;
  // Runs once the head is read, before the body; returns true when it has
  // answered (the connection is then closed after the answer).
  using EarlyCheck = std::function<bool(const Request&, Response&)>;

  struct Settings {
    std::string address = "0.0.0.0";
    int port = 2381;
    std::string certificateFile;
    std::string keyFile;
    size_t maxBodyBytes = 8192;
    // Requests to exactly this path may carry up to largeBodyBytes (an
    // upload); empty: none.
    std::string largeBodyPath;
    size_t largeBodyBytes = 0;
    // The cap of a request's body: largeBodyBytes on largeBodyPath, else
    // maxBodyBytes.
    size_t BodyCap(const std::string& path) const {
      return !largeBodyPath.empty() && path == largeBodyPath ? largeBodyBytes : maxBodyBytes;
    }
    // A request refused before its body was read (413, 403, ...) has a body
    // of up to this many bytes read and dropped before the refusal is sent,
    // so that a client sending it whole sees the answer instead of a reset
    // connection; a longer one is answered at once and the connection
    // closed. Bounded in time too: the body must come within the request
    // deadline.
    size_t maxDrainBytes = 16u << 20;
    size_t stackBytes = 8u << 20;
    unsigned maxConnections = 512;
    unsigned maxConnectionsPerAddress = 64;
    size_t connectionMemoryBytes = 32 * 1024;  // bounds a request's head
    size_t maxHeaderCount = 100;
    int requestDeadlineSeconds = 10;
    int idleTimeoutSeconds = 10;
    int sendDeadlineSeconds = 300;
    int listenBacklog = 256;
    // The time the deadlines are measured on; the system's when null.
    Clock* clock = nullptr;
  };

  HttpTransport();
  ~HttpTransport();  // Stop()
  HttpTransport(const HttpTransport&) = delete;
  HttpTransport& operator=(const HttpTransport&) = delete;

  // Loads the certificate, binds the port and starts serving. False with
  // *error when any of that fails.
  bool Start(const Settings& settings, Handler handler, EarlyCheck early, std::string* error);
  // Closes the listening socket and waits until every connection has ended.
  void Stop();
  // The same, waiting at most `limit`. False when connections still run
  // then (a request handler that does not return): they, the watchdog and
  // the listening socket are left running for good, so the object must then
  // never be destroyed.
  bool StopWithin(std::chrono::milliseconds limit);
  // Stack size for connection threads started from now on. A size above the
  // running one restarts the listener on the same socket (meant for the
  // moments after start-up: connections open then are closed).
  // False (with *error) when the new listener could not start: the server
  // then no longer serves.
  bool SetWorkerStackBytes(size_t bytes, std::string* error);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orla
