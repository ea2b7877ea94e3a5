// The only translation unit that includes libmicrohttpd. The daemon runs one
// thread per connection (MHD_USE_THREAD_PER_CONNECTION): the handler runs
// extension code that blocks (WriteClient, waiting for client requests), and
// libmicrohttpd's thread pool could only give way to such waits by
// suspending and resuming the connection, which the extension interface has
// no notion of. The connection limits bound the number of threads.
//
// TLS is GnuTLS inside libmicrohttpd: TLS 1.2 and 1.3 only, forward-secret
// AEAD suites only, no compression.
#include "platform/text/ascii_case.h"
#include "platform/text/url_decoding.h"
#include "http_transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <system_error>

#include "platform/sync/clock.h"
#include "platform/eventlog/event_log_writer.h"
#include "platform/text/string_printf.h"
#include "../whole_file.h"

namespace orla {

namespace {

constexpr const char* kTlsPriorities =
    "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:-CIPHER-ALL:+AES-256-GCM:+AES-128-GCM:+CHACHA20-POLY1305:"
    "-KX-ALL:+ECDHE-ECDSA:+ECDHE-RSA:%SERVER_PRECEDENCE";


constexpr const char* kHsts = "max-age=31536000";
constexpr uint64_t kInMemoryFileBytes = 128 * 1024;
constexpr size_t kFileBlockBytes = 64 * 1024;

// The methods whose requests carry a body, and so must declare its length.
// A DELETE usually has none: without Content-Length (and, as for every
// request here, without Transfer-Encoding) it has none, as HTTP says.
bool ExpectsBody(const std::string& method) { return method == "POST" || method == "PUT" || method == "PATCH"; }

std::string AddressText(const struct sockaddr* address, int* port) {
  char text[INET6_ADDRSTRLEN] = {0};
  *port = 0;
  if (address == nullptr) return std::string();
  if (address->sa_family == AF_INET) {
    const auto* in = reinterpret_cast<const struct sockaddr_in*>(address);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text));
    *port = ntohs(in->sin_port);
  } else if (address->sa_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const struct sockaddr_in6*>(address);
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text));
    *port = ntohs(in6->sin6_port);
  }
  return text;
}

// One request as it is read: made by the URI callback (which sees the target
// as sent), filled by the access handler.
struct RequestState {
  HttpTransport::Request request;
  bool headSeen = false;
  bool answered = false;  // an early answer was queued, or waits in `deferred`
  bool tooLarge = false;
  // A refusal that waits until the body it refuses has been read and
  // dropped: a client that sends its whole body before it reads (as
  // browsers do) would otherwise find the connection reset under it.
  std::unique_ptr<HttpTransport::Response> deferred;
};

// True when a refused request's body may be read and dropped before the
// refusal is sent: its length is declared once, is no more than
// `maxDrainBytes`, and the client does not wait for a "100 Continue" (it
// then reads the refusal before it sends anything).
bool Drainable(const HttpTransport::Request& request, size_t maxDrainBytes) {
  const std::string length = request.Header("Content-Length");
  if (length.empty() || length.size() > 19 || length.find_first_not_of("0123456789") != std::string::npos ||
      request.HasHeader("Transfer-Encoding") || request.HasHeader("Expect")) {
    return false;
  }
  const auto lengths = std::count_if(request.headers.begin(), request.headers.end(), [](const auto& header) {
    return AsciiCase::Equal(header.first, "Content-Length");
  });
  return lengths == 1 && std::strtoull(length.c_str(), nullptr, 10) <= maxDrainBytes;
}

// One connection, for the deadlines. The deadline is written by the
// connection's thread and read by the watchdog, without a lock.
struct ConnectionState {
  static constexpr int64_t kNone = INT64_MAX;  // while the handler runs
  int fd = -1;
  std::atomic<int64_t> deadline{kNone};  // steady-clock nanoseconds
  std::string localAddress;
  int localPort = 0;
};

int64_t NowNs(Clock* clock) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::Or(clock)->SteadyNow().time_since_epoch()).count();
}

