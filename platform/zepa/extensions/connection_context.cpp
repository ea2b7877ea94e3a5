#include "connection_context.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/text/ascii_case.h"
#include "platform/text/string_printf.h"
#include "../data_directory.h"
#include "../library_pages.h"
#include "static_file.h"
#include "../web_text.h"
#include "../server_context.h"
#include "../users/login_service.h"

namespace orla {

namespace {

// The live connections by ConnID. Made once and never destroyed, so that no
// static destructor runs while request threads may still use it.
struct ConnectionTable {
  std::mutex mutex;
  std::map<uintptr_t, std::shared_ptr<ConnectionContext>> live;
};

ConnectionTable& Table() {
  static ConnectionTable* table = new ConnectionTable;
  return *table;
}

std::atomic<uintptr_t> g_nextId{1};
thread_local ConnectionContext* t_current = nullptr;

// How a callback of the extension interface fails: errno says why, the
// result is 0.
int FailWith(int error) {
  errno = error;
  return 0;
}

int GetServerVariableThunk(HCONN conn, const char* name, void* buffer, uint32_t* size) {
  std::shared_ptr<ConnectionContext> context = ConnectionContext::Find(conn);
  if (!context) return FailWith(EINVAL);
  return context->GetServerVariable(name, buffer, size);
}

int WriteClientThunk(HCONN conn, const void* buffer, uint32_t* bytes, uint32_t) {
  std::shared_ptr<ConnectionContext> context = ConnectionContext::Find(conn);
  if (!context) return FailWith(EINVAL);
  return context->WriteClient(buffer, bytes);
}

int ReadClientThunk(HCONN conn, void*, uint32_t* size) {
  // The whole body is already in lpbData: nothing is left to read.
  if (!ConnectionContext::Find(conn)) return FailWith(EINVAL);
  if (size != nullptr) *size = 0;
  return 1;
}

int ServerSupportThunk(HCONN conn, uint32_t request, void* buffer, uint32_t* size, uint32_t* dataType) {
  std::shared_ptr<ConnectionContext> context = ConnectionContext::Find(conn);
  if (!context) return FailWith(EINVAL);
  return context->ServerSupport(request, buffer, size, dataType);
}

std::string ToUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The CGI variable of a request header: "HTTP_" and its name in capitals,
// "-" as "_" ("User-Agent" is HTTP_USER_AGENT).
std::string CgiName(const std::string& header) {
  std::string name = "HTTP_" + ToUpper(header);
  for (size_t i = 5; i < name.size(); ++i) {
    if (name[i] == '-') name[i] = '_';
  }
  return name;
}

bool HasControl(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return true;
  }
  return false;
}

}  // namespace

ConnectionContext::ConnectionContext(ServerContext* server, std::shared_ptr<const ExtensionRegistration> extension,
                                     const HttpTransport::Request& request, const std::string& pathTranslated,
                                     std::optional<SessionTable::Session> session)
    : server_(server),
      extension_(std::move(extension)),
      request_(request),
      session_(std::move(session)),
      method_(request.method),
      query_(request.query),
      pathInfo_(request.path),
      pathTranslated_(pathTranslated),
      contentType_(request.Header("Content-Type")) {
  std::memset(&ecb_, 0, sizeof(ecb_));
  ecb_.cbSize = sizeof(ecb_);
  ecb_.dwVersion = 0x00040000;
  ecb_.ConnID = reinterpret_cast<HCONN>(g_nextId.fetch_add(1));
  ecb_.dwHttpStatusCode = 200;
  ecb_.lpszMethod = method_.data();
  ecb_.lpszQueryString = query_.data();
  ecb_.lpszPathInfo = pathInfo_.data();
  ecb_.lpszPathTranslated = pathTranslated_.data();
  ecb_.lpszContentType = contentType_.data();
  if (!request.body.empty()) {
    // The posted data followed by a zero byte; without a body lpbData stays
    // null, so that form fields are read from the query string.
    data_ = request.body;
    data_.push_back('\0');
    ecb_.lpbData = reinterpret_cast<unsigned char*>(data_.data());
    const size_t n = request.body.size();
    ecb_.cbTotalBytes = static_cast<uint32_t>(n);
    ecb_.cbAvailable = static_cast<uint32_t>(n);
  }
  ecb_.GetServerVariable = &GetServerVariableThunk;
  ecb_.WriteClient = &WriteClientThunk;
  ecb_.ReadClient = &ReadClientThunk;
  ecb_.ServerSupportFunction = &ServerSupportThunk;
}

