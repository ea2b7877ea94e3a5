#pragma once
// The hosts that receive the agent's own SNMP traps, kept in "client.ini" in
// the agent directory. The file is read once at start-up; afterwards the list
// in memory is the master and every change rewrites the file whole.
//
// One process-wide lock guards every operation, the file rewrite included.
// Users that walk the destinations (the trap sender, the configuration page)
// work on a Copy, so no lock is held during network traffic.
#include <atomic>
#include <string>

#include "agent/core/object_list.h"
#include "agent/core/root_object.h"

namespace orla {

class TrapDestinationList : public RootObject {
 public:
  // `agentDirectory` is the folder that holds "client.ini".
  explicit TrapDestinationList(const std::string& agentDirectory);
  ~TrapDestinationList() override = default;
  TrapDestinationList(const TrapDestinationList&) = delete;
  TrapDestinationList& operator=(const TrapDestinationList&) = delete;

  // Reads "client.ini": a line starting with "#" or "!" is a comment, an
  // empty line is skipped, every other line (up to its first carriage return
  // or line feed, spaces kept) is one destination. A missing or unreadable
  // file leaves the list empty and logs nothing.
  void Load();
  // Appends `text` and rewrites the file.
  void Add(const char* text);
  // Removes the first entry equal to `text` (exact, case-sensitive) and
  // rewrites the file, also when nothing was removed.
  void Remove(const char* text);
  // A new list of TrapDestination copies in list order; the caller owns it.
  ObjectList* Copy();

  // Path of "client.ini".
  const std::string& FilePath() const { return path_; }

  // The process-wide list, written once by the agent's start-up.
  static TrapDestinationList* Instance();
  static void SetInstance(TrapDestinationList* list);

 private:
  // Writes every entry as "%s\n"; called with the lock held. A file that
  // cannot be written is logged as CRITICAL and the change stays in memory.
  void Rewrite();

  std::string path_;
  ObjectList entries_;

  static std::atomic<TrapDestinationList*> instance_;
};

}  // namespace orla
