#include "platform/service/service_dispatcher.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include <systemd/sd-daemon.h>

#include "platform/text/string_printf.h"

namespace orla {

namespace {

// One service per process: the dispatcher's state is process-wide.
std::atomic<bool> g_running{false};
std::atomic<bool> g_serviceDone{false};
std::atomic<ServiceDispatcher::ControlHandlerFunction> g_handler{nullptr};
std::atomic<uint32_t> g_accepted{0};
std::atomic<bool> g_pendingStop{false};
std::atomic<int> g_wakeFd{-1};
std::mutex g_nameMutex;
std::string g_serviceName;

constexpr ServiceDispatcher::StatusHandle kStatusHandle = 1;

void Wake() {
  const int fd = g_wakeFd.load();
  if (fd < 0) return;
  const uint64_t one = 1;
  // A full counter still wakes the reader; nothing else can go wrong here.
  ssize_t ignored = ::write(fd, &one, sizeof one);
  (void)ignored;
}

// Hands a kept stop to the handler once the service accepts it. Runs on the
// dispatcher's thread only. The pending flag is set before the accepted bits
// are read, and SetServiceStatus stores the bits before it reads the flag, so
// one of the two always sees the other.
void DeliverPendingStop() {
  const auto handler = g_handler.load();
  if (handler == nullptr || (g_accepted.load() & kServiceAcceptStop) == 0) return;
  if (g_pendingStop.exchange(false)) handler(kServiceControlStop);
}

void Deliver(uint32_t control) {
  if (control == kServiceControlStop) {
    g_pendingStop.store(true);
    DeliverPendingStop();
    return;
  }
  const auto handler = g_handler.load();
  if (handler == nullptr) return;
  if ((control == kServiceControlPause || control == kServiceControlContinue) &&
      (g_accepted.load() & kServiceAcceptPauseContinue) == 0) {
    return;
  }
  handler(control);
}

uint32_t ControlForSignal(int signo) {
  switch (signo) {
    case SIGTERM:
    case SIGINT:
      return kServiceControlStop;
    case SIGUSR1:
      return kServiceControlPause;
    case SIGUSR2:
      return kServiceControlContinue;
    default:
      return 0;
  }
}

const char* StateName(uint32_t state) {
  switch (state) {
    case kServiceStopped: return "Stopped";
    case kServiceStartPending: return "Start pending";
    case kServiceStopPending: return "Stop pending";
    case kServiceRunning: return "Running";
    case kServiceContinuePending: return "Continue pending";
    case kServicePausePending: return "Pause pending";
    case kServicePaused: return "Paused";
    default: return "Unknown";
  }
}

}  // namespace

std::string ServiceDispatcher::NotifyMessage(const ServiceStatus& status) {
  std::string message;
  if (status.currentState == kServiceRunning) message += "READY=1\n";
  if (status.currentState == kServiceStopPending) message += "STOPPING=1\n";
  message += StringPrintf("STATUS=%s", StateName(status.currentState));
  if (status.checkPoint != 0) message += StringPrintf(" (check point %u)", status.checkPoint);
  if (status.currentState == kServiceStopped && status.win32ExitCode != 0) {
    message += StringPrintf(" (exit code %u)\nERRNO=%u", status.win32ExitCode, status.win32ExitCode);
  }
  if (status.waitHint != 0) {
    message += StringPrintf("\nEXTEND_TIMEOUT_USEC=%llu", static_cast<unsigned long long>(status.waitHint) * 1000ULL);
  }
  return message;
}

int ServiceDispatcher::StartServiceCtrlDispatcher(const char* serviceName, ServiceMainFunction serviceMain) {
  if (serviceName == nullptr || serviceMain == nullptr) return EINVAL;
  if (g_running.exchange(true)) return EBUSY;
  {
    std::lock_guard<std::mutex> lock(g_nameMutex);
    g_serviceName = serviceName;
  }
  g_serviceDone.store(false);
  g_handler.store(nullptr);
  g_accepted.store(0);
  g_pendingStop.store(false);

  // The control signals are taken from a signalfd by this thread only. They
  // are blocked before any thread exists, so every thread created later
  // inherits the mask. A parent may have left them ignored (a shell does so
  // for background jobs); an ignored signal would never reach the signalfd.
  sigset_t controls;
  sigemptyset(&controls);
  for (int signo : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) {
    std::signal(signo, SIG_DFL);
    sigaddset(&controls, signo);
  }
  sigset_t previousMask;
  int rc = pthread_sigmask(SIG_BLOCK, &controls, &previousMask);
  if (rc != 0) {
    g_running.store(false);
    return rc;
  }
  const int sigFd = signalfd(-1, &controls, SFD_CLOEXEC);
  const int sigErr = errno;
  const int wakeFd = eventfd(0, EFD_CLOEXEC);
  const int wakeErr = errno;
  if (sigFd < 0 || wakeFd < 0) {
    if (sigFd >= 0) ::close(sigFd);
    if (wakeFd >= 0) ::close(wakeFd);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    g_running.store(false);
    return sigFd < 0 ? sigErr : wakeErr;
  }
  g_wakeFd.store(wakeFd);

  std::thread serviceThread;
  try {
    serviceThread = std::thread([serviceMain] {
      std::string name;
      {
        std::lock_guard<std::mutex> lock(g_nameMutex);
        name = g_serviceName;
      }
      char* argv[] = {name.data(), nullptr};
      serviceMain(1, argv);
      g_serviceDone.store(true);
      Wake();
    });
  } catch (const std::system_error& e) {
    g_wakeFd.store(-1);
    ::close(sigFd);
    ::close(wakeFd);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    g_running.store(false);
    return e.code().value() != 0 ? e.code().value() : EAGAIN;
  }

  while (!g_serviceDone.load()) {
    struct pollfd fds[2] = {{sigFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int n = ::poll(fds, 2, -1);
    if (n < 0) continue;  // EINTR: look again
    if (fds[0].revents & POLLIN) {
      struct signalfd_siginfo info;
      if (::read(sigFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        const uint32_t control = ControlForSignal(static_cast<int>(info.ssi_signo));
        if (control != 0) Deliver(control);
      }
    }
    if (fds[1].revents & POLLIN) {
      uint64_t count;
      ssize_t ignored = ::read(wakeFd, &count, sizeof count);
      (void)ignored;
      DeliverPendingStop();
    }
  }
  serviceThread.join();

  g_wakeFd.store(-1);
  g_handler.store(nullptr);
  ::close(sigFd);
  ::close(wakeFd);
  // The control signals stay blocked: the service has stopped and the
  // caller is about to end the process with its code. A stop that arrives
  // now stays pending instead of ending the process by signal.
  g_running.store(false);
  return 0;
}

ServiceDispatcher::StatusHandle ServiceDispatcher::RegisterServiceCtrlHandler(const char* serviceName,
                                                                              ControlHandlerFunction handler) {
  if (!g_running.load() || serviceName == nullptr || handler == nullptr) {
    errno = EINVAL;
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(g_nameMutex);
    if (g_serviceName != serviceName) {
      errno = ESRCH;
      return 0;
    }
  }
  g_handler.store(handler);
  return kStatusHandle;
}

bool ServiceDispatcher::SetServiceStatus(StatusHandle handle, const ServiceStatus& status) {
  if (handle != kStatusHandle || !g_running.load()) {
    errno = EINVAL;
    return false;
  }
  g_accepted.store(status.controlsAccepted);
  if (g_pendingStop.load() && (status.controlsAccepted & kServiceAcceptStop) != 0) Wake();
  // An empty NOTIFY_SOCKET is no socket at all, as when it is unset.
  const char* socket = std::getenv("NOTIFY_SOCKET");
  if (socket == nullptr || *socket == '\0') return true;
  const int rc = sd_notify(0, NotifyMessage(status).c_str());
  if (rc < 0) {
    errno = -rc;
    return false;
  }
  return true;
}

}  // namespace orla
