#include "platform/snmpmgr/snmp_notifier.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "net_snmp_convert.h"
// After net-snmp's own headers (net_snmp_convert.h).
#include <net-snmp/library/large_fd_set.h>
#include "platform/snmpmgr/snmp_local_engine.h"
#include "platform/sync/clock.h"
#include "snmp_mgr_library.h"
#include "usm_discovery.h"
#include "usm_keys.h"

namespace orla {

namespace {

const oid kSysUpTime[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
const oid kSnmpTrapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
const oid kSnmpTrapEnterprise[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 3, 0};

// While informs are in flight the thread looks at the library's time-outs
// at least this often.
constexpr std::chrono::milliseconds kTick{100};

std::vector<oid> ToOids(const std::vector<uint32_t>& ids) { return std::vector<oid>(ids.begin(), ids.end()); }

bool AddOid(netsnmp_pdu* pdu, const oid* name, size_t length, const std::vector<uint32_t>& value) {
  const std::vector<oid> v = ToOids(value);
  return snmp_pdu_add_variable(pdu, name, length, ASN_OBJECT_ID, v.data(), v.size() * sizeof(oid)) != nullptr;
}

// The PDU of one try; null when memory runs out. Made under the library lock
// (request ids are process-wide).
netsnmp_pdu* BuildPdu(const SnmpNotification& n, bool inform) {
  netsnmp_pdu* pdu = snmp_pdu_create(inform ? SNMP_MSG_INFORM : SNMP_MSG_TRAP2);
  if (pdu == nullptr) return nullptr;
  const u_long ticks = snmpv3_local_snmpEngineTime() * 100;
  bool ok = snmp_pdu_add_variable(pdu, kSysUpTime, std::size(kSysUpTime), ASN_TIMETICKS, &ticks, sizeof(ticks)) !=
                nullptr &&
            AddOid(pdu, kSnmpTrapOid, std::size(kSnmpTrapOid), n.trapOid);
  for (const SnmpNotification::Variable& v : n.variables) {
    if (!ok) break;
    const std::vector<oid> name = ToOids(v.name);
    if (v.isInteger) {
      const long number = v.number;
      ok = snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_INTEGER, &number, sizeof(number)) != nullptr;
    } else {
      ok = snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_OCTET_STR, v.text.data(), v.text.size()) !=
           nullptr;
    }
  }
  if (ok && !n.enterprise.empty()) ok = AddOid(pdu, kSnmpTrapEnterprise, std::size(kSnmpTrapEnterprise), n.enterprise);
  if (!ok) {
    snmp_free_pdu(pdu);
    return nullptr;
  }
  return pdu;
}

std::string PeerName(const SnmpNotifyTarget& t) {
  const std::string port = std::to_string(t.port);
  return t.host.find(':') != std::string::npos ? "udp6:[" + t.host + "]:" + port : "udp:" + t.host + ":" + port;
}

std::string LibraryError(void* session) {
  int systemError = 0, snmpError = 0;
  char* detail = nullptr;
  snmp_sess_error(session, &systemError, &snmpError, &detail);
  std::string text = detail != nullptr ? detail : "unknown error";
  std::free(detail);
  return text;
}

}  // namespace

bool SnmpNotifyTarget::SameAs(const SnmpNotifyTarget& o) const {
  return name == o.name && host == o.host && port == o.port && v3 == o.v3 && inform == o.inform &&
         community == o.community && usm == o.usm;
}

struct SnmpNotifier::Target {
  struct Waiting {
    SnmpNotification notification;
    int tries = 0;
  };

  SnmpNotifier* owner = nullptr;
  SnmpNotifyTarget spec;
  void* session = nullptr;
  std::deque<Waiting> waiting;
  // Where the engine discovery of an inform target's session answers; lives
  // as long as the target (the session may call back until it is closed).
  UsmExchange::Waiter discovery;
  bool inFlight = false;
  Clock::SteadyTime nextTry{};

  ~Target() { Close(); }

  void Close() {
    if (session == nullptr) return;
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    snmp_sess_close(session);
    session = nullptr;
  }

