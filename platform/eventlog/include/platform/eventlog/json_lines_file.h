#pragma once
// A bounded file of lines (one JSON object each) that several processes
// append to: the live file and its older files together hold at most
// MaxBytes. When the next line would take the live file past its share
// (maxBytes / files) the files move one age older ("x.jsonl" becomes
// "x.jsonl.1", ".1" becomes ".2", the oldest is dropped) and a new live file
// starts. Each line is written whole by one write call under an exclusive
// lock of the live file (flock), so writers in several processes neither mix
// lines nor rotate twice; a line cut short by a killed process is ended
// before the next one is written, and a crash during a rotation leaves every
// file whole. The event-log file (EventLogWriter) and the audit trail's
// change file are such files.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orla {

class JsonLinesFile {
 public:
  struct Options {
    uint64_t maxBytes = 16 * 1024 * 1024;
    int files = 4;
    // Permission bits of a new file; bits for others are dropped from an
    // existing one.
    mode_t mode = 0640;
    // Refuse a symbolic link (or anything but a regular file) in the live
    // file's place: for files in a folder someone else may write to.
    bool regularOnly = false;
  };

  // The step that failed.
  enum class Step { kNone, kOpen, kWrite };

  // Appends `line` (without its line break). Returns 0, or an error number
  // (errno, or RegularFile's own when `regularOnly` refuses the file) with
  // the step that failed in *failed.
  static int Append(const std::string& path, const std::string& line, const Options& options, Step* failed);
  // "path", "path.1", ... newest first, `files` of them.
  static std::vector<std::string> Paths(const std::string& path, int files);
};

}  // namespace orla
