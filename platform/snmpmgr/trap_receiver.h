#pragma once
// The trap receiver that stands in for the host's SNMP trap service: one
// thread reads datagrams from a net-snmp transport address (for example
// "udp:162" or "udp:127.0.0.1:10162"), decodes them with net-snmp, queues
// the traps and signals an event while the queue holds any.
//
// SNMPv1 traps are queued with their own fields; SNMPv3 traps (see TrapDecoder::Decode)
// like SNMPv2c notifications. SNMPv2c notifications are
// turned into SNMPv1 fields the way RFC 3584 translates them: enterprise and
// specific trap from snmpTrapOID.0 (the six standard traps become generic
// traps 0 to 5), time stamp from sysUpTime.0, agent address from
// snmpTrapAddress.0 or else the datagram's source; sysUpTime.0 and
// snmpTrapOID.0 are not passed on as bindings.
//
// Informs (SNMPv2c, and SNMPv3 sent to this process's own engine as a user
// of SetLocalUsers) are queued like traps and acknowledged with a Response
// once queued; one turned away at a limit is not acknowledged, so its sender
// tries again. An inform sent again (the same sender, request ID and
// bindings within 150 s: our acknowledgement was lost) is acknowledged again
// and not queued twice. SNMPv3 engine discovery and time synchronisation
// (the Reports a sender of informs asks for) are answered. With SetV3Only
// on, well-formed SNMPv1 and SNMPv2c messages are dropped and counted
// (kV3Only).
//
// SNMPv3 is taken only when authenticated as an assigned user: the user is
// one of TrapDecoder::SetUserLevels (the users of the assigned profiles), the message's
// security level is at least that user's, the security model accepts it
// (digest, time window, decryption) and, where an Admission is set, the
// profile of the element the notification speaks for is that user's. The
// element is the one snmpTrapAddress.0 names when the Admission vouches for
// it, else the one the datagram came from; else the message is refused
// (kNotThisElementsProfile). Nothing is looked up in the library for a user
// or engine nobody assigned: made-up engine IDs leave no state behind.
// Refusals are counted by their reason (RefusedFor).
//
// Answers are bounded: a source may have at most kAnswerBurst answers
// (reports, acknowledgements) at once and kAnswersPerSecond after that, and
// no answer is sent that is more than twice the size of what asked for it.
// An inform from an address the Admission does not take (not a managed
// element) is neither acknowledged nor queued (kNotManaged).
//
// A datagram that is not a well-formed SNMPv1 trap or SNMPv2c notification is
// dropped and counted; nothing a peer sends can stop the receiver.
//
// Warnings, written through RepeatedWarnings (never one per datagram):
// traps dropped at the limits ("N traps were dropped because they arrived
// faster than the agent could take them.") and SNMPv3 messages refused by
// the security model ("N SNMPv3 traps were refused ..."), each the first at
// once and the rest of that minute in one line when it ends; SNMPv1/SNMPv2c
// traps refused in v3-only mode the same way, the first naming its source.
//
// A source's refused and malformed datagrams are charged to it too: past
// kRefusalBurst of them (refilled at kRefusalsPerSecond) its datagrams are
// dropped as kSourceShare before they are decoded, so that a flood of
// forgeries costs the receiver little and other sources nothing.
//
// Each trap is stamped with the time it arrived. Traps wait in one queue per
// source (the IPv4 address the datagram came from), and Take serves the
// sources in turn, one trap each: a flood from one source neither fills the
// agent's queue nor delays the traps of the others. A source may hold
// kMaxPerSource traps (and kMaxPerSourceBytes) at a time; past its share a
// datagram is dropped before it is decoded, so a flood costs little more
// than its reading. All sources together are bounded by kMaxQueued and
// kMaxQueuedBytes, and a trap with more bindings than kMaxBindings is not
// queued. Every drop is counted by its reason (DroppedFor); those at the
// limits, and those the system dropped because the socket's buffer was
// full, are counted as overflow too (and all in DroppedCount).
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sys/socket.h>
#include <string>
#include <thread>
#include <vector>

