#include "zepa_server.h"

#include <string>
#include <vector>

#include "platform/text/ascii_case.h"
#include "platform/text/string_printf.h"
#include "extensions/confined_path.h"
#include "extensions/connection_context.h"
#include "library_pages.h"
#include "web_text.h"
#include "zepa_log.h"

namespace orla {

ZepaServer::ZepaServer(const Settings& settings)
    : settings_(settings),
      clock_(*Clock::Or(settings.clock)),
      data_(settings.dataDirectory),
      login_(settings.name, data_.File(DataDirectory::kUsersFileName), settings.sessions, &clock_),
      credentials_(data_.File(ScrapeCredentials::kTokenFileName), data_.File(UserTokenStore::kFileName), login_),
      clients_(settings.maxClientWorkers, kMinimumStackBytes) {}

ZepaServer::~ZepaServer() { Shutdown(); }

bool ZepaServer::ShutdownWaitOver() const {
  if (!stopping_) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  return clock_.SteadyNow() >= shutdownDeadline_;
}

bool ZepaServer::Start(std::string* error) {
  if (!data_.Prepare(login_.Users(), error)) return false;
  login_.Prepare();
  modules_.LoadAll(FilePath(ExtensionModules::kFolderName), [this](const ExtensionRecord& record, std::string* why) {
    return extensions_.Register(&record, true, why);
  });

  HttpTransport::Settings transport;
  transport.address = settings_.address;
  transport.port = settings_.port;
  transport.certificateFile = FilePath(DataDirectory::kCertificateFileName);
  transport.keyFile = FilePath(DataDirectory::kKeyFileName);
  transport.maxBodyBytes = settings_.maxBodyBytes;
  transport.largeBodyPath = settings_.largeBodyPath;
  transport.largeBodyBytes = settings_.largeBodyBytes;
  transport.maxConnections = settings_.maxConnections;
  transport.maxConnectionsPerAddress = settings_.maxConnectionsPerAddress;
  transport.stackBytes = kMinimumStackBytes;
  transport.clock = &clock_;
  if (!transport_.Start(
          transport,
          [this](HttpTransport::Request& rq, HttpTransport::Response& rs) {
            Handle(rq, rs);
            statistics_.Count(rq, rs);
          },
          [this](const HttpTransport::Request& rq, HttpTransport::Response& rs) {
            const bool answered = EarlyCheck(rq, rs);
            if (answered) statistics_.Count(rq, rs);
            return answered;
          },
          error)) {
    return false;
  }
  started_ = true;
  ZepaLog::Write(ZepaLog::kInfo, StringPrintf("The web server %s listens for HTTPS on %s port %d.",
                                              settings_.name.c_str(), settings_.address.c_str(), settings_.port));
  return true;
}

void ZepaServer::Shutdown() {
  bool expected = false;
  if (!stopping_.compare_exchange_strong(expected, true)) return;
  const std::chrono::seconds wait(settings_.shutdownWaitSeconds);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shutdownDeadline_ = clock_.SteadyNow() + wait;
  }
  // Connections first: their client requests still run on the client
  // workers and end them. A connection waiting for its client requests stops
  // waiting at the deadline; the grace after it lets such connections end.
  if (started_ && !transport_.StopWithin(wait + std::chrono::seconds(kShutdownGraceSeconds))) {
    stragglers_ = true;
    modules_.KeepLoaded();
    ZepaLog::Write(ZepaLog::kCritical,
                   StringPrintf("The web server %s stops with requests still running after %d seconds (a request "
                                "procedure does not return); their connections are left open until the process "
                                "ends.",
                                settings_.name.c_str(), settings_.shutdownWaitSeconds + kShutdownGraceSeconds));
  }
  if (!clients_.ShutdownWithin(wait)) {
    stragglers_ = true;
    modules_.KeepLoaded();
    ZepaLog::Write(ZepaLog::kWarning,
                   StringPrintf("The web server %s stops with client requests still running after %d seconds; "
                                "they are left to end on their own.",
                                settings_.name.c_str(), settings_.shutdownWaitSeconds));
  }
  extensions_.TerminateAll();
  if (started_) ZepaLog::Write(ZepaLog::kInfo, "The web server " + settings_.name + " stopped.");
}

void ZepaServer::SetStackSize(size_t bytes) {
  const size_t stack = bytes < kMinimumStackBytes ? kMinimumStackBytes : bytes;
  std::string error;
  if (!transport_.SetWorkerStackBytes(stack, &error)) {
    ZepaLog::Write(ZepaLog::kCritical, StringPrintf("The web server %s stopped serving: a larger thread stack "
                                                    "needs a new listener, which failed: %s",
                                                    settings_.name.c_str(), error.c_str()));
  }
  clients_.SetStackBytes(stack);
}

bool ZepaServer::StartClient(const std::string& url, const std::string& method, const std::string& contentType,
                             std::string body, PFN_ZEPA_CLIENT_CALLBACK callback, void* userObject,
                             std::string* error) {
  if (stopping_) {
    *error = "the server is shutting down";
    return false;
  }
  return clients_.Start(this, url, method, contentType, std::move(body), callback, userObject, error);
}

