#include "platform/rrd/rrd_file.h"

// rrd_client.h does not declare its functions extern "C" itself.
extern "C" {
#include <rrd.h>
#include <rrd_client.h>
}

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/text/string_printf.h"

namespace orla {

namespace {

// librrd keeps one daemon connection for the process (its rrdc_ calls);
// one call at a time uses it, under this lock, connected first to the
// address asked for (nothing to do when it already is). The lock lives as
// long as the process.
std::mutex& DaemonMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

void Connect(const std::string& address, const std::string& path) {
  rrd_clear_error();
  if (rrdc_connect(address.c_str()) != 0) {
    const char* text = rrd_test_error() ? rrd_get_error() : nullptr;
    const std::string message = "cannot reach the rrdcached daemon at " + address + " for " + path +
                                (text != nullptr && *text != '\0' ? std::string(": ") + text : std::string());
    rrd_clear_error();
    throw RrdFile::Error(message);
  }
}

// librrd's error text on this thread, after a call that failed.
[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  const char* text = rrd_test_error() ? rrd_get_error() : nullptr;
  std::string message = what + " " + path + ": " + (text != nullptr && *text != '\0' ? text : "failed");
  rrd_clear_error();
  throw RrdFile::Error(message);
}

std::string Bound(const std::optional<double>& value) {
  return value ? StringPrintf("%.17g", *value) : std::string("U");
}

// Frees what a fetch handed out.
struct FetchedMemory {
  unsigned long count = 0;
  char** names = nullptr;
  rrd_value_t* data = nullptr;
  ~FetchedMemory() {
    for (unsigned long i = 0; names != nullptr && i < count; ++i) rrd_freemem(names[i]);
    rrd_freemem(names);
    rrd_freemem(data);
  }
};

}  // namespace

RrdFile::RrdFile(std::string path, std::string daemon) : path_(std::move(path)), daemon_(std::move(daemon)) {}

bool RrdFile::Exists() const {
  FILE* file = std::fopen(path_.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

void RrdFile::Create(unsigned long step, int64_t start, const std::vector<Source>& sources,
                     const std::vector<Archive>& archives) {
  std::vector<std::string> words;
  for (const Source& s : sources) {
    words.push_back(StringPrintf("DS:%s:%s:%lu:", s.name.c_str(), s.type.c_str(), s.heartbeat) + Bound(s.min) + ":" +
                    Bound(s.max));
  }
  for (const Archive& a : archives) {
    words.push_back(StringPrintf("RRA:%s:%g:%lu:%lu", a.function.c_str(), a.xff, a.steps, a.rows));
  }
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  const int argc = static_cast<int>(argv.size());
  rrd_clear_error();
  int failed;
  if (daemon_.empty()) {
    failed = rrd_create_r2(path_.c_str(), step, static_cast<time_t>(start), 1, nullptr, nullptr, argc, argv.data());
  } else {
    std::lock_guard<std::mutex> hold(DaemonMutex());
    Connect(daemon_, path_);
    failed = rrdc_create_r2(path_.c_str(), step, static_cast<time_t>(start), 1, nullptr, nullptr, argc, argv.data());
  }
  if (failed != 0) Fail("cannot create", path_);
}

void RrdFile::Update(const std::vector<Row>& rows) {
  if (rows.empty()) return;
  std::vector<std::string> lines;
  lines.reserve(rows.size());
  for (const Row& row : rows) {
    std::string line = std::to_string(row.when);
    for (const double value : row.values) {
      line += ':';
      if (!std::isfinite(value)) {
        line += 'U';
        continue;
      }
      // The shortest text that reads back as the same double.
      char text[32];
      const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
      line.append(text, written.ptr);
    }
    lines.push_back(std::move(line));
  }
  std::vector<const char*> argv;
  for (const std::string& line : lines) argv.push_back(line.c_str());
  const int argc = static_cast<int>(argv.size());
  rrd_clear_error();
  int failed;
  if (daemon_.empty()) {
    failed = rrd_updatex_r(path_.c_str(), nullptr, RRD_SKIP_PAST_UPDATES, argc, argv.data());
  } else {
    std::lock_guard<std::mutex> hold(DaemonMutex());
    Connect(daemon_, path_);
    failed = rrdc_update(path_.c_str(), argc, argv.data());
  }
  if (failed != 0) Fail("cannot update", path_);
}

RrdFile::Fetched RrdFile::Fetch(const std::string& function, int64_t start, int64_t end, unsigned long resolution) {
  time_t from = static_cast<time_t>(start);
  time_t to = static_cast<time_t>(end);
  unsigned long step = resolution;
  FetchedMemory memory;
  rrd_clear_error();
  int failed;
  if (daemon_.empty()) {
    failed = rrd_fetch_r(path_.c_str(), function.c_str(), &from, &to, &step, &memory.count, &memory.names, &memory.data);
  } else {
    std::lock_guard<std::mutex> hold(DaemonMutex());
    Connect(daemon_, path_);
    failed = rrdc_fetch(path_.c_str(), function.c_str(), &from, &to, &step, &memory.count, &memory.names, &memory.data);
  }
  if (failed != 0) Fail("cannot read", path_);
  Fetched fetched;
  fetched.start = from;
  fetched.end = to;
  fetched.step = step;
  for (unsigned long i = 0; i < memory.count; ++i) fetched.names.emplace_back(memory.names[i]);
  const size_t rows = step == 0 || to <= from ? 0 : static_cast<size_t>((to - from) / static_cast<time_t>(step));
  if (memory.data != nullptr) fetched.values.assign(memory.data, memory.data + rows * memory.count);
  return fetched;
}

std::vector<std::string> RrdFile::SourceNames() {
  // The newest primary point names them all; its values do not matter.
  time_t last;
  rrd_clear_error();
  if (daemon_.empty()) {
    last = rrd_last_r(path_.c_str());
  } else {
    std::lock_guard<std::mutex> hold(DaemonMutex());
    Connect(daemon_, path_);
    last = rrdc_last(path_.c_str());
  }
  if (last < 0) Fail("cannot read", path_);
  return Fetch("AVERAGE", last - 1, last, 1).names;
}

void RrdFile::Forget() {
  if (daemon_.empty()) return;
  std::lock_guard<std::mutex> hold(DaemonMutex());
  Connect(daemon_, path_);
  // A file the daemon holds nothing of answers an error here: nothing to do.
  rrdc_flush(path_.c_str());
  rrdc_forget(path_.c_str());
  rrd_clear_error();
}

void RrdFile::Rename(const std::string& path) {
  Forget();
  if (std::rename(path_.c_str(), path.c_str()) != 0) {
    throw Error(StringPrintf("cannot rename %s to %s: errno %d", path_.c_str(), path.c_str(), errno));
  }
  path_ = path;
}

void RrdFile::Remove() {
  Forget();
  if (std::remove(path_.c_str()) != 0 && errno != ENOENT) {
    throw Error(StringPrintf("cannot delete %s: errno %d", path_.c_str(), errno));
  }
}

}  // namespace orla
