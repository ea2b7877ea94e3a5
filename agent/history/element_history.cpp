#include "agent/history/element_history.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <utility>

#include "agent/core/event_log.h"
#include "agent/devices/device_counter_kind.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/history/history_layout.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

std::atomic<ElementHistory*> instance{nullptr};

const char* PartName(int32_t part) {
  return part == plugin::kPartPort ? "port" : part == plugin::kPartDrive ? "drive" : "device";
}

}  // namespace

ElementHistory* ElementHistory::Instance() { return instance.load(); }

void ElementHistory::SetInstance(ElementHistory* history) { instance.store(history); }

ElementHistory::ElementHistory(Options options) : options_(std::move(options)), clock_(Clock::Or(options_.clock)) {
  if (::mkdir(options_.directory.c_str(), 0750) != 0 && errno != EEXIST) {
    Warn(std::string(), StringPrintf("Cannot create the history folder %s.", options_.directory.c_str()));
  }
}

ElementHistory::~ElementHistory() { Stop(); }

void ElementHistory::Start() {
  std::lock_guard<std::mutex> hold(mutex_);
  if (writer_.joinable()) return;
  stopping_ = false;
  writer_ = std::thread([this] { Run(); });
}

void ElementHistory::Stop() {
  {
    std::unique_lock<std::mutex> hold(mutex_);
    if (!writer_.joinable()) {
      // No writer: nothing else touches the files.
      hold.unlock();
      WriteOutAll();
      return;
    }
    stopping_ = true;
  }
  wake_.notify_all();
  writer_.join();
}

std::string ElementHistory::FileOf(const std::string& name) const {
  std::string file;
  for (const unsigned char c : name) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      file += static_cast<char>(c);
    } else {
      file += StringPrintf("%%%02X", c);
    }
  }
  return options_.directory + "/" + file + ".rrd";
}

void ElementHistory::Push(Job job, bool always) {
  bool wasEmpty;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    // Counters may be dropped when the writer is behind; renames, removals
    // and flushes never are (they are rare and bounded by the elements).
    if (!always && queue_.size() >= options_.queueLimit) {
      ++dropped_;
      return;
    }
    wasEmpty = queue_.empty();
    queue_.push_back(std::move(job));
    ++queued_;
  }
  // The writer waits only for an empty queue to fill: a wake-up for every
  // job would cost a system call each while it is busy.
  if (wasEmpty) wake_.notify_one();
}

void ElementHistory::SamplesTaken(const std::string& name, const std::shared_ptr<const DeviceSamples>& samples) {
  if (samples != nullptr) Push({Job::Kind::kSamples, name, std::string(), samples}, false);
}

void ElementHistory::ElementRenamed(const std::string& from, const std::string& to) {
  Push({Job::Kind::kRename, from, to, nullptr}, true);
}

void ElementHistory::ElementRemoved(const std::string& name) { Push({Job::Kind::kRemove, name, std::string(), nullptr}, true); }

void ElementHistory::Flush() { Await({Job::Kind::kFlush, std::string(), std::string(), nullptr}); }

void ElementHistory::Await(Job job) {
  std::unique_lock<std::mutex> hold(mutex_);
  queue_.push_back(std::move(job));
  const uint64_t target = ++queued_;
  wake_.notify_one();
  if (!writer_.joinable()) {
    // No writer: the caller does the work (tests and a stopped history).
    while (!queue_.empty()) {
      Job job = std::move(queue_.front());
      queue_.pop_front();
      hold.unlock();
      Handle(job);
      hold.lock();
      ++handled_;
    }
    return;
  }
  done_.wait(hold, [&] { return handled_ >= target; });
}

uint64_t ElementHistory::Dropped() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return dropped_;
}

