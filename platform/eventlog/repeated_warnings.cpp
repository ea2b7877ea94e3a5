#include "platform/eventlog/repeated_warnings.h"

#include <algorithm>
#include <thread>

#include "platform/eventlog/event_log_writer.h"
#include "platform/text/string_printf.h"

namespace orla {

// The process's instances: the background thread that closes the minutes of
// those on the system clock, and the counts of those already destroyed.
// Lives as long as the process (the thread never ends).
class RepeatedWarningsTable {
 public:
  static RepeatedWarningsTable& Instance() {
    static auto* table = new RepeatedWarningsTable();
    return *table;
  }

  void Add(RepeatedWarnings* warnings, bool flushed) {
    std::lock_guard<std::mutex> hold(mutex_);
    live_.push_back({warnings, flushed});
    if (flushed && !started_) {
      started_ = true;
      std::thread([this] { Run(); }).detach();
    }
  }

  void Remove(RepeatedWarnings* warnings) {
    std::lock_guard<std::mutex> hold(mutex_);
    live_.erase(std::remove_if(live_.begin(), live_.end(), [&](const Entry& e) { return e.warnings == warnings; }),
                live_.end());
    std::lock_guard<std::mutex> counts(warnings->mutex_);
    RepeatedWarnings::Count& total = retired_[warnings->kind_];
    total.seen += warnings->seen_;
    total.summarised += warnings->summarised_;
  }

  std::vector<RepeatedWarnings::Count> Counts() {
    std::lock_guard<std::mutex> hold(mutex_);
    std::map<std::string, RepeatedWarnings::Count> totals = retired_;
    for (const Entry& e : live_) {
      std::lock_guard<std::mutex> counts(e.warnings->mutex_);
      RepeatedWarnings::Count& total = totals[e.warnings->kind_];
      total.seen += e.warnings->seen_;
      total.summarised += e.warnings->summarised_;
    }
    std::vector<RepeatedWarnings::Count> out;
    for (auto& [kind, count] : totals) {
      count.kind = kind;
      out.push_back(count);
    }
    return out;
  }

  void SetSink(RepeatedWarnings::Sink sink) {
    std::lock_guard<std::mutex> hold(sinkMutex_);
    sink_ = std::move(sink);
  }

  RepeatedWarnings::Sink Sink() {
    std::lock_guard<std::mutex> hold(sinkMutex_);
    return sink_;
  }

 private:
  struct Entry {
    RepeatedWarnings* warnings;
    bool flushed;
  };

  void Run() {
    for (;;) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      // Under the table's lock, so no instance is destroyed while flushed.
      std::lock_guard<std::mutex> hold(mutex_);
      for (const Entry& e : live_) {
        if (e.flushed) e.warnings->Flush();
      }
    }
  }

  std::mutex mutex_;
  std::vector<Entry> live_;
  std::map<std::string, RepeatedWarnings::Count> retired_;
  bool started_ = false;
  std::mutex sinkMutex_;
  RepeatedWarnings::Sink sink_;
};

RepeatedWarnings::RepeatedWarnings(std::string kind, std::string what, size_t freeLines, Sink sink, Clock* clock,
                                   Summary summary)
    : kind_(std::move(kind)), what_(std::move(what)), freeLines_(freeLines), sink_(std::move(sink)),
      clock_(Clock::Or(clock)), summary_(std::move(summary)) {
  RepeatedWarningsTable::Instance().Add(this, clock == nullptr);
}

RepeatedWarnings::~RepeatedWarnings() { RepeatedWarningsTable::Instance().Remove(this); }

bool RepeatedWarnings::Note(const std::string& source, uint64_t count) {
  const Clock::SteadyTime now = clock_->SteadyNow();
  std::vector<std::string> ended;
  bool write;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!windows_.empty() && now >= nextEnd_) ended = EndWindows(now);
    seen_ += count;
    auto it = windows_.find(source);
    if (it == windows_.end()) {
      const std::string& key = windows_.size() < kMaxSources ? source : std::string(kOtherSources);
      auto [at, made] = windows_.try_emplace(key);
      it = at;
      if (made) {
        if (windows_.size() == 1 || now + kWindow < nextEnd_) nextEnd_ = now + kWindow;
        it->second.start = now;
      }
    }
    write = it->second.lines < freeLines_;
    if (write) {
      ++it->second.lines;
    } else {
      it->second.pending += count;
      summarised_ += count;
    }
  }
  Write(ended);
  return write;
}

void RepeatedWarnings::Warn(const std::string& source, const std::string& text) {
  if (Note(source)) Write({text});
}

void RepeatedWarnings::Report(const std::string& source, uint64_t count) {
  if (Note(source, count)) Write({summary_ ? summary_(count, source) : what_});
}

void RepeatedWarnings::Flush() {
  const Clock::SteadyTime now = clock_->SteadyNow();
  std::vector<std::string> ended;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!windows_.empty() && now >= nextEnd_) ended = EndWindows(now);
  }
  Write(ended);
}

std::vector<std::string> RepeatedWarnings::EndWindows(Clock::SteadyTime now) {
  std::vector<std::string> texts;
  bool first = true;
  for (auto it = windows_.begin(); it != windows_.end();) {
    const Clock::SteadyTime end = it->second.start + kWindow;
    if (end > now) {
      if (first || end < nextEnd_) nextEnd_ = end;
      first = false;
      ++it;
      continue;
    }
    if (it->second.pending > 0) {
      texts.push_back(summary_ ? summary_(it->second.pending, it->first)
                               : StringPrintf("%llu further %s from %s in the last minute (counted, not logged one by one).",
                                              static_cast<unsigned long long>(it->second.pending), what_.c_str(),
                                              it->first.c_str()));
    }
    it = windows_.erase(it);
  }
  return texts;
}

void RepeatedWarnings::Write(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) {
    if (sink_) {
      sink_(text);
    } else {
      WriteWarning(text);
    }
  }
}

void RepeatedWarnings::SetProcessSink(Sink sink) { RepeatedWarningsTable::Instance().SetSink(std::move(sink)); }

void RepeatedWarnings::WriteWarning(const std::string& text) {
  if (Sink sink = RepeatedWarningsTable::Instance().Sink()) {
    sink(text);
    return;
  }
  // Before the program names a sink: a plain WARNING entry of the agent.
  EventLogWriter::Report("KORAgent", 2, 1, 0x80000005u, "WARNING: " + text, nullptr, 0);
}

std::vector<RepeatedWarnings::Count> RepeatedWarnings::Counts() { return RepeatedWarningsTable::Instance().Counts(); }

}  // namespace orla
