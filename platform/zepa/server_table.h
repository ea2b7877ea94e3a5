#pragma once
// The process's running web servers by their 32-bit handles, the count of
// ZEPABlockUnload holds, and the settings the next server started takes
// (ZEPASetServerEndpoint, ZEPASetServerLimits). Handles are never reused, so
// a handle kept after its server was shut down finds nothing.
#include <cstdint>
#include <string>
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

  // What a program chose for the next server; unset parts keep the
  // library's defaults.
  struct NextStart {
    std::string address;  // empty: every IPv4 interface
    int port = 0;         // 0: 2381
    unsigned maxConnections = 0;
    unsigned maxConnectionsPerAddress = 0;
    std::string largeBodyPath;  // empty: none
    size_t largeBodyBytes = 0;
  };
  void SetEndpoint(const std::string& address, int port);
  void SetLimits(unsigned maxConnections, unsigned maxConnectionsPerAddress);
  void SetLargeBodyPath(const std::string& path, size_t maxBytes);
  NextStart Next() const;

  void Hold();
  void Release();
  int Holds() const;

 private:
  ServerTable() = default;

  mutable std::mutex mutex_;
  std::map<uint32_t, std::shared_ptr<ZepaServer>> servers_;
  uint32_t next_ = 1;
  int holds_ = 0;
  NextStart next_start_;
};

}  // namespace orla