  // Before a v3 session whose pass phrases may have changed is reopened:
  // the library keeps one user per engine and name and never replaces its
  // keys, so the user made for this session goes with it.
  void CloseForgettingUser() {
    if (session != nullptr) {
      std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
      netsnmp_session* s = snmp_sess_session(session);
      if (s != nullptr && s->version == SNMP_VERSION_3 && s->securityEngineIDLen > 0 && s->securityName != nullptr) {
        UsmKeys::Forget(std::string(reinterpret_cast<const char*>(s->securityEngineID), s->securityEngineIDLen),
                        s->securityName);
      }
    }
    Close();
  }

  // Opens the session when there is none. For an SNMPv3 inform this
  // discovers the receiver's engine (one time-out when it does not answer).
  bool Open(std::string* error) {
    if (session != nullptr) return true;
    const std::string peer = PeerName(spec);
    std::string community = spec.community;
    std::string texts;
    std::vector<uint8_t> localEngine;
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.peername = const_cast<char*>(peer.c_str());
    settings.timeout = static_cast<long>(owner->options_.timeout.count()) * 1000L;
    settings.retries = 0;
    if (!spec.v3) {
      settings.version = SNMP_VERSION_2c;
      settings.community = reinterpret_cast<u_char*>(community.data());
      settings.community_len = community.size();
    } else {
      if (!UsmKeys::Fill(spec.usm, &settings, &texts, error)) return false;
      if (spec.inform) {
        // The receiver's engine is discovered below, outside the lock: the
        // library's own probe at open would wait for it under the lock.
        settings.flags |= SNMP_FLAGS_DONT_PROBE;
      } else {
        // A trap's authoritative engine is this one: no discovery, the user's
        // keys are localised to this engine's ID.
        localEngine = SnmpMgrLocalEngineId();
        settings.securityEngineID = localEngine.data();
        settings.securityEngineIDLen = localEngine.size();
        settings.contextEngineID = localEngine.data();
        settings.contextEngineIDLen = localEngine.size();
        settings.engineBoots = SnmpMgrLocalEngineBoots();
        settings.engineTime = SnmpMgrLocalEngineTime();
        settings.flags |= SNMP_FLAGS_DONT_PROBE;
      }
    }
    {
      std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
      session = snmp_sess_open(&settings);
      if (session == nullptr) *error = std::string("no session: ") + snmp_api_errstring(settings.s_snmp_errno);
    }
    // The key copies in `settings` go with it.
    std::memset(settings.securityAuthKey, 0, sizeof(settings.securityAuthKey));
    std::memset(settings.securityPrivKey, 0, sizeof(settings.securityPrivKey));
    if (session == nullptr) return false;
    if (spec.v3 && spec.inform) {
      uint32_t reason = 0;
      const std::string engineId = UsmDiscovery::EngineId(session, &discovery, &reason);
      if (engineId.empty()) {
        Close();
        *error = "the receiver's engine could not be discovered (no answer?)";
        return false;
      }
      std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
      UsmDiscovery::Adopt(session, engineId);
      return true;
    }
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    if (spec.v3 && !spec.inform) {
      // Our own boots and time, as the receiver checks them.
      set_enginetime(localEngine.data(), static_cast<u_int>(localEngine.size()),
                     static_cast<u_int>(snmpv3_local_snmpEngineBoots()),
                     static_cast<u_int>(snmpv3_local_snmpEngineTime()), TRUE);
    }
    return true;
  }

  // The library calls back under its lock, from snmp_sess_read2 or
  // snmp_sess_timeout: only the answer is noted here; Poll acts on it once
  // the lock is released.
  enum class Answer { kNone, kAcknowledged, kUnanswered, kRefused };
  Answer answer = Answer::kNone;

  static int Answered(int operation, netsnmp_session*, int, netsnmp_pdu* pdu, void* magic) {
    auto* self = static_cast<Target*>(magic);
    self->inFlight = false;
    if (operation == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE) {
      self->answer = pdu != nullptr && pdu->command == SNMP_MSG_RESPONSE ? Answer::kAcknowledged : Answer::kRefused;
    } else {
      self->answer = Answer::kUnanswered;
    }
    return 1;
  }
};

SnmpNotifier::SnmpNotifier(Report report) : SnmpNotifier(std::move(report), Options()) {}

SnmpNotifier::SnmpNotifier(Report report, Options options) : report_(std::move(report)), options_(options) {
  SnmpMgrLibrary::Initialize();
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  thread_ = std::thread([this] { Run(); });
}

