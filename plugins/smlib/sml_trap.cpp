#include "sml_trap.h"

#include <cstdio>
#include <cstring>

#include "agent/snmp/oid_ids.h"
#include "agent/snmp/snmp_binding.h"
#include "agent/snmp/snmp_integer.h"
#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_octet_string.h"
#include "agent/snmp/snmp_time_ticks.h"
#include "agent/snmp/trap_message.h"
#include "platform/text/string_printf.h"
#include "plugins/smlib/sml_values.h"

namespace orla {

namespace {

constexpr char kAlertSummary[] = "1.3.6.1.4.1.14851.3.1.16.2.0";
constexpr char kAlertDrive[] = "1.3.6.1.4.1.14851.3.1.16.3.0";
constexpr char kChangerSummary[] = "1.3.6.1.4.1.14851.3.1.16.4.0";
constexpr char kAlertChanger[] = "1.3.6.1.4.1.14851.3.1.16.5.0";
constexpr char kSeverity[] = "1.3.6.1.4.1.14851.3.1.16.6.0";
constexpr char kCurrentStatus[] = "1.3.6.1.4.1.14851.3.1.16.8.1.0";
constexpr char kOldStatus[] = "1.3.6.1.4.1.14851.3.1.16.8.2.0";
constexpr char kLibraryName[] = "1.3.6.1.4.1.14851.3.1.5.1.0";
constexpr char kDriveId[] = "1.3.6.1.4.1.14851.3.1.6.2.1.8.";
constexpr char kChangerId[] = "1.3.6.1.4.1.14851.3.1.11.2.1.2.";
constexpr char kMediaTag[] = "1.3.6.1.4.1.14851.3.1.13.3.1.20.";

// 0: not a library trap, 1: the MIB's root (alerts), 2: its trap group.
int Family(const TrapMessage& trap) {
  const uint32_t* ids = nullptr;
  const int32_t count = trap.GetEnterprise(&ids);
  static const uint32_t kRoot[] = {1, 3, 6, 1, 4, 1, 14851, 3, 1};
  constexpr int32_t kRootLength = 9;
  if (ids == nullptr || count < kRootLength || std::memcmp(ids, kRoot, sizeof kRoot) != 0) return 0;
  // An SNMPv2 notification arrives with <enterprise>.0 as its enterprise.
  if (count == kRootLength || (count == kRootLength + 1 && ids[kRootLength] == 0)) return 1;
  if (ids[kRootLength] != 16) return 0;
  if (count == kRootLength + 1 || (count == kRootLength + 2 && ids[kRootLength + 1] == 0)) return 2;
  return 0;
}

std::string EnterpriseText(const TrapMessage& trap) {
  const uint32_t* ids = nullptr;
  const int32_t count = trap.GetEnterprise(&ids);
  std::string text;
  for (int32_t i = 0; i < count && ids != nullptr; ++i) text += StringPrintf(i == 0 ? "%u" : ".%u", ids[i]);
  return text.empty() ? std::string("unknown") : text;
}

void PutU16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value & 0xff);
  at[1] = static_cast<uint8_t>((value >> 8) & 0xff);
}

std::string Or(const std::string& text, const char* otherwise) { return text.empty() ? otherwise : text; }

int32_t ReportedStatus(int32_t operational) {
  return SmlValues::AgentStatus(SmlValues::OperationalClass(operational), true, false);
}

}  // namespace

const SnmpBinding* SmlTrap::Find(const char* prefix) const { return trap_.FindBinding(OidIds(prefix)); }

bool SmlTrap::Number(const char* prefix, int32_t* value) const {
  const SnmpBinding* binding = Find(prefix);
  if (binding == nullptr || binding->GetValue() == nullptr) return false;
  if (binding->GetValue()->GetKind() != SnmpValue::kInteger) return false;
  *value = static_cast<const SnmpInteger*>(binding->GetValue())->GetValue();
  return true;
}

std::string SmlTrap::Text(const char* prefix) const {
  const SnmpBinding* binding = Find(prefix);
  if (binding == nullptr || binding->GetValue() == nullptr) return "";
  if (binding->GetValue()->GetKind() != SnmpValue::kOctetString) return "";
  const auto* text = static_cast<const SnmpOctetString*>(binding->GetValue());
  if (text->GetText() == nullptr || text->GetLength() < 0) return "";
  return SmlValues::CollapseBlanks(reinterpret_cast<const uint8_t*>(text->GetText()),
                                   static_cast<size_t>(text->GetLength()));
}

