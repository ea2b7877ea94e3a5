#pragma once
// Where the registry's elements are published: the current ElementSnapshot,
// and the status changes on their way to the registry's listener. Polls,
// status passes and the registry's own changes all report through it; it
// adds the overall status read from the current snapshot and hands the
// change on, one change at a time, so the listener sees them in the order
// of their overall statuses and never needs to call back into the
// registry.
//
// Private to the device library.
#include <atomic>
#include <memory>
#include <mutex>

#include "agent/devices/element_snapshot.h"
#include "agent/devices/sample_listener.h"
#include "agent/devices/status_change_listener.h"

namespace orla {

class TrapConditionBook;

class ElementPublisher final : public StatusChangeListener {
 public:
  ElementPublisher();

  // The current snapshot; never null.
  std::shared_ptr<const ElementSnapshot> Current() const;
  void Publish(std::shared_ptr<const ElementSnapshot> snapshot);

  // Who is told about the changes; none until set.
  void SetListener(StatusChangeListener* listener) { listener_.store(listener); }
  // Who keeps the counters (the history); none until set.
  void SetSampleListener(SampleListener* listener) { sampleListener_.store(listener); }
  SampleListener* Samples() const { return sampleListener_.load(); }
  // Who keeps the trap conditions across restarts; none until set.
  void SetTrapConditionBook(TrapConditionBook* book) { trapConditions_.store(book); }
  // From now on changes count as after the load (StatusChange::afterLoad).
  void SetLoaded() { loaded_.store(true); }
  bool Loaded() const { return loaded_.load(); }

  // Completes `change` (overall status, afterLoad) and hands it on. The
  // listener may throw (OrlaException*).
  // A removal also goes to the sample listener.
  void NotifyStatusChange(const StatusChange& change) override;
  // Hands an unchanged poll on, in line with the changes.
  void NotifyPolled(const std::string& name) override;
  void NotifySamplesTaken(const std::string& name, const std::shared_ptr<const DeviceSamples>& samples) override;
  void NotifyTrapConditions(const std::string& name, const std::string& address,
                            const std::vector<TrapCondition>& standing) override;

 private:
  mutable std::mutex snapshotMutex_;
  std::shared_ptr<const ElementSnapshot> snapshot_;
  // One change at a time, from reading the overall status to the listener's
  // return.
  std::mutex changeMutex_;
  std::atomic<StatusChangeListener*> listener_{nullptr};
  std::atomic<SampleListener*> sampleListener_{nullptr};
  std::atomic<TrapConditionBook*> trapConditions_{nullptr};
  std::atomic<bool> loaded_{false};
};

}  // namespace orla
