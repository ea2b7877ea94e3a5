#pragma once
// The elements' history: one round-robin file per element,
// <agent directory>/history/NAME.rrd, laid out by HistoryLayout and written
// through librrd (RrdFile). The registry hands it every poll's counters on
// the polling thread; they wait in a bounded queue (what does not fit is
// dropped and counted) for the writer thread, so a poll never waits for a
// disk. The writer keeps each element's newest polls in memory and writes
// them to the file together, `batch` at a time (one librrd call maps the
// file and reads its header once for all of them, which is most of what an
// update costs); a read, a rename, a removal, Flush and Stop write them
// first, so only a crash loses them. A renamed element's file is renamed with it; a removed element's
// file is deleted once the grace period has passed, unless an element of
// that name polls again before.
//
// A file keeps the data sources of the element's first counters; a later
// counter the file has no source for (a port added to the device) is not
// kept.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "agent/devices/sample_listener.h"
#include "agent/history/history_reading.h"
#include "platform/rrd/rrd_file.h"

namespace orla {

class Clock;

class ElementHistory final : public SampleListener {
 public:
  struct Options {
    std::string directory;         // where the files live (created when missing)
    std::string daemon;            // rrdcached address; empty: write the files directly
    unsigned long step = 300;      // the polling interval, seconds
    int64_t graceSeconds = 86400;  // how long a removed element's file stays
    size_t queueLimit = 4096;      // updates waiting at most
    size_t batch = 24;             // polls of an element written together
    Clock* clock = nullptr;        // for the grace period; the system's when null
  };

  explicit ElementHistory(Options options);
  // Stops the writer; what is still queued is written first.
  ~ElementHistory() override;
  ElementHistory(const ElementHistory&) = delete;
  ElementHistory& operator=(const ElementHistory&) = delete;

  // The process's history, set once by the start-up; null when it is off.
  static ElementHistory* Instance();
  static void SetInstance(ElementHistory* history);

  void Start();
  void Stop();

  void SamplesTaken(const std::string& name, const std::shared_ptr<const DeviceSamples>& samples) override;
  void ElementRenamed(const std::string& from, const std::string& to) override;
  void ElementRemoved(const std::string& name) override;

  // Waits until the writer has done everything queued before the call,
  // written every element's polls to its file, and deleted the files whose
  // grace period has passed.
  void Flush();
  // Updates dropped because the queue was full.
  uint64_t Dropped() const;

  // The element's history over the range named `range`
  // (HistoryLayout::RangeNamed) ending now; no points when the element has
  // no file yet; none for another range. The element's polls waiting in
  // memory are written first. Throws RrdFile::Error when the file
  // cannot be read.
  std::optional<HistoryReading> Read(const std::string& name, const std::string& range);

  // The file of the element named `name`: characters other than letters,
  // digits, '-', '_' and '.' are written as %XX, so any name is one file.
  std::string FileOf(const std::string& name) const;

 private:
  struct Job {
    enum class Kind { kSamples, kRename, kRemove, kFlush, kWriteOut } kind;
    std::string name;
    std::string to;
    std::shared_ptr<const DeviceSamples> samples;
  };
  // What the writer knows of one element's file: the column of each fact
  // it keeps (part, index, kind), and the polls not written yet. A plug-in
  // reports its samples in the same order at every poll: the column of the
  // sample at each position the last time (`kNone`: not kept) is looked up
  // again only where the fact there differs.
  using Fact = std::tuple<int32_t, int32_t, int32_t>;
  static constexpr size_t kNone = static_cast<size_t>(-1);
  struct Open {
    size_t columns = 0;
    std::map<Fact, size_t> column;
    std::vector<std::pair<Fact, size_t>> atPosition;
    std::vector<RrdFile::Row> pending;
  };

  void Push(Job job, bool always);
  // Queues `job` and waits until the writer has done it (does it on the
  // caller's thread when there is no writer).
  void Await(Job job);
  void Run();
  void Handle(const Job& job);
  void Write(const std::string& name, const DeviceSamples& samples);
  // Writes the polls waiting for the element `name`'s file; all of them.
  void WriteOut(const std::string& name);
  void WriteOutAll();
  void DeleteExpired();
  void Warn(const std::string& name, const std::string& text);

  const Options options_;
  Clock* clock_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<Job> queue_;
  uint64_t queued_ = 0;   // jobs pushed so far
  uint64_t handled_ = 0;  // jobs the writer finished
  uint64_t dropped_ = 0;
  bool stopping_ = false;
  std::thread writer_;

  // The writer's own state.
  std::map<std::string, Open> open_;
  std::map<std::string, int64_t> removed_;  // name -> when its file may go (wall ms)
  std::set<std::string> warned_;
};

}  // namespace orla
