#pragma once
// The service control dispatcher of this host. It runs the service's entry
// routine on a thread of its own and turns signals into service controls,
// which it hands to the registered control handler on the calling (main)
// thread:
//   SIGTERM, SIGINT -> stop      SIGUSR1 -> pause      SIGUSR2 -> continue
// Status reports go to systemd through sd_notify when NOTIFY_SOCKET is set
// (READY=1 on running, STOPPING=1 on stop pending, STATUS= always); without
// it (a console run) they succeed and go nowhere.
//
// A control the service does not accept in its current state is not handed
// on. A stop that arrives while stop is not accepted (during start pending)
// is kept and handed on as soon as a report accepts it, so a termination
// request is never lost.
#include <cstdint>
#include <string>

#include "platform/service/service_status.h"

namespace orla {

class ServiceDispatcher {
 public:
  using ServiceMainFunction = void (*)(int argc, char** argv);
  using ControlHandlerFunction = void (*)(uint32_t control);
  using StatusHandle = uintptr_t;

  // Runs `serviceMain` on its own thread and dispatches controls until it
  // returns. Returns 0 then, or an errno value when the dispatcher cannot
  // start. Never fails just because the process was started from a console.
  // After a normal return the control signals stay blocked, so the caller
  // can end the process with its own exit code.
  static int StartServiceCtrlDispatcher(const char* serviceName, ServiceMainFunction serviceMain);

  // Registers the control handler of the service; returns its status handle,
  // or 0 with errno set when `serviceName` is not the dispatched service.
  static StatusHandle RegisterServiceCtrlHandler(const char* serviceName, ControlHandlerFunction handler);

  // Reports `status`. Returns false with errno set when the report cannot be
  // delivered to the service manager or the handle is not valid.
  static bool SetServiceStatus(StatusHandle handle, const ServiceStatus& status);

  // The sd_notify message sent for a status.
  static std::string NotifyMessage(const ServiceStatus& status);
};

}  // namespace orla
