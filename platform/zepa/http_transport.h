#pragma once
// The HTTP layer under the web server library: an HTTPS listener whose
// connections run on a WorkerPool, and a blocking HTTP(S) client. This is
// the one file pair that talks to cpp-httplib; the rest of the library sees
// only the plain request and response records below.
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/zepa/client_url.h"
#include "platform/zepa/web_text.h"
#include "platform/zepa/worker_pool.h"

namespace orla {

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
  };

  using Handler = std::function<void(const Request&, Response&)>;
  // Runs before a request body is read; returns true when it has answered.
  using EarlyCheck = std::function<bool(const Request&, Response&)>;

  struct Settings {
    std::string address = "0.0.0.0";
    int port = 2381;
    std::string certificateFile;
    std::string keyFile;
    size_t maxBodyBytes = 8192;
    WorkerPool::Settings workers;
    int keepAliveSeconds = 5;
    size_t keepAliveRequests = 100;
    int readTimeoutSeconds = 10;
    int writeTimeoutSeconds = 10;
  };

  HttpTransport();
  ~HttpTransport();  // Stop()
  HttpTransport(const HttpTransport&) = delete;
  HttpTransport& operator=(const HttpTransport&) = delete;

  // Loads the certificate, binds the port and starts serving on a thread of
  // its own. False with *error when any of that fails.
  bool Start(const Settings& settings, Handler handler, EarlyCheck early, std::string* error);
  // Closes the listening socket and waits until every connection has ended.
  void Stop();
  // Stack size for worker threads started from now on.
  void SetWorkerStackBytes(size_t bytes);

  struct FetchRequest {
    ClientUrl url;
    std::string method = "GET";
    HeaderList headers;
    std::string body;
    std::string contentType;
    std::string trustFile;  // a PEM certificate trusted besides the system's
    int connectTimeoutSeconds = 10;
    int readTimeoutSeconds = 30;
    int writeTimeoutSeconds = 10;
    int totalTimeoutSeconds = 120;  // the whole response, however slowly it drips
    uint64_t maxResponseBytes = 16u << 20;
  };

  struct FetchResult {
    bool responded = false;
    int status = 0;
    std::string contentType;
    std::string location;
    std::string error;
  };

  // One request; the response body goes to `sink` piece by piece (a false
  // return aborts). Blocks until the response has ended or failed.
  static FetchResult Fetch(const FetchRequest& request, const std::function<bool(const char*, size_t)>& sink);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orla
