#pragma once
// Reads of one element for tests, each through the registry's published
// snapshot: the road the pages, the metrics and the trap handling take.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "agent/devices/element_registry.h"
#include "agent/devices/element_snapshot.h"
#include "agent/snmp/trap_message.h"
#include "platform/net/ipv4_text.h"

namespace orla::test {

// The record and current status cell of the element with this address.
inline std::optional<ElementView> ViewAt(const ElementRegistry& registry, const std::string& address) {
  const std::shared_ptr<const ElementSnapshot> snapshot = registry.Snapshot();
  const ElementSnapshot::Entry* entry = snapshot->Find(address);
  if (entry == nullptr) return std::nullopt;
  return ElementView{entry->record, *entry->Status()};
}

inline std::optional<ElementRecord> RecordAt(const ElementRegistry& registry, const std::string& address) {
  std::optional<ElementView> view = ViewAt(registry, address);
  return view ? std::optional<ElementRecord>(view->record) : std::nullopt;
}

inline std::optional<std::string> RecordName(const ElementRegistry& registry, const std::string& address) {
  std::optional<ElementView> view = ViewAt(registry, address);
  return view ? std::optional<std::string>(view->record.name) : std::nullopt;
}

inline std::optional<std::string> RecordField(const ElementRegistry& registry, const std::string& address,
                                              std::string ElementRecord::*field) {
  std::optional<ElementView> view = ViewAt(registry, address);
  return view ? std::optional<std::string>(view->record.*field) : std::nullopt;
}

// The model text the element list shows: the description, or why unbound.
inline std::optional<std::string> ModelAt(const ElementRegistry& registry, const std::string& address) {
  std::optional<ElementView> view = ViewAt(registry, address);
  return view ? std::optional<std::string>(view->record.ModelText()) : std::nullopt;
}

// The class codes as the trap records carry them: -1 while unknown.
inline int32_t MajorClassAt(const ElementRegistry& registry, const std::string& address) {
  std::optional<ElementView> view = ViewAt(registry, address);
  return view && view->status.ClassCodesKnown() ? view->status.majorClass : -1;
}
inline int32_t MinorClassAt(const ElementRegistry& registry, const std::string& address) {
  std::optional<ElementView> view = ViewAt(registry, address);
  return view && view->status.ClassCodesKnown() ? view->status.minorClass : -1;
}

// Hands a trap to the plug-in of the element at the trap's agent address,
// as the received-trap handling does: the plug-in's answer, or -1 when no
// element has the address.
inline int32_t DeliverTrap(const ElementRegistry& registry, TrapMessage* trap, uint8_t* data, char* message,
                           int32_t* severity = nullptr) {
  const int32_t* octets = trap != nullptr ? trap->GetAgentAddress() : nullptr;
  if (octets == nullptr) return -1;
  const std::shared_ptr<const ElementSnapshot> snapshot = registry.Snapshot();
  const ElementSnapshot::Entry* entry = snapshot->Find(Ipv4Text::Dotted(octets));
  return entry != nullptr ? entry->DeliverTrap(trap, data, message, severity) : -1;
}

}  // namespace orla::test
