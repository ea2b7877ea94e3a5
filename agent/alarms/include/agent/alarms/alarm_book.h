#pragma once
// AlarmBook: the agent's current alarms and their lifecycle. The alarms
// themselves are derived, each time they are asked for, from the elements
// as a snapshot shows them (AlarmConditions); what a person did about them
// is the only state kept: the acknowledgements, in an owner-only file of
// the agent directory (AlarmFile), rewritten atomically on every change
// and read back at start. A file that cannot be read is logged CRITICAL,
// renamed aside ("<file>.damaged-<ms>", kept for a person to look at) and
// the book starts without acknowledgements.
//
// Lifecycle, applied on every look:
//   raised        the condition holds and nobody has taken it;
//   acknowledged  somebody took it (user, time, note, optional expiry);
//                 it is raised again when it gets worse (a higher
//                 severity than when it was taken) or its expiry passes;
//   cleared       the condition went: its acknowledgement is dropped, and
//                 the alarm is reported as cleared for kClearedKeptMs
//                 (at most kClearedKept of them, kept in memory only).
// A condition that comes back is a new alarm under the same id, raised.
// While a maintenance window covers its element (MaintenanceBook), an
// active alarm is reported in the state "maintenance" instead (its
// acknowledgement, if any, kept and shown).
//
// Thread-safe: pages and the API call it from the web server's threads.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "agent/alarms/alarm.h"
#include "agent/alarms/alarm_file.h"
#include "agent/devices/element_snapshot.h"

namespace orla {

class Clock;
class MaintenanceBook;

class AlarmBook {
 public:
  static constexpr int64_t kClearedKeptMs = 60 * 60 * 1000;
  static constexpr size_t kClearedKept = 100;
  static constexpr size_t kNoteLimit = 1000;           // characters (bytes) of a note
  static constexpr int64_t kExpiryLimitMinutes = 60 * 24 * 31;

  // What a person asks for when taking an alarm.
  struct Taking {
    std::string user;
    std::string note;
    int64_t expiresMinutes = 0;  // 0: until the condition clears or worsens
  };
  enum class Outcome {
    kDone,
    kNoSuchAlarm,      // no alarm has the id (cleared ones included)
    kNotActive,        // the alarm has cleared
    kNotAcknowledged,  // un-acknowledging an alarm nobody took
    kBadNote,          // longer than kNoteLimit, or holds a control character
    kBadExpiry,        // outside 1 to kExpiryLimitMinutes
    kNotSaved,         // the file could not be written; nothing changed
  };
  static constexpr const char* kNoSuchAlarmText = "There is no alarm with that id.";
  static constexpr const char* kNotActiveText = "The alarm has cleared.";
  static constexpr const char* kNotAcknowledgedText = "The alarm is not acknowledged.";
  static constexpr const char* kBadNoteText =
      "The note must be at most 1000 characters, without control characters.";
  static constexpr const char* kBadExpiryText = "The expiry must be a whole number of minutes from 1 to 44640.";
  static constexpr const char* kNotSavedText = "The acknowledgement could not be saved; nothing was changed.";
  // The text for an outcome other than kDone.
  static const char* Text(Outcome outcome);

  // Reads the acknowledgements of `path`; `clock` null: the system's;
  // `maintenance` null: no element is ever in maintenance.
  explicit AlarmBook(std::string path, Clock* clock = nullptr, const MaintenanceBook* maintenance = nullptr);

  // The alarms of `elements`: the active ones worst first (critical before
  // warning, then the oldest, then by id), then the recently cleared ones,
  // the latest first.
  std::vector<Alarm> Current(const std::vector<ElementView>& elements);
  // The alarm with `id` (a recently cleared one too); none when unknown.
  std::optional<Alarm> Find(const std::vector<ElementView>& elements, const std::string& id);
  // Takes the active alarm `id` for `taking.user` (replacing an earlier
  // acknowledgement); *after gets the alarm as it now stands.
  Outcome Acknowledge(const std::vector<ElementView>& elements, const std::string& id, const Taking& taking,
                      Alarm* after);
  // Gives the acknowledged alarm `id` back: raised again.
  Outcome Unacknowledge(const std::vector<ElementView>& elements, const std::string& id, Alarm* after);

  const std::string& Path() const { return path_; }

 private:
  // The active alarms with the lifecycle applied (and its changes saved);
  // mutex_ held.
  std::vector<Alarm> Apply(const std::vector<ElementView>& elements);
  std::vector<Alarm> WithCleared(std::vector<Alarm> active) const;
  void Load();

  const std::string path_;
  Clock* const clock_;
  const MaintenanceBook* const maintenance_;
  std::mutex mutex_;
  AlarmFile::Acknowledgements acknowledgements_;
  // The active alarms at the last look (for their clearing and the time
  // the book first saw them), and the ones cleared since, latest first.
  std::map<std::string, Alarm> active_;
  std::vector<Alarm> cleared_;
};

}  // namespace orla