#include "platform/eventlog/repeated_warnings.h"
#include "platform/sync/manual_reset_event.h"
#include "recent_informs.h"
#include "trap_decoder.h"
#include "source_budget.h"

namespace orla {

class TrapReceiver {
 public:
  // What a datagram decodes to (see TrapDecoder).
  using Binding = TrapDecoder::Binding;
  using Trap = TrapDecoder::Trap;
  using Details = TrapDecoder::Details;
  using Refusal = TrapDecoder::Refusal;
  static constexpr size_t kRefusalReasons = TrapDecoder::kRefusalReasons;

  // Why a datagram was dropped. The first three are overflow.
  enum class Drop : size_t {
    kSourceShare,     // its source already had its share of the queue
    kQueueFull,       // every source together had filled the queue
    kSocketBuffer,    // the system's buffer was full before it was read
    kTooManyBindings, // more than kMaxBindings bindings
    kTruncated,       // larger than a UDP payload can be
    kMalformed,       // not a well-formed trap or notification
    kV3Only,          // SNMPv1 or SNMPv2c while only SNMPv3 is accepted
    kNotManaged,      // an inform from an address that is no managed element
    kRepeatedInform,  // an inform taken already (acknowledged again)
  };
  static constexpr size_t kDropReasons = 9;
  // The name of a reason in the metrics ("source_share", ...).
  static const char* DropName(Drop reason);

  // Whether a notification may speak for the element at `address` (four
  // octets): an SNMPv3 one authenticated as `user` at `level` (0
  // noAuthNoPriv, 1 authNoPriv, 2 authPriv), or, with `user` empty, an
  // SNMPv1/SNMPv2c inform (asked so that only a managed element's is
  // acknowledged). Called on the receiving thread.
  using Admission = std::function<bool(const uint8_t address[4], const std::string& user, int level)>;

  // Traps waiting beyond this many, or beyond this many bytes (as
  // QueuedSize counts them), are dropped (and counted) until the queue is
  // taken from again; the same for one source's share.
  static constexpr size_t kMaxQueued = 10000;
  static constexpr size_t kMaxQueuedBytes = 16u << 20;
  static constexpr size_t kMaxPerSource = 1000;
  static constexpr size_t kMaxPerSourceBytes = 2u << 20;
  // A trap with more bindings than this is dropped and counted.
  static constexpr size_t kMaxBindings = 128;
  // The receive buffer asked of the system, so that a burst waits in the
  // socket rather than being lost while one trap is decoded.
  static constexpr int kSocketBuffer = 4 << 20;
  // A source's refused and malformed datagrams, and its answers.
  static constexpr double kRefusalBurst = 100;
  static constexpr double kRefusalsPerSecond = 20;
  static constexpr double kAnswerBurst = 20;
  static constexpr double kAnswersPerSecond = 10;
  // Sources whose budgets are kept; informs remembered against repeats.
  static constexpr size_t kMaxBudgetSources = 4096;
  static constexpr size_t kMaxRecentInforms = 4096;

  TrapReceiver();
  ~TrapReceiver();
  TrapReceiver(const TrapReceiver&) = delete;
  TrapReceiver& operator=(const TrapReceiver&) = delete;

  // Opens `listenAddress` and starts the receiving thread. Returns 0 on
  // success, otherwise an errno value (EINVAL for an address net-snmp cannot
  // open, EALREADY when already started); `error` then holds a text.
  int Start(const std::string& listenAddress, std::string* error);
  // Ends the thread and closes the transport; the queue is kept.
  void Stop();
  // Whether SNMPv1 and SNMPv2c messages are refused from now on.
  void SetV3Only(bool on) { v3Only_.store(on); }
  // Who may speak for which element (see Admission); none: SNMPv3
  // notifications speak for the address they name, informs are all
  // acknowledged.
  void SetAdmission(Admission admission);

