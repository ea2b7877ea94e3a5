#pragma once
// Support for the fuzz targets whose parser reads a file: a folder of this
// process's own (under TMPDIR, /tmp by default) where each input is written
// before the parser runs, and the event log kept off the host's log.
#include <cstddef>
#include <cstdint>
#include <string>

namespace orla::fuzz {

class FuzzFolder {
 public:
  // Creates the folder once per process; keeps entries off journald and
  // syslog.
  static const FuzzFolder& Get();

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes `data` as the whole content of `name`; the path written.
  std::string Write(const std::string& name, const uint8_t* data, size_t size) const;

 private:
  FuzzFolder();
  std::string path_;
};

}  // namespace orla::fuzz
