#pragma once
// One round-robin file, written and read through librrd: created with its
// data sources and archives, updated one time stamp at a time, fetched over
// a range at a resolution. The file's size is fixed when it is created.
//
// Thread-safe use of librrd: only its re-entrant calls (the "_r" ones, and
// the client calls on one connection per daemon address, guarded by a
// lock); librrd's error text of the calling thread becomes an RrdFile::Error.
// With a daemon address (an rrdcached socket, "unix:/run/rrdcached.sock" or
// "host:port") the updates go to the daemon, which batches them, and a
// fetch, rename or removal first has the daemon write out what it holds.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace orla {

class RrdFile {
 public:
  class Error : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  // One data source: its name (1 to 19 of [A-Za-z0-9_]), its type ("GAUGE",
  // "COUNTER", "DERIVE", "ABSOLUTE"), the longest time between two updates
  // before its value is unknown, and its bounds (none: unbounded).
  struct Source {
    std::string name;
    std::string type = "GAUGE";
    unsigned long heartbeat = 600;
    std::optional<double> min;
    std::optional<double> max;
  };
  // One archive: `rows` consolidated points of `steps` primary steps each.
  struct Archive {
    std::string function = "AVERAGE";
    double xff = 0.5;
    unsigned long steps = 1;
    unsigned long rows = 1;
  };
  // What a fetch answers: `rows` points from `start` (exclusive, librrd's
  // convention: the first point covers start..start+step) every `step`
  // seconds, each with one value per name; NaN for an unknown value.
  struct Fetched {
    int64_t start = 0;
    int64_t end = 0;
    unsigned long step = 0;
    std::vector<std::string> names;
    std::vector<double> values;  // row after row
    size_t Rows() const { return names.empty() ? 0 : values.size() / names.size(); }
    double At(size_t row, size_t column) const { return values[row * names.size() + column]; }
  };

  // The file at `path`; updates and reads go through the daemon at `daemon`
  // when it is not empty.
  explicit RrdFile(std::string path, std::string daemon = std::string());

  const std::string& Path() const { return path_; }
  bool Exists() const;

  // Creates the file with primary steps of `step` seconds, its first update
  // allowed after `start` (seconds since 1970). Never overwrites.
  void Create(unsigned long step, int64_t start, const std::vector<Source>& sources,
              const std::vector<Archive>& archives);
  // One update: its time (seconds since 1970) and one value per data source
  // in the file's order; NaN (or another value that is not finite) is
  // unknown.
  struct Row {
    int64_t when = 0;
    std::vector<double> values;
  };
  // Writes `rows` (oldest first) in one call: librrd maps the file and
  // reads its header once for all of them, which is most of an update's
  // cost. A row at or before the last one written is skipped.
  void Update(const std::vector<Row>& rows);
  // The points of the archive of function `function` that best covers
  // `start`..`end` at `resolution` seconds.
  Fetched Fetch(const std::string& function, int64_t start, int64_t end, unsigned long resolution);
  // The data source names, in the file's order.
  std::vector<std::string> SourceNames();
  // Renames the file to `path` (the daemon first writes out and forgets what
  // it holds of it).
  void Rename(const std::string& path);
  // Deletes the file; nothing when there is none.
  void Remove();

 private:
  // Writes out and drops what a daemon holds of the file.
  void Forget();

  std::string path_;
  std::string daemon_;
};

}  // namespace orla
