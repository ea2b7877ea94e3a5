#pragma once
// The event-log records of received traps.
//
// LogTrap / LogReceivedTrap: for each trap from a managed element, one
// WARNING entry whose text describes the trap and whose raw data is a trap
// event record (header, time stamp, six texts about the element, the event
// data). The element's texts, class codes and plug-in come from the
// registry's snapshot, so logging never waits for the registry lock or a
// device. LogReceivedTrap then refreshes every status itself; the trap
// listener uses LogTrap and leaves the refresh to its refresh thread, which
// spaces the passes (StatusRefresher).
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "agent/core/root_object.h"
#include "agent/traps/event_text_field.h"

namespace orla {

class ElementRegistry;
class TrapMessage;

class ReceivedTrapLog : public RootObject {
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
  // traps are logged for `registry`'s elements; it outlives the log, and
  // null logs nothing.
  explicit ReceivedTrapLog(ElementRegistry* registry);
  ReceivedTrapLog(const ReceivedTrapLog&) = delete;
  ReceivedTrapLog& operator=(const ReceivedTrapLog&) = delete;

  // Logs one trap received from a managed element, with the time it
  // arrived in its record; takes ownership of `trap` and deletes it. True
  // when an entry was written. The plug-in's exception (3006 when it lacks
  // "HandleTrap") passes to the caller, with nothing logged.
  bool LogTrap(TrapMessage* trap, std::chrono::system_clock::time_point arrival);
  // LogTrap with the current time, then, when an entry was written, one
  // status pass (its exception is dropped).
  void LogReceivedTrap(TrapMessage* trap);

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

 private:
  ElementRegistry* const registry_;
  EventTextField osVersion_;
  // Refilled for every record; used by the trap listener's thread only.
  EventTextField timeStamp_;
  std::atomic<uint32_t> sequence_{0};
};

}  // namespace orla
