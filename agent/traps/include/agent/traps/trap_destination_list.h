#pragma once
// The hosts that receive the agent's own SNMP traps, kept in "client.ini" in
// the agent directory. The file is read once at start-up; afterwards the list
// in memory is the master and every change rewrites the file whole.
//
// One process-wide lock guards every operation, the file rewrite included.
// Users that walk the destinations (the trap sender, the configuration page)
// work on a Copy, so no lock is held during network traffic.
//
// A rewrite keeps the operator's comment lines and empty lines where they
// were: each entry read from the file keeps its place among them, a removed
// entry's line goes, and added entries follow the last line of the file.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
  // Appends `text` and rewrites the file only when the list has not changed
  // since the Copy that answered `revision`; false (nothing done) otherwise.
  // A caller that checked that copy (for a duplicate, say) thus checks and
  // adds in one locked step without holding the lock while it checks.
  bool AddIfUnchanged(const char* text, uint64_t revision);
  // Removes the first entry equal to `text` (exact, case-sensitive) and
  // rewrites the file, also when nothing was removed.
  void Remove(const char* text);
  // Replaces every entry by `texts` (in that order) with one rewrite of the
  // file, only when the list has not changed since the Copy or Texts that
  // answered `revision`. 0 when done; -1 when the list changed (nothing
  // done); otherwise the error of the file's rewrite, and the list is left
  // as it was. Comment and empty lines stay where they were; the places of
  // the entries that go are dropped, the entries fill the places left in
  // the order given, and those beyond follow the file's last line.
  int ReplaceIfUnchanged(const std::vector<std::string>& texts, uint64_t revision);
  // The entries' texts in list order; `revision` as for Copy.
  std::vector<std::string> Texts(uint64_t* revision = nullptr);
  // A new list of TrapDestination copies in list order; the caller owns it.
  // `revision` (when given) receives the list's revision of that moment.
  ObjectList* Copy(uint64_t* revision = nullptr);

  // Path of "client.ini".
  const std::string& FilePath() const { return path_; }

  // The process-wide list, written once by the agent's start-up.
  static TrapDestinationList* Instance();
  static void SetInstance(TrapDestinationList* list);

 private:
  // Writes every entry as "%s\n", between the comment and empty lines read
  // at load; called with the lock held. A file that cannot be written is
  // logged as CRITICAL and the change stays in memory.
  void Rewrite();
  // The file's text for the entries `texts` placed into `layout`; lock held.
  static std::string Contents(const std::vector<std::optional<std::string>>& layout,
                              const std::vector<std::string>& texts);
  std::vector<std::string> TextsLocked() const;
  // Appends an entry for `text`; called with the lock held.
  void Append(const char* text);
  // Drops the place in the file of the entry at `index`; lock held.
  void ForgetPlace(int32_t index);

  std::string path_;
  ObjectList entries_;
  // The lines of the file as read: a comment or empty line as it was
  // (without its line feed), or no value where an entry stood. Entries
  // beyond the places held here were added later.
  std::vector<std::optional<std::string>> layout_;
  // Counts the changes; every Add and Remove makes a new revision.
  uint64_t revision_ = 0;

  static std::atomic<TrapDestinationList*> instance_;
};

}  // namespace orla
