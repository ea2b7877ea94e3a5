#include "fa_mib_trap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent/snmp/snmp_binding.h"
#include "agent/snmp/snmp_integer.h"
#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_octet_string.h"
#include "agent/snmp/snmp_time_ticks.h"
#include "agent/snmp/trap_message.h"
#include "fa_mib_device.h"
#include "agent/snmp/oid_ids.h"
#include "platform/text/string_printf.h"
#include "plugins/famib_core/fa_mib_oids.h"

namespace orla {

namespace {

constexpr int32_t kConnUnitStatusChange = 1;
constexpr int32_t kConnUnitDeletedTrap = 3;
constexpr int32_t kConnUnitEventTrap = 4;
constexpr int32_t kConnUnitSensorStatusChange = 5;
constexpr int32_t kConnUnitPortStatusChange = 6;

const char* Pick(const char* const* names, size_t count, int32_t value) {
  if (value >= 1 && static_cast<size_t>(value) <= count) return names[value - 1];
  return "unknown";
}

void PutU16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value & 0xff);
  at[1] = static_cast<uint8_t>((value >> 8) & 0xff);
}

void PutU32(uint8_t* at, uint32_t value) {
  PutU16(at, value & 0xffff);
  PutU16(at + 2, value >> 16);
}

bool IsFcMgmt(const TrapMessage& trap) {
  const uint32_t* ids = nullptr;
  const int32_t count = trap.GetEnterprise(&ids);
  static const uint32_t kFcMgmt[] = {1, 3, 6, 1, 3, 94};
  if (count < 6 || count > 7 || ids == nullptr) return false;
  if (std::memcmp(ids, kFcMgmt, sizeof kFcMgmt) != 0) return false;
  // An SNMPv2 notification 1.3.6.1.3.94.0.N may arrive with 1.3.6.1.3.94.0
  // as its enterprise.
  return count == 6 || ids[6] == 0;
}

std::string EnterpriseText(const TrapMessage& trap) {
  const uint32_t* ids = nullptr;
  const int32_t count = trap.GetEnterprise(&ids);
  std::string text;
  for (int32_t i = 0; i < count && ids != nullptr; ++i) text += StringPrintf(i == 0 ? "%u" : ".%u", ids[i]);
  return text.empty() ? std::string("unknown") : text;
}

}  // namespace

const char* FaMibTrap::UnitStatusText(int32_t value) {
  static const char* const kNames[] = {"unknown", "unused", "ok", "warning", "failed"};
  return Pick(kNames, 5, value);
}

const char* FaMibTrap::UnitStateText(int32_t value) {
  static const char* const kNames[] = {"unknown", "online", "offline"};
  return Pick(kNames, 3, value);
}

const char* FaMibTrap::SensorStatusText(int32_t value) {
  static const char* const kNames[] = {"unknown", "other", "ok", "warning", "failed"};
  return Pick(kNames, 5, value);
}

const char* FaMibTrap::PortStatusText(int32_t value) {
  static const char* const kNames[] = {"unknown", "unused", "ready", "warning", "failure",
                                       "not participating", "initializing", "bypass", "ols"};
  return Pick(kNames, 9, value);
}

const char* FaMibTrap::PortStateText(int32_t value) {
  static const char* const kNames[] = {"unknown", "online", "offline", "bypassed", "diagnostics"};
  return Pick(kNames, 5, value);
}

const char* FaMibTrap::EventTypeText(int32_t value) {
  static const char* const kNames[] = {"unknown", "other", "status", "configuration", "topology"};
  return Pick(kNames, 5, value);
}

const SnmpBinding* FaMibTrap::Find(const char* column, std::vector<uint32_t>* suffix) const {
  return trap_.FindBinding(OidIds(column), suffix);
}

bool FaMibTrap::Number(const char* column, int32_t* value, std::vector<uint32_t>* suffix) const {
  const SnmpBinding* binding = Find(column, suffix);
  if (binding == nullptr || binding->GetValue() == nullptr) return false;
  const SnmpValue* v = binding->GetValue();
  if (v->GetKind() == SnmpValue::kInteger) {
    *value = static_cast<const SnmpInteger*>(v)->GetValue();
    return true;
  }
  if (v->GetKind() == SnmpValue::kTimeTicks) {
    *value = static_cast<int32_t>(static_cast<const SnmpTimeTicks*>(v)->GetValue());
    return true;
  }
  return false;
}