SnmpNotifier::~SnmpNotifier() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
  }
  Wake();
  if (thread_.joinable()) thread_.join();
  for (auto& t : targets_) {
    for (const Target::Waiting& w : t->waiting) {
      (void)w;
      report_(t->spec.name, Outcome::kFailed, "given up: the agent stopped");
    }
  }
  targets_.clear();
  if (wakeFd_ >= 0) close(wakeFd_);
}

void SnmpNotifier::Send(std::vector<SnmpNotifyTarget> targets, SnmpNotification notification) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    jobs_.push_back(Job{std::move(targets), std::move(notification)});
    busy_ = true;
  }
  Wake();
}

void SnmpNotifier::WaitIdle() {
  std::unique_lock<std::mutex> hold(mutex_);
  idle_.wait(hold, [this] { return !busy_ && jobs_.empty(); });
}

std::vector<std::pair<std::string, size_t>> SnmpNotifier::Finish(std::chrono::milliseconds limit) {
  draining_.store(true);
  Wake();
  {
    std::unique_lock<std::mutex> hold(mutex_);
    idle_.wait_for(hold, limit, [this] { return !busy_ && jobs_.empty(); });
    stopping_ = true;
  }
  Wake();
  if (thread_.joinable()) thread_.join();
  std::vector<std::pair<std::string, size_t>> left;
  for (auto& t : targets_) {
    if (!t->waiting.empty()) left.emplace_back(t->spec.name, t->waiting.size());
    t->waiting.clear();
  }
  return left;
}

void SnmpNotifier::Wake() {
  if (wakeFd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof(one));
}

bool SnmpNotifier::Idle() const {
  return std::all_of(targets_.begin(), targets_.end(),
                     [](const std::unique_ptr<Target>& t) { return t->waiting.empty(); });
}

void SnmpNotifier::Take(Job job) {
  // The set of targets follows the job's.
  std::vector<std::unique_ptr<Target>> kept;
  for (SnmpNotifyTarget& spec : job.targets) {
    auto same = std::find_if(targets_.begin(), targets_.end(),
                             [&](const std::unique_ptr<Target>& t) { return t && t->spec.name == spec.name; });
    std::unique_ptr<Target> target;
    if (same != targets_.end()) {
      target = std::move(*same);
      if (!target->spec.SameAs(spec)) {
        // Settings changed: a new session; what waits is sent with them.
        target->CloseForgettingUser();
        target->inFlight = false;
        target->spec = spec;
      }
    } else {
      target = std::make_unique<Target>();
      target->owner = this;
      target->spec = spec;
    }
    kept.push_back(std::move(target));
  }
  for (auto& gone : targets_) {
    if (!gone) continue;
    for (size_t i = 0; i < gone->waiting.size(); ++i) {
      report_(gone->spec.name, Outcome::kFailed, "given up: the target was removed");
    }
  }
  targets_ = std::move(kept);

  for (auto& t : targets_) {
    if (t->spec.inform) {
      if (t->waiting.size() >= options_.queueLimit) {
        report_(t->spec.name, Outcome::kFailed, "given up: too many informs wait for this target");
        continue;
      }
      t->waiting.push_back(Target::Waiting{job.notification, 0});
      continue;
    }
    std::string error;
    if (!t->Open(&error)) {
      report_(t->spec.name, Outcome::kFailed, error);
      continue;
    }
    int sent;
    {
      std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
      netsnmp_pdu* pdu = BuildPdu(job.notification, false);
      sent = pdu != nullptr ? snmp_sess_send(t->session, pdu) : 0;
      if (sent == 0 && pdu != nullptr) snmp_free_pdu(pdu);
      if (sent == 0) error = pdu != nullptr ? LibraryError(t->session) : "no memory";
    }
    if (sent != 0) {
      report_(t->spec.name, Outcome::kSent, "");
    } else {
      t->Close();
      report_(t->spec.name, Outcome::kFailed, error);
    }
  }
}