std::string SmlTrap::Bindings() const {
  std::string text;
  for (int32_t i = 0;; ++i) {
    const SnmpBinding* binding = trap_.GetBinding(i);
    if (binding == nullptr) break;
    const SnmpObjectId* name = binding->GetName();
    std::string oid;
    for (int32_t k = 0; name != nullptr && name->GetIds() != nullptr && k < name->GetCount(); ++k) {
      oid += StringPrintf(k == 0 ? "%u" : ".%u", name->GetIds()[k]);
    }
    std::string value = "?";
    const SnmpValue* v = binding->GetValue();
    if (v != nullptr && v->GetKind() == SnmpValue::kInteger) {
      value = StringPrintf("%d", static_cast<const SnmpInteger*>(v)->GetValue());
    } else if (v != nullptr && v->GetKind() == SnmpValue::kTimeTicks) {
      value = StringPrintf("%u", static_cast<const SnmpTimeTicks*>(v)->GetValue());
    } else if (v != nullptr && v->GetKind() == SnmpValue::kOctetString) {
      const auto* s = static_cast<const SnmpOctetString*>(v);
      if (s->GetText() != nullptr && s->GetLength() > 0) {
        value = "\"" + SmlValues::CollapseBlanks(reinterpret_cast<const uint8_t*>(s->GetText()),
                                                 static_cast<size_t>(s->GetLength())) + "\"";
      } else {
        value = "\"\"";
      }
    }
    text += (text.empty() ? "" : ", ") + Or(oid, "?") + "=" + value;
  }
  return text.empty() ? "no variables" : text;
}

bool SmlTrap::Condition(const TrapMessage& trap, std::string* part, uint32_t* holdSeconds) {
  const int32_t specific = trap.GetSpecificTrap();
  if (Family(trap) != 1 || (specific != 0 && specific != 1)) return false;
  const SmlTrap t(trap);
  const bool drive = specific == 0;
  int32_t flag = 0;
  int32_t index = 0;
  int32_t severity = 0;
  if (!t.Number(drive ? kAlertSummary : kChangerSummary, &flag) || !t.Number(drive ? kAlertDrive : kAlertChanger, &index) ||
      !t.Number(kSeverity, &severity) || severity < 3) {
    return false;
  }
  *part = StringPrintf("%s:%d:tapealert:%d", drive ? "drive" : "changer", index, flag);
  *holdSeconds = severity >= 6 ? kCriticalHoldSeconds : kWarningHoldSeconds;
  return true;
}