bool FaMibTrap::Text(const char* column, std::string* value, std::vector<uint32_t>* suffix) const {
  const SnmpBinding* binding = Find(column, suffix);
  if (binding == nullptr || binding->GetValue() == nullptr) return false;
  const SnmpValue* v = binding->GetValue();
  if (v->GetKind() != SnmpValue::kOctetString) return false;
  const auto* text = static_cast<const SnmpOctetString*>(v);
  if (text->GetText() == nullptr) return false;
  value->assign(text->GetText(), static_cast<size_t>(text->GetLength()));
  // A display text ends at a zero byte; line breaks would split the entry.
  value->resize(strnlen(value->c_str(), value->size()));
  for (char& c : *value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return true;
}

void FaMibTrap::NoteUnit(const std::vector<uint32_t>& suffix) {
  if (unitId_.empty() && suffix.size() >= 16) unitId_.assign(suffix.begin(), suffix.begin() + 16);
}

std::string FaMibTrap::UnitText() const {
  for (size_t i = 0; i < subject_.units.size(); ++i) {
    if (!unitId_.empty() && subject_.units[i] == unitId_) return StringPrintf("%zu", i + 1);
  }
  if (unitId_.size() < 8) return "unknown";
  std::string text;
  for (size_t i = 0; i < 8; ++i) text += StringPrintf(i == 0 ? "%02x" : ":%02x", unitId_[i] & 0xffu);
  return text;
}

int32_t FaMibTrap::Describe(const TrapMessage& trap, const Subject& subject, uint8_t* data, int32_t dataSize,
                            char* message, int32_t messageSize, int32_t* severity) {
  FaMibTrap t(trap, subject);
  // The event's severity by what the trap says; -1 none.
  int32_t shown = -1;
  auto byStatus = [](uint32_t agentStatus) { return agentStatus == 0 ? 0 : agentStatus == 2 ? 2 : 1; };
  const int32_t specific = trap.GetSpecificTrap();
  uint32_t reported = 0xffff;
  int32_t first = 0;
  int32_t second = 0;
  int32_t number = 0;
  std::string detail;  // connUnitEventDescr
  std::string text;
  std::vector<uint32_t> suffix;

  if (!IsFcMgmt(trap)) {
    text = StringPrintf("Enterprise-specific trap %d received (enterprise %s).", specific,
                        EnterpriseText(trap).c_str());
  } else if (specific == kConnUnitStatusChange) {
    const bool hasStatus = t.Number(FaMibOids::kConnUnitStatus, &first, &suffix);
    t.NoteUnit(suffix);
    t.Number(FaMibOids::kConnUnitState, &second, &suffix);
    t.NoteUnit(suffix);
    if (hasStatus) reported = static_cast<uint32_t>(FaMibDevice::AgentStatus(first));
    text = StringPrintf("Status of unit %s changed to %s (unit %s).", t.UnitText().c_str(),
                        hasStatus ? UnitStatusText(first) : "unknown", UnitStateText(second));
    shown = byStatus(reported);
  } else if (specific == kConnUnitDeletedTrap) {
    if (t.Find(FaMibOids::kConnUnitId, &suffix) != nullptr) t.NoteUnit(suffix);
    text = StringPrintf("Unit %s has been deleted.", t.UnitText().c_str());
    shown = 1;
  } else if (specific == kConnUnitEventTrap) {
    if (t.Number(FaMibOids::kConnUnitEventId, &number, &suffix)) t.NoteUnit(suffix);
    if (t.Number(FaMibOids::kConnUnitEventType, &first, &suffix)) t.NoteUnit(suffix);
    if (t.Text(FaMibOids::kConnUnitEventDescr, &detail, &suffix)) t.NoteUnit(suffix);
    text = StringPrintf("Event %d on unit %s (%s): %s", number, t.UnitText().c_str(), EventTypeText(first),
                        detail.empty() ? "no description" : detail.c_str());
  } else if (specific == kConnUnitSensorStatusChange) {
    if (t.Number(FaMibOids::kConnUnitSensorStatus, &first, &suffix)) {
      t.NoteUnit(suffix);
      if (suffix.size() > 16) number = static_cast<int32_t>(suffix[16]);
      reported = static_cast<uint32_t>(FaMibDevice::AgentStatus(first));
    }
    text = StringPrintf("Sensor %d of unit %s changed to %s.", number, t.UnitText().c_str(),
                        SensorStatusText(first));
    shown = byStatus(reported);
  } else if (specific == kConnUnitPortStatusChange) {
    if (t.Number(FaMibOids::kConnUnitPortStatus, &first, &suffix)) {
      t.NoteUnit(suffix);
      if (suffix.size() > 16) number = static_cast<int32_t>(suffix[16]);
    }
    if (t.Number(FaMibOids::kConnUnitPortState, &second, &suffix)) t.NoteUnit(suffix);
    text = StringPrintf("Port %d of unit %s changed to %s (port %s).", number, t.UnitText().c_str(),
                        PortStatusText(first), PortStateText(second));
    // ready(3) is information, failure(5) critical, the rest a warning.
    shown = first == 3 ? 0 : first == 5 ? 2 : 1;
  } else {
    text = StringPrintf("Fibre Alliance MIB trap %d received.", specific);
  }

  // The element first, for the texts this plug-in writes about its units.
  if (IsFcMgmt(trap) && specific >= kConnUnitStatusChange && specific <= kConnUnitPortStatusChange &&
      specific != 2 && !subject.element.empty()) {
    text = subject.element + " (" + subject.address + "): " + text;
  }
  if (severity != nullptr && shown >= 0) *severity = shown;
  std::snprintf(message, static_cast<size_t>(messageSize), "%s", text.c_str());

  if (dataSize < kHeaderSize) return 0;
  std::memset(data, 0, kHeaderSize);
  PutU16(data, static_cast<uint32_t>(specific) & 0xffff);
  PutU16(data + 2, reported);
  PutU16(data + 4, static_cast<uint32_t>(first) & 0xffff);
  PutU16(data + 6, static_cast<uint32_t>(second) & 0xffff);
  PutU32(data + 8, static_cast<uint32_t>(number));
  for (size_t i = 0; i < 8 && i < t.unitId_.size(); ++i) data[12 + i] = static_cast<uint8_t>(t.unitId_[i]);
  int32_t length = kHeaderSize;
  if (specific == kConnUnitEventTrap && IsFcMgmt(trap) && !detail.empty()) {
    const auto room = static_cast<size_t>(dataSize - kHeaderSize - 1);
    const size_t n = detail.size() < room ? detail.size() : room;
    std::memcpy(data + kHeaderSize, detail.data(), n);
    data[kHeaderSize + n] = 0;
    length += static_cast<int32_t>(n) + 1;
  }
  return length;
}

}  // namespace orla
