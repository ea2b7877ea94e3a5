#pragma once
// The agent's own trap traffic and the event-log records of received traps.
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
// LogTrap / LogReceivedTrap: for each trap from a managed element, one
// WARNING entry whose text describes the trap and whose raw data is a trap
// event record (header, time stamp, six texts about the element, the event
// data). The element's texts, class codes and plug-in come from the
// registry's snapshot, so logging never waits for the registry lock or a
// device. LogReceivedTrap then refreshes every status itself; the trap
// listener uses LogTrap and leaves the refresh to its refresh thread, which
// spaces the passes (StatusRefresher).
//
// It also answers the web pages' questions about the agent's host.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "agent/core/root_object.h"
#include "agent/devices/status_change_listener.h"
#include "agent/traps/event_text_field.h"
#include "platform/snmpmgr/snmp_notifier.h"
#include "platform/sync/worker_thread.h"

namespace orla {

class ElementRegistry;
class NotificationSender;
class TrapDestinationList;
class TrapMessage;

class TrapSender : public RootObject, public StatusChangeListener {
 public:
  // The local time a time stamp text is made of.
  struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
  };

  // Text type codes of the trap event record.
  static constexpr uint16_t kTypeTimeStamp = 65;
  static constexpr uint16_t kTypeOsVersion = 129;
  static constexpr uint16_t kTypeWorldWideName = 225;
  static constexpr uint16_t kTypeElementName = 289;
  static constexpr uint16_t kTypeWorldWideNameAgain = 1025;
  static constexpr uint16_t kTypeDescription = 1057;
  static constexpr uint16_t kTypeFirmwareVersion = 1089;

  // The size of the event data buffer handed to a plug-in, and of its
  // message buffer.
  static constexpr size_t kEventDataSize = 600;
  static constexpr size_t kMessageSize = 1000;

  // Builds the OS version text once; the sequence number starts at 0. The
  // agent's own traps go to `destinations` (the client.ini hosts) and
  // `notifications` (the SNMPv2c/SNMPv3 targets); either may be null, and
  // both must outlive the sender. The registry comes later (UseRegistry):
  // it is made after the sender, which hears its status changes.
  explicit TrapSender(TrapDestinationList* destinations = nullptr, NotificationSender* notifications = nullptr);
  // Sends the traps still queued, then ends the sending thread.
  ~TrapSender() override = default;
  TrapSender(const TrapSender&) = delete;
  TrapSender& operator=(const TrapSender&) = delete;

  // The registry whose elements the received traps are logged for; null
  // (the start) logs nothing.
  void UseRegistry(ElementRegistry* registry) { registry_.store(registry, std::memory_order_release); }

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

  // Logs one trap received from a managed element, with the time it
  // arrived in its record; takes ownership of `trap` and deletes it. True
  // when an entry was written. The plug-in's exception (3006 when it lacks
  // "HandleTrap") passes to the caller, with nothing logged.
  bool LogTrap(TrapMessage* trap, std::chrono::system_clock::time_point arrival);
  // LogTrap with the current time, then, when an entry was written, one
  // status pass (its exception is dropped).
  void LogReceivedTrap(TrapMessage* trap);

  // The operating system's name ("Linux").
  static std::string AgentOsName();
  // "version %d.%d build %d %s" (major, minor, build number and the kernel
  // build text), or "No OS version information available".
  static std::string AgentOsVersion();

  // State code of the agent's trap for an overall status character:
  // '0' gives 2, '1' gives 3, '2' gives 4, anything else 1.
  static int32_t StateCode(char overallStatus);

  // "%.4d%.2d%.2d%.2d%.2d%.2d,%.2d%s": date, time, hundredths of a second and
  // the zone, "+hhmm" east of UTC (`biasMinutes` below 0) and "-hhmm"
  // otherwise. `biasMinutes` is UTC minus local time, in minutes.
  static std::string TimeStampText(const LocalTime& time, int32_t biasMinutes);
  // The same for a moment (or the current time) in local time and the offset
  // in force at that moment (daylight saving time included), so a console
  // that converts the text back gets the true moment all year.
  static std::string TimeStampTextAt(std::chrono::system_clock::time_point moment);
  static std::string CurrentTimeStampText();

  // One trap event record. `eventData` holds `eventLength` bytes, which are
  // padded with zeros to a multiple of four; class codes are written as
  // their low 16 bits.
  static std::vector<uint8_t> ComposeRecord(uint32_t sequence, int32_t majorClass, int32_t minorClass,
                                            const EventTextField& timeStamp, const EventTextField* const texts[6],
                                            const uint8_t* eventData, size_t eventLength);

  // The next trap event record's sequence number.
  uint32_t SequenceNumber() const { return sequence_.load(); }

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
  std::atomic<ElementRegistry*> registry_{nullptr};
  EventTextField osVersion_;
  // Refilled for every record; used by the trap listener's thread only.
  EventTextField timeStamp_;
  std::atomic<uint32_t> sequence_{0};
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
