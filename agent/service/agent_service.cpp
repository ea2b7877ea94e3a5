#include "agent_service.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "agent/alarms/alarm_book.h"
#include "agent/alarms/alert_pusher.h"
#include "agent/core/agent_layout.h"
#include "agent/core/agent_settings.h"
#include "agent/core/error_codes.h"
#include "agent/core/event_log.h"
#include "agent/core/maintenance_book.h"
#include "agent/core/maintenance_silences.h"
#include "agent/core/orla_exception.h"
#include "agent_core.h"
#include "agent/devices/element_registry.h"
#include "agent/traps/notification_sender.h"
#include "agent/web/page_server.h"
#include "platform/service/process_exit.h"
#include "platform/service/service_control_manager.h"
#include "platform/service/service_dispatcher.h"
#include "platform/service/service_status.h"
#include "platform/sync/manual_reset_event.h"
#include "platform/sync/pause_gate.h"
#include "platform/sysinfo/system_info.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

// The unprivileged user the installed service runs as, when it exists.
constexpr char kServiceUser[] = "koragent";

// Exit code of a start-up that an exception ended in steps 6 to 10.
constexpr int kExitSubsystemStart = 5;

// Process-wide service state. The program path is written by main before
// any thread exists; the rest is shared by the dispatcher thread (where the
// control handler runs), the service thread and the agent start thread.
std::string g_programPath;
std::atomic<ServiceDispatcher::StatusHandle> g_statusHandle{0};
std::atomic<ManualResetEvent*> g_stopEvent{nullptr};
// How long informs still waiting at a stop may take to be delivered.
constexpr std::chrono::seconds kInformGrace{2};
std::atomic<bool> g_started{false};
std::atomic<bool> g_paused{false};

// Holds the agent start thread between its steps while the service is paused.
// Never destroyed: the start thread may still pass it when the process ends.
PauseGate& AgentGate() {
  static PauseGate* const gate = new PauseGate();
  return *gate;
}

std::unique_ptr<ServiceControlManager> OpenServiceManager(int* error) {
  const AgentSettings settings = AgentSettings::Current();
  return ServiceControlManager::Open(settings.SystemctlProgram(), settings.SystemdUnitDirectory(), error);
}

void Print(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

// The folders the service writes: the agent directory of the program's
// layout, and the web server's data directory beside it. Without a readable
// line 2 the agent directory is the one the program directory is installed
// with.
std::vector<std::string> ServiceWritablePaths(const std::string& programPath) {
  const std::string programDirectory = programPath.substr(0, programPath.rfind('/'));
  AgentLayout layout(programDirectory, AgentLayout::kInstalledAgentDirectory);
  std::string unreadable;
  AgentLayout::Read(programDirectory, &layout, &unreadable);
  return {layout.AgentDirectory(), layout.WebDataDirectory()};
}

}  // namespace

void SetProgramPath(const std::string& path) { g_programPath = path; }

const std::string& ProgramPath() { return g_programPath; }

std::string SystemErrorText(int error) {
  char buffer[256];
  const char* text = strerror_r(error, buffer, sizeof buffer);
  return StringPrintf("%s (0x%x)", text, static_cast<unsigned>(error));
}

// Writes the unit confined to writing the agent directory and the web
// server's data directory, run as kServiceUser when that user exists and as
// root (said on the console) otherwise.
void InstallAgentService() {
  std::string path;
  if (const int err = ServiceControlManager::ModuleFileName(&path); err != 0) {
    Print(StringPrintf("Unable to install %s - %s\n", kServiceDisplayName, SystemErrorText(err).c_str()));
    return;
  }
  int err = 0;
  std::unique_ptr<ServiceControlManager> manager = OpenServiceManager(&err);
  if (!manager) {
    Print(StringPrintf("OpenSCManager failed - %s\n", SystemErrorText(err).c_str()));
    return;
  }
  ServiceControlManager::Confinement confinement;
  confinement.writablePaths = ServiceWritablePaths(path);
  // Without its own user (a program directory installed by hand) the service
  // runs as root, as confined as it is otherwise.
  if (ServiceControlManager::FindUser(kServiceUser) == 0) confinement.user = kServiceUser;
  err = manager->CreateService(kServiceName, kServiceDisplayName, path, confinement);
  if (err == 0) {
    Print(StringPrintf("%s installed.\n", kServiceDisplayName));
    if (confinement.user.empty()) {
      Print(StringPrintf("%s runs as root: there is no user %s.\n", kServiceDisplayName, kServiceUser));
    }
  } else {
    Print(StringPrintf("CreateService failed - %s\n", SystemErrorText(err).c_str()));
  }
}

