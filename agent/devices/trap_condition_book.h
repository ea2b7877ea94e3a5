#pragma once
// TrapConditionBook: the standing trap conditions of the registry's
// elements (ElementStatusCell::trapConditions), kept in the agent
// directory's trap-condition file (TrapConditionFile) so that the alarms
// they raise outlive a restart of the agent. An element's conditions are
// keyed by its name and address: they come back only to an element that
// has both (a name given to another device starts without them).
//
// The file is read once, when the book is made; a file that cannot be read
// is set aside ("<file>.damaged-<ms>") with a WARNING, and the book starts
// empty: the alarms traps raised before are not restored, nothing else is
// lost. It is rewritten whole (atomic, 0600) whenever an element's
// conditions change, it is renamed or removed, and when the load leaves
// conditions nobody takes; lapsed conditions are dropped as it is written.
//
// The registry restores each element it makes at the load (and each one a
// retry binds) from Standing, then has the rest dropped (Retain).
// Thread-safe: the trap listener's thread notes changes, the registry's
// operations the rest; nothing here waits for anything but the file.
//
// Private to the device library.
#include <mutex>
#include <string>
#include <vector>

#include "trap_condition_file.h"

namespace orla {

class Clock;

class TrapConditionBook {
 public:
  // Reads `path`; `clock` null: the system's.
  TrapConditionBook(std::string path, Clock* clock);
  TrapConditionBook(const TrapConditionBook&) = delete;
  TrapConditionBook& operator=(const TrapConditionBook&) = delete;

  // The conditions of the element `name` at `address` that have not lapsed.
  std::vector<TrapCondition> Standing(const std::string& name, const std::string& address) const;
  // Keeps the conditions of the `managed` elements only (name, address);
  // rewrites the file when that, or their lapse, dropped any.
  void Retain(const std::vector<TrapConditionFile::Key>& managed);
  // The element's standing conditions are now `standing`.
  void Changed(const std::string& name, const std::string& address, std::vector<TrapCondition> standing);
  void Renamed(const std::string& from, const std::string& to, const std::string& address);
  void Removed(const std::string& name, const std::string& address);

 private:
  // Drops lapsed conditions and rewrites the file; mutex_ held. A failed
  // rewrite is a WARNING (once until one succeeds again); memory keeps the
  // change and the next one writes it.
  void Save();

  const std::string path_;
  Clock* const clock_;
  mutable std::mutex mutex_;
  TrapConditionFile::Conditions conditions_;
  bool saveFailed_ = false;
};

}  // namespace orla