void ElementHistory::Run() {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    // Wakes for work, or once a minute to delete files whose grace period
    // has passed.
    wake_.wait_for(hold, std::chrono::minutes(1), [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) {
      if (stopping_) {
        hold.unlock();
        WriteOutAll();
        return;
      }
      hold.unlock();
      DeleteExpired();
      hold.lock();
      continue;
    }
    Job job = std::move(queue_.front());
    queue_.pop_front();
    hold.unlock();
    Handle(job);
    hold.lock();
    ++handled_;
    done_.notify_all();
  }
}

void ElementHistory::Handle(const Job& job) {
  switch (job.kind) {
    case Job::Kind::kSamples:
      // The name polls again: its file stays.
      removed_.erase(job.name);
      Write(job.name, *job.samples);
      break;
    case Job::Kind::kRename: {
      WriteOut(job.name);
      WriteOut(job.to);
      open_.erase(job.name);
      open_.erase(job.to);
      // A file left by a removed element of the new name gives way.
      if (removed_.erase(job.to) > 0) {
        try {
          RrdFile(FileOf(job.to), options_.daemon).Remove();
        } catch (const RrdFile::Error& e) {
          Warn(job.to, e.what());
        }
      }
      RrdFile file(FileOf(job.name), options_.daemon);
      if (!file.Exists()) break;
      try {
        file.Rename(FileOf(job.to));
      } catch (const RrdFile::Error& e) {
        Warn(job.name, e.what());
      }
      break;
    }
    case Job::Kind::kRemove:
      // Its last polls stay with the file for the grace period.
      WriteOut(job.name);
      open_.erase(job.name);
      removed_[job.name] = clock_->WallMilliseconds() + options_.graceSeconds * 1000;
      break;
    case Job::Kind::kFlush:
      WriteOutAll();
      DeleteExpired();
      break;
    case Job::Kind::kWriteOut:
      WriteOut(job.name);
      break;
  }
}

void ElementHistory::Write(const std::string& name, const DeviceSamples& samples) {
  const int64_t when = samples.takenMs / 1000;
  const auto key = [](int32_t part, int32_t index, int32_t kind) { return std::make_tuple(part, index, kind); };
  auto found = open_.find(name);
  if (found == open_.end()) {
    RrdFile file(FileOf(name), options_.daemon);
    Open open;
    try {
      if (file.Exists()) {
        // A name this agent did not write keeps its column, never filled.
        for (const std::string& source : file.SourceNames()) {
          const std::optional<HistoryLayout::Source> s = HistoryLayout::FromName(source);
          if (s) open.column.emplace(key(s->part, s->index, s->kind), open.columns);
          ++open.columns;
        }
      } else {
        const std::vector<HistoryLayout::Source> sources = HistoryLayout::For(samples);
        if (sources.empty()) return;
        std::vector<RrdFile::Source> defined;
        for (const HistoryLayout::Source& s : sources) {
          // Two polling intervals without a value: unknown.
          defined.push_back({s.name, "GAUGE", 2 * options_.step, 0.0, std::nullopt});
          open.column.emplace(key(s.part, s.index, s.kind), open.columns++);
        }
        std::vector<RrdFile::Archive> archives;
        for (const HistoryLayout::Archive& a : HistoryLayout::Archives(options_.step)) {
          archives.push_back({"AVERAGE", 0.5, a.steps, a.rows});
        }
        file.Create(options_.step, when - 1, defined, archives);
      }
    } catch (const RrdFile::Error& e) {
      Warn(name, e.what());
      return;
    }
    found = open_.emplace(name, std::move(open)).first;
  }
  Open& open = found->second;
  RrdFile::Row row{when, std::vector<double>(open.columns, std::nan(""))};
  open.atPosition.resize(samples.samples.size(), {Fact(-1, -1, -1), kNone});
  for (size_t i = 0; i < samples.samples.size(); ++i) {
    const DeviceSamples::Sample& sample = samples.samples[i];
    const Fact fact = key(sample.part, sample.index, sample.kind);
    auto& [seen, column] = open.atPosition[i];
    if (seen != fact) {
      const auto kept = open.column.find(fact);
      seen = fact;
      column = kept != open.column.end() ? kept->second : kNone;
    }
    if (column == kNone) continue;
    const std::optional<double> value =
        HistoryLayout::Value({sample.part, sample.index, sample.kind, std::string()}, sample);
    if (value) row.values[column] = *value;
  }
  open.pending.push_back(std::move(row));
  if (open.pending.size() >= std::max<size_t>(1, options_.batch)) WriteOut(name);
}

