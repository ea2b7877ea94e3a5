#pragma once
// MaintenanceBook: the agent's maintenance windows, at most one per
// element (a new one replaces the element's earlier one), kept in an
// owner-only file of the agent directory (MaintenanceFile), rewritten
// atomically on every change and read back at start; windows that ended
// while the agent was down are dropped as it reads them. A file that
// cannot be read is logged CRITICAL, renamed aside ("<file>.damaged-<ms>")
// and the book starts empty.
//
// The rules of a window live here, for the page and the API alike: a
// reason is required (at most kReasonLimit bytes, no control characters),
// the end lies after the start and after now, at most kLimitMinutes after
// the start. Whether an element exists is the caller's question.
//
// A window that ends (its end passes, seen by Expire, or ended early by
// End) is told to the end listener, outside the book's lock, so that an
// alarm still standing for the element is notified then. The book's end
// timer (StartEndTimer) runs Expire at each window's end, so the end is
// told on time rather than at the next poll of some element.
//
// Thread-safe: the web server's threads set and end windows, the
// notification gate and the end timer ask and expire them.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "agent/core/maintenance_file.h"
#include "agent/core/maintenance_window.h"
#include "platform/sync/manual_reset_event.h"

namespace orla {

class Clock;

class MaintenanceBook {
 public:
  static constexpr size_t kReasonLimit = 1000;
  static constexpr int64_t kLimitMinutes = 60 * 24 * 31;
  // The end timer looks again at least this often (a wall clock set
  // forward or back moves the ends it waits for).
  static constexpr int64_t kTimerLongestWaitMs = 60 * 1000;

  // What a person asks for: from `startMs` (0: now) until `endMs`.
  struct Request {
    std::string by;
    std::string reason;
    int64_t startMs = 0;
    int64_t endMs = 0;
  };
  enum class Outcome {
    kDone,
    kBadReason,          // empty, longer than kReasonLimit or with a control character
    kBadEnd,             // not after the start and now, or more than kLimitMinutes after the start
    kNotInMaintenance,   // ending a window the element does not have
    kNotSaved,           // the file could not be written; nothing changed
  };
  static constexpr const char* kBadReasonText =
      "A reason is required: at most 1000 characters, without control characters.";
  static constexpr const char* kBadEndText =
      "The window must end after its start and after now, at most 44640 minutes (31 days) after its start.";
  static constexpr const char* kNotInMaintenanceText = "The element has no maintenance window.";
  static constexpr const char* kNotSavedText = "The maintenance window could not be saved; nothing was changed.";
  static const char* Text(Outcome outcome);

  using EndListener = std::function<void(const MaintenanceWindow& ended)>;

  // Reads the windows of `path`; `clock` null: the system's.
  explicit MaintenanceBook(std::string path, Clock* clock = nullptr);
  // Stops the end timer, if it runs.
  ~MaintenanceBook();
  MaintenanceBook(const MaintenanceBook&) = delete;
  MaintenanceBook& operator=(const MaintenanceBook&) = delete;

  // One element's window as a person asks for it.
  struct Placement {
    std::string element;
    Request request;
  };

  // Whether `reason` keeps the rules of a window's reason (kBadReason).
  static bool GoodReason(const std::string& reason);
  // Sets one window per name of `elements` (replacing their earlier ones),
  // all or none; *set gets them.
  Outcome Set(const std::vector<std::string>& elements, const Request& request,
              std::vector<MaintenanceWindow>* set);
  // The same with a request of its own per element (an import's notes):
  // every placement is checked before any is set, and the file is rewritten
  // once.
  Outcome SetEach(const std::vector<Placement>& placements, std::vector<MaintenanceWindow>* set);
  // Ends the element's window now (a planned one is dropped); *ended gets
  // it as it was, the end listener gets it with its end set to now.
  Outcome End(const std::string& element, MaintenanceWindow* ended);
  // Drops the windows whose end has passed and tells the end listener of
  // each (the file keeps them until its next rewrite, which drops them).
  void Expire();

  // Whether a window of `element` covers `atMs` / now.
  bool InMaintenance(const std::string& element, int64_t atMs) const;
  bool InMaintenanceNow(const std::string& element) const;
  // The windows that have not ended, by element name.
  std::vector<MaintenanceWindow> Windows() const;

  // Who is told of a window's end (null: nobody).
  void SetEndListener(EndListener listener);
  // Starts the end timer: a thread that waits on the book's clock until
  // the earliest end of its windows (at most kTimerLongestWaitMs) and runs
  // Expire then. Set and End wake it to look again. Once per book.
  void StartEndTimer();

  int64_t NowMs() const;
  const std::string& Path() const { return path_; }

  // The agent's book, written once by its start-up; null before.
  static MaintenanceBook* Instance();
  static void SetInstance(MaintenanceBook* book);

 private:
  void Load();
  void TellEnded(const std::vector<MaintenanceWindow>& ended);
  // The end timer's thread.
  void RunEndTimer();
  // How long until the earliest end still to come (at most
  // kTimerLongestWaitMs).
  int64_t MillisecondsToNextEnd() const;

  const std::string path_;
  Clock* const clock_;
  mutable std::mutex mutex_;
  MaintenanceFile::Windows windows_;
  std::mutex listenerMutex_;
  EndListener listener_;
  // The end timer: woken by a change of the windows and by the destructor.
  ManualResetEvent timerWake_;
  std::atomic<bool> timerStop_{false};
  std::thread timer_;

  static std::atomic<MaintenanceBook*> instance_;
};

}  // namespace orla
