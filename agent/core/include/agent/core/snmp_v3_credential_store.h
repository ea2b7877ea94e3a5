#pragma once
// The running agent's copy of its SNMPv3 credentials, read again whenever
// the credentials file changes (its size, time or inode), so what korsnmpv3
// writes takes effect without a restart. A file that cannot be read or
// parsed keeps the credentials in use and logs one WARNING for that state
// of the file (the text names the line and the field, never a value).
//
// One per process (Instance); Open names the file (the composition root
// does at start-up; before that, and without a file, there are no
// credentials and every device is polled with its community). Current() is
// safe from any thread: it stats the file and hands out an immutable
// snapshot that stays valid while the caller holds it.
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "agent/core/snmp_v3_credentials.h"

namespace orla {

class SnmpV3CredentialStore {
 public:
  static SnmpV3CredentialStore& Instance();

  // Names the file and reads it at once (true when that read succeeded).
  bool Open(const std::string& path);
  const std::string& Path() const { return path_; }

  // The credentials as of the file's latest readable state.
  std::shared_ptr<const SnmpV3Credentials> Current();

  // Tests and tools: replaces the credentials in memory, no file.
  void Set(const SnmpV3Credentials& credentials);

 private:
  struct FileState {
    bool exists = false;
    off_t size = 0;
    timespec modified{};
    ino_t inode = 0;
    bool operator==(const FileState& o) const {
      return exists == o.exists && size == o.size && modified.tv_sec == o.modified.tv_sec &&
             modified.tv_nsec == o.modified.tv_nsec && inode == o.inode;
    }
  };
  FileState Stat() const;
  // Reads the file for `state`; under mutex_.
  bool Reload(const FileState& state);

  std::mutex mutex_;
  std::string path_;
  FileState seen_;
  bool checked_ = false;
  std::shared_ptr<const SnmpV3Credentials> current_ = std::make_shared<SnmpV3Credentials>();
};

}  // namespace orla