  // Set while traps are queued (and possibly longer: the taker resets it).
  ManualResetEvent& Event() { return event_; }
  // Takes the oldest queued trap of the next source in turn; false when no
  // trap is queued.
  bool Take(Trap* trap);

  uint64_t ReceivedCount() const { return received_.load(); }
  uint64_t DroppedCount() const { return dropped_.load(); }
  // Traps lost at the queue's limits or in the socket's full buffer.
  uint64_t OverflowCount() const { return overflow_.load(); }
  // SNMPv3 messages refused by the user-based security model (unknown
  // user or engine, wrong digest, not decryptable, outside the time
  // window); counted among the dropped too.
  uint64_t RefusedCount() const { return refused_.load(); }
  uint64_t RefusedFor(Refusal reason) const { return refusals_[static_cast<size_t>(reason)].load(); }
  uint64_t DroppedFor(Drop reason) const { return drops_[static_cast<size_t>(reason)].load(); }

  // The memory a queued trap takes, roughly: what the queue's byte limit
  // counts.
  static size_t QueuedSize(const Trap& trap);

 private:
  void Run();
  void Receive();
  // One source's traps, oldest first.
  struct SourceQueue {
    std::deque<Trap> traps;
    size_t bytes = 0;
  };
  // Whether `source` may queue one more trap now; the reason when not.
  bool HasShare(uint32_t source, Drop* reason);
  // Queues a decoded trap; false (with the reason) when it is turned away at
  // a limit.
  bool Enqueue(uint32_t source, Trap trap, Drop* reason);
  void Count(Drop reason, uint64_t count = 1);
  // Sends `answer` to `to` unless the source has had its share of answers
  // or the answer is more than twice `asked` octets.
  void Answer(const std::vector<uint8_t>& answer, size_t asked, uint32_t source, const sockaddr_storage& to,
              socklen_t length);
  void Refuse(Refusal reason);
  // The address an admitted notification speaks for, in `trap`; false when
  // the Admission takes none.
  bool Admit(const Details& details, const uint8_t source[4], Trap* trap);
  // Counts the datagrams the system dropped since the last one read.
  // Counts a datagram dropped as malformed, and logs the first few of each sender.
  static void NoteMalformed(const sockaddr_storage& from);
  void NoteSocketDrops(const msghdr& message);

  std::mutex mutex_;
  std::map<uint32_t, SourceQueue> sources_;
  // The sources with queued traps, in the order they are served.
  std::deque<uint32_t> turn_;
  size_t queued_ = 0;
  size_t queuedBytes_ = 0;
  ManualResetEvent event_;
  std::thread thread_;
  void* transport_ = nullptr;  // netsnmp_transport*
  int socket_ = -1;
  int wakeFd_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> v3Only_{false};
  RepeatedWarnings overflowWarnings_;
  RepeatedWarnings refusedWarnings_;
  RepeatedWarnings v3OnlyWarnings_;
  std::atomic<uint64_t> received_{0};
  std::atomic<uint64_t> dropped_{0};
  std::atomic<uint64_t> overflow_{0};
  std::atomic<uint64_t> refused_{0};
  std::atomic<uint64_t> drops_[kDropReasons] = {};
  std::atomic<uint64_t> refusals_[kRefusalReasons] = {};
  std::mutex admissionMutex_;
  std::shared_ptr<const Admission> admission_;
  // Owned by the receiving thread.
  SourceBudget refusalBudget_{kRefusalBurst, kRefusalsPerSecond, kMaxBudgetSources};
  SourceBudget answerBudget_{kAnswerBurst, kAnswersPerSecond, kMaxBudgetSources};
  RecentInforms recentInforms_{kMaxRecentInforms};
  // The socket's own drop counter as last seen (SO_RXQ_OVFL).
  uint32_t socketDrops_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace orla
