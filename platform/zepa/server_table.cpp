#include "server_table.h"


namespace orla {

ServerTable& ServerTable::Instance() {
  static ServerTable* table = new ServerTable;
  return *table;
}

uint32_t ServerTable::Add(std::shared_ptr<ZepaServer> server) {
  std::lock_guard<std::mutex> lock(mutex_);
  uint32_t handle = next_++;
  if (handle == 0) handle = next_++;  // 0 means "no server"
  servers_[handle] = std::move(server);
  return handle;
}

std::shared_ptr<ZepaServer> ServerTable::Find(uint32_t handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = servers_.find(handle);
  return it == servers_.end() ? nullptr : it->second;
}

void ServerTable::Remove(uint32_t handle) {
  std::shared_ptr<ZepaServer> last;  // destroyed outside the lock
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = servers_.find(handle);
  if (it == servers_.end()) return;
  last = std::move(it->second);
  servers_.erase(it);
}

size_t ServerTable::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return servers_.size();
}

void ServerTable::Hold() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++holds_;
}

void ServerTable::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (holds_ > 0) --holds_;
}

int ServerTable::Holds() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return holds_;
}

void ServerTable::SetEndpoint(const std::string& address, int port) {
  std::lock_guard<std::mutex> lock(mutex_);
  next_start_.address = address;
  next_start_.port = port;
}

void ServerTable::SetLimits(unsigned maxConnections, unsigned maxConnectionsPerAddress) {
  std::lock_guard<std::mutex> lock(mutex_);
  next_start_.maxConnections = maxConnections;
  next_start_.maxConnectionsPerAddress = maxConnectionsPerAddress;
}

void ServerTable::SetLargeBodyPath(const std::string& path, size_t maxBytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  next_start_.largeBodyPath = path;
  next_start_.largeBodyBytes = maxBytes;
}

ServerTable::NextStart ServerTable::Next() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return next_start_;
}

}  // namespace orla
