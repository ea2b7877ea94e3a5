#pragma once
// What a device plug-in keeps for the optional "GetStatusReason": the reason
// its last "UpdateStatus" found, per device address. UpdateStatus runs on the
// polling thread and the passes, GetStatusReason on any thread, so the table
// has its own lock. Each plug-in library holds its own table.
#include <cstdio>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

#include "agent/devices/plugin/device_plugin.h"

namespace orla::plugin {

class StatusReasons {
 public:
  // Keeps `reason` as the device's at `address` (empty: none).
  static void Keep(const std::string& address, const std::string& reason) {
    std::lock_guard<std::mutex> hold(Mutex());
    Table()[address] = reason;
  }
  // The answer of GetStatusReason: 1 with the reason in `buffer`
  // (kStatusReasonSize bytes, cut to fit), 0 when there is none.
  static uint8_t Give(const std::string& address, char* buffer) {
    std::lock_guard<std::mutex> hold(Mutex());
    const auto it = Table().find(address);
    if (it == Table().end() || it->second.empty()) return 0;
    std::snprintf(buffer, kStatusReasonSize, "%s", it->second.c_str());
    return 1;
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::unordered_map<std::string, std::string>& Table() {
    static std::unordered_map<std::string, std::string> table;
    return table;
  }
};

}  // namespace orla::plugin
