#include "agent/web/page_server.h"

#include <unistd.h>

#include <cstring>
#include <memory>
#include <new>

#include "agent/alarms/alarm_book.h"
#include "agent/core/maintenance_book.h"
#include "agent/core/agent_settings.h"
#include "agent/core/event_log.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "api_routes.h"
#include "change_feed.h"
#include "login_event_text.h"
#include "page_table.h"
#include "web_page.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"

namespace orla {

static_assert(sizeof(ServerStartupRecord) == ZEPA_SERVER_STARTUP_RECORD_SIZE, "start-up record layout");

const char PageServer::kHomePageFragment[] =
    "<TABLE  border=0><TR><TD valign=top><A href=/KOR/><IMG border=0 src=/KOR/button.gif></A></TD>"
    "<TD valign=top><IMG src=/KOR/Line1.gif><BR><FONT size=3>Monitor and configure tape controllers on the "
    "Storage Area Network.</FONT></TD></TR></TABLE>";

namespace {

constexpr char kServerName[] = "KOR";
constexpr char kLanguage[] = "ENG";
constexpr char kRightDescription[] = "Access to the KOR Page";
constexpr char kStartFailed[] = "ZEPA interface failed to initialize.";
// The static content the web server's own pages link, to look like ours.
constexpr char kPageStyleSheet[] = "/KOR/orla.css";
constexpr char kPageScript[] = "/KOR/orla_utilities.js";
constexpr char kPageIcon[] = "/KOR/favicon.svg";

// Copies `text` into a fixed record field; false when it does not fit with
// its terminating zero.
template <size_t N>
bool CopyText(char (&field)[N], const std::string& text) {
  if (text.size() >= N) return false;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

// When the process started, near enough: its libraries' static set-up. The
// change feed takes the tools' changes from then on.
const int64_t g_processStartMs = Clock::System()->WallMilliseconds();

}  // namespace

PageServer::PageServer() : changes_(std::make_unique<ChangeFeed>(g_processStartMs, ::getpid())) {}

// Out of line: ChangeFeed is complete here.
PageServer::~PageServer() = default;

PageServer* PageServer::Instance() {
  // Never destroyed: library threads may still call in while the process ends.
  static PageServer* const server = new PageServer();
  return server;
}

uint32_t PageServer::Handle() const { return AgentObjects::WebServer(); }

int PageServer::RegistrationResult() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return registration_;
}

void PageServer::Start(const AgentLayout& layout) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (started_ || shutDown_ || startBarred_) return;
  started_ = true;
  AgentObjects::SetChangeFeed(changes_.get());
  AgentObjects::SetWebDataDirectory(layout.WebDataDirectory());
  alarms_ = std::make_unique<AlarmBook>(layout.AlarmFile(), nullptr, MaintenanceBook::Instance());
  AgentObjects::SetAlarmBook(alarms_.get());

  ServerStartupRecord startup{};
  startup.dwSize = sizeof startup;
  startup.dwVersion = 2;
  CopyText(startup.szServerName, kServerName);
  ExtensionRecord extension{};
  extension.dwSize = sizeof extension;
  CopyText(extension.szName, kServerName);
  if (!CopyText(startup.szDataDirectory, layout.WebDataDirectory()) ||
      !CopyText(extension.szDirectory, layout.WebContentDirectory())) {
    EventLog::Write(EventLog::kCritical, kStartFailed);
    return;
  }

