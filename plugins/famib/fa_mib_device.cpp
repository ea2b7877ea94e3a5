#include "fa_mib_device.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/text/ascii_case.h"
#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/snmp/snmp_session.h"
#include "platform/net/host_address.h"
#include "platform/snmpmgr/snmp_api.h"
#include "agent/snmp/oid_ids.h"
#include "platform/text/string_printf.h"
#include "agent/core/agent_settings.h"

namespace orla {

namespace {

constexpr char kConnUnitEntry[] = "1.3.6.1.3.94.1.6.1";
constexpr char kConnUnitRevsEntry[] = "1.3.6.1.3.94.1.7.1";
constexpr char kTrapRegEntry[] = "1.3.6.1.3.94.2.3.1";
constexpr size_t kUnitIdLength = 16;
// Revision rows read for one unit, at most.
constexpr int kMaxRevisions = 32;

// Frees a one-binding answer list however the reading ends.
struct Answer {
  SnmpVarBindList list{};
  ~Answer() { SnmpUtilVarBindListFree(&list); }
  const SnmpVarBind& First() const { return list.list[0]; }
};

// Whether `name` is `prefix` followed by exactly `extra` more sub-identifiers
// (any number when `extra` is 0); `rest` receives those.
bool Below(const AsnObjectIdentifier& name, const std::vector<uint32_t>& prefix, size_t extra,
           std::vector<uint32_t>* rest) {
  if (name.idLength <= prefix.size()) return false;
  if (extra != 0 && name.idLength != prefix.size() + extra) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (name.ids[i] != prefix[i]) return false;
  }
  rest->assign(name.ids + prefix.size(), name.ids + name.idLength);
  return true;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && (std::isspace(static_cast<unsigned char>(text.back())) != 0)) text.pop_back();
  return text;
}

bool ContainsFirmware(const std::string& text) { return AsciiCase::Contains(text, "firmware"); }

// The first unit's id of every device this process has found it on, by the
// device's address: a unit is looked up once, not for every call.
std::mutex unitsMutex;
// Destroyed when the library is unloaded, which happens only once no
// element holds it, so no call is running then.
std::unordered_map<std::string, std::vector<uint32_t>>& KnownUnits() {
  static std::unordered_map<std::string, std::vector<uint32_t>> units;
  return units;
}

// Every unit's id in walk order, by the device's address, as the last
// status walk found them (under unitsMutex).
std::unordered_map<std::string, std::vector<std::vector<uint32_t>>>& WalkedUnits() {
  static std::unordered_map<std::string, std::vector<std::vector<uint32_t>>> units;
  return units;
}

