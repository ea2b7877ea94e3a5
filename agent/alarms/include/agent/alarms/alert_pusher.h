#pragma once
// AlertPusher: pushes the agent's alarms to the Alertmanagers that
// alerting.conf names (API v2). A thread of its own looks at the alarms, so
// that nothing it waits for holds up polling, traps or pages; each
// Alertmanager has a sending thread of its own (AlertmanagerLink), so that
// one that does not answer holds up no other.
//
// Each look (every Options::checkMs, or at once after Poke: an
// acknowledgement, or a status change of an element):
//   - re-reads alerting.conf when the file changed (its errors logged as
//     WARNING events, one per bad line): an Alertmanager added gets its
//     queue and thread, one removed has its thread told to end (and
//     joined once it has, never waited for), one that stays keeps its
//     queue and lists its silences again;
//   - asks the alarm source for the current alarms; an alarm that is new,
//     or whose labels changed (acknowledged or given back, a new
//     severity), is sent at once; one that cleared is sent resolved
//     (endsAt now), as is the old label set of one whose labels changed;
//   - every Options::resendMs the standing alarms are sent again, each
//     with endsAt Options::resendMs * 4 ahead: an agent that stops sending
//     lets its alerts end on their own in Alertmanager;
//   - hands what is to be sent to every Alertmanager's queue.
// Maintenance windows (MaintenanceSilences) become silences matching the
// element label: created with POST /api/v2/silences, ended with DELETE
// /api/v2/silence/{id}. Their comment ends with " [Options::signature]";
// by it the silences of the agent's making are found again (GET
// /api/v2/silences) when an Alertmanager is first reached and after the
// configuration is read again: one per standing window is adopted, the
// others are expired, so a restart neither doubles a silence nor leaves
// one behind a window that has ended.
//
// Each Alertmanager has its own bounded queue (Options::queueLimit
// messages). A message it does not take (no answer, a server error, 408 or
// 429) stays at the head and is retried after a back-off that doubles from
// Options::retryMinMs up to Options::retryMaxMs; the first failure writes
// one WARNING event, the first success after it one INFO event. A message
// the Alertmanager refuses (another 4xx) is dropped and counted. While an
// Alertmanager is away, a full re-send replaces a queued one rather than
// piling up; a full queue drops its oldest message (counted). Any alert
// whose resolution is lost that way ends at its endsAt.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "agent/alarms/alarm.h"
#include "agent/alarms/alerting_config.h"
#include "agent/core/maintenance_silences.h"
#include "platform/sync/manual_reset_event.h"

namespace orla {

class AlertmanagerLink;
class Clock;

class AlertPusher : public MaintenanceSilences {
 public:
  struct Options {
    int64_t checkMs = 5000;
    int64_t resendMs = 60000;
    int64_t retryMinMs = 1000;
    int64_t retryMaxMs = 60000;
    size_t queueLimit = 1000;
    int timeoutSeconds = 10;
    // Ends the comment of every silence the agent makes (see above): the
    // same for one agent across restarts, different between agents that
    // share an Alertmanager.
    std::string signature = "KORAgent";
  };
  // What the metrics show of one Alertmanager.
  struct Figures {
    std::string url;
    bool up = true;           // the last attempt succeeded (or none failed yet)
    size_t queued = 0;        // messages waiting
    uint64_t sent = 0;        // messages it took
    uint64_t failures = 0;    // attempts that failed and will be retried
    uint64_t rejected = 0;    // messages it refused (dropped)
    uint64_t dropped = 0;     // messages dropped from a full queue
  };
  using AlarmSource = std::function<std::vector<Alarm>()>;

  static constexpr const char* kUnreachableFormat =
      "Alertmanager %s cannot be reached: %s. Alerts for it are queued and retried.";
  static constexpr const char* kReachableFormat = "Alertmanager %s is reachable again.";

  // `configPath`: alerting.conf; `source`: the current alarms (the active
  // ones and the recently cleared ones, as AlarmBook::Current gives them).
  AlertPusher(std::string configPath, AlarmSource source, Options options, Clock* clock = nullptr);
  ~AlertPusher() override;
  AlertPusher(const AlertPusher&) = delete;
  AlertPusher& operator=(const AlertPusher&) = delete;

  void Start();
  // Ends the threads: an HTTP call under way is abandoned (within about a
  // second) and its message stays queued; the Alertmanagers' threads end
  // side by side.
  void Stop();
  // Asks for a look now: an alarm was acknowledged or given back, or an
  // element's status changed. Never blocks.
  void Poke();

  void Silence(const std::string& element, int64_t startsMs, int64_t endsMs, const std::string& createdBy,
               const std::string& comment) override;
  void Unsilence(const std::string& element) override;

  std::vector<Figures> Statistics() const;
  // The configuration the last pass read, and what was wrong in its file.
  AlertingConfig Config() const;
  std::vector<std::string> ConfigErrors() const;

  // The pusher of the process, for the metrics; null when none runs.
  static AlertPusher* Instance() { return instance_.load(); }
  static void SetInstance(AlertPusher* pusher) { instance_.store(pusher); }

 private:
  struct Sent {
    Alarm alarm;
    std::string labels;
  };
  struct SilenceOrder {
    bool create = true;
    std::string element;
    std::string body;
  };

  void Run();
  void Pass();
  void ReloadConfig();
  void LookAtAlarms(int64_t nowMs, int64_t wallMs);
  void TakeSilenceOrders();
  void ReapRetired(bool wait);
  int64_t SteadyMs() const;

  const std::string configPath_;
  const AlarmSource source_;
  const Options options_;
  Clock* const clock_;

  std::thread thread_;
  std::atomic<bool> stopping_{false};
  ManualResetEvent wake_;

  // The thread's own.
  std::string configStamp_;
  std::map<std::string, Sent> sent_;
  int64_t lastResendMs_ = 0;
  bool resentOnce_ = false;
  std::map<std::string, std::string> wantedSilences_;  // element -> body
  std::vector<std::unique_ptr<AlertmanagerLink>> retired_;  // removed, their threads ending

  mutable std::mutex mutex_;  // what other threads see or hand in
  std::vector<std::unique_ptr<AlertmanagerLink>> links_;  // changed by the thread only
  std::vector<SilenceOrder> orders_;
  AlertingConfig config_;
  std::vector<std::string> configErrors_;

  static inline std::atomic<AlertPusher*> instance_{nullptr};
};

}  // namespace orla
