// The only translation unit that includes cpp-httplib. Debian's package is
// the compiled library with OpenSSL support (its pkg-config flags define
// CPPHTTPLIB_OPENSSL_SUPPORT), so this header holds declarations only.
#include "platform/zepa/http_transport.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

#include "platform/text/string_printf.h"

namespace orla {

namespace {

std::string OpenSslError() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "unknown TLS error";
  char buf[256];
  ERR_error_string_n(code, buf, sizeof(buf));
  return buf;
}

// Hands the listener's connections to a WorkerPool.
class PoolQueue : public httplib::TaskQueue {
 public:
  explicit PoolQueue(const WorkerPool::Settings& settings) : pool_(settings) {}
  void enqueue(std::function<void()> fn) override {
    // Refused only when no thread can be made at all: serve the connection
    // on the listener's thread rather than leak its socket.
    if (!pool_.Enqueue(fn)) fn();
  }
  void shutdown() override { pool_.Shutdown(); }
  WorkerPool& Pool() { return pool_; }

 private:
  WorkerPool pool_;
};

// The listening socket is a protected member of the server: reached here to
// give it a real backlog (the library listens with a backlog of 5, and a
// burst of browser connections would overflow it).
class ListeningServer : public httplib::SSLServer {
 public:
  using httplib::SSLServer::SSLServer;
  int ListeningSocket() const { return svr_sock_; }
};

constexpr int kListenBacklog = 256;

// The certificates a client request trusts: the system's and the server's
// own. Reading the system bundle costs tens of milliseconds, so each store is
// made once (per trust file and its version) and shared by reference; the
// stores are never freed, like the process's other tables.
X509_STORE* SharedTrustStore(const std::string& trustFile) {
  static std::mutex* mutex = new std::mutex;
  static auto* stores = new std::map<std::string, X509_STORE*>;
  struct stat st;
  std::string key = trustFile;
  if (!trustFile.empty() && ::stat(trustFile.c_str(), &st) == 0) {
    key += StringPrintf("|%lld|%lld", static_cast<long long>(st.st_mtime), static_cast<long long>(st.st_size));
  }
  std::lock_guard<std::mutex> lock(*mutex);
  auto it = stores->find(key);
  if (it == stores->end()) {
    X509_STORE* store = X509_STORE_new();
    if (store == nullptr) return nullptr;
    X509_STORE_set_default_paths(store);
    if (!trustFile.empty()) X509_STORE_load_file(store, trustFile.c_str());
    ERR_clear_error();
    it = stores->emplace(key, store).first;
  }
  X509_STORE_up_ref(it->second);  // the client's TLS context releases its reference
  return it->second;
}

bool ExpectsBody(const std::string& method) {
  return method == "POST" || method == "PUT" || method == "PATCH" || method == "DELETE";
}

HttpTransport::Request ToRequest(const httplib::Request& in) {
  HttpTransport::Request out;
  out.method = in.method;
  out.path = in.path;
  out.target = in.target;
  const size_t q = in.target.find('?');
  if (q != std::string::npos) out.query = in.target.substr(q + 1);
  out.version = in.version;
  out.headers.reserve(in.headers.size());
  for (const auto& [name, value] : in.headers) out.headers.emplace_back(name, value);
  out.body = in.body;
  out.remoteAddress = in.remote_addr;
  out.remotePort = in.remote_port;
  out.localAddress = in.local_addr;
  out.localPort = in.local_port;
  return out;
}

void ToResponse(const HttpTransport::Response& in, httplib::Response& out) {
  out.status = in.status;
  for (const auto& [name, value] : in.headers) {
    if (WebText::EqualsIgnoreCase(name, "Content-Type") || WebText::EqualsIgnoreCase(name, "Content-Length")) {
      continue;
    }
    out.headers.emplace(name, value);
  }
  if (in.closeConnection) out.set_header("Connection", "close");
  if (in.file) {
    std::shared_ptr<HttpTransport::FileBody> file = in.file;
    out.set_content_provider(
        static_cast<size_t>(file->size), in.contentType,
        [file](size_t offset, size_t length, httplib::DataSink& sink) {
          char buf[16384];
          const size_t want = length < sizeof(buf) ? length : sizeof(buf);
          ssize_t n;
          do {
            n = ::pread(file->fd, buf, want, static_cast<off_t>(offset));
          } while (n < 0 && errno == EINTR);
          if (n <= 0) return false;  // the file shrank or failed: end the connection
          return sink.write(buf, static_cast<size_t>(n));
        });
  } else if (!in.body.empty() || in.status != 204) {
    out.set_content(in.body, in.contentType);
  }
}

}  // namespace

