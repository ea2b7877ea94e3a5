#pragma once
// The agent's one trap listener thread. It registers for trap delivery
// (SnmpMgrTrapListen), waits for the event that says traps are queued, and
// takes them one by one (SnmpMgrGetTrap). A trap whose agent address is that
// of a managed element becomes a TrapMessage for ReceivedTrapLog::LogTrap,
// and its refresh thread then runs the registry's status pass; traps from
// any other address are taken and dropped.
//
// The filter looks at the agent address the trap carries, not at the address
// its datagram came from.
//
// The listener never waits for a device: the filter and the trap records
// read the registry's directory, and the status refresh that follows logged
// traps runs on the listener's refresh thread (StatusRefresher), which
// spaces the passes by the KORAGENT_TRAP_REFRESH_INTERVAL setting: a flood
// costs one pass per interval. (What the receiver drops or refuses it
// reports itself.) An element that sends more than kTrapsPerMinute traps
// in a minute has the rest counted, not logged, and summarised when its
// minute ends (RepeatedWarnings, kind "traps"); they start no refresh.
//
// The listener hands the receiver what the SNMPv3 credentials say (read
// again when they change, checked at every wake-up and at least every
// kCredentialCheck): v3-only on or off, and the users of the assigned
// profiles, the only ones whose SNMPv3 traps and informs are taken. It
// also tells the receiver who may speak for an element (SnmpMgrTrapSetAdmission):
// only a managed element's informs are acknowledged, and an SNMPv3
// notification speaks for an element only when it was authenticated as
// the user of that element's assigned profile, at its level or above.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "agent/core/root_object.h"
#include "agent/traps/status_refresher.h"
#include "platform/eventlog/repeated_warnings.h"

namespace orla {

class ElementRegistry;
class ManualResetEvent;
class SnmpBinding;
class SnmpV3Credentials;
class ReceivedTrapLog;
class TrapMessage;
struct SnmpVarBind;

class TrapListener : public RootObject {
 public:
  static constexpr size_t kTrapsPerMinute = 300;
  static constexpr std::chrono::seconds kCredentialCheck{1};

  // No listener thread yet. Traps are filtered by `registry`'s elements,
  // logged through `log` and followed by status passes; both outlive the
  // listener. `clock` times the per-element trap warnings and the spacing of
  // status passes (the system's when null).
  TrapListener(ElementRegistry* registry, ReceivedTrapLog* log, Clock* clock = nullptr);
  // Ends the thread: it stops at its next wake-up, after the trap it is
  // handling; then a refresh that runs or waits ends.
  ~TrapListener() override;
  TrapListener(const TrapListener&) = delete;
  TrapListener& operator=(const TrapListener&) = delete;

  // Starts the listener thread unless one runs already. Throws OrlaException
  // 3003 "Unable to create a thread." when it cannot be created.
  void Start();

  // One received binding as the agent's own value classes: the name always
  // (a copy of its sub-identifiers), the value for INTEGER, OCTET STRING,
  // OBJECT IDENTIFIER, IpAddress and TimeTicks; any other type gives a
  // binding with its name only. Throws OrlaException 3001 when a value
  // cannot be allocated.
  static SnmpBinding* ConvertBinding(const SnmpVarBind& received);

  // Status passes run after logged traps so far, and a wait until none runs
  // or waits (up to one refresh interval).
  uint64_t RefreshCount() const { return refresher_.Completed(); }
  void WaitForRefresh() { refresher_.WaitIdle(); }

 private:
  void Routine();
  // Takes every queued trap and hands on those from managed elements.
  void DrainQueue();
  // Hands the receiver the credentials' v3-only switch and inform users
  // when they changed.
  void ApplyCredentials();
  // Whether a notification authenticated as `user` at `level` (or a
  // community inform, `user` empty) may speak for the element at `address`.
  static bool Admits(ElementRegistry* registry, const uint8_t address[4], const std::string& user, int level);

  ElementRegistry* const registry_;
  // What the receiver's admission check reads; emptied when the listener
  // ends, so that the receiver (which outlives it) never reads a registry
  // that is gone.
  struct AdmissionState {
    std::mutex mutex;
    ElementRegistry* registry = nullptr;
  };
  std::shared_ptr<AdmissionState> admission_ = std::make_shared<AdmissionState>();
  ReceivedTrapLog* const log_;
  std::shared_ptr<const SnmpV3Credentials> applied_;
  RepeatedWarnings traps_;
  StatusRefresher refresher_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<ManualResetEvent*> event_{nullptr};
};

}  // namespace orla
