#pragma once
// RepeatedWarnings: one kind of warning that a party on the network can make
// the process write at will (refused credentials, failed log-ins, traps from
// one address, malformed datagrams), counted per source instead of written
// once per occurrence. In each minute a source (an address) has its first
// `freeLines` occurrences written as they come; the rest are only counted,
// and when the source's minute ends one summary line is written:
//
//   "WARNING: 23999 further requests with refused credentials from 10.0.0.7
//    in the last minute (counted, not logged one by one)."
//
// So a flood costs at most freeLines + 1 lines a minute for each source, and
// at most kMaxSources sources are told apart in a minute: the occurrences of
// any further source are counted together under kOtherSources.
//
// A kind that reports counts rather than lines (traps dropped at the trap
// queue's limits: "N traps were dropped because ...") gives a Summary of its
// own and notes its occurrences with Report: the first line of a quiet
// minute (with the count that came with it) is written at once, the rest of
// that minute in one line when it ends, both in the kind's own words.
//
// The summaries are written through a sink: the one given to the
// constructor, otherwise the process's (SetProcessSink; before any, a
// WARNING entry through EventLogWriter). An instance on the system clock (no
// clock given) has its minutes closed by one background thread shared by
// all instances, about once a second; one on a clock of its own (a test's
// manual clock) only when Flush is called or on its next occurrence.
//
// Every instance counts, by kind, the occurrences it saw and the ones it
// summarised, for the metrics (Counts); the counts of an instance that was
// destroyed stay in the totals. Thread-safe.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sync/clock.h"

namespace orla {

class RepeatedWarnings {
 public:
  static constexpr std::chrono::milliseconds kWindow{60000};
  static constexpr size_t kMaxSources = 1000;
  static constexpr const char* kOtherSources = "other sources";

  // Writes one warning text (without the "WARNING: " prefix).
  using Sink = std::function<void(const std::string& text)>;
  // The words for `count` occurrences from `source` (replaces the standard
  // summary line).
  using Summary = std::function<std::string(uint64_t count, const std::string& source)>;

  // `kind` names the warnings in the metrics ("refused_credentials");
  // `what` in the summary, plural ("requests with refused credentials").
  RepeatedWarnings(std::string kind, std::string what, size_t freeLines = 1, Sink sink = nullptr,
                   Clock* clock = nullptr, Summary summary = nullptr);
  ~RepeatedWarnings();
  RepeatedWarnings(const RepeatedWarnings&) = delete;
  RepeatedWarnings& operator=(const RepeatedWarnings&) = delete;

  // One occurrence from `source`: true when the caller is to write its own
  // line for it now, false when it was counted for the summary.
  // `count` occurrences at once take one line when written.
  bool Note(const std::string& source, uint64_t count = 1);
  // Note, and when the occurrence is to be written, `text` goes to the sink.
  void Warn(const std::string& source, const std::string& text);
  // Note `count` occurrences; when they are to be written, the Summary's
  // words for them go to the sink.
  void Report(const std::string& source, uint64_t count = 1);
  // Writes the summaries of the minutes that have ended.
  void Flush();

  // The sink of every instance constructed without one (the agent hands
  // its event log, so the summaries reach its list of recent events too).
  static void SetProcessSink(Sink sink);
  // Writes `text` through the process's sink.
  static void WriteWarning(const std::string& text);

  struct Count {
    std::string kind;
    uint64_t seen = 0;        // every occurrence
    uint64_t summarised = 0;  // those not written one by one
  };
  // Totals by kind, ordered by kind, of every instance the process has had.
  static std::vector<Count> Counts();

 private:
  struct Window {
    Clock::SteadyTime start;
    uint64_t lines = 0;    // written one by one
    uint64_t pending = 0;  // counted for the summary
  };
  // The summaries of the windows ended by `now`; the mutex is held.
  std::vector<std::string> EndWindows(Clock::SteadyTime now);
  void Write(const std::vector<std::string>& texts);

  const std::string kind_;
  const std::string what_;
  const size_t freeLines_;
  const Sink sink_;
  Clock* const clock_;
  const Summary summary_;
  std::mutex mutex_;
  std::map<std::string, Window> windows_;
  Clock::SteadyTime nextEnd_;  // the earliest end among windows_ (when not empty)
  uint64_t seen_ = 0;
  uint64_t summarised_ = 0;

  friend class RepeatedWarningsTable;
};

}  // namespace orla
