#pragma once
// SNMPv2c and SNMPv3 notifications (traps and informs) to a set of targets,
// all sent by one thread of the notifier's own. That thread alone opens,
// uses and closes the notifier's net-snmp sessions (one per target, kept
// open), and it makes every call that touches the library's process-wide
// state (the user table, engine times, request ids) under the library's
// lock, so the sender shares nothing unguarded with the polling threads.
//
// A trap is sent once. An inform waits for its acknowledgement; one that
// is not answered in time is sent again after a wait that doubles each time
// (first wait, doubled up to the longest wait), at most `retries` times.
// Informs to one target go out one at a time, in order, from a bounded
// queue; an inform given up after its last try, one that finds the queue
// full, and those still queued for a target that is no longer listed are
// reported, never dropped silently. For an SNMPv3 inform the receiver is
// the authoritative engine: its engine ID, boots and time are discovered
// when the session opens (and again after a try that failed); an SNMPv3
// trap is sent with this process's own engine (snmp_local_engine.h), so a
// receiver knows the user by that engine ID.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/snmpmgr/snmp_mgr_usm.h"

namespace orla {

struct SnmpNotifyTarget {
  // "HOST:PORT": names the target in counts and reports.
  std::string name;
  std::string host;
  int port = 162;
  bool v3 = false;
  bool inform = false;
  std::string community;            // SNMPv2c
  SnmpMgrUsm usm;                   // SNMPv3 (its engineId is not used)

  bool SameAs(const SnmpNotifyTarget& other) const;
};

// An SNMPv2 notification: sysUpTime.0 (added when sent), snmpTrapOID.0,
// the variables, then snmpTrapEnterprise.0 when `enterprise` is set.
struct SnmpNotification {
  struct Variable {
    std::vector<uint32_t> name;
    bool isInteger = false;
    int32_t number = 0;
    std::string text;
  };
  std::vector<uint32_t> trapOid;
  std::vector<Variable> variables;
  std::vector<uint32_t> enterprise;
};

class SnmpNotifier {
 public:
  enum class Outcome {
    kSent,          // a trap or an inform's try went out
    kAcknowledged,  // the receiver answered an inform
    kRetried,       // an inform's try went unanswered; it is sent again later
    kFailed,        // a trap could not be sent, or an inform was given up (detail says why)
  };
  // Called on the sender's thread for every outcome; must not block long.
  using Report = std::function<void(const std::string& target, Outcome outcome, const std::string& detail)>;

  struct Options {
    size_t queueLimit = 100;  // informs waiting per target
    int retries = 6;          // tries after the first
    std::chrono::milliseconds timeout{1500};    // wait for one try's answer
    std::chrono::milliseconds firstWait{1000};  // before the first retry
    std::chrono::milliseconds longestWait{60000};
  };

  explicit SnmpNotifier(Report report);
  SnmpNotifier(Report report, Options options);
  // Ends the thread; informs still waiting are given up (and reported).
  ~SnmpNotifier();
  SnmpNotifier(const SnmpNotifier&) = delete;
  SnmpNotifier& operator=(const SnmpNotifier&) = delete;

  // Sends `notification` to every target of `targets`, which is the whole
  // current set: a target not in it is closed (its waiting informs given
  // up), one whose settings changed is reopened.
  void Send(std::vector<SnmpNotifyTarget> targets, SnmpNotification notification);
  // Waits until every Send so far has been taken up and every inform has
  // been acknowledged or given up.
  void WaitIdle();
  // At a stop: tries what waits at once (no back-off) for up to `limit`,
  // then ends the thread. Answers, per target, the informs still waiting,
  // which are given up (not reported one by one).
  std::vector<std::pair<std::string, size_t>> Finish(std::chrono::milliseconds limit);

 private:
  struct Target;
  struct Job {
    std::vector<SnmpNotifyTarget> targets;
    SnmpNotification notification;
  };

  void Run();
  void Wake();
  void Take(Job job);
  void Advance(Target* target);
  void TryFailed(Target* target, const std::string& why);
  void Poll(std::chrono::milliseconds wait);
  bool Idle() const;
  std::chrono::milliseconds NextWait() const;

  Report report_;
  Options options_;
  int wakeFd_ = -1;

  std::mutex mutex_;
  std::condition_variable idle_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::atomic<bool> draining_{false};
  bool busy_ = false;

  // The sender thread's own.
  std::vector<std::unique_ptr<Target>> targets_;
  std::thread thread_;
};

}  // namespace orla
