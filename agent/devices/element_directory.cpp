#include "agent/devices/element_directory.h"

#include "agent/devices/plugin/device_plugin.h"
#include "element_state.h"

namespace orla {

ElementDirectory::ElementDirectory(std::vector<Entry> entries) : entries_(std::move(entries)) {
  byAddress_.reserve(entries_.size());
  // emplace keeps the first of several entries with one address.
  for (size_t i = 0; i < entries_.size(); ++i) byAddress_.emplace(entries_[i].address, i);
}

const ElementDirectory::Entry* ElementDirectory::Find(const std::string& address) const {
  const auto it = byAddress_.find(address);
  return it == byAddress_.end() ? nullptr : &entries_[it->second];
}

int32_t ElementDirectory::Entry::DeliverTrap(TrapMessage* trap, uint8_t* data, char* message,
                                             int32_t* severity) const {
  return state->DeliverTrap(trap, data, message, severity);
}

std::string ElementDirectory::Entry::TrapTargetQuestion() const {
  return state != nullptr ? state->TrapTargetQuestion() : std::string();
}

char ElementDirectory::OverallStatus() const {
  bool failed = false;
  bool degraded = false;
  for (const Entry& entry : entries_) {
    const int32_t status = entry.state->Status();
    if (status == plugin::kStatusFailed) failed = true;
    if (status == plugin::kStatusDegraded || status == plugin::kStatusUnknown || entry.state->Unbound()) degraded = true;
  }
  return failed ? '2' : degraded ? '1' : '0';
}

bool ElementDirectory::Entry::ClassCodes(int32_t* major, int32_t* minor) const {
  if (!state->ClassCodesKnown()) return false;
  *major = state->MajorClassCode();
  *minor = state->MinorClassCode();
  return true;
}

}  // namespace orla
