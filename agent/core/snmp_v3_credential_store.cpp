#include "agent/core/snmp_v3_credential_store.h"

#include <sys/stat.h>

#include "agent/core/event_log.h"
#include "agent/core/snmp_v3_credential_file.h"
#include "platform/text/string_printf.h"

namespace orla {

SnmpV3CredentialStore& SnmpV3CredentialStore::Instance() {
  // Threads use it until the process ends: never destroyed.
  static SnmpV3CredentialStore* store = new SnmpV3CredentialStore();
  return *store;
}

SnmpV3CredentialStore::FileState SnmpV3CredentialStore::Stat() const {
  FileState state;
  struct stat st{};
  if (path_.empty() || ::stat(path_.c_str(), &st) != 0) return state;
  state.exists = true;
  state.size = st.st_size;
  state.modified = st.st_mtim;
  state.inode = st.st_ino;
  return state;
}

bool SnmpV3CredentialStore::Open(const std::string& path) {
  std::lock_guard<std::mutex> hold(mutex_);
  path_ = path;
  seen_ = Stat();
  checked_ = true;
  return Reload(seen_);
}

bool SnmpV3CredentialStore::Reload(const FileState& state) {
  SnmpV3Credentials read;
  std::string error;
  if (!SnmpV3CredentialFile::Load(path_, &read, &error)) {
    EventLog::Write(EventLog::kWarning,
                    StringPrintf("The SNMPv3 profiles could not be read: %s. The profiles read before stay in use.",
                                 error.c_str()));
    return false;
  }
  const bool wasEmpty = current_->Profiles().empty() && current_->Assignments().empty();
  current_ = std::make_shared<const SnmpV3Credentials>(std::move(read));
  if (state.exists || !wasEmpty) {
    EventLog::Write(EventLog::kInfo,
                    StringPrintf("SNMPv3 profiles read from %s: %zu profiles, %zu assignments, v3-only %s.",
                                 path_.c_str(), current_->Profiles().size(), current_->Assignments().size(),
                                 current_->V3Only() ? "on" : "off"));
  }
  return true;
}

std::shared_ptr<const SnmpV3Credentials> SnmpV3CredentialStore::Current() {
  std::lock_guard<std::mutex> hold(mutex_);
  if (checked_) {
    const FileState state = Stat();
    if (!(state == seen_)) {
      seen_ = state;
      Reload(state);
    }
  }
  return current_;
}

void SnmpV3CredentialStore::Set(const SnmpV3Credentials& credentials) {
  std::lock_guard<std::mutex> hold(mutex_);
  checked_ = false;
  path_.clear();
  current_ = std::make_shared<const SnmpV3Credentials>(credentials);
}

}  // namespace orla
