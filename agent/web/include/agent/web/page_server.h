#pragma once
// PageServer: the agent's web interface inside the embedded HTTPS web server
// library (platform/zepa/zepa.h). Start starts the server with the agent's
// web data directory (AgentLayout: agent directory + "ZEPD") and registers
// the agent as the extension owning /KOR/, serving the web content folder
// (agent directory + "ZEPA"). From
// then on the library calls ExtensionRequest on its own threads, several at
// a time; DispatchRequest hands each request to the page that answers it
// (PageTable) or to the library as a file.
//
// ExtensionRequest never lets an exception reach the library: an
// OrlaException (for example the agent host address that cannot be found
// while an error page is built) is answered "500 Internal Server Error", a
// page object that cannot be allocated "503 Service Unavailable", each with
// a short plain-text body.
//
// Lifecycle: one object per process (Instance), never destroyed. Start runs
// once; a server that cannot start, or does not take the extension, is
// logged as CRITICAL "ZEPA interface failed to initialize." and the agent
// runs on without pages. Shutdown runs exactly once, whoever calls it first
// (a caller, or the library's termination callback): it stops
// the server if one runs and ends the library's unload hold; later calls,
// and the library's termination callback arriving during it, do nothing.
// Start and Shutdown may be called from different threads.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "agent/core/agent_layout.h"
#include "agent/core/root_object.h"
#include "platform/zepa/zepa.h"

namespace orla {

class AlarmBook;
class ChangeFeed;

class PageServer : public RootObject {
 public:
  // The home-page fragment the library's own home page shows for the agent.
  static const char kHomePageFragment[];
  static constexpr uint32_t kRequestStackSize = 48000;

  static PageServer* Instance();

  PageServer();
  ~PageServer() override;
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;

  // Starts the server and registers the extension, with the folders of the
  // agent's `layout`. Does nothing after a first call or after Shutdown.
  void Start(const AgentLayout& layout);
  void Shutdown();
  // From now on Start does nothing; a server already running is left as it
  // is, to end with the process. The service's stop path calls this instead
  // of Shutdown: the process ends right after it reports stopped, and
  // waiting for requests in flight (each may be in a status pass against
  // silent devices) would hold the stop for minutes.
  void BarStart();
  // The alarm book Start made (null before): the alarms the agent pushes
  // to its Alertmanagers are read from it.
  AlarmBook* Alarms();

  // The server handle (0 when no server runs) and the answer of the
  // registration (0 before it, or when it failed).
  uint32_t Handle() const;
  int RegistrationResult() const;

  // The library's callbacks.
  static int ExtensionVersion(HSE_VERSION_INFO* version);
  static uint32_t ExtensionRequest(EXTENSION_CONTROL_BLOCK* request);
  static int ExtensionTerminate(uint32_t flags);

  // Runs `dispatch` for the request and completes its answer: 1 and 1015
  // are passed on, anything else sends the request's file. Every exception
  // ends here as a plain error answer. ExtensionRequest is
  // Answer(request, DispatchRequest).
  static uint32_t Answer(EXTENSION_CONTROL_BLOCK* request, uint32_t (*dispatch)(EXTENSION_CONTROL_BLOCK*));

  // 1 answered, 1015 left to the library, 4 send the request's file. A
  // request without a session for a row that needs one (PageTable's access
  // column) is left to the library before any page runs.
  // Throws what the page throws, and std::bad_alloc when the page object
  // cannot be allocated.
  static uint32_t DispatchRequest(EXTENSION_CONTROL_BLOCK* request);

 private:
  // Rows 1 to 3 (with a session): a status refresh (errors dropped) and 4.
  static uint32_t RootPage();
  static uint32_t SendRequestFile(EXTENSION_CONTROL_BLOCK* request);
  static uint32_t SendPlainError(EXTENSION_CONTROL_BLOCK* request, const char* status, const std::string& text);

  // Recursive: a termination callback the library might run inside a call
  // that Start makes must not deadlock.
  mutable std::recursive_mutex lock_;
  int registration_ = 0;
  bool started_ = false;
  bool shutDown_ = false;
  bool startBarred_ = false;
  // The changes other processes (the tools) write, taken into the event
  // ring before the events pages answer; handed to the pages through
  // AgentObjects when the server starts.
  const std::unique_ptr<ChangeFeed> changes_;
  // The alarms' book, made by Start with the agent directory's
  // acknowledgement file; it lives as long as the process.
  std::unique_ptr<AlarmBook> alarms_;
  bool unloadBlocked_ = false;
};

}  // namespace orla
