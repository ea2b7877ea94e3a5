#pragma once
// What the agent has learned about the SNMPv3 engines of its devices, per
// device address: the engine ID (discovered by the first v3 session, then
// handed to every later one, so discovery happens once), the engine boots
// and time as of the latest authenticated answer, and the latest security
// failure ("Authentication failed", ...), cleared by the next answer.
//
// One per process, filled by SnmpSession, read by the status pages and by
// the trap listener (which needs a device's engine ID to accept its v3
// traps). Safe from any thread.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace orla {

class SnmpV3EngineTable {
 public:
  struct Entry {
    std::string engineId;  // raw octets
    uint32_t boots = 0;
    uint32_t time = 0;     // engine time when last seen
    bool timeKnown = false;
    std::string user;      // the SNMPv3 user the device was last asked as
    std::string failure;   // the latest security failure; empty after an answer

    // The engine ID in lower-case hex, "" when not known.
    std::string EngineIdHex() const;
  };

  static SnmpV3EngineTable& Instance();

  // The engine ID known for `address`, raw; "" when none.
  std::string EngineId(const std::string& address) const;
  // A v3 exchange with `address` as `user` ended: what it learned.
  void Learned(const std::string& address, const std::string& user, const std::string& engineId, uint32_t boots,
               uint32_t time, bool timeKnown);
  // A v3 exchange with `address` failed for a security reason.
  void Failed(const std::string& address, const std::string& user, const std::string& failure);
  // Forgets what a device's address had (the engine ID too: a device whose
  // engine ID changed is discovered again).
  void Forget(const std::string& address);

  bool Find(const std::string& address, Entry* entry) const;
  // Every address with a known engine ID.
  std::vector<std::pair<std::string, Entry>> All() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Entry> entries_;
};

}  // namespace orla
