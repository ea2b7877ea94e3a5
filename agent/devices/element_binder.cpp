#include "element_binder.h"

#include <cerrno>
#include <exception>
#include <new>
#include <utility>

#include "agent/core/error_codes.h"
#include "agent/core/event_log.h"
#include "agent/core/file_limit_report.h"
#include "agent/core/orla_exception.h"
#include "agent/snmp/snmp_session.h"
#include "element.h"
#include "element_publisher.h"
#include "element_state.h"
#include "platform/text/string_printf.h"
#include "recognizer.h"
#include "retired_pollers.h"

namespace orla {

ElementBinder::ElementBinder(ElementPublisher& publisher, RetiredPollers& retired, BindLaterHook bindLater)
    : publisher_(publisher), retired_(retired), bindLater_(std::move(bindLater)) {}

std::unique_ptr<Element> ElementBinder::NewElement(const std::string& type, const std::string& name,
                                                   const std::string& address, int32_t pollingInterval) const {
  return std::make_unique<Element>(type, name, address, pollingInterval, &publisher_, clock_);
}

std::unique_ptr<Element> ElementBinder::Make(const std::string& name, const std::string& address,
                                             int32_t pollingInterval, int32_t* answer) try {
  std::unique_ptr<Element> element = NewElement(Recognizer::Recognize(address), name, address, pollingInterval);
  // Whatever ends the make before the element is handed out, it is
  // discarded with its polling thread.
  struct DiscardOnExit {
    RetiredPollers& retired;
    std::unique_ptr<Element>& element;
    ~DiscardOnExit() { retired.Discard(element); }
  } discard{retired_, element};

  *answer = 1;
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] { *answer = element->BindElement(); })) {
    // Out of open files, binding would leave the element without sessions
    // for good: it stays unbound instead, and is retried.
    const bool keep = !publisher_.Loaded() && failed->Code() != kErrFileSystem && failed->Code() != kErrDllFunction &&
                      !FileLimitReport::IsLimitError(failed->OsError());
    if (!keep) {
      if (failed->Code() == kErrTimeout) throw new OrlaException(kErrNoResponse, 0, kMsgNoResponse);
      throw failed.release();
    }
    // During the initial load the element is kept with what binding set up;
    // its status stays -1 until a poll succeeds.
    EventLog::Write(EventLog::kWarning, StringPrintf("Element %s (%s): %s", name.c_str(), address.c_str(),
                                                     failed->Message().c_str()));
    *answer = 1;
  }
  return element;  // moved out before the guard looks
} catch (const std::bad_alloc&) {
  throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
}

std::unique_ptr<Element> ElementBinder::TryMake(const std::string& name, const std::string& address,
                                                int32_t pollingInterval, Failure* failure) {
  // The caller reports the failure itself, naming the element.
  OrlaException::Quiet quiet;
  try {
    int32_t answer;
    return Make(name, address, pollingInterval, &answer);
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    *failure = Failure{e->Code(), e->OsError(), e->Message()};
  } catch (const std::exception&) {
    *failure = Failure{kErrMemory, ENOMEM, kMsgMemory};
  }
  return nullptr;
}

std::string ElementBinder::UnboundReason(int32_t code, const std::string& message) {
  if (code == kErrSnmpSecurity) {
    // "No SNMPv3 profile (v3-only)" keeps its parenthesis: it says why.
    if (message == std::string(SnmpSession::kNoProfileReason) + ".") return SnmpSession::kNoProfileReason;
    return message.substr(0, message.find(" ("));
  }
  if (code == kErrNoResponse || code == kErrCommunication || code == kErrTimeout) return "Not responding";
  if (code == kErrUnsupported) return "Not recognised";
  return StringPrintf("Not bound (error %d)", code);
}

void ElementBinder::ReportUnbound(const std::string& name, const std::string& address, int32_t pollingInterval,
                                  const Failure& failure) {
  if (FileLimitReport::IsLimitError(failure.osError)) {
    FileLimitReport::Reached(StringPrintf("element %s (%s)", name.c_str(), address.c_str()));
    return;
  }
  const int severity = OrlaException::SeverityOf(failure.code);
  EventLog::Write(severity > EventLog::kWarning ? severity : EventLog::kWarning,
                  StringPrintf("Element %s (%s): %s It stays listed as \"%s\"; recognition is retried every %d "
                               "seconds.",
                               name.c_str(), address.c_str(), failure.message.c_str(),
                               UnboundReason(failure.code, failure.message).c_str(), pollingInterval));
}

std::unique_ptr<Element> ElementBinder::KeepUnbound(const std::string& name, const std::string& address,
                                                    int32_t pollingInterval, const Failure& failure) {
  ReportUnbound(name, address, pollingInterval, failure);
  try {
    std::unique_ptr<Element> element = NewElement(std::string(), name, address, pollingInterval);
    std::shared_ptr<ElementState> state = element->State();
    element->KeepUnbound(failure.code, UnboundReason(failure.code, failure.message), [this, state] { bindLater_(state); });
    return element;
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
  } catch (const std::exception&) {
  }
  // Not even that (no memory, no thread): the element is not in memory, so
  // this run must not rewrite the file that still holds it (the caller
  // stops the rewrites).
  EventLog::Write(EventLog::kCritical,
                  StringPrintf("Element %s (%s) could not be kept (no memory or no thread); the element file is "
                               "not rewritten until the agent restarts.",
                               name.c_str(), address.c_str()));
  return nullptr;
}

std::unique_ptr<Element> ElementBinder::KeepPending(const std::string& name, const std::string& address,
                                                    int32_t pollingInterval) {
  try {
    std::unique_ptr<Element> element = NewElement(std::string(), name, address, pollingInterval);
    std::shared_ptr<ElementState> state = element->State();
    // Code 0 is no failure: the first real answer differs from it, so the
    // retry reports it once (BindLater) when the device cannot be bound.
    element->KeepUnbound(0, kPendingReason, [this, state] { bindLater_(state); });
    return element;
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
  } catch (const std::exception&) {
  }
  return nullptr;
}

}  // namespace orla
