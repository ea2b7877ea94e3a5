#pragma once
// The part of an element that its polling thread uses: the plug-in library,
// the get session, the status, the update gate, the polling interval, the
// trap-receiver stamp and the name. The element and its poller share it, so
// a poll that is running when the element is removed finishes with all of
// this still valid; the last owner frees it.
//
// The library and the get session are set by binding before the polling
// thread starts and never change afterwards.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "agent/core/root_object.h"
#include "agent/devices/element_status_cell.h"
#include "counter_rate.h"
#include "wear_check.h"
#include "platform/sync/manual_reset_event.h"

namespace orla {

class Clock;

class DynamicLibrary;
class SnmpSession;
class StatusChangeListener;

class TrapMessage;

class ElementState : public RootObject {
 public:
  // Status before the first successful poll.
  static constexpr int32_t kNotRead = ElementStatusCell::kNotRead;

  // What one status update did: the status before and after it, and whether
  // this caller ran the plug-in (false: it waited for another update and
  // took its result, which that update reports).
  struct Update {
    int32_t previous = kNotRead;
    int32_t current = kNotRead;
    bool polled = false;
    bool Changed() const { return polled && current != previous; }
  };

  // The status times are read from `clock` (the system's when null);
  // changes are reported to `listener` (none when null).
  ElementState(std::string name, std::string address, int32_t pollingInterval, StatusChangeListener* listener,
               Clock* clock);
  ~ElementState() override;
  ElementState(const ElementState&) = delete;
  ElementState& operator=(const ElementState&) = delete;

  // A poll: one status update of the element. Runs the plug-in's
  // "UpdateStatus" with the get session, at most one at a time (the update
  // gate); a caller that finds a poll running waits for it and answers the
  // status it left, without calling the plug-in. The gate is open again
  // when it returns. With `unlessRetired` (the polling thread) the plug-in
  // is not called once Retire has returned: the check is made right before
  // the call, under the lock Retire takes. Throws OrlaException 3006 when
  // the function is missing. A poll reports nothing: its caller hands the
  // update to ReportChange (at once, or a status pass in list order).
  // With `withCounters` (the polling thread's own polls, once per polling
  // interval) a poll the device answered also reads the plug-in's optional
  // "ReadDeviceCounters" (ReadCounters); every poll applies the verdict of
  // the last counters read to the status it publishes.
  Update Poll(bool unlessRetired = false, bool withCounters = false);
  // Writes a changed status to the event log (in words, see
  // StatusChangeText) and reports it to the element's listener (the
  // registry's publisher), unless the element has been retired. The
  // listener may throw (OrlaException*).
  void ReportChange(const Update& update);

  // "HandleTrap" of the plug-in; its answer (event data length or -1).
  // A plug-in that exports "HandleElementTrap" is called through that
  // instead, with the element's name and address, and may set `*severity`
  // (when given; -1 otherwise) to the severity its text reports. Throws
  // OrlaException 3006 when neither function is there.
  // A warning or critical trap the plug-in says raises a condition
  // (DescribeTrapCondition) is published in the cell's trapConditions, and
  // the element's conditions are handed to the listener (which keeps them
  // across restarts) unless the element has been retired.
  int32_t DeliverTrap(TrapMessage* trap, uint8_t* data, char* message, int32_t* severity = nullptr);
  // The plug-in's own trap-target question about the device
  // (GetTrapTargetQuestion, with the get session: it may ask the device, so
  // never call it under the registry lock); empty when it gives none.
  std::string TrapTargetQuestion() const;

  // Publishes conditions a trap raised before the agent's restart (the
  // registry's TrapConditionBook); told to nobody.
  void RestoreTrapConditions(std::vector<TrapCondition> standing);

  // Asks the plug-in for both class codes and publishes them in the cell;
  // a failure leaves what was known and passes out as OrlaException*.
  void ReadClassCodes();

  // The plug-in library (null when it could not be loaded).
  const std::shared_ptr<DynamicLibrary>& Library() const { return library_; }
  void SetLibrary(std::shared_ptr<DynamicLibrary> library, std::string error);

  SnmpSession* GetSession() const { return getSession_.get(); }
  void SetGetSession(std::unique_ptr<SnmpSession> session);

  // The exported function `name` of the plug-in; throws OrlaException 3006
  // (with the loader's text) when there is no library or no such function.
  void* PluginFunction(const char* name) const;
  // The same for an export a plug-in may leave out: null when it does.
  void* OptionalPluginFunction(const char* name) const;