void SnmpNotifier::TryFailed(Target* t, const std::string& why) {
  Target::Waiting& w = t->waiting.front();
  // A failed try may mean the receiver's engine changed (restarted with
  // other boots, or another ID): the next try discovers it again.
  if (t->spec.v3) t->Close();
  if (w.tries > options_.retries) {
    t->waiting.pop_front();
    report_(t->spec.name, Outcome::kFailed,
            "given up after " + std::to_string(options_.retries + 1) + " tries: " + why);
    t->nextTry = Clock::System()->SteadyNow();
    return;
  }
  auto wait = options_.firstWait;
  for (int i = 1; i < w.tries && wait < options_.longestWait; ++i) wait *= 2;
  wait = std::min(wait, options_.longestWait);
  t->nextTry = Clock::System()->SteadyNow() + wait;
  report_(t->spec.name, Outcome::kRetried, why);
}

void SnmpNotifier::Advance(Target* t) {
  // At a stop nothing waits out its back-off.
  if (t->inFlight || t->waiting.empty() || (Clock::System()->SteadyNow() < t->nextTry && !draining_.load())) return;
  Target::Waiting& w = t->waiting.front();
  ++w.tries;
  std::string error;
  if (!t->Open(&error)) {
    TryFailed(t, error);
    return;
  }
  int sent;
  {
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    netsnmp_pdu* pdu = BuildPdu(w.notification, true);
    sent = pdu != nullptr ? snmp_sess_async_send(t->session, pdu, &Target::Answered, t) : 0;
    if (sent == 0 && pdu != nullptr) snmp_free_pdu(pdu);
    if (sent == 0) error = pdu != nullptr ? LibraryError(t->session) : "no memory";
  }
  if (sent == 0) {
    TryFailed(t, error);
    return;
  }
  t->inFlight = true;
  report_(t->spec.name, Outcome::kSent, "");
}

std::chrono::milliseconds SnmpNotifier::NextWait() const {
  auto wait = std::chrono::milliseconds(60000);
  const auto now = Clock::System()->SteadyNow();
  for (const auto& t : targets_) {
    if (t->inFlight) return kTick;
    if (t->waiting.empty()) continue;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t->nextTry - now);
    wait = std::min(wait, std::max(left, std::chrono::milliseconds(0)));
  }
  return wait;
}

void SnmpNotifier::Poll(std::chrono::milliseconds wait) {
  std::vector<pollfd> fds;
  fds.push_back(pollfd{wakeFd_, POLLIN, 0});
  std::vector<Target*> owners;
  for (auto& t : targets_) {
    if (!t->inFlight || t->session == nullptr) continue;
    netsnmp_transport* transport = snmp_sess_transport(t->session);
    if (transport == nullptr) continue;
    fds.push_back(pollfd{transport->sock, POLLIN, 0});
    owners.push_back(t.get());
  }
  const int ready = poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
  if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
    uint64_t count;
    [[maybe_unused]] const ssize_t n = read(wakeFd_, &count, sizeof(count));
  }
  for (size_t i = 0; i < owners.size(); ++i) {
    Target* t = owners[i];
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    if (ready > 0 && (fds[i + 1].revents & (POLLIN | POLLERR)) != 0) {
      netsnmp_large_fd_set readable;
      netsnmp_large_fd_set_init(&readable, fds[i + 1].fd + 1);
      netsnmp_large_fd_setfd(fds[i + 1].fd, &readable);
      snmp_sess_read2(t->session, &readable);
      netsnmp_large_fd_set_cleanup(&readable);
    }
    // Calls back for a try whose time is up.
    if (t->inFlight) snmp_sess_timeout(t->session);
  }
  for (Target* t : owners) {
    const Target::Answer answer = t->answer;
    t->answer = Target::Answer::kNone;
    if (answer == Target::Answer::kAcknowledged) {
      t->waiting.pop_front();
      report_(t->spec.name, Outcome::kAcknowledged, "");
    } else if (answer != Target::Answer::kNone) {
      TryFailed(t, answer == Target::Answer::kRefused ? "refused by the receiver" : "no acknowledgement");
    }
  }
}

void SnmpNotifier::Run() {
  while (true) {
    std::deque<Job> jobs;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (stopping_) return;
      jobs.swap(jobs_);
    }
    for (Job& job : jobs) Take(std::move(job));
    for (auto& t : targets_) Advance(t.get());
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (jobs_.empty() && Idle()) {
        busy_ = false;
        idle_.notify_all();
      }
    }
    Poll(NextWait());
  }
}

}  // namespace orla