void RemoveAgentService() {
  int err = 0;
  std::unique_ptr<ServiceControlManager> manager = OpenServiceManager(&err);
  if (!manager) {
    Print(StringPrintf("OpenSCManager failed - %s\n", SystemErrorText(err).c_str()));
    return;
  }
  err = manager->OpenService(kServiceName);
  if (err != 0) {
    Print(StringPrintf("OpenService failed - %s\n", SystemErrorText(err).c_str()));
    return;
  }
  // A service that is not running cannot be sent the stop: nothing is
  // printed and removal goes on.
  if (manager->ControlServiceStop(kServiceName) == 0) {
    Print(StringPrintf("Stopping %s.", kServiceDisplayName));
    ::sleep(1);
    uint32_t state = kServiceStopPending;
    while (manager->QueryServiceStatus(kServiceName, &state) == 0 && state == kServiceStopPending) {
      Print(".");
      ::sleep(1);
    }
    if (state == kServiceStopped) {
      Print(StringPrintf("\n%s stopped.\n", kServiceDisplayName));
    } else {
      Print(StringPrintf("\n%s failed to stop.\n", kServiceDisplayName));
    }
  }
  err = manager->DeleteService(kServiceName);
  if (err == 0) {
    Print(StringPrintf("%s removed.\n", kServiceDisplayName));
  } else {
    Print(StringPrintf("DeleteService failed - %s\n", SystemErrorText(err).c_str()));
  }
}

bool SetAgentStatus(uint32_t state, uint32_t win32ExitCode, uint32_t checkPoint, uint32_t waitHint) {
  ServiceStatus status;
  status.serviceType = kServiceWin32OwnProcess;
  status.currentState = state;
  status.controlsAccepted =
      state == kServiceStartPending
          ? 0
          : kServiceAcceptStop | kServiceAcceptPauseContinue | kServiceAcceptShutdown;
  status.win32ExitCode = win32ExitCode;
  status.serviceSpecificExitCode = 0;
  status.checkPoint = checkPoint;
  status.waitHint = waitHint;
  if (!ServiceDispatcher::SetServiceStatus(g_statusHandle.load(), status)) {
    const int err = errno;
    SignalServiceStop();
    errno = err;
    return false;
  }
  return true;
}

void SignalServiceStop() {
  g_started.store(false);
  if (ManualResetEvent* stop = g_stopEvent.load()) stop->Set();
}

void AgentControlHandler(uint32_t control) {
  switch (control) {
    case kServiceControlStop:
      SetAgentStatus(kServiceStopPending, 0, 1, 5000);
      SignalServiceStop();
      break;
    case kServiceControlPause:
      if (g_started.load() && !g_paused.load()) {
        SetAgentStatus(kServicePausePending, 0, 1, 1000);
        g_paused.store(true);
        AgentGate().Close();
        SetAgentStatus(kServicePaused, 0, 0, 0);
      }
      break;
    case kServiceControlContinue:
      if (g_started.load() && g_paused.load()) {
        SetAgentStatus(kServiceContinuePending, 0, 1, 1000);
        g_paused.store(false);
        AgentGate().Open();
        SetAgentStatus(kServiceRunning, 0, 0, 0);
      }
      break;
    default:
      // Interrogate, shutdown and any other control change nothing.
      break;
  }
}

