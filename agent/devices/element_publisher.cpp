#include "element_publisher.h"

#include <utility>
#include <vector>

#include "trap_condition_book.h"

namespace orla {

ElementPublisher::ElementPublisher()
    : snapshot_(std::make_shared<const ElementSnapshot>(std::vector<ElementSnapshot::Entry>())) {}

std::shared_ptr<const ElementSnapshot> ElementPublisher::Current() const {
  std::lock_guard<std::mutex> hold(snapshotMutex_);
  return snapshot_;
}

void ElementPublisher::Publish(std::shared_ptr<const ElementSnapshot> snapshot) {
  std::lock_guard<std::mutex> hold(snapshotMutex_);
  snapshot_ = std::move(snapshot);
}

void ElementPublisher::NotifyStatusChange(const StatusChange& change) {
  if (change.removed) {
    if (SampleListener* samples = sampleListener_.load()) samples->ElementRemoved(change.name);
  }
  StatusChangeListener* listener = listener_.load();
  if (listener == nullptr) return;
  std::lock_guard<std::mutex> hold(changeMutex_);
  StatusChange complete = change;
  complete.overall = Current()->OverallStatus();
  complete.afterLoad = loaded_.load();
  listener->NotifyStatusChange(complete);
}

void ElementPublisher::NotifyPolled(const std::string& name) {
  StatusChangeListener* listener = listener_.load();
  if (listener == nullptr) return;
  std::lock_guard<std::mutex> hold(changeMutex_);
  listener->NotifyPolled(name);
}

void ElementPublisher::NotifySamplesTaken(const std::string& name,
                                          const std::shared_ptr<const DeviceSamples>& samples) {
  if (SampleListener* listener = sampleListener_.load()) listener->SamplesTaken(name, samples);
}

void ElementPublisher::NotifyTrapConditions(const std::string& name, const std::string& address,
                                            const std::vector<TrapCondition>& standing) {
  if (TrapConditionBook* book = trapConditions_.load()) book->Changed(name, address, standing);
}

}  // namespace orla
