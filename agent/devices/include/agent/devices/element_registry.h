#pragma once
// The registry of managed tape controllers (elements): the elements in
// insertion order and the lock that guards them, the element file
// "KORAgent.db" kept in step with them, the polling interval and its file
// "storage.ini", status updates, trap dispatch to the plug-ins, and the list
// string the web pages show. Its private parts do the rest: ElementFile
// reads and writes the two files; ElementBinder makes the elements (the
// device's type recognised, the element bound to its plug-in, or kept
// unbound with a thread that retries), touching no list, and the registry
// puts what it made in the list.
//
// The registry is the one writer of the elements: every operation that
// changes them runs under its recursive lock, also the slow ones that talk
// to devices, and publishes a new ElementSnapshot (add, remove, rename,
// bind); every poll publishes the element's status cell. Readers read the
// snapshot (Snapshot(), and ListElements, IsManaged and OverallStatus,
// which answer from it) and never wait for the lock, which a status pass
// holds while its slowest device answers or times out. Status changes go
// one way, to the listener, with the overall status they leave.
// Lock order: the registry lock before an element's update gate. Polling
// threads are never joined while the lock is held.
//
// Failures are thrown as OrlaException pointers (see agent/core).
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "agent/core/lock.h"
#include "agent/core/object_list.h"
#include "agent/core/root_object.h"
#include "agent/devices/element_snapshot.h"
#include "platform/sync/manual_reset_event.h"

namespace orla {

class Element;
class ElementBinder;
class ElementFile;
class ElementPublisher;
class ElementSnapshot;
class ElementState;
class RetiredPollers;
class Clock;
class SampleListener;
class StatusChangeListener;
class TrapConditionBook;
class TrapMessage;

class ElementRegistry : public RootObject {
 public:
  // Longest line read from the element file; the rest of a longer line is
  // ignored.
  static constexpr size_t kElementLineLimit = 511;

  // An empty registry, not yet loaded, for the element file at
  // `elementFilePath` and with the polling interval (seconds) used for
  // every element loaded from it. The polling-interval file "storage.ini"
  // is kept beside the element file: both live in the agent directory,
  // where the start-up reads them.
  ElementRegistry(std::string elementFilePath, int32_t pollingInterval);
  // Saves the element file (a failure is logged and dropped), destroys every
  // element, and waits for their polling threads to end.
  ~ElementRegistry() override;
  ElementRegistry(const ElementRegistry&) = delete;
  ElementRegistry& operator=(const ElementRegistry&) = delete;

  // The process's registry, written once by the start-up.
  static ElementRegistry* Instance();
  static void SetInstance(ElementRegistry* registry);

  // Who is told about status changes and removals (the trap sender); none
  // until set.
  void SetStatusChangeListener(StatusChangeListener* listener);
  // Who keeps the counters each poll reads (the history): told of every
  // poll's counters, of renames and of removals; none until set.
  void SetSampleListener(SampleListener* listener);

  // Keeps the conditions received traps raise (ElementStatusCell::
  // trapConditions) in `path`, the agent directory's trap-condition file,
  // rewritten atomically on every change, rename and removal; reads it now
  // (a damaged file is set aside with a WARNING). The load gives each
  // element it makes the conditions kept for its name and address that
  // have not lapsed, so the alarms they raise outlive a restart, and drops
  // the rest from the file. Set it after SetClock, before
  // LoadElements; without it the conditions live in memory only.
  void SetTrapConditionFile(const std::string& path);

  // Reads the element file and adds every element in it, runs one status
  // pass, then counts as loaded. An element whose device does not answer,
  // or that no type claims (or whose type cannot be used), is kept unbound:
  // listed with status -1 and a model text that says why ("Not responding",
  // "Not recognised"), saved like any other, and retried by its own thread
  // once per polling interval (and at once after a trap from its address)
  // until it binds; a WARNING names it. Lines that repeat an earlier name
  // or address are dropped. A
  // missing file loads nothing. A file that cannot be opened or read to its
  // end is a CRITICAL event, and from then on the registry never rewrites
  // it: adds, removals, renames and saves fail with 3002 before changing
  // anything, and the destructor leaves the file alone.
  void LoadElements();
  // Rewrites the element file from memory, atomically. 3002 on failure.
  void SaveElements();

  // Recognises and binds a new element. Errors: 2 name taken (checked
  // first), 7 address taken, the errors of recognition and binding (2006
  // from binding becomes 2011), 3002 saving; 4 and 6 when the device lacks
  // the community or does not send its traps here: the element is then kept
  // and saved.
  void AddElement(const std::string& name, const std::string& address, int32_t pollingInterval);
  // The same with the registry's polling interval, read under the lock that
  // SetPollingInterval takes: a change of interval at the same moment is
  // either seen or applied to the new element too.
  void AddElement(const std::string& name, const std::string& address);
  // Adds every line (name, address), whole or not at all, without waiting
  // for any device: 2 or 7 (nothing added) when a name or an address is in
  // use or given twice among the lines, 3002 when the file cannot be saved
  // (nothing kept). The elements join unbound ("Being recognised") and
  // their own threads recognise and bind them at once, side by side; a
  // device that does not answer stays listed and is retried like any
  // unbound element. An import, and an add of a device that is down, come
  // this way.
  void AddElements(const std::vector<std::pair<std::string, std::string>>& lines);
  // 3 when no element has the name. Saves the file and reports the removal.
  void RemoveElement(const std::string& name);
  // 2 when the new name is taken (also by the element itself), 3 when the
  // current name is unknown. Saves the file.
  void RenameElement(const std::string& currentName, const std::string& newName);
  // The list string of the current snapshot (ElementSnapshot::ListString).
  // With `refresh`, a status pass runs first; without, no lock is waited
  // for.
  std::string ListElements(bool refresh);

