#include "element_publisher.h"

#include <utility>
#include <vector>

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

}  // namespace orla
