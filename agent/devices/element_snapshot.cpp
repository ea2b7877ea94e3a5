#include "agent/devices/element_snapshot.h"

#include "agent/devices/plugin/device_plugin.h"
#include "element_state.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

// A field of the list string: never empty, since the pages split the string
// with a tokenizer that merges adjacent separators.
const char* ListField(const std::string& text) { return text.empty() ? " " : text.c_str(); }

}  // namespace

ElementSnapshot::Entry::Entry(ElementRecord record, std::shared_ptr<ElementState> binding)
    : record(std::move(record)), binding_(std::move(binding)) {}

std::shared_ptr<const ElementStatusCell> ElementSnapshot::Entry::Status() const { return binding_->Cell(); }

int32_t ElementSnapshot::Entry::DeliverTrap(TrapMessage* trap, uint8_t* data, char* message,
                                            int32_t* severity) const {
  return binding_->DeliverTrap(trap, data, message, severity);
}

std::string ElementSnapshot::Entry::TrapTargetQuestion() const { return binding_->TrapTargetQuestion(); }

ElementSnapshot::ElementSnapshot(std::vector<Entry> entries) : entries_(std::move(entries)) {
  byAddress_.reserve(entries_.size());
  // emplace keeps the first of several entries with one address.
  for (size_t i = 0; i < entries_.size(); ++i) byAddress_.emplace(entries_[i].record.address, i);
}

const ElementSnapshot::Entry* ElementSnapshot::Find(const std::string& address) const {
  const auto it = byAddress_.find(address);
  return it == byAddress_.end() ? nullptr : &entries_[it->second];
}

const ElementSnapshot::Entry* ElementSnapshot::FindByName(const std::string& name) const {
  for (const Entry& entry : entries_) {
    if (entry.record.name == name) return &entry;
  }
  return nullptr;
}

std::vector<ElementView> ElementSnapshot::Read() const {
  std::vector<ElementView> out;
  out.reserve(entries_.size());
  for (const Entry& entry : entries_) out.push_back(ElementView{entry.record, *entry.Status()});
  return out;
}

std::vector<std::string> ElementSnapshot::Names() const {
  std::vector<std::string> names;
  names.reserve(entries_.size());
  for (const Entry& entry : entries_) names.push_back(entry.record.name);
  return names;
}

char ElementSnapshot::OverallStatus() const {
  bool failed = false;
  bool degraded = false;
  for (const Entry& entry : entries_) {
    const int32_t status = entry.Status()->status;
    if (status == plugin::kStatusFailed) failed = true;
    if (status == plugin::kStatusDegraded || status == plugin::kStatusUnknown || !entry.record.Bound()) {
      degraded = true;
    }
  }
  return failed ? '2' : degraded ? '1' : '0';
}

std::string ElementSnapshot::ListString() const {
  if (entries_.empty()) return " ";
  std::string list;
  list.reserve(entries_.size() * 200 + 16);
  for (size_t i = 0; i < entries_.size(); ++i) {
    const ElementRecord& r = entries_[i].record;
    // Records are joined by "|": the string grows as needed, so no device
    // text can overrun it.
    if (i > 0) list += '|';
    list += StringPrintf("%d|%s|%s|%s|%s|%s", entries_[i].Status()->status, ListField(r.name), ListField(r.address),
                         ListField(r.ModelText()), ListField(r.devicePageLink), ListField(r.agentPageUrl));
  }
  return list;
}

}  // namespace orla