  // The status cell as the last poll (or class-code read, or change of
  // staleness) published it; never null. Before the first poll: status -1,
  // its time when the element was made. The reason is the plug-in's
  // optional "GetStatusReason" right after the poll that read the status
  // ("Drive 3 ... needs cleaning"; none for ok); while stale (v3-only and
  // no profile covers the address, so polls do not ask the device and the
  // status is the last one read) "No SNMPv3 profile (v3-only)"; after a
  // poll that met an SNMPv3 security failure, that failure
  // ("Authentication failed (SNMPv3 user kor)"). The first stale poll
  // writes one WARNING naming the element, the first poll that asks the
  // device again one INFO.
  std::shared_ptr<const ElementStatusCell> Cell() const;
  int32_t Status() const { return Cell()->status; }
  int32_t PollingInterval() const { return pollingInterval_.load(); }
  void SetPollingInterval(int32_t seconds) { pollingInterval_.store(seconds); }
  uint32_t TrapReceiverStamp() const { return trapReceiverStamp_.load(); }
  void SetTrapReceiverStamp(uint32_t stamp) { trapReceiverStamp_.store(stamp); }
  // Clears the stamp if it still holds `expected`; false when a new stamp
  // was stored meanwhile, which must then hold off the polls in turn.
  bool ClearTrapReceiverStamp(uint32_t expected) { return trapReceiverStamp_.compare_exchange_strong(expected, 0); }

  std::string Name() const;
  void SetName(const std::string& name);
  bool HasName(const std::string& name) const;

  // An unbound element: its device did not answer, or no type claimed it,
  // when it was loaded. It has no plug-in: status passes leave it alone (its
  // status stays -1), and a trap from its device is logged with a text of
  // the agent's own. Set before the polling thread starts, never cleared:
  // binding later makes a new element in its place.
  bool Unbound() const { return unbound_.load(); }
  void SetUnbound() { unbound_.store(true); }
  const std::string& Address() const { return address_; }

  // The event the polling thread waits on between two cycles: set to end
  // the wait early (a stop, or a trap from an unbound element's device,
  // which asks for a recognition retry at once).
  ManualResetEvent& WakeEvent() { return wake_; }
  // The clock the element's times are read on and its thread waits on.
  Clock& Time() const { return *clock_; }
  void Wake() { wake_.Set(); }
  // Wakes the thread for a trap from the device, at most once per
  // `spacing`: a trap (forged ones too) may bring a recognition retry
  // forward, not run retries back to back. True when it woke it.
  bool WakeForTrap(std::chrono::seconds spacing);

  // Marks the element as gone (removed, or the registry destroyed). Once
  // Retire has returned, BeginPoll answers false, so no new poll starts.
  void Retire();
  // Called by the polling thread before each poll: false once retired.
  bool BeginPoll();

 private:
  // The plug-in's reason behind `status` (just polled, on the polling
  // session); none for an ok status.
  std::string ReadReason(int32_t status);
  // After a poll (or a poll that threw, `status` null): an SNMPv3 security
  // failure met since `failuresBefore` becomes `*reason` of a status that is
  // not ok, and is logged once per new failure, naming the element and
  // address.
  void NoteSecurityFailure(uint64_t failuresBefore, const int32_t* status, std::string* reason);
  // On the polling thread, after a poll the device answered: the plug-in's
  // optional "ReadDeviceCounters", their rates (counterRate_) and what they
  // say of the status (wear_). Null when the plug-in has no such export or
  // the device did not answer it (a gap: the last samples stay).
  std::shared_ptr<const DeviceSamples> ReadCounters();
  // Asks the plug-in whether the trap just described raises a condition and
  // publishes it (replacing the same part's, pruning lapsed ones).
  void NoteTrapCondition(TrapMessage* trap, const char* message, int32_t severity);
  // Enters (true) or leaves the stale state, logging the change.
  void SetStale(bool stale);
  // Publishes a copy of the current cell changed by `change`.
  template <typename Change>
  void Publish(Change change);
  // An event about this element (its name and address as the origin).
  void WriteEvent(int severity, const std::string& text) const;

  std::shared_ptr<DynamicLibrary> library_;
  std::string libraryError_;
  std::unique_ptr<SnmpSession> getSession_;
  const std::string address_;
  Clock* const clock_;

  std::atomic<int32_t> pollingInterval_;
  std::atomic<uint32_t> trapReceiverStamp_{0};
  ManualResetEvent updateGate_{true};
  ManualResetEvent wake_{false};
  std::atomic<bool> unbound_{false};
  // When a trap last woke the thread (steady milliseconds; 0 never).
  std::atomic<int64_t> trapWakeMs_{0};
  StatusChangeListener* const listener_;

  mutable std::mutex nameMutex_;
  std::string name_;
  // One trap's condition at a time, from its publishing to its hand-over
  // (the listener gets the element's conditions in the order they stood);
  // Retire takes it too, before retireMutex_.
  std::mutex trapConditionMutex_;
  // The published cell: replaced whole, one writer at a time.
  mutable std::mutex cellMutex_;
  std::shared_ptr<const ElementStatusCell> cell_;
  // The latest security failure logged; empty once a poll met none. Only
  // the poll that holds the update gate touches it.
  std::mutex failureMutex_;
  std::string securityFailure_;

  // The counters' history and the verdict on the latest ones. Only the poll
  // that holds the update gate touches them; a status pass's poll applies
  // the verdict the polling thread's last reading gave.
  CounterRate counterRate_;
  WearCheck::Verdict wear_;

  std::mutex retireMutex_;
  bool retired_ = false;
};

}  // namespace orla