ConnectionContext::~ConnectionContext() = default;

void ConnectionContext::Register(const std::shared_ptr<ConnectionContext>& context) {
  ConnectionTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.live[reinterpret_cast<uintptr_t>(context->ConnId())] = context;
}

void ConnectionContext::Unregister(const ConnectionContext* context) {
  ConnectionTable& table = Table();
  std::shared_ptr<ConnectionContext> last;  // released outside the table's lock
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.live.find(reinterpret_cast<uintptr_t>(context->ConnId()));
  if (it != table.live.end()) {
    last = std::move(it->second);
    table.live.erase(it);
  }
}

std::shared_ptr<ConnectionContext> ConnectionContext::Find(HCONN connId) {
  ConnectionTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.live.find(reinterpret_cast<uintptr_t>(connId));
  return it == table.live.end() ? nullptr : it->second;
}

ConnectionContext* ConnectionContext::Current() { return t_current; }

ConnectionContext::CurrentScope::CurrentScope(ConnectionContext* context) : previous_(t_current) {
  t_current = context;
}

ConnectionContext::CurrentScope::~CurrentScope() { t_current = previous_; }

void ConnectionContext::AddPendingClient() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++pendingClients_;
  hadClients_ = true;
}

void ConnectionContext::ClientOver() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pendingClients_ > 0) --pendingClients_;
  if (pendingClients_ == 0) clientsDone_.notify_all();
}

void ConnectionContext::WaitForClients() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!clientsDone_.wait_for(lock, std::chrono::seconds(1), [this] { return pendingClients_ == 0; })) {
    // A client request that outlives the shutdown's wait keeps this
    // connection no longer: it holds its own reference to the context, and
    // once the connection is unregistered its calls on ConnID fail cleanly.
    lock.unlock();
    const bool over = server_->ShutdownWaitOver();
    lock.lock();
    if (over) return;
  }
}

bool ConnectionContext::HadClients() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return hadClients_;
}

int ConnectionContext::WriteClient(const void* buffer, uint32_t* bytes) {
  if (bytes == nullptr || (buffer == nullptr && *bytes != 0)) return FailWith(EINVAL);
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return FailWith(EPIPE);
  const uint64_t written = spill_ ? spill_->size : body_.size();
  if (written + *bytes > kMaxBodyBytes) return FailWith(EFBIG);
  if (!spill_ && body_.size() + *bytes > kInMemoryBodyBytes) Spill();
  if (!spill_) {
    body_.append(static_cast<const char*>(buffer), *bytes);
    return 1;
  }
  const char* data = static_cast<const char*>(buffer);
  for (uint32_t done = 0; done < *bytes;) {
    const ssize_t n = ::pwrite(spill_->fd, data + done, *bytes - done, static_cast<off_t>(spill_->size));
    if (n <= 0) return FailWith(n < 0 ? errno : EIO);
    done += static_cast<uint32_t>(n);
    spill_->size += static_cast<uint64_t>(n);
  }
  return 1;
}

bool ConnectionContext::Spill() {
  const std::string folder = server_->FilePath(DataDirectory::kCacheDirectoryName);
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    // A file system without nameless files: a named one, gone at once.
    std::string path = folder + "/body-XXXXXX";
    fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(path.c_str());
  }
  if (fd < 0) return false;
  auto file = std::make_shared<HttpTransport::FileBody>(fd, 0);
  if (::pwrite(fd, body_.data(), body_.size(), 0) != static_cast<ssize_t>(body_.size())) return false;
  file->size = body_.size();
  spill_ = std::move(file);
  body_.clear();
  body_.shrink_to_fit();
  return true;
}

