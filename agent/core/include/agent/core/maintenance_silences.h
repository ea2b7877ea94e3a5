#pragma once
// MaintenanceSilences: what a maintenance window of an element means to the
// people's alerting (Alertmanager): while the window lasts, the element's
// alerts are silenced there. The maintenance code calls it when a window
// begins and when it ends; the composition root installs the one that
// talks to the Alertmanagers (AlertPusher) at start-up. Calls never block
// on the network: they are queued and carried out on the pusher's thread.
#include <atomic>
#include <cstdint>
#include <string>

namespace orla {

class MaintenanceSilences {
 public:
  virtual ~MaintenanceSilences() = default;

  // Silences the alerts of `element` from `startsMs` to `endsMs` (ms since
  // 1970 UTC), naming who planned the window and why. A second call for the
  // same element replaces the first.
  virtual void Silence(const std::string& element, int64_t startsMs, int64_t endsMs, const std::string& createdBy,
                       const std::string& comment) = 0;
  // Ends the silence of `element` (nothing when it has none).
  virtual void Unsilence(const std::string& element) = 0;

  // The installed one, or null when the agent reports to no Alertmanager.
  static MaintenanceSilences* Current() { return current_.load(); }
  static void SetCurrent(MaintenanceSilences* silences) { current_.store(silences); }

 private:
  static inline std::atomic<MaintenanceSilences*> current_{nullptr};
};

}  // namespace orla
