#include "trap_condition_book.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <utility>

#include "agent/core/event_log.h"
#include "agent/core/state_file.h"
#include "platform/sync/clock.h"
#include "platform/text/regular_file.h"

namespace orla {

TrapConditionBook::TrapConditionBook(std::string path, Clock* clock)
    : path_(std::move(path)), clock_(Clock::Or(clock)) {
  std::string error;
  if (TrapConditionFile::Read(path_, &conditions_, &error) == 0) return;
  conditions_.clear();
  StateFile::SetAside(path_, clock_->WallMilliseconds(), "The conditions received traps raised", error,
                      "the alarms they raised before the restart are not restored", EventLog::kWarning);
}

std::vector<TrapCondition> TrapConditionBook::Standing(const std::string& name, const std::string& address) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto found = conditions_.find({name, address});
  if (found == conditions_.end()) return {};
  const int64_t now = clock_->WallMilliseconds();
  std::vector<TrapCondition> standing;
  std::copy_if(found->second.begin(), found->second.end(), std::back_inserter(standing),
               [now](const TrapCondition& c) { return c.untilMs > now; });
  return standing;
}

void TrapConditionBook::Retain(const std::vector<TrapConditionFile::Key>& managed) {
  const std::set<TrapConditionFile::Key> kept(managed.begin(), managed.end());
  std::lock_guard<std::mutex> hold(mutex_);
  const int64_t now = clock_->WallMilliseconds();
  bool dropped = false;
  for (auto it = conditions_.begin(); it != conditions_.end();) {
    const bool managedHere = kept.count(it->first) != 0;
    dropped = dropped || !managedHere ||
              std::any_of(it->second.begin(), it->second.end(), [now](const TrapCondition& c) { return c.untilMs <= now; });
    it = managedHere ? std::next(it) : conditions_.erase(it);
  }
  // Save drops the lapsed ones.
  if (dropped) Save();
}

void TrapConditionBook::Changed(const std::string& name, const std::string& address,
                                std::vector<TrapCondition> standing) {
  std::lock_guard<std::mutex> hold(mutex_);
  conditions_[{name, address}] = std::move(standing);
  Save();
}

void TrapConditionBook::Renamed(const std::string& from, const std::string& to, const std::string& address) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto found = conditions_.find({from, address});
  if (found == conditions_.end()) return;
  std::vector<TrapCondition> standing = std::move(found->second);
  conditions_.erase(found);
  // A trap noted under the new name already is the newer word.
  conditions_.try_emplace({to, address}, std::move(standing));
  Save();
}

void TrapConditionBook::Removed(const std::string& name, const std::string& address) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (conditions_.erase({name, address}) != 0) Save();
}

void TrapConditionBook::Save() {
  const int64_t now = clock_->WallMilliseconds();
  for (auto it = conditions_.begin(); it != conditions_.end();) {
    std::erase_if(it->second, [now](const TrapCondition& c) { return c.untilMs <= now; });
    it = it->second.empty() ? conditions_.erase(it) : std::next(it);
  }
  const int rc = TrapConditionFile::Write(path_, conditions_);
  if (rc != 0 && !saveFailed_) {
    EventLog::Write(EventLog::kWarning,
                    "The conditions received traps raised could not be saved (" + RegularFile::Describe(path_, rc) +
                        "); the alarms they raise stand until the agent stops but would not outlive a restart.");
  }
  saveFailed_ = rc != 0;
}

}  // namespace orla
