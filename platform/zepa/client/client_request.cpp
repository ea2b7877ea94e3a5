#include "client_request.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

#include "platform/text/ascii_case.h"
#include "platform/text/string_printf.h"
#include "../extensions/connection_context.h"
#include "http_client.h"
#include "../web_text.h"
#include "../zepa_log.h"
#include "../data_directory.h"
#include "../server_context.h"
#include "../internal_secret.h"

namespace orla {

namespace {
// The live requests, so that a stale handle is refused. Never destroyed.
struct LiveSet {
  std::mutex mutex;
  std::set<const ClientRequest*> live;
};

LiveSet& Live() {
  static LiveSet* set = new LiveSet;
  return *set;
}

bool WriteAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}
}  // namespace

ClientRequest::ClientRequest(ServerContext* server, const ClientUrl& url, std::string method,
                             std::string contentType, std::string body, PFN_ZEPA_CLIENT_CALLBACK callback,
                             void* userObject, std::shared_ptr<ConnectionContext> connection)
    : server_(server),
      url_(url),
      method_(std::move(method)),
      contentType_(std::move(contentType)),
      body_(std::move(body)),
      callback_(callback),
      userObject_(userObject),
      connection_(std::move(connection)) {
  LiveSet& set = Live();
  std::lock_guard<std::mutex> lock(set.mutex);
  set.live.insert(this);
}

ClientRequest::~ClientRequest() {
  LiveSet& set = Live();
  std::lock_guard<std::mutex> lock(set.mutex);
  set.live.erase(this);
}

ClientRequest* ClientRequest::FromHandle(HZEPACLIENT handle) {
  auto* request = reinterpret_cast<ClientRequest*>(handle);
  LiveSet& set = Live();
  std::lock_guard<std::mutex> lock(set.mutex);
  return set.live.count(request) != 0 ? request : nullptr;
}

uint32_t ClientRequest::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

uint32_t ClientRequest::Status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

const char* ClientRequest::CacheFileName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cacheReady_ ? cacheFile_.c_str() : nullptr;
}

int ClientRequest::SendBytes(const void* bytes, uint32_t length, uint32_t* count) {
  if (count != nullptr) *count = 0;
  if (bytes == nullptr && length != 0) {
    errno = EINVAL;
    return 0;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ != ZEPA_CLIENT_STATE_SEND_HEADERS) {
    errno = EINVAL;
    return 0;
  }
  if (headerBytes_.size() + length > kMaxHeaderBytes) {
    errno = EFBIG;
    return 0;
  }
  headerBytes_.append(static_cast<const char*>(bytes), length);
  if (count != nullptr) *count = length;
  return 1;
}

void ClientRequest::Invoke(uint32_t state) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
  }
  // Client requests the callback starts belong to the same browser
  // connection as this one.
  ConnectionContext::CurrentScope connection(connection_.get());
  ServerContext::ThreadScope thread(server_);
  try {
    callback_(Handle());
  } catch (...) {
    ZepaLog::Write(ZepaLog::kWarning,
                   StringPrintf("A web server client callback failed with an exception in state %u.", state));
  }
}

