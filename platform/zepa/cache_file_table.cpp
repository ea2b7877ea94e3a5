#include "cache_file_table.h"

namespace orla {

void CacheFileTable::Register(const std::string& path, const Info& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  files_[path] = info;
}

void CacheFileTable::Unregister(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  files_.erase(path);
}

bool CacheFileTable::Lookup(const std::string& path, Info* info) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = files_.find(path);
  if (it == files_.end()) return false;
  *info = it->second;
  return true;
}

}  // namespace orla