// A text read with the session (freed with free()).
std::string ReadString(SnmpSession* session, const std::string& oid) {
  char* text = nullptr;
  session->GetString(oid.c_str(), &text);
  std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace

std::string FaMibDevice::Oid(const char* prefix, const std::vector<uint32_t>& suffix) {
  std::string oid = prefix;
  for (uint32_t id : suffix) oid += StringPrintf(".%u", id);
  return oid;
}

std::string FaMibDevice::UnitOid(int column) const {
  return Oid(StringPrintf("%s.%d", kConnUnitEntry, column).c_str(), unitId_);
}

bool FaMibDevice::FindFirstUnit() {
  {
    std::lock_guard<std::mutex> hold(unitsMutex);
    const auto it = KnownUnits().find(session_->GetAgentAddress());
    if (it != KnownUnits().end()) {
      unitId_ = it->second;
      return true;
    }
  }
  return FindFirstUnitAnew();
}

bool FaMibDevice::FindFirstUnitAnew() {
  const std::string column = StringPrintf("%s.1", kConnUnitEntry);
  Answer answer;
  // SNMPv1 answers a GetNext past the last object with "no such name".
  if (!session_->RequestGetNextInView(column.c_str(), &answer.list)) {
    ForgetUnit();
    return false;
  }
  std::vector<uint32_t> id;
  if (answer.list.len < 1 || !Below(answer.First().name, OidIds(column.c_str()), kUnitIdLength, &id)) {
    ForgetUnit();
    return false;
  }
  unitId_ = std::move(id);
  std::lock_guard<std::mutex> hold(unitsMutex);
  KnownUnits()[session_->GetAgentAddress()] = unitId_;
  return true;
}

void FaMibDevice::ForgetUnit() {
  std::lock_guard<std::mutex> hold(unitsMutex);
  KnownUnits().erase(session_->GetAgentAddress());
}

int32_t FaMibDevice::WorstUnitStatus(std::string* reason) {
  const std::string column = StringPrintf("%s.6", kConnUnitEntry);
  const std::vector<uint32_t> columnIds = OidIds(column.c_str());
  int32_t worst = -1;
  std::vector<std::vector<uint32_t>> walked;
  std::string next = column;
  // A unit id is 16 sub-identifiers, so every step moves on; the bound only
  // guards against a device that answers the same name again and again.
  for (int unit = 0; unit < 1024; ++unit) {
    Answer answer;
    if (!session_->RequestGetNextInView(next.c_str(), &answer.list)) break;  // end of the device's objects
    std::vector<uint32_t> id;
    if (answer.list.len < 1 || !Below(answer.First().name, columnIds, kUnitIdLength, &id)) break;  // column left
    walked.push_back(id);
    const AsnAny& value = answer.First().value;
    const int32_t status = value.asnType == ASN_INTEGER ? value.asnValue.number : 1;
    if (status != 2) {  // unused units do not count
      const int32_t agent = AgentStatus(status);
      if (reason != nullptr && agent != 0 && Worse(worst, agent) == agent && worst != agent) {
        static const char* const kWords[] = {"ok", "warning", "failed", "unknown"};
        *reason = StringPrintf("Unit %d %s", unit + 1, kWords[agent]);
      }
      worst = Worse(worst, agent);
    }
    next = Oid(column.c_str(), id);
  }
  std::lock_guard<std::mutex> hold(unitsMutex);
  WalkedUnits()[session_->GetAgentAddress()] = std::move(walked);
  return worst;
}

std::vector<std::vector<uint32_t>> FaMibDevice::Units(const std::string& address) {
  std::lock_guard<std::mutex> hold(unitsMutex);
  const auto it = WalkedUnits().find(address);
  return it == WalkedUnits().end() ? std::vector<std::vector<uint32_t>>() : it->second;
}

int32_t FaMibDevice::UnitType() { return session_->GetInteger(UnitOid(3).c_str()); }

int32_t FaMibDevice::UnitStatus() { return session_->GetInteger(UnitOid(6).c_str()); }

std::string FaMibDevice::WorldWideName() {
  std::string wwn;
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    char* text = nullptr;
    session_->GetWorldWideName(UnitOid(2).c_str(), &text);
    std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
    if (text != nullptr) wwn = text;
  })) {
    if (failed->Code() != kErrNotRecognized) throw failed.release();
  }
  if (wwn.empty() || wwn == "00:00:00:00:00:00:00:00") {
    wwn.clear();
    for (size_t i = 0; i < 8 && i < unitId_.size(); ++i) {
      wwn += StringPrintf(i == 0 ? "%02x" : ":%02x", unitId_[i] & 0xffu);
    }
  }
  return wwn;
}

std::string FaMibDevice::Product() { return TrimRight(ReadString(session_, UnitOid(7))); }

std::string FaMibDevice::FirmwareRevision() {
  // The unit's revision rows: connUnitRevsRevId.<unit id>.<n>
  std::vector<uint32_t> revIdColumn = OidIds(StringPrintf("%s.3", kConnUnitRevsEntry).c_str());
  revIdColumn.insert(revIdColumn.end(), unitId_.begin(), unitId_.end());
  std::string first;
  std::string next = Oid(StringPrintf("%s.3", kConnUnitRevsEntry).c_str(), unitId_);
  for (int row = 0; row < kMaxRevisions; ++row) {
    std::vector<uint32_t> index;
    std::string revision;
    {
      Answer answer;
      if (!session_->RequestGetNextInView(next.c_str(), &answer.list)) break;  // end of the device's objects
      if (answer.list.len < 1 || !Below(answer.First().name, revIdColumn, 1, &index)) break;
      const AsnAny& value = answer.First().value;
      if (value.asnType == ASN_OCTETSTRING && value.asnValue.string.stream != nullptr) {
        revision.assign(reinterpret_cast<const char*>(value.asnValue.string.stream), value.asnValue.string.length);
        revision = TrimRight(revision.substr(0, strnlen(revision.c_str(), revision.size())));
      }
      next = Oid(StringPrintf("%s.3", kConnUnitRevsEntry).c_str(), unitId_) + StringPrintf(".%u", index[0]);
    }
    if (revision.empty()) continue;
    if (first.empty()) first = revision;
    std::string description;
    if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
      description = ReadString(session_, Oid(StringPrintf("%s.4", kConnUnitRevsEntry).c_str(), unitId_) +
                                             StringPrintf(".%u", index[0]));
    })) {
      if (failed->Code() != kErrNotRecognized) throw failed.release();
    }
    if (ContainsFirmware(description)) return revision;
  }
  return first;
}

