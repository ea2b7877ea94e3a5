#pragma once
// The agent's own trap traffic. (The records of received traps are
// ReceivedTrapLog's.)
//
// NotifyStatusChange: when an element's status changes or an element is
// removed, the agent sends its own SNMPv1 trap (community "sorrel",
// enterprise 1.3.6.1.4.1.4413.132.2, specific trap 2, four bindings: host
// name, element name, state code, fixed text) to every trap destination.
// The state code is the overall status the change carries; the host
// look-up and the sends run on the sender's own thread, in the order the
// changes were reported, so that whoever reports (a poll, a status pass
// holding the registry lock, a removal) never waits for a resolver or the
// network, and the sender never calls back into the registry.
//
// It also answers the web pages' questions about the agent's host (and
// gives the received-trap records their OS text).
#include <atomic>
#include <cstdint>
#include <string>

#include "agent/core/root_object.h"
#include "agent/devices/status_change_listener.h"
#include "platform/snmpmgr/snmp_notifier.h"
#include "platform/sync/worker_thread.h"

namespace orla {

class NotificationSender;
class TrapDestinationList;

class TrapSender : public RootObject, public StatusChangeListener {
 public:
  // The agent's own traps go to `destinations` (the client.ini hosts) and
  // `notifications` (the SNMPv2c/SNMPv3 targets); either may be null, and
  // both must outlive the sender. The registry, made after the sender, tells
  // it of status changes (StatusChangeListener).
  explicit TrapSender(TrapDestinationList* destinations = nullptr, NotificationSender* notifications = nullptr);
  // Sends the traps still queued, then ends the sending thread.
  ~TrapSender() override = default;
  TrapSender(const TrapSender&) = delete;
  TrapSender& operator=(const TrapSender&) = delete;

  // Queues the agent's own trap, carrying the element's name and the state
  // code of the overall status the change left, for every destination of
  // the trap destination list. Nothing happens for the changes found before
  // the registry's initial load has ended. The sending thread then
  // copies the list (nothing is looked up when it is empty), resolves the
  // agent's own host (2013, logged, when it cannot) and sends; a destination
  // that cannot be resolved or reached is logged (by its exception) and
  // skipped.
  void NotifyStatusChange(const StatusChange& change) override;
  // Waits until every trap queued so far has been sent.
  void WaitForStatusTraps() { sendQueue_.WaitIdle(); }

  // The operating system's name ("Linux").
  static std::string AgentOsName();
  // "version %d.%d build %d %s" (major, minor, build number and the kernel
  // build text), or "No OS version information available".
  static std::string AgentOsVersion();

  // State code of the agent's trap for an overall status character:
  // '0' gives 2, '1' gives 3, '2' gives 4, anything else 1.
  static int32_t StateCode(char overallStatus);

  // The status-change notification in SNMPv2 form (RFC 3584 mapping of the
  // SNMPv1 trap): snmpTrapOID 1.3.6.1.4.1.4413.132.2.0.2, the trap's four
  // variables, snmpTrapEnterprise 1.3.6.1.4.1.4413.132.2.
  static SnmpNotification StatusNotification(const std::string& hostName, const std::string& text, int32_t state);

  // The process-wide sender, written once by the agent's start-up (for the
  // pages; the agent's own parts are handed the sender they use).
  static TrapSender* Instance();
  static void SetInstance(TrapSender* sender);

 private:
  TrapDestinationList* const destinations_;
  NotificationSender* const notifications_;
  // The agent's own traps, sent one after another off the callers' threads.
  WorkerThread sendQueue_;
  // Whether the trap hosts are skipped (v3-only).
  static inline std::atomic<bool> skippingTrapHosts_{false};

  // The sending job: copy of the list, host look-up, one datagram each;
  // and the same facts to the SNMPv2c/SNMPv3 notification targets.
  void SendStatusTrap(const std::string& text, int32_t state);

  static std::atomic<TrapSender*> instance_;
};

}  // namespace orla
