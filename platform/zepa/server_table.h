#pragma once
// The process's running web servers by their 32-bit handles, and the count
// of ZEPABlockUnload holds. Handles are never reused, so a handle kept after
// its server was shut down finds nothing.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace orla {

class ZepaServer;

class ServerTable {
 public:
  // The one table of the process (made on first use, never destroyed).
  static ServerTable& Instance();

  uint32_t Add(std::shared_ptr<ZepaServer> server);
  std::shared_ptr<ZepaServer> Find(uint32_t handle) const;
  void Remove(uint32_t handle);
  size_t Count() const;

  void Hold();
  void Release();
  int Holds() const;

 private:
  ServerTable() = default;

  mutable std::mutex mutex_;
  std::map<uint32_t, std::shared_ptr<ZepaServer>> servers_;
  uint32_t next_ = 1;
  int holds_ = 0;
};

}  // namespace orla