void ElementHistory::WriteOut(const std::string& name) {
  const auto found = open_.find(name);
  if (found == open_.end() || found->second.pending.empty()) return;
  try {
    RrdFile(FileOf(name), options_.daemon).Update(found->second.pending);
    found->second.pending.clear();
    warned_.erase(name);
  } catch (const RrdFile::Error& e) {
    // Opened again (and its polls from then on kept) at the next poll.
    open_.erase(found);
    Warn(name, e.what());
  }
}

void ElementHistory::WriteOutAll() {
  // A file that fails is forgotten by WriteOut: the names first.
  std::vector<std::string> names;
  for (const auto& entry : open_) {
    if (!entry.second.pending.empty()) names.push_back(entry.first);
  }
  for (const std::string& name : names) WriteOut(name);
}

void ElementHistory::DeleteExpired() {
  const int64_t now = clock_->WallMilliseconds();
  for (auto it = removed_.begin(); it != removed_.end();) {
    if (it->second > now) {
      ++it;
      continue;
    }
    try {
      RrdFile(FileOf(it->first), options_.daemon).Remove();
    } catch (const RrdFile::Error& e) {
      Warn(it->first, e.what());
    }
    it = removed_.erase(it);
  }
}

void ElementHistory::Warn(const std::string& name, const std::string& text) {
  // Once per element until its history is written again.
  if (!name.empty() && !warned_.insert(name).second) return;
  EventLog::Write(EventLog::kWarning, "History: " + text);
}

std::optional<HistoryReading> ElementHistory::Read(const std::string& name, const std::string& range) {
  const std::optional<HistoryLayout::Range> span = HistoryLayout::RangeNamed(range);
  if (!span) return std::nullopt;
  Await({Job::Kind::kWriteOut, name, std::string(), nullptr});
  RrdFile file(FileOf(name), options_.daemon);
  const unsigned long resolution = span->resolution != 0 ? span->resolution : options_.step;
  HistoryReading reading;
  reading.stepMs = static_cast<int64_t>(resolution) * 1000;
  if (!file.Exists()) return reading;
  const int64_t now = clock_->WallMilliseconds() / 1000;
  const RrdFile::Fetched fetched = file.Fetch("AVERAGE", now - span->seconds, now, resolution);
  reading.stepMs = static_cast<int64_t>(fetched.step) * 1000;
  // librrd answers whole steps up to the one that holds `now`: a point that
  // ends later has not happened yet.
  size_t rows = 0;
  while (rows < fetched.Rows() && fetched.start + static_cast<int64_t>((rows + 1) * fetched.step) <= now) {
    reading.timesMs.push_back((fetched.start + static_cast<int64_t>((rows + 1) * fetched.step)) * 1000);
    ++rows;
  }
  for (size_t column = 0; column < fetched.names.size(); ++column) {
    const std::optional<HistoryLayout::Source> source = HistoryLayout::FromName(fetched.names[column]);
    if (!source) continue;
    const DeviceCounterKind::Info* info = DeviceCounterKind::Find(source->kind);
    const HistoryLayout::Shown shown = HistoryLayout::ShownAs(*source);
    HistoryReading::Series series;
    series.part = PartName(source->part);
    series.index = source->index;
    series.kind = info != nullptr ? info->name : fetched.names[column];
    series.unit = shown.unit;
    for (size_t row = 0; row < rows; ++row) {
      const double value = fetched.At(row, column);
      series.points.push_back(std::isnan(value) ? std::nullopt : std::optional<double>(value * shown.scale));
    }
    reading.series.push_back(std::move(series));
  }
  return reading;
}

}  // namespace orla