int32_t SmlTrap::Describe(const TrapMessage& trap, const Subject& who, uint8_t* data, int32_t dataSize,
                          char* message, int32_t messageSize, int32_t* severity) {
  const SmlTrap t(trap);
  const int32_t specific = trap.GetSpecificTrap();
  const int family = Family(trap);
  uint32_t reported = 0xffff;
  int32_t first = 0;
  int32_t second = 0;
  int32_t index = 0;
  std::string carried;  // library name, drive or changer id, medium tag
  std::string text;
  const std::string library = Or(t.Text(kLibraryName), "unknown");
  // The event's severity by what the trap says; -1 none.
  int32_t shown = -1;
  const std::string prefix = who.element.empty() ? std::string() : who.element + " (" + who.address + "): ";
  // A drive or changer by its number, as the device page lists them; a
  // device ID the last poll did not see stays as the trap gives it.
  auto part = [&](bool drive, const std::string& id) {
    const uint32_t number = drive ? who.parts.DriveWithId(id) : who.parts.ChangerWithId(id);
    if (number != 0) return drive ? who.parts.Drive(number) : StringPrintf("changer %u", number);
    return StringPrintf("%s with device ID %s", drive ? "drive" : "changer", Or(id, "unknown").c_str());
  };

  if (family == 1 && (specific == 0 || specific == 1)) {
    const bool drive = specific == 0;
    t.Number(drive ? kAlertSummary : kChangerSummary, &first);
    t.Number(drive ? kAlertDrive : kAlertChanger, &index);
    const bool hasSeverity = t.Number(kSeverity, &second);
    const std::string from = drive ? who.parts.Drive(static_cast<uint32_t>(index)) : StringPrintf("changer %d", index);
    text = prefix + StringPrintf("TapeAlert from %s: %s (severity %s).", from.c_str(),
                        (drive ? SmlValues::DriveAlertText(first) : SmlValues::ChangerAlertText(first)).c_str(),
                        hasSeverity ? SmlValues::SeverityText(second).c_str() : "unknown");
    // Warning and worse degrade, critical and fatal fail.
    if (hasSeverity && second >= 3) reported = second >= 6 ? 2 : 1;
    // Its own severity: information is information, critical and fatal
    // are critical, everything else (unknown included) a warning.
    shown = hasSeverity && second == 2 ? 0 : hasSeverity && second >= 6 ? 2 : 1;
  } else if (family == 2 && specific >= 3 && specific <= 13) {
    static const char* const kWhat[] = {"Library", "Library", "Library", "Drive", "Drive", "Drive",
                                        "Changer", "Changer", "Changer", "Medium", "Medium"};
    const char* what = kWhat[specific - 3];
    const bool statusChange = specific == 5 || specific == 8 || specific == 11;
    if (specific == 6 || specific == 7 || specific == 8) carried = t.Text(kDriveId);
    if (specific == 9 || specific == 10 || specific == 11) carried = t.Text(kChangerId);
    if (specific == 12 || specific == 13) carried = t.Text(kMediaTag);
    if (specific <= 5) carried = library;
    // The element names the library; its parts go by their numbers.
    std::string subject = specific <= 5 ? std::string("Library")
                          : specific >= 12 ? StringPrintf("Medium %s", Or(carried, "unknown").c_str())
                                           : part(specific <= 8, carried);
    subject[0] = static_cast<char>(subject[0] >= 'a' && subject[0] <= 'z' ? subject[0] - 'a' + 'A' : subject[0]);
    (void)what;
    if (statusChange) {
      const bool hasNew = t.Number(kCurrentStatus, &first);
      const bool hasOld = t.Number(kOldStatus, &second);
      if (hasNew) reported = static_cast<uint32_t>(ReportedStatus(first));
      text = StringPrintf("%s changed status from %s to %s.", subject.c_str(),
                          hasOld ? SmlValues::OperationalText(second).c_str() : "unknown",
                          hasNew ? SmlValues::OperationalText(first).c_str() : "unknown");
      // By the new status: ok is information (also "ok to ok"), failed
      // critical, the rest a warning.
      shown = !hasNew ? 1 : reported == 0 ? 0 : reported == 2 ? 2 : 1;
    } else {
      const bool added = specific == 3 || specific == 6 || specific == 9 || specific == 12;
      text = subject + (added ? " added." : " removed.");
      // A medium comes and goes; a library, drive or changer gone is news.
      shown = added || specific == 13 ? 0 : 1;
    }
    text = prefix + text;
  } else {
    text = StringPrintf("Enterprise-specific trap %d received (enterprise %s): %s.", specific,
                        EnterpriseText(trap).c_str(), t.Bindings().c_str());
  }

  if (severity != nullptr && shown >= 0) *severity = shown;
  if (message != nullptr && messageSize > 0) std::snprintf(message, static_cast<size_t>(messageSize), "%s", text.c_str());
  if (data == nullptr || dataSize < kHeaderSize + 1) return 0;
  std::memset(data, 0, kHeaderSize);
  PutU16(data, static_cast<uint32_t>(specific) & 0xffff);
  PutU16(data + 2, reported);
  PutU16(data + 4, static_cast<uint32_t>(first) & 0xffff);
  PutU16(data + 6, static_cast<uint32_t>(second) & 0xffff);
  PutU16(data + 8, static_cast<uint32_t>(index) & 0xffff);
  PutU16(data + 10, (static_cast<uint32_t>(index) >> 16) & 0xffff);
  const auto room = static_cast<size_t>(dataSize - kHeaderSize - 1);
  const size_t n = carried.size() < room ? carried.size() : room;
  std::memcpy(data + kHeaderSize, carried.data(), n);
  data[kHeaderSize + n] = 0;
  return kHeaderSize + static_cast<int32_t>(n) + 1;
}

}  // namespace orla