ConnectionState* StateOf(struct MHD_Connection* connection) {
  const union MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info != nullptr ? static_cast<ConnectionState*>(info->socket_context) : nullptr;
}

std::string ResponseBodyText(int status) {
  return StringPrintf("<HTML><BODY><H1>%d %s</H1></BODY></HTML>", status, WebText::ReasonPhrase(status));
}

}  // namespace

class HttpTransport::Impl {
 public:
  Settings settings;
  Handler handler;
  EarlyCheck early;
  std::string certificate;
  std::string key;
  int listenFd = -1;

  std::mutex daemonMutex;
  struct MHD_Daemon* daemon = nullptr;
  size_t runningStackBytes = 0;
  size_t wantedStackBytes = 0;

  // The deadline watchdog: shuts down the socket of a connection whose
  // request (or answer) takes too long. It looks once a second: the
  // deadlines are many seconds long. A connection's entry leaves the table
  // in the closed notification, which libmicrohttpd makes before it closes
  // the socket, so a descriptor in the table always belongs to its
  // connection.
  std::mutex watchMutex;
  std::condition_variable watchWake;
  std::map<struct MHD_Connection*, ConnectionState*> connections;
  bool watchStop = false;
  std::thread watchdog;
  // A stop gave up waiting for connections: they, the watchdog and the
  // listening socket are left to the end of the process.
  std::atomic<bool> abandoned{false};

  struct MHD_Daemon* StartDaemon(size_t stackBytes, std::string* error);
  void Watch();
  void Arm(struct MHD_Connection* connection, int seconds);
  static void Disarm(struct MHD_Connection* connection);
  void Answer(struct MHD_Connection* connection, const Response& response, bool close);
  // Answers a refusal made before the body was read: at once, or once the
  // body has been read and dropped (Drainable). The connection is closed
  // after it either way.
  void Refuse(struct MHD_Connection* connection, RequestState* state, Response refusal);

  static void* UriCallback(void* cls, const char* uri, struct MHD_Connection* connection);
  static void NotifyConnection(void* cls, struct MHD_Connection* connection, void** socketContext,
                               enum MHD_ConnectionNotificationCode code);
  static void Completed(void* cls, struct MHD_Connection* connection, void** requestContext,
                        enum MHD_RequestTerminationCode code);
  static enum MHD_Result Access(void* cls, struct MHD_Connection* connection, const char* url, const char* method,
                                const char* version, const char* uploadData, size_t* uploadSize,
                                void** requestContext);
  // Access's steps.
  static void ReadHead(struct MHD_Connection* connection, const char* method, const char* version, Request* request);
  // Refuses a request whose head frames its body badly (or announces one
  // too large); true when it did.
  bool RefuseBadFraming(struct MHD_Connection* connection, RequestState* state);
  void CheckEarly(struct MHD_Connection* connection, RequestState* state);
  void CollectBody(struct MHD_Connection* connection, RequestState* state, const char* data, size_t* size);
  void Dispatch(struct MHD_Connection* connection, RequestState* state);
};

HttpTransport::FileBody::~FileBody() {
  if (fd >= 0) ::close(fd);
}

std::string HttpTransport::Request::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (AsciiCase::Equal(key, name)) return value;
  }
  return std::string();
}

bool HttpTransport::Request::HasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (AsciiCase::Equal(header.first, name)) return true;
  }
  return false;
}

HttpTransport::HttpTransport() : impl_(std::make_unique<Impl>()) {}

HttpTransport::~HttpTransport() { Stop(); }

void* HttpTransport::Impl::UriCallback(void*, const char* uri, struct MHD_Connection*) {
  auto* state = new RequestState;
  state->request.target = uri != nullptr ? uri : "";
  return state;
}