  ZEPABlockUnload();
  unloadBlocked_ = true;
  // The web server's own messages go through the agent's event log, so the
  // events console sees them like every other entry.
  // A successful log-in is of its own kind, which the events console
  // shows only when asked.
  ZEPASetLogCallback([](int severity, const char* text) {
    const std::string line = text != nullptr ? text : "";
    EventOrigin origin;
    if (LoginEventText::Matches(line)) origin.kind = "login";
    EventLog::Write(severity >= EventLog::kInfo && severity <= EventLog::kCritical ? severity : EventLog::kWarning,
                    line, nullptr, 0, origin);
  });
  // The endpoint comes from the agent's settings, read once at start-up.
  const AgentSettings settings = AgentSettings::Current();
  ZEPASetServerEndpoint(settings.HttpsAddress().empty() ? nullptr : settings.HttpsAddress().c_str(),
                        static_cast<uint32_t>(settings.HttpsPort()));
  // The web server's own pages (log-in, log-out, its home page) look like ours.
  ZEPASetPageLook(kPageStyleSheet, kPageScript, kPageIcon);
  // An import's file may be larger than the server's usual cap on bodies.
  ZEPASetLargeBodyPath(ApiRoutes::kUploadPath, static_cast<uint32_t>(ApiRoutes::kMaxTextBytes));
  uint32_t handle = 0;
  ZEPAStartupHTTPServer(&startup, &handle);
  if (handle == 0) {
    EventLog::Write(EventLog::kCritical, kStartFailed);
    return;
  }
  AgentObjects::SetWebServer(handle);

  // The lists live for the registration call only: the library copies them.
  const ZEPA_TEXT_ENTRY homePages[2] = {{sizeof(ZEPA_TEXT_ENTRY), kLanguage, kHomePageFragment}, {}};
  const ZEPA_TEXT_ENTRY descriptions[2] = {{sizeof(ZEPA_TEXT_ENTRY), kLanguage, kRightDescription}, {}};
  const ZEPA_RIGHT_ENTRY rights[2] = {
      {sizeof(ZEPA_RIGHT_ENTRY), WebPage::kRightName, 2, descriptions, 2, 4}, {}};
  extension.dwHomePageListVersion = 2;
  extension.pHomePages = homePages;
  extension.dwRightListVersion = 2;
  extension.pRights = rights;
  extension.pfnGetExtensionVersion = &PageServer::ExtensionVersion;
  extension.pfnHttpExtensionProc = &PageServer::ExtensionRequest;
  extension.pfnTerminateExtension = &PageServer::ExtensionTerminate;

  ZEPASetIsapiStackSize(handle, kRequestStackSize);
  registration_ = ZEPARegisterIsapiExtension(handle, &extension);
  // A server without the extension serves no page of the agent: say so.
  if (registration_ != 1) EventLog::Write(EventLog::kCritical, kStartFailed);
}

void PageServer::Shutdown() {
  uint32_t handle = 0;
  bool unloadBlocked = false;
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (shutDown_) return;
    shutDown_ = true;
    handle = AgentObjects::SetWebServer(0);
    unloadBlocked = unloadBlocked_;
    unloadBlocked_ = false;
  }
  // Outside the lock: the library calls ExtensionTerminate (and so this
  // operation again) while it shuts down, possibly on another thread.
  if (handle != 0) ZEPAShutdownHTTPServer(handle);
  if (unloadBlocked) ZEPAAllowUnload();
}

AlarmBook* PageServer::Alarms() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return alarms_.get();
}

void PageServer::BarStart() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  startBarred_ = true;
}

int PageServer::ExtensionVersion(HSE_VERSION_INFO* version) {
  if (version == nullptr) return 0;
  version->dwExtensionVersion = 4;
  CopyText(version->lpszExtensionDesc, kServerName);
  return 1;
}

int PageServer::ExtensionTerminate(uint32_t /*flags*/) {
  Instance()->Shutdown();
  return 1;
}

uint32_t PageServer::ExtensionRequest(EXTENSION_CONTROL_BLOCK* request) {
  return Answer(request, &PageServer::DispatchRequest);
}