bool ClientRequest::Perform(std::string* error) {
  HttpClient::FetchRequest fetch;
  fetch.url = url_;
  fetch.method = method_;
  fetch.body = body_;
  fetch.contentType = contentType_;
  // This server's own pages are checked against its own certificate only;
  // reading the whole system bundle for each request would cost far more
  // than the request. Other hosts get the system's certificates and ours.
  const bool own = server_->IsOwnUrl(url_);
  fetch.trustFile = server_->FilePath(own ? DataDirectory::kCertificateFileName : DataDirectory::kTrustBundleFileName);
  struct stat st;
  if (::stat(fetch.trustFile.c_str(), &st) != 0) fetch.trustFile.clear();  // the system's alone
  // A server bound to one address is called on it, which its certificate
  // need not name; the certificate must still be its own.
  fetch.verifyHost = !(own && !fetch.trustFile.empty());
  fetch.abort = server_->StoppingFlag();
  std::string headerText;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    headerText = headerBytes_;
  }
  int rejected = 0;
  bool hasOrigin = false;
  for (auto& [name, value] : WebText::ParseHeaderLines(headerText, &rejected)) {
    // The request's framing and target are the library's.
    if (AsciiCase::Equal(name, "Host") || AsciiCase::Equal(name, "Content-Length") ||
        AsciiCase::Equal(name, "Transfer-Encoding") || AsciiCase::Equal(name, "Connection") ||
        AsciiCase::Equal(name, InternalSecret::kHeader)) {
      continue;
    }
    if (AsciiCase::Equal(name, "Origin")) hasOrigin = true;
    fetch.headers.emplace_back(name, value);
  }
  if (rejected > 0) {
    ZepaLog::Write(ZepaLog::kWarning,
                   StringPrintf("A web server client request dropped %d malformed header line(s).", rejected));
  }
  // Servers refuse state-changing requests from another origin; the
  // library's own POSTs say where they come from.
  if (method_ != "GET" && method_ != "HEAD" && !hasOrigin) fetch.headers.emplace_back("Origin", url_.Origin());
  // Requests to this server itself may reach its internal roots; the secret
  // never goes to another host.
  if (server_->IsOwnUrl(url_)) fetch.headers.emplace_back(InternalSecret::kHeader, InternalSecret::Value());

  std::string path = server_->FilePath(DataDirectory::kCacheDirectoryName) + "/client-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) {
    *error = StringPrintf("cannot make a cache file in %s: %s",
                          server_->FilePath(DataDirectory::kCacheDirectoryName).c_str(), std::strerror(errno));
    return false;
  }
  // Until the file is handed over below, it is closed and removed however
  // this function ends (an exception included).
  struct CacheFileGuard {
    int fd;
    const std::string* path;
    bool keep = false;
    ~CacheFileGuard() {
      if (fd >= 0) ::close(fd);
      if (!keep) ::unlink(path->c_str());
    }
  } guard{fd, &path};
  bool writeFailed = false;
  const HttpClient::FetchResult result = HttpClient::Fetch(fetch, [&](const char* data, size_t length) {
    if (!WriteAll(fd, data, length)) writeFailed = true;
    return !writeFailed;
  });
  if (!result.responded || writeFailed) {
    *error = writeFailed ? std::string("cannot write the cache file") : result.error;
    return false;
  }
  CacheFileTable::Info info;
  info.status = result.status;
  info.contentType = result.contentType;
  info.location = result.location;
  info.cacheControl = result.cacheControl;
  server_->RegisterCacheFile(path, info);
  guard.keep = true;
  std::lock_guard<std::mutex> lock(mutex_);
  status_ = static_cast<uint32_t>(result.status);
  cacheFile_ = path;
  cacheReady_ = true;
  return true;
}

void ClientRequest::Run() {
  if (!server_->IsShuttingDown()) {
    Invoke(ZEPA_CLIENT_STATE_SEND_HEADERS);
    std::string error;
    bool performed = false;
    try {
      performed = Perform(&error);
    } catch (...) {
      // Out of memory or the like: the request still ends with state 14 and
      // releases its connection below.
      performed = false;
      error = "the request failed with an exception";
    }
    if (performed) {
      Invoke(ZEPA_CLIENT_STATE_RESPONSE_READY);
    } else {
      ZepaLog::Write(ZepaLog::kWarning,
                     StringPrintf("The web server's client request to %s%s failed: %s", url_.Origin().c_str(),
                                  url_.target.substr(0, url_.target.find('?')).c_str(), error.c_str()));
    }
  }
  Invoke(ZEPA_CLIENT_STATE_OVER);
  std::string cacheFile;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cacheFile = cacheReady_ ? cacheFile_ : std::string();
    cacheReady_ = false;
  }
  if (!cacheFile.empty()) {
    server_->UnregisterCacheFile(cacheFile);
    ::unlink(cacheFile.c_str());
  }
  if (connection_) connection_->ClientOver();
}

}  // namespace orla