void HttpTransport::Impl::NotifyConnection(void* cls, struct MHD_Connection* connection, void** socketContext,
                                           enum MHD_ConnectionNotificationCode code) {
  auto* impl = static_cast<Impl*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    auto* state = new ConnectionState;
    const union MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    state->fd = info != nullptr ? info->connect_fd : -1;
    struct sockaddr_storage local;
    socklen_t length = sizeof(local);
    if (state->fd >= 0 && ::getsockname(state->fd, reinterpret_cast<struct sockaddr*>(&local), &length) == 0) {
      state->localAddress = AddressText(reinterpret_cast<struct sockaddr*>(&local), &state->localPort);
    }
    state->deadline = NowNs(impl->settings.clock) + int64_t{impl->settings.requestDeadlineSeconds} * 1000000000;
    *socketContext = state;
    std::lock_guard<std::mutex> lock(impl->watchMutex);
    impl->connections[connection] = state;
  } else if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
    auto* state = static_cast<ConnectionState*>(*socketContext);
    {
      std::lock_guard<std::mutex> lock(impl->watchMutex);
      impl->connections.erase(connection);
    }
    delete state;
    *socketContext = nullptr;
  }
}

void HttpTransport::Impl::Completed(void* cls, struct MHD_Connection* connection, void** requestContext,
                                    enum MHD_RequestTerminationCode) {
  auto* impl = static_cast<Impl*>(cls);
  delete static_cast<RequestState*>(*requestContext);
  *requestContext = nullptr;
  // The next request on this connection has the same time to arrive.
  impl->Arm(connection, impl->settings.requestDeadlineSeconds);
}

void HttpTransport::Impl::Arm(struct MHD_Connection* connection, int seconds) {
  if (ConnectionState* state = StateOf(connection)) state->deadline = NowNs(settings.clock) + int64_t{seconds} * 1000000000;
}

void HttpTransport::Impl::Disarm(struct MHD_Connection* connection) {
  if (ConnectionState* state = StateOf(connection)) state->deadline = ConnectionState::kNone;
}

void HttpTransport::Impl::Watch() {
  std::unique_lock<std::mutex> lock(watchMutex);
  while (!watchStop) {
    const int64_t now = NowNs(settings.clock);
    for (auto& [connection, state] : connections) {
      if (state->deadline.load() <= now) {
        // The connection's thread sees the end of its input and closes it.
        if (state->fd >= 0) ::shutdown(state->fd, SHUT_RDWR);
        state->deadline = ConnectionState::kNone;
      }
    }
    watchWake.wait_for(lock, std::chrono::seconds(1));
  }
}

