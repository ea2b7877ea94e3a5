#pragma once
// AlertmanagerLink: one Alertmanager as the AlertPusher reaches it, with a
// bounded queue and a sending thread of its own, so that an Alertmanager
// that does not answer holds up no other.
//
// The thread sends the queue's head, in order. A message the Alertmanager
// does not take (no answer, a server error, 408 or 429) stays at the head
// and is retried after a back-off that doubles from Options::retryMinMs up
// to Options::retryMaxMs; the first failure writes one WARNING event, the
// first success after it one INFO event. A message it refuses (another
// 4xx) is dropped and counted. A full re-send replaces a queued one that
// carries no resolution; a full queue drops its oldest message (counted).
//
// Silences: the link keeps the id of the silence it holds for each
// element. Before anything else, when it starts and after every
// Reconfigure, it lists the Alertmanager's silences (GET /api/v2/silences)
// and takes the active and pending ones of this agent's making (their
// comment ends with the agent's signature, their one matcher is the
// element): for an element whose window still stands one silence ending
// when the window ends is adopted (no second one is created), and every
// other one (no window stands, a duplicate, another end) is expired
// (DELETE /api/v2/silence/{id}).
//
// Private to the alarms library. Enqueue, Reconfigure and Snapshot may be
// called from any thread.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "agent/alarms/alert_pusher.h"
#include "agent/alarms/alerting_config.h"
#include "platform/sync/manual_reset_event.h"
#include "platform/zepa/json_http_call.h"

namespace orla {

class Clock;

class AlertmanagerLink {
 public:
  struct Message {
    enum class Kind { kAlerts, kCreateSilence, kDeleteSilence, kListSilences };
    Kind kind = Kind::kAlerts;
    std::string body;
    std::string element;    // silences
    bool resolves = false;  // alerts: carries a resolution (never replaced)
    uint64_t number = 0;    // given by Enqueue
  };

  // `silences`: the windows standing now (element -> body of the silence),
  // queued to be silenced after the first listing.
  AlertmanagerLink(AlertingConfig::Alertmanager config, AlertPusher::Options options,
                   const std::map<std::string, std::string>& silences, Clock* clock);
  ~AlertmanagerLink();
  AlertmanagerLink(const AlertmanagerLink&) = delete;
  AlertmanagerLink& operator=(const AlertmanagerLink&) = delete;

  void Start();
  // Asks the thread to end (an HTTP call under way is abandoned within
  // about a second); Join waits for it. Finished: the thread has ended
  // (Join is quick).
  void AskToStop();
  void Join();
  bool Finished() const { return finished_.load(); }

  const std::string& Url() const { return url_; }
  // The configuration read again: its settings taken, the silences listed.
  void Reconfigure(const AlertingConfig::Alertmanager& config);
  void Enqueue(Message message);
  AlertPusher::Figures Snapshot() const;

 private:
  enum class Result { kTaken, kNothingToDo, kRefused, kFailed };

  void Run();
  Result Send(const AlertingConfig::Alertmanager& config, const Message& message, std::string* error);
  Result ListSilences(const JsonHttpCall::Answer& answer, std::string* error,
                      const std::function<JsonHttpCall::Answer(const std::string&, const std::string&)>& call);
  // What an answer that is not a success means: kFailed (try again) or
  // kRefused, with *error saying why.
  static Result FailureOf(const JsonHttpCall::Answer& answer, std::string* error);
  void PushLocked(Message message);
  int64_t SteadyMs() const;

  const std::string url_;
  const AlertPusher::Options options_;
  Clock* const clock_;

  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
  ManualResetEvent wake_;

  mutable std::mutex mutex_;  // what Enqueue, Reconfigure and Snapshot share with the thread
  AlertingConfig::Alertmanager config_;
  std::deque<Message> queue_;
  uint64_t nextNumber_ = 1;
  std::map<std::string, std::string> wanted_;  // element -> silence body, the windows standing
  AlertPusher::Figures figures_;

  // The thread's own.
  std::map<std::string, std::string> silenceIds_;  // element -> id of the silence held
  std::map<std::string, std::string> held_;        // element -> body that silence was made from
  int64_t retryAtMs_ = 0;                          // steady
  int64_t backoffMs_ = 0;
};

}  // namespace orla
