#include "element_state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "agent/core/agent_settings.h"
#include "agent/core/error_codes.h"
#include "agent/core/event_log.h"
#include "agent/core/orla_exception.h"
#include "agent/core/timed_attempt.h"
#include "agent/devices/poll_statistics.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/devices/status_change_listener.h"
#include "plugin_call.h"
#include "status_change_text.h"
#include "agent/snmp/snmp_session.h"
#include "agent/snmp/trap_message.h"
#include "platform/library/dynamic_library.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"

namespace orla {

ElementState::ElementState(std::string name, std::string address, int32_t pollingInterval,
                           StatusChangeListener* listener, Clock* clock)
    : address_(std::move(address)),
      clock_(Clock::Or(clock)),
      pollingInterval_(pollingInterval),
      listener_(listener),
      name_(std::move(name)) {
  auto cell = std::make_shared<ElementStatusCell>();
  cell->statusSinceMs = clock_->WallMilliseconds();
  cell_ = std::move(cell);
}

// Out of line: the members' types are complete here.
ElementState::~ElementState() = default;

void ElementState::SetLibrary(std::shared_ptr<DynamicLibrary> library, std::string error) {
  library_ = std::move(library);
  libraryError_ = std::move(error);
}

void ElementState::SetGetSession(std::unique_ptr<SnmpSession> session) { getSession_ = std::move(session); }

void* ElementState::PluginFunction(const char* name) const {
  std::string error;
  void* function = nullptr;
  if (library_ != nullptr) {
    function = library_->Symbol(name, &error);
  } else {
    error = libraryError_.empty() ? std::string("no plug-in library loaded") : libraryError_;
  }
  if (function == nullptr) {
    // The loader's text stands where a system error text would.
    throw new OrlaException(kErrDllFunction, error, kMsgDllFunction);
  }
  return function;
}

void* ElementState::OptionalPluginFunction(const char* name) const {
  std::string error;
  return library_ != nullptr ? library_->Symbol(name, &error) : nullptr;
}

std::shared_ptr<const ElementStatusCell> ElementState::Cell() const {
  std::lock_guard<std::mutex> hold(cellMutex_);
  return cell_;
}

template <typename Change>
void ElementState::Publish(Change change) {
  std::lock_guard<std::mutex> hold(cellMutex_);
  auto next = std::make_shared<ElementStatusCell>(*cell_);
  change(*next);
  cell_ = std::move(next);
}

void ElementState::WriteEvent(int severity, const std::string& text) const {
  EventOrigin origin;
  origin.element = Name();
  origin.address = address_;
  EventLog::Write(severity, text, nullptr, 0, origin);
}

void ElementState::SetStale(bool stale) {
  if (Cell()->stale == stale) return;
  // Leaving the stale state drops its reason: the poll that follows gives
  // the status its own.
  Publish([stale](ElementStatusCell& cell) {
    cell.stale = stale;
    cell.reason = stale ? SnmpSession::kNoProfileReason : std::string();
  });
  if (stale) {
    std::lock_guard<std::mutex> hold(failureMutex_);
    securityFailure_.clear();
  }
  const std::string name = Name();
  if (stale) {
    WriteEvent(EventLog::kWarning,
               StringPrintf("Element %s (%s): %s. It is not polled while v3-only is on and keeps its last status "
                            "(%s), shown as stale.",
                            name.c_str(), address_.c_str(), SnmpSession::kNoProfileReason,
                            StatusChangeText::Word(Status())));
  } else {
    WriteEvent(EventLog::kInfo, StringPrintf("Element %s (%s) is polled again: an SNMPv3 profile covers its "
                                             "address, or v3-only is off.",
                                             name.c_str(), address_.c_str()));
  }
}

void ElementState::NoteSecurityFailure(uint64_t failuresBefore, const int32_t* status, std::string* reason) {
  std::string failure;
  if (SnmpSession::SecurityFailuresOnThisThread() != failuresBefore) {
    failure = SnmpSession::LastSecurityFailureOnThisThread();
  }
  bool report = false;
  {
    std::lock_guard<std::mutex> hold(failureMutex_);
    report = !failure.empty() && failure != securityFailure_;
    securityFailure_ = failure;
  }
  // The plug-in answered a status of its own (unknown): the failure is the
  // reason.
  if (!failure.empty() && status != nullptr && *status != plugin::kStatusOk && reason != nullptr) {
    *reason = failure.back() == '.' ? failure.substr(0, failure.size() - 1) : failure;
  }
  if (report) {
    WriteEvent(EventLog::kWarning, StringPrintf("Element %s (%s): %s", Name().c_str(), address_.c_str(), failure.c_str()));
  }
}

std::string ElementState::ReadReason(int32_t status) {
  std::string reason;
  auto read = reinterpret_cast<plugin::GetStatusReasonFunction>(OptionalPluginFunction(plugin::kGetStatusReason));
  if (read != nullptr && status != plugin::kStatusOk) {
    char buffer[plugin::kStatusReasonSize + 1] = {};
    if (PluginCall::Run(read, getSession_.get(), buffer) != 0) {
      buffer[plugin::kStatusReasonSize] = '\0';  // a plug-in that filled the whole buffer
      reason = buffer;
    }
  }
  return reason;
}

std::shared_ptr<const DeviceSamples> ElementState::ReadCounters() {
  auto read =
      reinterpret_cast<plugin::ReadDeviceCountersFunction>(OptionalPluginFunction(plugin::kReadDeviceCounters));
  if (read == nullptr) return nullptr;
  std::vector<KorDeviceSample> raw(plugin::kDeviceSampleCapacity);
  int32_t count = -1;
  // A device that stops answering here is a gap: its failure has logged
  // itself, and the last samples stand.
  if (!OrlaException::Discard(
          [&] { count = PluginCall::Run(read, getSession_.get(), raw.data(), plugin::kDeviceSampleCapacity); }) ||
      count < 0) {
    return nullptr;
  }
  auto samples = std::make_shared<DeviceSamples>();
  samples->takenMs = clock_->WallMilliseconds();
  samples->samples.reserve(static_cast<size_t>(std::min(count, plugin::kDeviceSampleCapacity)));
  for (int32_t i = 0; i < count && i < plugin::kDeviceSampleCapacity; ++i) {
    DeviceSamples::Sample sample;
    sample.part = raw[i].part;
    sample.index = raw[i].index;
    sample.kind = raw[i].kind;
    if (raw[i].present != 0) sample.value = raw[i].value;
    samples->samples.push_back(sample);
  }
  const int64_t steadyMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(clock_->SteadyNow().time_since_epoch()).count();
  counterRate_.Take(steadyMs, &samples->samples);
  const AgentSettings settings = AgentSettings::Current();
  wear_ = WearCheck(settings.PortErrorLimits(), settings.DriveMountBudget(), settings.DriveHourBudget())
              .Judge(*samples);
  return samples;
}

ElementState::Update ElementState::Poll(bool unlessRetired, bool withCounters) {
  Update update;
  // An unbound element has no plug-in to ask: nothing to poll, nothing to
  // log (its own thread retries recognition instead).
  if (unbound_.load()) {
    update.previous = update.current = Status();
    return update;
  }
  if (!updateGate_.TestAndReset()) {
    // Another thread is updating this element: its result stands.
    updateGate_.Wait();
    update.previous = update.current = Status();
    return update;
  }
  update.previous = Status();
  // v3-only and no profile for the address: the device is not asked; the
  // element keeps its last status, stale.
  const bool stale = SnmpSession::RefusedWithoutProfile(address_);
  SetStale(stale);
  if (stale) {
    Publish([](ElementStatusCell& cell) { cell.answeredLastPoll = false; });
    update.current = update.previous;
    updateGate_.Set();
    return update;
  }
  TimedAttempt timed(*clock_, PollStatistics::Instance().polls, PollStatistics::Instance().pollFailures);
  // A security failure is logged once below, naming the element, not by
  // each request that meets it.
  SnmpSession::CallerReportsSecurity reportedHere;
  const uint64_t failuresBefore = SnmpSession::SecurityFailuresOnThisThread();
  const auto unanswered = [this] { Publish([](ElementStatusCell& cell) { cell.answeredLastPoll = false; }); };
  std::string reason;
  std::shared_ptr<const DeviceSamples> samples;
  bool answered = false;
  try {
    auto poll = reinterpret_cast<plugin::UpdateStatusFunction>(PluginFunction(plugin::kUpdateStatus));
    if (getSession_ == nullptr) {
      throw new OrlaException(kErrSessionOpen, 0, kMsgSessionOpen);
    }
    if (unlessRetired) {
      // The last check and the call are one step with respect to Retire:
      // the look-up and the gate above may have waited, and a removal that
      // has returned meanwhile must not see its element's plug-in called.
      std::lock_guard<std::mutex> hold(retireMutex_);
      if (retired_) {
        timed.Cancel();
        updateGate_.Set();
        update.current = update.previous;
        return update;
      }
    }
    const uint64_t answersBefore = SnmpSession::AnswersOnThisThread();
    update.current = poll(getSession_.get());
    reason = ReadReason(update.current);
    NoteSecurityFailure(failuresBefore, &update.current, &reason);
    answered = SnmpSession::AnswersOnThisThread() != answersBefore;
    // Counters only at the polling interval, on the polling thread (never
    // in a status pass, which a page may have asked for, nor in a trap's
    // refresh), and only from a device that answered the status.
    if (withCounters && answered) samples = ReadCounters();
    WearCheck::Apply(wear_, &update.current, &reason);
  } catch (OrlaException*) {
    unanswered();
    NoteSecurityFailure(failuresBefore, nullptr, nullptr);
    updateGate_.Set();
    throw;
  } catch (const std::bad_alloc&) {
    unanswered();
    updateGate_.Set();
    throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
  } catch (...) {
    unanswered();
    updateGate_.Set();
    throw new OrlaException(kErrDllFunction, 0, kMsgDllFunction);
  }
  update.polled = true;
  const int64_t now = clock_->WallMilliseconds();
  // The poll's whole outcome is published at once.
  Publish([&](ElementStatusCell& cell) {
    if (update.current != update.previous) cell.statusSinceMs = now;
    if (answered) cell.lastAnsweredMs = now;
    cell.answeredLastPoll = answered;
    cell.status = update.current;
    cell.reason = std::move(reason);
    if (samples != nullptr) cell.samples = samples;
  });
  // The counters go on to whoever keeps them, unless the element has been
  // removed meanwhile.
  if (samples != nullptr && listener_ != nullptr) {
    std::lock_guard<std::mutex> hold(retireMutex_);
    if (!retired_) listener_->NotifySamplesTaken(Name(), samples);
  }
  // A poll the device did not answer counts as a failed one.
  if (answered) timed.Done();
  updateGate_.Set();
  return update;
}

void ElementState::ReportChange(const Update& update) {
  if (!update.Changed()) {
    if (update.polled && listener_ != nullptr) listener_->NotifyPolled(Name());
    return;
  }
  {
    std::lock_guard<std::mutex> hold(retireMutex_);
    if (retired_) return;
  }
  StatusChange change;
  change.name = Name();
  change.address = address_;
  change.previous = update.previous;
  change.current = update.current;
  change.reason = Cell()->reason;
  // The operator sees each element's polled status as it changes.
  EventOrigin origin;
  origin.kind = "status";
  origin.element = change.name;
  origin.address = address_;
  EventLog::Write(StatusChangeText::Severity(update.current),
                  StatusChangeText::Text(change.name, address_, update.previous, update.current, change.reason),
                  nullptr, 0, origin);
  if (listener_ != nullptr) listener_->NotifyStatusChange(change);
}

int32_t ElementState::DeliverTrap(TrapMessage* trap, uint8_t* data, char* message, int32_t* severity) {
  int32_t shown = -1;
  if (severity == nullptr) severity = &shown;
  *severity = -1;
  if (unbound_.load()) {
    // No plug-in to interpret it: logged all the same, with the trap's
    // numbers as its event data (generic 6, then the specific number).
    const int32_t specific = trap != nullptr ? trap->GetSpecificTrap() : 0;
    const std::string text = StringPrintf(
        "%s (%s): Enterprise-specific trap %d, from a device whose type is not known yet.", Name().c_str(),
        address_.c_str(), specific);
    std::snprintf(message, plugin::kTrapMessageSize, "%s", text.c_str());
    data[0] = 6;
    data[1] = static_cast<uint8_t>(specific);
    return 2;
  }
  if (auto named = reinterpret_cast<plugin::HandleElementTrapFunction>(
          OptionalPluginFunction(plugin::kHandleElementTrap))) {
    const std::string name = Name();
    const int32_t length = PluginCall::Run(named, name.c_str(), address_.c_str(), trap, data, message, severity);
    if (*severity < plugin::kTrapInfo || *severity > plugin::kTrapCritical) *severity = -1;
    if (length >= 0 && *severity >= plugin::kTrapWarning) NoteTrapCondition(trap, message, *severity);
    return length;
  }
  auto handle = reinterpret_cast<plugin::HandleTrapFunction>(PluginFunction(plugin::kHandleTrap));
  return PluginCall::Run(handle, trap, data, message);
}

void ElementState::NoteTrapCondition(TrapMessage* trap, const char* message, int32_t severity) {
  auto describe = reinterpret_cast<plugin::DescribeTrapConditionFunction>(
      OptionalPluginFunction(plugin::kDescribeTrapCondition));
  if (describe == nullptr) return;
  char part[plugin::kTrapPartSize + 1] = {};
  uint32_t hold = 0;
  if (PluginCall::Run(describe, trap, part, &hold) == 0) return;
  part[plugin::kTrapPartSize] = '\0';
  TrapCondition condition;
  condition.part = part;
  // A part the alarm's id cannot carry, or no time to hold it: nothing held.
  const bool named = !condition.part.empty() && std::all_of(condition.part.begin(), condition.part.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' || c == '-' ||
           c == '_' || c == '.';
  });
  if (!named || hold == 0) return;
  condition.severity = severity;
  // The event text names the element first; the alarm names it apart.
  std::string reason(message, strnlen(message, plugin::kTrapMessageSize));
  const std::string subject = Name() + " (" + address_ + "): ";
  if (reason.compare(0, subject.size(), subject) == 0) reason.erase(0, subject.size());
  condition.reason = std::move(reason);
  std::lock_guard<std::mutex> one(trapConditionMutex_);
  const int64_t now = clock_->WallMilliseconds();
  condition.sinceMs = now;
  condition.untilMs = now + static_cast<int64_t>(std::min(hold, plugin::kTrapHoldLimitSeconds)) * 1000;
  Publish([&](ElementStatusCell& cell) {
    std::vector<TrapCondition>& standing = cell.trapConditions;
    standing.erase(std::remove_if(standing.begin(), standing.end(),
                                  [now](const TrapCondition& c) { return c.untilMs <= now; }),
                   standing.end());
    auto same = std::find_if(standing.begin(), standing.end(),
                             [&](const TrapCondition& c) { return c.part == condition.part; });
    if (same != standing.end()) {
      condition.sinceMs = same->sinceMs;
      *same = std::move(condition);
      return;
    }
    if (standing.size() >= ElementStatusCell::kTrapConditionLimit) {
      standing.erase(std::min_element(standing.begin(), standing.end(), [](const TrapCondition& a, const TrapCondition& b) {
        return a.sinceMs < b.sinceMs;
      }));
    }
    standing.push_back(std::move(condition));
  });
  // Still under this lock, which Retire takes too: a removal waits for the
  // hand-over, so the registry forgets the element's conditions after it,
  // not before. (Not the retire lock: a poll's check need not wait for the
  // file the hand-over writes.)
  bool retired = false;
  {
    std::lock_guard<std::mutex> retiring(retireMutex_);
    retired = retired_;
  }
  if (!retired && listener_ != nullptr) listener_->NotifyTrapConditions(Name(), address_, Cell()->trapConditions);
}