void HttpTransport::Impl::Answer(struct MHD_Connection* connection, const Response& response, bool close) {
  struct MHD_Response* answer = nullptr;
  bool isFile = false;
  if (response.file && response.file->size <= kInMemoryFileBytes) {
    // Small files (pages, pictures, styles) are read at once and sent from
    // memory: one read, and TLS records as large as they can be.
    const size_t size = static_cast<size_t>(response.file->size);
    char* data = static_cast<char*>(std::malloc(size > 0 ? size : 1));
    size_t done = 0;
    while (data != nullptr && done < size) {
      const ssize_t n = ::pread(response.file->fd, data + done, size - done, static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (data != nullptr && done == size) {
      answer = MHD_create_response_from_buffer(size, data, MHD_RESPMEM_MUST_FREE);  // frees `data`
      if (answer == nullptr) std::free(data);
      isFile = answer != nullptr;
    } else {
      std::free(data);
    }
  } else if (response.file) {
    // Larger ones are read block by block while they are sent.
    auto* file = new std::shared_ptr<FileBody>(response.file);
    answer = MHD_create_response_from_callback(
        response.file->size, kFileBlockBytes,
        [](void* cls, uint64_t offset, char* buffer, size_t max) -> ssize_t {
          const auto& body = *static_cast<std::shared_ptr<FileBody>*>(cls);
          if (offset >= body->size) return MHD_CONTENT_READER_END_OF_STREAM;
          ssize_t n;
          do {
            n = ::pread(body->fd, buffer, max, static_cast<off_t>(offset));
          } while (n < 0 && errno == EINTR);
          // A file that shrank or failed ends the connection.
          return n > 0 ? n : MHD_CONTENT_READER_END_WITH_ERROR;
        },
        file, [](void* cls) { delete static_cast<std::shared_ptr<FileBody>*>(cls); });
    if (answer == nullptr) delete file;
    isFile = answer != nullptr;
  }
  int status = response.status;
  std::string contentType = response.contentType;
  if (answer == nullptr && response.file) {
    status = 500;
    contentType = "text/html";
    const std::string text = ResponseBodyText(status);
    answer = MHD_create_response_from_buffer(text.size(), const_cast<char*>(text.data()), MHD_RESPMEM_MUST_COPY);
  } else if (answer == nullptr) {
    answer = MHD_create_response_from_buffer(response.body.size(), const_cast<char*>(response.body.data()),
                                             MHD_RESPMEM_MUST_COPY);
  }
  if (answer == nullptr) return;  // out of memory: the connection is closed
  bool hsts = false, nosniff = false;
  for (const auto& [name, value] : response.headers) {
    hsts = hsts || AsciiCase::Equal(name, "Strict-Transport-Security");
    nosniff = nosniff || AsciiCase::Equal(name, "X-Content-Type-Options");
    if (AsciiCase::Equal(name, "Content-Type") || AsciiCase::Equal(name, "Content-Length") ||
        AsciiCase::Equal(name, "Transfer-Encoding") || AsciiCase::Equal(name, "Connection") ||
        AsciiCase::Equal(name, "Content-Encoding")) {
      continue;
    }
    MHD_add_response_header(answer, name.c_str(), value.c_str());
  }
  // Every answer, the refusals made here included.
  if (!hsts) MHD_add_response_header(answer, "Strict-Transport-Security", kHsts);
  if (!nosniff) MHD_add_response_header(answer, "X-Content-Type-Options", "nosniff");
  if (!contentType.empty() && status != 204 && status != 304) {
    MHD_add_response_header(answer, MHD_HTTP_HEADER_CONTENT_TYPE, contentType.c_str());
  }
  if (isFile) MHD_add_response_header(answer, "Accept-Ranges", "none");
  if (close || response.closeConnection) MHD_add_response_header(answer, MHD_HTTP_HEADER_CONNECTION, "close");
  MHD_queue_response(connection, static_cast<unsigned>(status), answer);
  MHD_destroy_response(answer);
}

bool HttpTransport::WantsJson(const Request& request) {
  for (const char* header : {"Accept", "Content-Type"}) {
    if (AsciiCase::Lower(request.Header(header)).find("application/json") != std::string::npos) return true;
  }
  return false;
}

void HttpTransport::Impl::Refuse(struct MHD_Connection* connection, RequestState* state, Response refusal) {
  state->answered = true;
  if (WantsJson(state->request) && refusal.status >= 400) {
    std::string text = refusal.refusalText;
    if (text.empty() && refusal.status == 413) {
      text = StringPrintf("Request bodies are limited to %zu bytes.", settings.BodyCap(state->request.path));
    }
    if (text.empty()) text = WebText::ReasonPhrase(refusal.status);
    refusal.contentType = "application/json; charset=utf-8";
    refusal.body = "{\"error\":\"" + EventLogWriter::JsonEscape(text) + "\",\"field\":null}";
  }
  if (Drainable(state->request, settings.maxDrainBytes)) {
    state->deferred = std::make_unique<Response>(std::move(refusal));
    return;
  }
  Answer(connection, refusal, true);
}

// The steps of a request, in the order libmicrohttpd calls Access: the head
// (once), the checks of its framing and the early checks (before a byte of
// the body is read), the body in pieces, then the whole request to the
// handler.
enum MHD_Result HttpTransport::Impl::Access(void* cls, struct MHD_Connection* connection, const char*,
                                            const char* method, const char* version, const char* uploadData,
                                            size_t* uploadSize, void** requestContext) {
  auto* impl = static_cast<Impl*>(cls);
  auto* state = static_cast<RequestState*>(*requestContext);
  if (state == nullptr) {  // never without the URI callback; refuse rather than guess
    return MHD_NO;
  }
  if (!state->headSeen) {
    state->headSeen = true;
    ReadHead(connection, method, version, &state->request);
    if (!impl->RefuseBadFraming(connection, state)) impl->CheckEarly(connection, state);
    return MHD_YES;  // the body (if any) follows, then the last call
  }
  if (state->answered) {
    if (*uploadSize != 0) {
      *uploadSize = 0;  // refused: the rest is dropped
    } else if (state->deferred) {
      // The whole body is in (and dropped): the client reads the refusal.
      impl->Answer(connection, *state->deferred, true);
      state->deferred.reset();
    }
    return MHD_YES;
  }
  if (*uploadSize != 0) {
    impl->CollectBody(connection, state, uploadData, uploadSize);
    return MHD_YES;
  }
  impl->Dispatch(connection, state);
  return MHD_YES;
}

void HttpTransport::Impl::ReadHead(struct MHD_Connection* connection, const char* method, const char* version,
                                   Request* request) {
  request->method = method != nullptr ? method : "";
  request->version = version != nullptr ? version : "";
  const size_t q = request->target.find('?');
  request->query = q == std::string::npos ? std::string() : request->target.substr(q + 1);
  request->path = UrlDecoding::Decode(request->target.substr(0, q), UrlDecoding::Plus::kIsPlus);
  MHD_get_connection_values(
      connection, MHD_HEADER_KIND,
      [](void* list, enum MHD_ValueKind, const char* key, const char* value) -> enum MHD_Result {
        static_cast<HeaderList*>(list)->emplace_back(key != nullptr ? key : "", value != nullptr ? value : "");
        return MHD_YES;
      },
      &request->headers);
  const union MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (info != nullptr) request->remoteAddress = AddressText(info->client_addr, &request->remotePort);
  const union MHD_ConnectionInfo* socketInfo = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  if (socketInfo != nullptr && socketInfo->socket_context != nullptr) {
    const auto* connectionState = static_cast<const ConnectionState*>(socketInfo->socket_context);
    request->localAddress = connectionState->localAddress;
    request->localPort = connectionState->localPort;
  }
}

bool HttpTransport::Impl::RefuseBadFraming(struct MHD_Connection* connection, RequestState* state) {
  const Request& request = state->request;
  int status = 0;
  const std::string length = request.Header("Content-Length");
  if (request.headers.size() > settings.maxHeaderCount) {
    status = 431;
  } else if (request.HasHeader("Transfer-Encoding")) {
    status = 501;
  } else if (request.HasHeader("Content-Encoding")) {
    status = 415;
  } else if (std::count_if(request.headers.begin(), request.headers.end(), [](const auto& header) {
               return AsciiCase::Equal(header.first, "Content-Length");
             }) > 1) {
    status = 400;  // two lengths: which one a proxy on the way used is unknown
  } else if (ExpectsBody(request.method) && length.empty()) {
    status = 411;
  } else if (!length.empty()) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(length.c_str(), &end, 10);
    if (length.find_first_not_of("0123456789") != std::string::npos) {
      status = 400;
    } else if (errno != 0 || end == length.c_str() || value > settings.BodyCap(request.path)) {
      status = 413;
    }
  }
  if (status == 0) return false;
  Response refusal;
  refusal.contentType = "text/html";
  refusal.status = status;
  refusal.body = ResponseBodyText(status);
  refusal.headers.emplace_back("Cache-Control", "no-store");
  Refuse(connection, state, std::move(refusal));
  return true;
}

void HttpTransport::Impl::CheckEarly(struct MHD_Connection* connection, RequestState* state) {
  if (!early) return;
  Response refusal;
  refusal.contentType = "text/html";
  bool handled = false;
  try {
    handled = early(state->request, refusal);
  } catch (...) {
    refusal = Response();
    refusal.status = 500;
    refusal.body = ResponseBodyText(500);
    handled = true;
  }
  if (handled) Refuse(connection, state, std::move(refusal));
}

void HttpTransport::Impl::CollectBody(struct MHD_Connection* connection, RequestState* state, const char* data,
                                      size_t* size) {
  Request& request = state->request;
  if (request.body.size() + *size > settings.BodyCap(request.path)) {
    state->tooLarge = true;
  } else {
    request.body.append(data, *size);
  }
  *size = 0;
  if (state->tooLarge) {
    Response refusal;
    refusal.status = 413;
    refusal.body = ResponseBodyText(413);
    Refuse(connection, state, std::move(refusal));
  }
}

void HttpTransport::Impl::Dispatch(struct MHD_Connection* connection, RequestState* state) {
  // The whole request is here: the handler may take as long as it needs.
  Disarm(connection);
  Response response;
  try {
    handler(state->request, response);
  } catch (...) {
    response = Response();
    response.status = 500;
    response.body = ResponseBodyText(500);
  }
  Answer(connection, response, false);
  Arm(connection, settings.sendDeadlineSeconds);
}

struct MHD_Daemon* HttpTransport::Impl::StartDaemon(size_t stackBytes, std::string* error) {
  const unsigned int flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_TLS |
                             MHD_USE_ITC | MHD_USE_POLL;
  struct MHD_Daemon* d = MHD_start_daemon(
      flags, 0, nullptr, nullptr, &Impl::Access, this,
      MHD_OPTION_LISTEN_SOCKET, static_cast<MHD_socket>(listenFd),
      MHD_OPTION_HTTPS_MEM_CERT, certificate.c_str(),
      MHD_OPTION_HTTPS_MEM_KEY, key.c_str(),
      MHD_OPTION_HTTPS_PRIORITIES, kTlsPriorities,
      MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned int>(settings.maxConnections),
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned int>(settings.maxConnectionsPerAddress),
      MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned int>(settings.idleTimeoutSeconds),
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, settings.connectionMemoryBytes,
      MHD_OPTION_THREAD_STACK_SIZE, stackBytes,
      MHD_OPTION_URI_LOG_CALLBACK, &Impl::UriCallback, this,
      MHD_OPTION_NOTIFY_COMPLETED, &Impl::Completed, this,
      MHD_OPTION_NOTIFY_CONNECTION, &Impl::NotifyConnection, this,
      MHD_OPTION_END);
  if (d == nullptr) *error = "cannot start the HTTPS service (certificate, key or TLS settings refused)";
  return d;
}

bool HttpTransport::SetWorkerStackBytes(size_t bytes, std::string* error) {
  std::lock_guard<std::mutex> lock(impl_->daemonMutex);
  impl_->wantedStackBytes = bytes;
  if (impl_->daemon == nullptr || bytes <= impl_->runningStackBytes) return true;
  // The stack size is fixed when the daemon starts: a new one takes over the
  // listening socket, then the old one ends.
  if (MHD_quiesce_daemon(impl_->daemon) == MHD_INVALID_SOCKET) {
    *error = "the listener cannot hand over its socket";
    return false;
  }
  struct MHD_Daemon* next = impl_->StartDaemon(bytes, error);
  MHD_stop_daemon(impl_->daemon);
  impl_->daemon = next;
  if (next == nullptr) return false;
  impl_->runningStackBytes = bytes;
  return true;
}

bool HttpTransport::Start(const Settings& settings, Handler handler, EarlyCheck early, std::string* error) {
  Impl* impl = impl_.get();
  std::lock_guard<std::mutex> lock(impl->daemonMutex);
  if (impl->daemon != nullptr) {
    *error = "already started";
    return false;
  }
  impl->settings = settings;
  impl->handler = std::move(handler);
  impl->early = std::move(early);
  if (!WholeFile::Read(settings.certificateFile, &impl->certificate)) {
    *error = StringPrintf("cannot load the certificate %s: %s", settings.certificateFile.c_str(),
                          std::strerror(errno));
    return false;
  }
  if (!WholeFile::Read(settings.keyFile, &impl->key)) {
    *error = StringPrintf("cannot load the key %s: %s", settings.keyFile.c_str(), std::strerror(errno));
    return false;
  }

  // The listening socket is made here, so that a taken port is reported as
  // such, and only SO_REUSEADDR is set: a second server on the same port
  // must fail to bind.
  struct addrinfo hints;
  std::memset(&hints, 0, sizeof(hints));
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE | AI_NUMERICSERV;
  struct addrinfo* found = nullptr;
  const std::string portText = std::to_string(settings.port);
  const int rc = ::getaddrinfo(settings.address.c_str(), portText.c_str(), &hints, &found);
  if (rc != 0 || found == nullptr) {
    *error = StringPrintf("cannot listen on %s port %d: not a numeric address", settings.address.c_str(),
                          settings.port);
    return false;
  }
  const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  int yes = 1;
  int err = 0;
  if (fd < 0) {
    err = errno;
  } else {
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    if (found->ai_family == AF_INET6) {
      // "::" serves IPv4 as well.
      int no = 0;
      ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof(no));
    }
    if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, settings.listenBacklog) != 0) {
      err = errno;
    }
  }
  ::freeaddrinfo(found);
  if (err != 0) {
    if (fd >= 0) ::close(fd);
    *error = StringPrintf("cannot listen on %s port %d: %s", settings.address.c_str(), settings.port,
                          std::strerror(err));
    return false;
  }
  impl->listenFd = fd;
  const size_t stack = impl->wantedStackBytes > settings.stackBytes ? impl->wantedStackBytes : settings.stackBytes;
  {
    std::lock_guard<std::mutex> watchLock(impl->watchMutex);
    impl->watchStop = false;
  }
  impl->watchdog = std::thread([impl] { impl->Watch(); });
  impl->daemon = impl->StartDaemon(stack, error);
  if (impl->daemon == nullptr) {
    {
      std::lock_guard<std::mutex> watchLock(impl->watchMutex);
      impl->watchStop = true;
      impl->watchWake.notify_all();
    }
    impl->watchdog.join();
    ::close(impl->listenFd);
    impl->listenFd = -1;
    return false;
  }
  impl->runningStackBytes = stack;
  return true;
}