void AgentServiceMain(int /*argc*/, char** /*argv*/) {
  uint32_t exitCode = 0;
  ManualResetEvent* stop = nullptr;
  do {
    const ServiceDispatcher::StatusHandle handle =
        ServiceDispatcher::RegisterServiceCtrlHandler(kServiceName, AgentControlHandler);
    if (handle == 0) {
      exitCode = static_cast<uint32_t>(errno);
      break;
    }
    g_statusHandle.store(handle);
    if (!SetAgentStatus(kServiceStartPending, 0, 1, 5000)) {
      exitCode = static_cast<uint32_t>(errno);
      break;
    }
    stop = new (std::nothrow) ManualResetEvent(false);
    if (stop == nullptr) {
      exitCode = ENOMEM;
      break;
    }
    // The event lives until the process ends: the handler may still signal
    // it while the service reports stopped.
    g_stopEvent.store(stop);
    if (!SetAgentStatus(kServiceStartPending, 0, 2, 1000) || !SetAgentStatus(kServiceStartPending, 0, 3, 5000)) {
      exitCode = static_cast<uint32_t>(errno);
      break;
    }
    try {
      std::thread(AgentStartThread).detach();
    } catch (const std::system_error& e) {
      exitCode = static_cast<uint32_t>(e.code().value());
      break;
    }
    g_started.store(true);
    if (!SetAgentStatus(kServiceRunning, 0, 0, 0)) {
      exitCode = static_cast<uint32_t>(errno);
      break;
    }
    stop->Wait();
    // The process ends with quick_exit: informs that wait get a short
    // while to be delivered, the rest are given up by name and count.
    if (NotificationSender* notifications = NotificationSender::Instance()) notifications->Finish(kInformGrace);
  } while (false);

  // A web start still to come on the agent start thread does nothing from
  // now on. A running server is not shut down here: the process ends right
  // after the stopped report, and the server's shutdown would first wait for
  // every request in flight.
  PageServer::Instance()->BarStart();

  if (exitCode != 0) {
    // Without this entry a service that could not start would end silently.
    EventLog::Write(EventLog::kCritical,
                    StringPrintf("Service start failed - %s", SystemErrorText(static_cast<int>(exitCode)).c_str()));
  }
  if (g_statusHandle.load() != 0) SetAgentStatus(kServiceStopped, exitCode, 0, 0);
}

void AgentStartThread() {
  try {
    AgentCore::Instance()->Start(ProgramPath(), &AgentGate());
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    // The exception has logged itself unless its code is one that is only
    // shown to web users.
    if (OrlaException::SeverityOf(owned->Code()) < 0) EventLog::Write(EventLog::kCritical, owned->Message());
    ProcessExit::Now(kExitSubsystemStart);
  } catch (const std::bad_alloc&) {
    EventLog::Write(EventLog::kCritical, kMsgMemory);
    ProcessExit::Now(AgentCore::kExitRegistryPath);
  } catch (const std::exception& e) {
    EventLog::Write(EventLog::kCritical, e.what());
    ProcessExit::Now(kExitSubsystemStart);
  }
  StartWebInterface();
  StartAlerting();
}

void StartWebInterface() {
  AgentGate().Pass();
  try {
    // A server that cannot start has logged why; the agent runs on without
    // pages.
    PageServer::Instance()->Start(AgentCore::Instance()->Layout());
  } catch (const std::exception&) {
    EventLog::Write(EventLog::kCritical, "ZEPA interface failed to initialize.");
  }
}

void StartAlerting() {
  // The pusher reads the alarms from the book the web server keeps, over
  // the registry's latest snapshot; it lives until the process ends.
  if (PageServer::Instance()->Alarms() == nullptr) return;
  AlertPusher::Options options;
  // The agent's silences carry its host's name, the same across restarts.
  options.signature = "KORAgent " + SystemInfo::ComputerName();
  auto* pusher = new AlertPusher(
      AgentCore::Instance()->Layout().AlertingFile(),
      [] {
        AlarmBook* book = PageServer::Instance()->Alarms();
        ElementRegistry* registry = ElementRegistry::Instance();
        if (book == nullptr || registry == nullptr) return std::vector<Alarm>();
        return book->Current(registry->Snapshot()->Read());
      },
      options);
  AlertPusher::SetInstance(pusher);
  MaintenanceSilences::SetCurrent(pusher);
  // The windows kept from before the start are handed over before its
  // first look: the pusher adopts the silences they already have in each
  // Alertmanager and expires those of windows that no longer stand.
  if (MaintenanceBook* book = MaintenanceBook::Instance()) {
    for (const MaintenanceWindow& w : book->Windows()) pusher->Silence(w.element, w.startMs, w.endMs, w.by, w.reason);
  }
  pusher->Start();
}

}  // namespace orla
