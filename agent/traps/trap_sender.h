#pragma once
// The agent's own trap traffic and the event-log records of received traps.
//
// NotifyStatusChange: when an element's status changes or an element is
// removed, the agent sends its own SNMPv1 trap (community "sorrel",
// enterprise 1.3.6.1.4.1.4413.132.2, specific trap 2, four bindings: host
// name, element name, state code, fixed text) to every trap destination.
//
// LogReceivedTrap: for each trap from a managed element, one WARNING entry
// whose text describes the trap and whose raw data is a trap event record
// (header, time stamp, six texts about the element, the event data), then
// every element's status is refreshed.
//
// It also answers the web pages' questions about the agent's host.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "agent/core/root_object.h"
#include "agent/devices/status_change_listener.h"
#include "agent/traps/event_text_field.h"

namespace orla {

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

  // Builds the OS version text once; the sequence number starts at 0.
  TrapSender();
  ~TrapSender() override = default;
  TrapSender(const TrapSender&) = delete;
  TrapSender& operator=(const TrapSender&) = delete;

  // Sends the agent's own trap, carrying `text` (an element name) and the
  // state code of the registry's overall status (`status` is not used), to
  // every destination of the trap destination list. Nothing happens before
  // the registry's initial load has ended, and nothing is looked up when the
  // list is empty. A destination that cannot be resolved or reached is
  // logged (by its exception) and skipped. Throws OrlaException 2013 when
  // the agent's own host cannot be resolved.
  void NotifyStatusChange(const char* text, int status) override;

  // Logs one trap received from a managed element and refreshes every
  // status; takes ownership of `trap` and deletes it. Exceptions of the
  // registry's dispatch and by-address reads pass to the caller (nothing is
  // logged then); one from the final status refresh is dropped.
  void LogReceivedTrap(TrapMessage* trap);

  // The operating system's name ("Linux").
  static std::string AgentOsName();
  // "version %d.%d build %d %s" (major, minor, build number and the kernel
  // build text), or "No OS version information available".
  static std::string AgentOsVersion();
  // The first IPv4 address of the agent's host, "%d.%d.%d.%d". Throws
  // OrlaException 2013 "Unable to retrieve agent host information." when the
  // host name cannot be read or resolved.
  static std::string AgentHostAddress();

  // State code of the agent's trap for an overall status character:
  // '0' gives 2, '1' gives 3, '2' gives 4, anything else 1.
  static int32_t StateCode(char overallStatus);

  // "%.4d%.2d%.2d%.2d%.2d%.2d,%.2d%s": date, time, hundredths of a second and
  // the zone, "+hhmm" east of UTC (`biasMinutes` below 0) and "-hhmm"
  // otherwise. `biasMinutes` is UTC minus standard local time, in minutes.
  static std::string TimeStampText(const LocalTime& time, int32_t biasMinutes);
  // The same for the current local time and the zone's standard bias
  // (daylight saving time is not applied to the zone text).
  static std::string CurrentTimeStampText();

  // One trap event record. `eventData` holds `eventLength` bytes, which are
  // padded with zeros to a multiple of four; class codes are written as
  // their low 16 bits.
  static std::vector<uint8_t> ComposeRecord(uint32_t sequence, int32_t majorClass, int32_t minorClass,
                                            const EventTextField& timeStamp, const EventTextField* const texts[6],
                                            const uint8_t* eventData, size_t eventLength);

  // The next trap event record's sequence number.
  uint32_t SequenceNumber() const { return sequence_.load(); }

  // The process-wide sender, written once by the agent's start-up.
  static TrapSender* Instance();
  static void SetInstance(TrapSender* sender);

 private:
  EventTextField osVersion_;
  // Refilled for every record; used by the trap listener's thread only.
  EventTextField timeStamp_;
  std::atomic<uint32_t> sequence_{0};

  static std::atomic<TrapSender*> instance_;
};

}  // namespace orla