uint32_t PageServer::Answer(EXTENSION_CONTROL_BLOCK* request, uint32_t (*dispatch)(EXTENSION_CONTROL_BLOCK*)) {
  if (request == nullptr) return HSE_STATUS_SUCCESS;
  try {
    const uint32_t status = dispatch(request);
    if (status == WebPage::kAnswered || status == WebPage::kLeaveToLibrary) return status;
    return SendRequestFile(request);
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    return SendPlainError(request, "500 Internal Server Error", owned->Message());
  } catch (const std::bad_alloc&) {
    return SendPlainError(request, "503 Service Unavailable", "The agent is short of memory. Try again later.");
  } catch (...) {
    // Nothing may unwind into the library.
    return SendPlainError(request, "500 Internal Server Error", "The request could not be served.");
  }
}

uint32_t PageServer::DispatchRequest(EXTENSION_CONTROL_BLOCK* request) {
  const PageTable::Route* route = PageTable::Find(request->lpszPathInfo);
  if (route == nullptr) return WebPage::kServeFile;  // static content
  // Before any page runs: an anonymous visitor costs the agent nothing.
  // A user without any right is signed in, but reads nothing.
  if (route->access == PageTable::Access::kSession) {
    const uint32_t rights = WebPage::QueryRights(request);
    if (rights == ZEPA_RIGHTS_NO_SESSION) return WebPage::kLeaveToLibrary;
    if (!WebPage::MayRead(rights)) return SendPlainError(request, "403 Forbidden", WebPage::kNoRight);
  }
  if (route->access == PageTable::Access::kSignedIn &&
      WebPage::QueryRights(request) == ZEPA_RIGHTS_NO_SESSION) {
    return WebPage::kLeaveToLibrary;
  }
  if (route->answer == PageTable::Answer::kRootPage) return RootPage();
  if (route->factory == nullptr) return WebPage::kServeFile;
  WebPage* page = route->factory(request);
  if (page == nullptr) throw std::bad_alloc();
  if (route->answer == PageTable::Answer::kSelfOwnedPage) {
    // Such a page frees itself from its GET and POST handlers only; for any
    // other method it never runs one, so it goes here and the file is sent.
    const char* method = request->lpszMethod != nullptr ? request->lpszMethod : "";
    if (std::strcmp(method, "GET") != 0 && std::strcmp(method, "POST") != 0) {
      delete page;
      return WebPage::kServeFile;
    }
    return page->Process();
  }
  std::unique_ptr<WebPage> owned(page);
  return owned->Process();
}

uint32_t PageServer::RootPage() {
  if (ElementRegistry* registry = AgentObjects::FindRegistry()) {
    // Logged by its constructor; the root page is served all the same.
    OrlaException::Discard([&] { registry->UpdateAllStatus(); });
  }
  return WebPage::kServeFile;
}

uint32_t PageServer::SendRequestFile(EXTENSION_CONTROL_BLOCK* request) {
  if (request->lpszPathTranslated == nullptr) {
    return SendPlainError(request, "404 Not Found", "No such page.");
  }
  const std::string path = request->lpszPathTranslated;
  uint32_t length = static_cast<uint32_t>(path.size());
  request->ServerSupportFunction(request->ConnID, REQ_SEND_FILE, nullptr, &length,
                                 reinterpret_cast<uint32_t*>(const_cast<char*>(path.c_str())));
  return HSE_STATUS_SUCCESS;
}

uint32_t PageServer::SendPlainError(EXTENSION_CONTROL_BLOCK* request, const char* status, const std::string& text) {
  try {
    const std::string body = text + "\n";
    const std::string header = StringPrintf(
        "Content-type: text/plain; charset=utf-8\r\nContent-length: %zu\r\nCache-Control: no-cache\r\n\r\n",
        body.size());
    uint32_t headerLength = static_cast<uint32_t>(header.size());
    request->ServerSupportFunction(request->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, const_cast<char*>(status),
                                   &headerLength, reinterpret_cast<uint32_t*>(const_cast<char*>(header.c_str())));
    uint32_t bodyLength = static_cast<uint32_t>(body.size());
    request->WriteClient(request->ConnID, body.data(), &bodyLength, 0);
  } catch (...) {
    // Out of memory even for this: the library answers the connection.
  }
  return HSE_STATUS_SUCCESS;
}

}  // namespace orla