void ZepaServer::Handle(HttpTransport::Request& request, HttpTransport::Response& response) {
  ThreadScope scope(this);
  RequestGate::SortOutInternal(request);
  RequestGate::AddSecurityHeaders(response);
  if (ConfinedPath::HasTraversal(request.path)) {
    LibraryPages::SendError(response, 403, "The path is not allowed.");
    return;
  }
  if (request.path == "/") {
    HandleHome(request, response);
    return;
  }
  if (request.path == LibraryPages::kIconPath && !LibraryPages::CurrentLook().icon.empty()) {
    // Browsers ask for it on any page that names no icon.
    response.status = 302;
    response.headers.emplace_back("Location", LibraryPages::CurrentLook().icon);
    response.headers.emplace_back("Cache-Control", "max-age=86400");
    return;
  }
  if (AsciiCase::Equal(request.path, LibraryPages::kLoginPath)) {
    login_.HandleLogin(request, response);
    return;
  }
  if (AsciiCase::Equal(request.path, LibraryPages::kLogoutPath)) {
    login_.HandleLogout(request, response);
    return;
  }
  if (AsciiCase::Equal(request.path, LibraryPages::kSessionPath)) {
    // Who is signed in, as plain text (empty without a session): the
    // extensions' static pages show it.
    std::optional<SessionTable::Session> session = login_.SessionOf(request);
    response.status = 200;
    response.contentType = "text/plain; charset=utf-8";
    response.headers.emplace_back("Cache-Control", "no-store");
    response.body = session ? session->user : std::string();
    return;
  }
  std::string below;
  std::shared_ptr<const ExtensionRegistration> extension = extensions_.Find(request.path, &below);
  if (!extension) {
    LibraryPages::SendError(response, 404, "There is no page at this address.");
    return;
  }
  // An internal root without the secret never gets here: EarlyCheck refused
  // it before its body was read.
  credentials_.SortOut(request);
  HandleExtension(extension, below, request, response);
}

void ZepaServer::GetStatistics(ZEPA_SERVER_STATISTICS* out) const {
  for (int hundreds = 0; hundreds <= 5; ++hundreds) out->qwResponses[hundreds] = statistics_.Responses(hundreds);
  out->qwFailedLogins = statistics_.FailedLogins() + credentials_.Failures();
  out->dwOpenSessions = static_cast<uint32_t>(login_.OpenSessions());
}

void ZepaServer::HandleExtension(const std::shared_ptr<const ExtensionRegistration>& extension,
                                 const std::string& below, const HttpTransport::Request& request,
                                 HttpTransport::Response& response) {
  std::string translated;
  if (!ConfinedPath::Translate(extension->directory, below, &translated) ||
      !ConfinedPath::StaysInside(extension->directory, translated, nullptr)) {
    LibraryPages::SendError(response, 403, "The path is not allowed.");
    return;
  }
  std::optional<SessionTable::Session> session = login_.SessionOf(request);
  auto context = std::make_shared<ConnectionContext>(this, extension, request, translated, session);
  ConnectionContext::Register(context);
  uint32_t result = 0;
  bool threw = false;
  {
    ConnectionContext::CurrentScope current(context.get());
    try {
      result = extension->requestProcedure(context->Ecb());
    } catch (...) {
      threw = true;
    }
  }
  // The browser's answer may come from client requests started above.
  context->WaitForClients();
  ConnectionContext::Unregister(context.get());

  if (threw) {
    ZepaLog::Write(ZepaLog::kWarning,
                   "The web extension " + extension->name + " failed with an exception in its request procedure.");
    HttpTransport::Response discarded;
    context->BuildResponse(discarded);
    LibraryPages::SendError(response, 500, "The application failed to answer the request.");
    return;
  }
  if (result == ZEPA_STATUS_LEAVE_TO_LIBRARY) {
    HttpTransport::Response discarded;
    context->BuildResponse(discarded);
    if (!session) {
      LibraryPages::SendLoginNeeded(request, response);
      return;
    }
    LibraryPages::Send(response, 403, LibraryPages::NoAccess(settings_.name, session->user, request.target));
    return;
  }
  if (result == HSE_STATUS_SUCCESS || result == HSE_STATUS_SUCCESS_AND_KEEP_CONN) {
    if (context->BuildResponse(response)) return;
    if (context->HadClients()) {
      LibraryPages::SendError(response, 502, "The server this page comes from sent no answer.");
    } else {
      LibraryPages::SendError(response, 500, "The application sent no answer.");
    }
    return;
  }
  HttpTransport::Response discarded;
  context->BuildResponse(discarded);
  LibraryPages::SendError(response, 500, StringPrintf("The application could not answer the request (status %u).", result));
}

void ZepaServer::HandleHome(const HttpTransport::Request& request, HttpTransport::Response& response) {
  if (request.method != "GET" && request.method != "HEAD") {
    response.headers.emplace_back("Allow", "GET, HEAD");
    LibraryPages::SendError(response, 405, "This page is only read.");
    return;
  }
  const std::vector<std::string> fragments = extensions_.HomePages("ENG");
  std::optional<SessionTable::Session> session = login_.SessionOf(request);
  LibraryPages::Send(response, 200, LibraryPages::Home(settings_.name, fragments, session ? session->user : std::string()));
}

}  // namespace orla