  // One status pass over every element; a caller that finds a pass running
  // waits for its end instead of starting another, and one that waited for
  // the lock while a pass began and ended takes that pass's results: callers
  // at the same moment (views of the list and the root page) share one
  // pass. The pass holds the lock
  // for its whole length and asks the elements' plug-ins at once (at most
  // ParallelRunner::kDefaultWidth at a time), so it lasts about as long as
  // its slowest device; the changes it found are then reported in list
  // order, on the calling thread.
  void UpdateAllStatus();
  // Polls the element with this address alone, as its polling thread would
  // (nothing when no element has it); without the lock. Its exception
  // (OrlaException*) passes to the caller.
  void PollAt(const std::string& address);
  // Status passes begun so far.
  uint64_t PassesStarted() const { return passesStarted_.load(); }
  // The current snapshot's overall status (ElementSnapshot::OverallStatus);
  // no lock waited for.
  char OverallStatus() const;
  // Has the named element's plug-in set the device up to send its traps
  // here. 3 when no element has the name; 2011 or 8 when the element is
  // unbound (its device silent, or not recognised).
  void ConfigureTrapReceiver(const std::string& name);

  // Whether an element has exactly this address. Answers from the current
  // snapshot, without waiting for the lock.
  bool IsManaged(const std::string& address) const;
  // A trap came from this address: an unbound element there retries its
  // recognition now rather than at the end of its interval. Lock-free.
  void TrapArrivedFrom(const std::string& address);
  // The elements as of now; read without the lock.
  std::shared_ptr<const ElementSnapshot> Snapshot() const;
  // The communities of the element with this address, from the current
  // snapshot (the device web agent's pass-through uses them); none when no
  // element has it.
  std::optional<std::string> GetCommunityAt(const std::string& address) const;
  std::optional<std::string> SetCommunityAt(const std::string& address) const;

  // Read without the lock.
  int32_t ElementCount() const { return elementCount_.load(); }
  int32_t PollingInterval() const { return pollingInterval_.load(); }
  bool IsLoaded() const;

  // Sets the interval of the registry and of every element and rewrites
  // "storage.ini" beside the element file, atomically (3002 on failure; the
  // new interval stays in effect). The range is the caller's to check.
  void SetPollingInterval(int32_t seconds);

  // The clock of the registry and of every element made from the next add
  // on (polling threads, status times, the timing of polls and passes); the
  // system's by default (tests hand in one they advance). Set it before the
  // first add.
  void SetClock(Clock* clock);

 private:
  // The polling interval argument that stands for the registry's own.
  static constexpr int32_t kRegistryInterval = -1;

  // Adds the element file's lines (name, address), made by the binder at
  // once, in file order; under the lock.
  void LoadLines(const std::vector<std::pair<std::string, std::string>>& lines);
  // The retry an unbound element's thread runs: has the binder recognise and
  // bind the device without the lock, then puts the bound element in the
  // unbound one's place (with the name and interval it has by then) and
  // polls it.
  void BindLater(const std::shared_ptr<ElementState>& state);
  // Appends a made element to the list and (with `publish`) publishes a
  // new snapshot; on failure the element is discarded and the list is as
  // before.
  void Append(std::unique_ptr<Element>& element, bool publish);

  Element* At(int32_t index) const;
  int32_t IndexByName(const std::string& name) const;
  int32_t IndexByState(const ElementState* state) const;
  // The body of UpdateAllStatus, under the lock and the closed gate.
  void RunStatusPass();
  // Makes the snapshot anew from the list; under the lock.
  void PublishSnapshot();

  // The element file and the polling-interval file.
  std::unique_ptr<ElementFile> file_;
  // The trap conditions kept across restarts (null: not kept). Made before
  // the publisher that hands it changes, so it outlives it.
  std::unique_ptr<TrapConditionBook> trapConditions_;
  std::unique_ptr<ElementPublisher> publisher_;
  std::unique_ptr<RetiredPollers> retired_;
  // Makes the elements: recognised and bound, or kept unbound.
  std::unique_ptr<ElementBinder> binder_;
  ObjectList elements_;
  std::atomic<int32_t> elementCount_{0};
  std::atomic<int32_t> pollingInterval_;
  Lock lock_;
  ManualResetEvent updateAllGate_{true};
  std::atomic<std::thread::id> updateAllOwner_{};
  std::atomic<uint64_t> passesStarted_{0};
  Clock* clock_ = nullptr;

  static std::atomic<ElementRegistry*> instance_;
};

}  // namespace orla