void ElementState::RestoreTrapConditions(std::vector<TrapCondition> standing) {
  if (standing.empty()) return;
  Publish([&standing](ElementStatusCell& cell) { cell.trapConditions = std::move(standing); });
}

std::string ElementState::TrapTargetQuestion() const {
  auto ask = reinterpret_cast<plugin::GetTrapTargetQuestionFunction>(
      OptionalPluginFunction(plugin::kGetTrapTargetQuestion));
  if (ask == nullptr) return std::string();
  char buffer[plugin::kStatusReasonSize + 1] = {};
  if (PluginCall::Run(ask, getSession_.get(), buffer) == 0) return std::string();
  buffer[plugin::kStatusReasonSize] = '\0';
  return buffer;
}

void ElementState::ReadClassCodes() {
  auto major = reinterpret_cast<plugin::GetDeviceMajorClassCodeFunction>(
      PluginFunction(plugin::kGetDeviceMajorClassCode));
  auto minor = reinterpret_cast<plugin::GetDeviceMinorClassCodeFunction>(
      PluginFunction(plugin::kGetDeviceMinorClassCode));
  if (getSession_ == nullptr) throw new OrlaException(kErrSessionOpen, 0, kMsgSessionOpen);
  const int32_t majorCode = PluginCall::Run(major);
  const int32_t minorCode = PluginCall::Run(minor, getSession_.get());
  Publish([majorCode, minorCode](ElementStatusCell& cell) {
    cell.majorClass = majorCode;
    cell.minorClass = minorCode;
  });
}

