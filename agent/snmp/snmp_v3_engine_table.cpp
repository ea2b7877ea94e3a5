#include "agent/snmp/snmp_v3_engine_table.h"

namespace orla {

std::string SnmpV3EngineTable::Entry::EngineIdHex() const {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : engineId) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  return hex;
}

SnmpV3EngineTable& SnmpV3EngineTable::Instance() {
  // Polling threads use it until the process ends: never destroyed.
  static SnmpV3EngineTable* table = new SnmpV3EngineTable();
  return *table;
}

std::string SnmpV3EngineTable::EngineId(const std::string& address) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto it = entries_.find(address);
  return it == entries_.end() ? std::string() : it->second.engineId;
}

void SnmpV3EngineTable::Learned(const std::string& address, const std::string& user, const std::string& engineId,
                                uint32_t boots, uint32_t time, bool timeKnown) {
  std::lock_guard<std::mutex> hold(mutex_);
  Entry& entry = entries_[address];
  if (!engineId.empty()) entry.engineId = engineId;
  entry.user = user;
  if (timeKnown) {
    entry.boots = boots;
    entry.time = time;
    entry.timeKnown = true;
  }
  entry.failure.clear();
}

void SnmpV3EngineTable::Failed(const std::string& address, const std::string& user, const std::string& failure) {
  std::lock_guard<std::mutex> hold(mutex_);
  Entry& entry = entries_[address];
  entry.user = user;
  entry.failure = failure;
}

void SnmpV3EngineTable::Forget(const std::string& address) {
  std::lock_guard<std::mutex> hold(mutex_);
  entries_.erase(address);
}

bool SnmpV3EngineTable::Find(const std::string& address, Entry* entry) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto it = entries_.find(address);
  if (it == entries_.end()) return false;
  *entry = it->second;
  return true;
}

std::vector<std::pair<std::string, SnmpV3EngineTable::Entry>> SnmpV3EngineTable::All() const {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<std::pair<std::string, Entry>> all;
  for (const auto& [address, entry] : entries_) {
    if (!entry.engineId.empty()) all.emplace_back(address, entry);
  }
  return all;
}

}  // namespace orla