int ConnectionContext::ServerSupport(uint32_t request, void* buffer, uint32_t* size, uint32_t* dataType) {
  switch (request) {
    case HSE_REQ_SEND_URL_REDIRECT_RESP:
      return SendRedirect(static_cast<const char*>(buffer));
    case HSE_REQ_SEND_RESPONSE_HEADER:
      return SendHeader(static_cast<const char*>(buffer), reinterpret_cast<const char*>(dataType), size);
    case REQ_SEND_FILE: {
      const char* path = reinterpret_cast<const char*>(dataType);
      if (path == nullptr) return FailWith(EINVAL);
      const size_t n = size != nullptr ? strnlen(path, *size) : std::strlen(path);
      return SendFile(std::string(path, n));
    }
    case REQ_QUERY_RIGHTS:
    case REQ_QUERY_CREDENTIAL_RIGHTS: {
      if (dataType == nullptr || buffer == nullptr) return FailWith(EINVAL);
      const std::string right(static_cast<const char*>(buffer), strnlen(static_cast<const char*>(buffer), 256));
      if (request == REQ_QUERY_RIGHTS) {
        *dataType = server_->RightsFor(session_, right);
      } else {
        // Basic credentials and a user token stand for their user; the
        // metrics token for nobody.
        *dataType = !request_.authUser.empty() ? server_->UserRights(request_.authUser, right)
                                               : ZEPA_RIGHTS_NO_SESSION;
      }
      return 1;
    }
    default:
      return FailWith(EINVAL);
  }
}

int ConnectionContext::SendRedirect(const char* url) {
  if (url == nullptr) return FailWith(EINVAL);
  const std::string location(url, strnlen(url, 8192));
  if (location.empty() || HasControl(location)) return FailWith(EINVAL);
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return FailWith(EPIPE);
  redirect_ = location;
  return 1;
}

int ConnectionContext::SendHeader(const char* status, const char* header, uint32_t* size) {
  int code = 200;
  if (status != nullptr && status[0] != '\0') {
    code = std::atoi(status);
    if (code < 100 || code > 599) return FailWith(EINVAL);
  }
  std::string text;
  if (header != nullptr) text.assign(header, size != nullptr ? strnlen(header, *size) : std::strlen(header));
  const HttpTransport::HeaderList lines = WebText::ParseHeaderLines(text, nullptr);
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return FailWith(EPIPE);
  headerSent_ = true;
  status_ = code;
  for (const auto& [name, value] : lines) {
    if (AsciiCase::Equal(name, "Content-Type")) {
      responseType_ = value;
    } else if (AsciiCase::Equal(name, "Content-Length") ||
               AsciiCase::Equal(name, "Transfer-Encoding") ||
               AsciiCase::Equal(name, "Connection")) {
      // The library frames the response itself.
    } else if (AsciiCase::Equal(name, "Set-Cookie") &&
               value.rfind(std::string(LoginService::kCookieName) + "=", 0) == 0) {
      // The session cookie is the library's own.
    } else {
      headers_.emplace_back(name, value);
    }
  }
  return 1;
}