void HttpTransport::Stop() {
  if (impl_->abandoned) {
    // Only reached when the owner is destroyed against the rule that it must
    // then be kept; the watchdog must at least not end the process.
    if (impl_->watchdog.joinable()) impl_->watchdog.detach();
    return;
  }
  StopWithin(std::chrono::hours(24 * 365));
}

bool HttpTransport::StopWithin(std::chrono::milliseconds limit) {
  Impl* impl = impl_.get();
  struct MHD_Daemon* daemon = nullptr;
  {
    std::lock_guard<std::mutex> lock(impl->daemonMutex);
    daemon = impl->daemon;
    impl->daemon = nullptr;
  }
  if (daemon != nullptr) {
    MHD_quiesce_daemon(daemon);  // no new connections while the others end
    // libmicrohttpd's stop joins every connection thread and cannot be told
    // to give up; it runs on a thread of its own so that this wait can.
    struct Done {
      std::mutex mutex;
      std::condition_variable cv;
      bool done = false;
    };
    auto done = std::make_shared<Done>();
    try {
      std::thread([daemon, done] {
        MHD_stop_daemon(daemon);
        std::lock_guard<std::mutex> lock(done->mutex);
        done->done = true;
        done->cv.notify_all();
      }).detach();
    } catch (const std::system_error&) {
      MHD_stop_daemon(daemon);  // no thread to spare: the wait is here
      done->done = true;
    }
    std::unique_lock<std::mutex> lock(done->mutex);
    if (!done->cv.wait_for(lock, limit, [&done] { return done->done; })) {
      impl->abandoned = true;
      return false;
    }
  }
  if (impl->watchdog.joinable()) {
    {
      std::lock_guard<std::mutex> lock(impl->watchMutex);
      impl->watchStop = true;
      impl->watchWake.notify_all();
    }
    impl->watchdog.join();
  }
  if (impl->listenFd >= 0) {
    ::close(impl->listenFd);
    impl->listenFd = -1;
  }
  return true;
}

}  // namespace orla