class HttpTransport::Impl {
 public:
  std::unique_ptr<ListeningServer> server;
  std::thread listener;
  std::mutex poolMutex;
  PoolQueue* queue = nullptr;  // valid while the listener runs
  size_t stackBytes = 0;
  std::string tlsError;
};

HttpTransport::FileBody::~FileBody() {
  if (fd >= 0) ::close(fd);
}

std::string HttpTransport::Request::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (WebText::EqualsIgnoreCase(key, name)) return value;
  }
  return std::string();
}

bool HttpTransport::Request::HasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (WebText::EqualsIgnoreCase(header.first, name)) return true;
  }
  return false;
}

HttpTransport::HttpTransport() : impl_(std::make_unique<Impl>()) {}

HttpTransport::~HttpTransport() { Stop(); }

void HttpTransport::SetWorkerStackBytes(size_t bytes) {
  std::lock_guard<std::mutex> lock(impl_->poolMutex);
  impl_->stackBytes = bytes;
  if (impl_->queue != nullptr) impl_->queue->Pool().SetStackBytes(bytes);
}

bool HttpTransport::Start(const Settings& settings, Handler handler, EarlyCheck early, std::string* error) {
  if (impl_->server) {
    *error = "already started";
    return false;
  }
  Impl* impl = impl_.get();
  const std::string cert = settings.certificateFile;
  const std::string key = settings.keyFile;
  auto server = std::make_unique<ListeningServer>([impl, cert, key](SSL_CTX& ctx) {
    // TLS 1.2 and 1.3 only; for 1.2 only forward-secret AEAD suites.
    if (SSL_CTX_set_min_proto_version(&ctx, TLS1_2_VERSION) != 1 ||
        SSL_CTX_set_cipher_list(&ctx, "ECDHE+AESGCM:ECDHE+CHACHA20:!aNULL:!eNULL") != 1) {
      impl->tlsError = "cannot configure TLS: " + OpenSslError();
      return false;
    }
    SSL_CTX_set_options(&ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    if (SSL_CTX_use_certificate_chain_file(&ctx, cert.c_str()) != 1) {
      impl->tlsError = StringPrintf("cannot load the certificate %s: %s", cert.c_str(), OpenSslError().c_str());
      return false;
    }
    if (SSL_CTX_use_PrivateKey_file(&ctx, key.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(&ctx) != 1) {
      impl->tlsError = StringPrintf("cannot load the key %s: %s", key.c_str(), OpenSslError().c_str());
      return false;
    }
    return true;
  });
  if (!server->is_valid()) {
    *error = impl->tlsError.empty() ? "cannot set up TLS" : impl->tlsError;
    return false;
  }

  WorkerPool::Settings workers = settings.workers;
  {
    std::lock_guard<std::mutex> lock(impl->poolMutex);
    if (impl->stackBytes != 0) workers.stackBytes = impl->stackBytes;
  }
  server->new_task_queue = [impl, workers]() -> httplib::TaskQueue* {
    std::lock_guard<std::mutex> lock(impl->poolMutex);
    WorkerPool::Settings now = workers;
    if (impl->stackBytes != 0) now.stackBytes = impl->stackBytes;
    impl->queue = new PoolQueue(now);
    return impl->queue;
  };
  // SO_REUSEADDR only: a second server on the same port must fail to bind
  // (the library's default would also set SO_REUSEPORT).
  server->set_socket_options([](int sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  server->set_tcp_nodelay(true);
  server->set_keep_alive_max_count(settings.keepAliveRequests);
  server->set_keep_alive_timeout(settings.keepAliveSeconds);
  server->set_read_timeout(settings.readTimeoutSeconds, 0);
  server->set_write_timeout(settings.writeTimeoutSeconds, 0);
  server->set_payload_max_length(settings.maxBodyBytes);

  // Requests without a body are answered straight from the pre-routing
  // handler; requests with one come back through the method handlers below
  // once their body is read. The early check sees every request first.
  server->set_pre_routing_handler([handler, early](const httplib::Request& req, httplib::Response& res) {
    Request request = ToRequest(req);
    Response response;
    if (early && early(request, response)) {
      ToResponse(response, res);
      return httplib::Server::HandlerResponse::Handled;
    }
    if (ExpectsBody(req.method)) return httplib::Server::HandlerResponse::Unhandled;
    handler(request, response);
    ToResponse(response, res);
    return httplib::Server::HandlerResponse::Handled;
  });
  auto withBody = [handler](const httplib::Request& req, httplib::Response& res) {
    Request request = ToRequest(req);
    Response response;
    handler(request, response);
    ToResponse(response, res);
  };
  server->Post(".*", withBody);
  server->Put(".*", withBody);
  server->Patch(".*", withBody);
  server->Delete(".*", withBody);
  // Errors the HTTP layer itself answers (413, 414, 400, ...) get a short
  // text; answers that already carry a body keep it.
  server->set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty() || res.content_length_ != 0 || res.content_provider_) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    res.set_content(StringPrintf("<HTML><BODY><H1>%d %s</H1></BODY></HTML>", res.status,
                                 WebText::ReasonPhrase(res.status)),
                    "text/html");
    return httplib::Server::HandlerResponse::Handled;
  }));
  server->set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    res.status = 500;
    res.set_content("<HTML><BODY><H1>500 Internal Server Error</H1></BODY></HTML>", "text/html");
  });

  if (!server->bind_to_port(settings.address, settings.port)) {
    *error = StringPrintf("cannot listen on %s port %d: %s", settings.address.c_str(), settings.port,
                          std::strerror(errno));
    return false;
  }
  ::listen(server->ListeningSocket(), kListenBacklog);
  ListeningServer* raw = server.get();
  impl->server = std::move(server);
  impl->listener = std::thread([raw] { raw->listen_after_bind(); });
  // stop() only acts on a running server: wait until the listener runs.
  for (int i = 0; i < 5000 && !raw->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void HttpTransport::Stop() {
  if (!impl_->server) return;
  for (int i = 0; i < 5000 && !impl_->server->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  impl_->server->stop();
  if (impl_->listener.joinable()) impl_->listener.join();
  {
    std::lock_guard<std::mutex> lock(impl_->poolMutex);
    impl_->queue = nullptr;
  }
  impl_->server.reset();
}

HttpTransport::FetchResult HttpTransport::Fetch(const FetchRequest& request,
                                                const std::function<bool(const char*, size_t)>& sink) {
  FetchResult result;
  std::unique_ptr<httplib::ClientImpl> client;
  if (request.url.https) {
    auto ssl = std::make_unique<httplib::SSLClient>(request.url.host, request.url.port);
    X509_STORE* store = SharedTrustStore(request.trustFile);
    if (store == nullptr) {
      result.error = "cannot make a certificate store";
      return result;
    }
    ssl->set_ca_cert_store(store);
    // With a file named, the client loads only that file (already in the
    // store) instead of the system bundle once more.
    if (!request.trustFile.empty()) ssl->set_ca_cert_path(request.trustFile);
    ssl->enable_server_certificate_verification(true);
    client = std::move(ssl);
  } else {
    client = std::make_unique<httplib::ClientImpl>(request.url.host, request.url.port);
  }
  client->set_connection_timeout(request.connectTimeoutSeconds, 0);
  client->set_read_timeout(request.readTimeoutSeconds, 0);
  client->set_write_timeout(request.writeTimeoutSeconds, 0);
  client->set_keep_alive(false);
  client->set_follow_location(false);
  client->set_url_encode(false);

  httplib::Request req;
  req.method = request.method;
  req.path = request.url.target;
  for (const auto& [name, value] : request.headers) req.headers.emplace(name, value);
  if (!req.has_header("User-Agent")) req.set_header("User-Agent", "ZEPA-client/1.0");
  if (!request.body.empty() || request.method == "POST") {
    req.body = request.body;
    req.set_header("Content-Type", request.contentType.empty() ? "application/x-www-form-urlencoded"
                                                               : request.contentType);
  }
  uint64_t received = 0;
  bool tooLarge = false;
  bool tooSlow = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(request.totalTimeoutSeconds);
  req.response_handler = [&result](const httplib::Response& res) {
    result.responded = true;
    result.status = res.status;
    result.contentType = res.get_header_value("Content-Type");
    result.location = res.get_header_value("Location");
    return true;
  };
  req.content_receiver = [&](const char* data, size_t length, uint64_t, uint64_t) {
    received += length;
    if (received > request.maxResponseBytes) {
      tooLarge = true;
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      tooSlow = true;
      return false;
    }
    return sink(data, length);
  };
  httplib::Response res;
  httplib::Error error = httplib::Error::Success;
  const bool ok = client->send(req, res, error);
  if (!ok) {
    result.error = tooLarge  ? "the response is too large"
                   : tooSlow ? "the response took too long"
                             : httplib::to_string(error);
    if (error == httplib::Error::SSLServerVerification && request.url.https) {
      result.error += " (the peer's certificate is not trusted or does not name the host)";
    }
    result.responded = false;
  } else if (!result.responded) {
    // Responses without a body never reach the handlers above.
    result.responded = true;
    result.status = res.status;
    result.contentType = res.get_header_value("Content-Type");
    result.location = res.get_header_value("Location");
  }
  return result;
}

}  // namespace orla