int32_t FaMibDevice::TrapRegistration(const std::string& address, int port) {
  // A GetNext from just before the row finds it without a "no such name"
  // answer (which the session would log as an error) when it is absent.
  const std::string row = StringPrintf("%s.4.%s.%d", kTrapRegEntry, address.c_str(), port);
  const std::string before = StringPrintf("%s.4.%s.%d", kTrapRegEntry, address.c_str(), port - 1);
  Answer answer;
  // Past the end of the device's objects: no such row.
  if (!session_->RequestGetNextInView(before.c_str(), &answer.list)) return 0;
  if (answer.list.len < 1) return 0;
  const std::vector<uint32_t> wanted = OidIds(row.c_str());
  const AsnObjectIdentifier& name = answer.First().name;
  if (name.idLength != wanted.size() ||
      !std::equal(wanted.begin(), wanted.end(), name.ids)) {
    return 0;
  }
  const AsnAny& value = answer.First().value;
  return value.asnType == ASN_INTEGER ? value.asnValue.number : 0;
}

void FaMibDevice::RegisterTrapReceiver(const std::string& address, int port) {
  const std::string state = StringPrintf("%s.4.%s.%d", kTrapRegEntry, address.c_str(), port);
  const std::string filter = StringPrintf("%s.3.%s.%d", kTrapRegEntry, address.c_str(), port);
  // Setting the row state to active creates the row. A device that refuses
  // (a read-only or full table answers with an error status, noSuchName over
  // SNMPv1) has refused a Set, whatever status it chose to say so.
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    session_->SetInteger(state.c_str(), kRowActive);
  })) {
    if (failed->Code() == kErrTimeout || failed->Code() == kErrCommunication) throw failed.release();
    throw new OrlaException(kErrSnmpSet, 0, kMsgSnmpSet);
  }
  // The device keeps its own filter: traps still come, maybe fewer.
  OrlaException::Discard([&] { session_->SetInteger(filter.c_str(), kFilterInfo); });
  if (session_->GetInteger(state.c_str()) != kRowActive) {
    throw new OrlaException(kErrSnmpSet, 0, kMsgSnmpSet);
  }
}

bool FaMibDevice::OwnAddress(std::string* address) const {
  return HostAddress::SourceToward(session_->GetAgentAddress(), SnmpPort(), address);
}

bool FaMibDevice::IsClaimedType(int32_t type) {
  switch (type) {
    case kTypeGateway:
    case kTypeConverter:
    case kTypeStorageDevice:
    case kTypeStorageSubsystem:
    case kTypeStorageAccessDevice:
      return true;
    default:
      return false;
  }
}

int32_t FaMibDevice::AgentStatus(int32_t connUnitStatus) {
  switch (connUnitStatus) {
    case 3:
      return 0;
    case 4:
      return 1;
    case 5:
      return 2;
    default:
      return 3;
  }
}

int32_t FaMibDevice::Worse(int32_t a, int32_t b) {
  // Rank of each agent status, worst highest.
  auto rank = [](int32_t status) {
    switch (status) {
      case 2: return 4;
      case 1: return 3;
      case 3: return 2;
      case 0: return 1;
      default: return 0;
    }
  };
  return rank(b) > rank(a) ? b : a;
}

int FaMibDevice::TrapListenPort() { return AgentSettings::Current().TrapListenPort(); }

int FaMibDevice::SnmpPort() { return AgentSettings::Current().SnmpPort(); }

}  // namespace orla
