#include "agent/core/event_ring.h"

#include <utility>

namespace orla {

EventRing::EventRing(size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

EventRing& EventRing::Instance() {
  // Never destroyed: threads may still log while the process ends.
  static EventRing* ring = new EventRing(kDefaultCapacity);
  return *ring;
}

uint64_t EventRing::Append(int64_t timeMs, int severity, EventOrigin origin, std::string text) {
  if (origin.shownSeverity >= 0 && origin.shownSeverity <= 2) severity = origin.shownSeverity;
  if (severity < 0 || severity > 2) severity = 1;
  RecordedEvent event;
  event.timeMs = timeMs;
  event.severity = severity;
  event.origin = std::move(origin);
  event.text = std::move(text);
  std::lock_guard<std::mutex> hold(mutex_);
  event.sequence = ++lastSequence_;
  if (entries_.size() >= capacity_) entries_.pop_front();
  entries_.push_back(std::move(event));
  return lastSequence_;
}

std::vector<RecordedEvent> EventRing::Snapshot(uint64_t afterSequence) const {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<RecordedEvent> out;
  // Sequence numbers are consecutive inside the ring: skip straight to the first wanted.
  size_t first = 0;
  if (!entries_.empty() && afterSequence >= entries_.front().sequence) {
    const uint64_t skip = afterSequence - entries_.front().sequence + 1;
    first = skip >= entries_.size() ? entries_.size() : static_cast<size_t>(skip);
  }
  out.reserve(entries_.size() - first);
  for (size_t i = first; i < entries_.size(); ++i) out.push_back(entries_[i]);
  return out;
}

void EventRing::VisitNewestFirst(const std::function<bool(const RecordedEvent&)>& visit) const {
  std::lock_guard<std::mutex> hold(mutex_);
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (!visit(*it)) return;
  }
}

uint64_t EventRing::LastSequence() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return lastSequence_;
}

}  // namespace orla