std::string ElementState::Name() const {
  std::lock_guard<std::mutex> hold(nameMutex_);
  return name_;
}

void ElementState::SetName(const std::string& name) {
  std::lock_guard<std::mutex> hold(nameMutex_);
  name_ = name;
}

bool ElementState::HasName(const std::string& name) const {
  std::lock_guard<std::mutex> hold(nameMutex_);
  return name_ == name;
}

void ElementState::Retire() {
  // After a trap's hand-over of its conditions (NoteTrapCondition).
  std::lock_guard<std::mutex> noting(trapConditionMutex_);
  std::lock_guard<std::mutex> hold(retireMutex_);
  retired_ = true;
}

bool ElementState::BeginPoll() {
  std::lock_guard<std::mutex> hold(retireMutex_);
  return !retired_;
}

bool ElementState::WakeForTrap(std::chrono::seconds spacing) {
  const int64_t now =
      std::chrono::duration_cast<std::chrono::milliseconds>(clock_->SteadyNow().time_since_epoch()).count();
  int64_t last = trapWakeMs_.load();
  // A clock that starts near 0 (a test's) counts as woken never at first.
  if (last != 0 && now - last < std::chrono::duration_cast<std::chrono::milliseconds>(spacing).count()) return false;
  if (!trapWakeMs_.compare_exchange_strong(last, now == 0 ? 1 : now)) return false;
  Wake();
  return true;
}

}  // namespace orla