int ConnectionContext::SendFile(const std::string& path) {
  CacheFileTable::Info cache;
  std::shared_ptr<HttpTransport::FileBody> file;
  std::string type;
  int status = 200;
  std::string location;
  std::string cacheControl;
  std::string redirect;
  int error = 0;
  if (server_->LookupCacheFile(path, &cache)) {
    // A client request's response, sent as that response said.
    if (StaticFile::Open(path, &file)) {
      type = cache.contentType.empty() ? "application/octet-stream" : cache.contentType;
      status = cache.status;
      location = cache.location;
      cacheControl = cache.cacheControl;
    } else {
      error = 404;
    }
  } else {
    StaticFile::Result found = StaticFile::Resolve(extension_->directory, path, request_.target);
    file = std::move(found.file);
    type = found.contentType;
    redirect = found.redirect;
    error = found.error;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return FailWith(EPIPE);
  if (!redirect.empty()) {
    redirect_ = redirect;
    return 1;
  }
  if (error != 0) {
    fileError_ = error;
    return FailWith(error == 403 ? EACCES : ENOENT);
  }
  file_ = std::move(file);
  fileType_ = type;
  fileStatus_ = status;
  fileLocation_ = location;
  fileCacheControl_ = cacheControl;
  fileError_ = 0;
  return 1;
}

bool ConnectionContext::BuildResponse(HttpTransport::Response& response) {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  if (!redirect_.empty()) {
    response.status = 302;
    response.headers.emplace_back("Location", redirect_);
    response.body = LibraryPages::Error(302, "The page has moved.");
    return true;
  }
  if (file_) {
    response.status = fileStatus_;
    response.contentType = fileType_;
    for (const auto& header : headers_) response.headers.push_back(header);
    if (!fileLocation_.empty()) response.headers.emplace_back("Location", fileLocation_);
    if (!fileCacheControl_.empty()) response.headers.emplace_back("Cache-Control", fileCacheControl_);
    response.file = file_;
    return true;
  }
  if (headerSent_ || !body_.empty()) {
    response.status = status_;
    response.contentType = responseType_;
    for (const auto& header : headers_) response.headers.push_back(header);
    response.body = std::move(body_);
    response.file = spill_;
    return true;
  }
  if (fileError_ != 0) {
    response.status = fileError_;
    response.body = LibraryPages::Error(fileError_, fileError_ == 403 ? "The file may not be sent."
                                                                      : "The file does not exist.");
    return true;
  }
  return false;
}

bool ConnectionContext::ServerVariable(const std::string& name, std::string* value) const {
  const std::string upper = ToUpper(name);
  std::string host = request_.Header("Host");
  if (upper == "REQUEST_METHOD") *value = method_;
  else if (upper == "QUERY_STRING") *value = query_;
  else if (upper == "PATH_INFO" || upper == "URL" || upper == "SCRIPT_NAME") *value = pathInfo_;
  else if (upper == "PATH_TRANSLATED") *value = pathTranslated_;
  else if (upper == "CONTENT_TYPE") *value = contentType_;
  else if (upper == "CONTENT_LENGTH") *value = std::to_string(request_.body.size());
  else if (upper == "REMOTE_ADDR" || upper == "REMOTE_HOST") *value = request_.remoteAddress;
  else if (upper == "REMOTE_PORT") *value = std::to_string(request_.remotePort);
  else if (upper == "LOCAL_ADDR") *value = request_.localAddress;
  else if (upper == "SERVER_PORT") *value = std::to_string(request_.localPort);
  else if (upper == "SERVER_NAME") {
    if (!host.empty() && host[0] == '[') {
      *value = host.substr(0, host.find(']') + 1);
    } else {
      *value = host.empty() ? request_.localAddress : host.substr(0, host.find(':'));
    }
  } else if (upper == "SERVER_PROTOCOL") *value = request_.version;
  else if (upper == "SERVER_SOFTWARE") *value = "ZEPA/1.0";
  else if (upper == "HTTPS") *value = "on";
  else if (upper == "REMOTE_USER" || upper == "AUTH_USER" || upper == "LOGON_USER")
    *value = session_ ? session_->user : request_.authUser;
  else if (upper == "AUTH_TYPE") *value = request_.authType;
  // The user token that REMOTE_USER stands for (none beside a session).
  else if (upper == "AUTH_TOKEN_NAME") *value = session_ ? std::string() : request_.authTokenName;
  else if (upper == "ALL_HTTP") {
    value->clear();
    for (const auto& [key, v] : request_.headers) *value += CgiName(key) + ":" + v + "\n";
  } else if (upper.rfind("HTTP_", 0) == 0) {
    for (const auto& [key, v] : request_.headers) {
      if (CgiName(key) == upper) {
        *value = v;
        return true;
      }
    }
    return false;
  } else {
    return false;
  }
  return true;
}

int ConnectionContext::GetServerVariable(const char* name, void* buffer, uint32_t* size) {
  if (name == nullptr || size == nullptr) return FailWith(EINVAL);
  std::string value;
  if (!ServerVariable(name, &value)) return FailWith(ENOENT);
  const size_t needed = value.size() + 1;
  if (buffer == nullptr || *size < needed) {
    *size = static_cast<uint32_t>(needed);
    return FailWith(ENOBUFS);
  }
  std::memcpy(buffer, value.c_str(), needed);
  *size = static_cast<uint32_t>(needed);
  return 1;
}

}  // namespace orla
