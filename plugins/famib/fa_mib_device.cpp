#include "fa_mib_device.h"

#include "plugins/famib_core/port_stat_counter.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/text/ascii_case.h"
#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/snmp/snmp_session.h"
#include "platform/net/host_address.h"
#include "agent/snmp/oid_ids.h"
#include "platform/text/string_printf.h"
#include "agent/core/agent_settings.h"
#include "plugins/famib_core/fa_mib_oids.h"

namespace orla {

namespace {

using Oids = FaMibOids;

// Revision rows read for one unit, at most.
constexpr int kMaxRevisions = 32;

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

std::string FaMibDevice::UnitOid(const char* column) const { return Oids::Instance(column, unitId_); }

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
  FaMibReader::Cell first;
  if (!mib_.NextBelow(Oids::kConnUnitId, OidIds(Oids::kConnUnitId), Oids::kUnitIdLength, &first)) {
    ForgetUnit();
    return false;
  }
  unitId_ = std::move(first.rest);
  std::lock_guard<std::mutex> hold(unitsMutex);
  KnownUnits()[session_->GetAgentAddress()] = unitId_;
  return true;
}

void FaMibDevice::ForgetUnit() {
  std::lock_guard<std::mutex> hold(unitsMutex);
  KnownUnits().erase(session_->GetAgentAddress());
}

int32_t FaMibDevice::WorstUnitStatus(std::string* reason) {
  const std::vector<uint32_t> columnIds = OidIds(Oids::kConnUnitStatus);
  int32_t worst = -1;
  std::vector<std::vector<uint32_t>> walked;
  std::string next = Oids::kConnUnitStatus;
  // A unit id is 16 sub-identifiers, so every step moves on; the bound only
  // guards against a device that answers the same name again and again.
  for (int unit = 0; unit < 1024; ++unit) {
    FaMibReader::Cell cell;
    // The end of the device's objects, or of the column.
    if (!mib_.NextBelow(next, columnIds, Oids::kUnitIdLength, &cell)) break;
    const std::vector<uint32_t>& id = cell.rest;
    walked.push_back(id);
    const int32_t status = cell.isInteger ? *cell.number : 1;
    if (status != 2) {  // unused units do not count
      const int32_t agent = AgentStatus(status);
      if (reason != nullptr && agent != 0 && Worse(worst, agent) == agent && worst != agent) {
        static const char* const kWords[] = {"ok", "warning", "failed", "unknown"};
        *reason = StringPrintf("Unit %d %s", unit + 1, kWords[agent]);
      }
      worst = Worse(worst, agent);
    }
    next = Oids::Instance(Oids::kConnUnitStatus, id);
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

int32_t FaMibDevice::UnitType() { return session_->GetInteger(UnitOid(Oids::kConnUnitType).c_str()); }

int32_t FaMibDevice::UnitStatus() { return session_->GetInteger(UnitOid(Oids::kConnUnitStatus).c_str()); }

std::string FaMibDevice::WorldWideName() {
  std::string wwn;
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    char* text = nullptr;
    session_->GetWorldWideName(UnitOid(Oids::kConnUnitGlobalId).c_str(), &text);
    std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
    if (text != nullptr) wwn = text;
  })) {
    if (failed->Code() != kErrNotRecognized) throw failed.release();
  }
  if (wwn.empty() || wwn == "00:00:00:00:00:00:00:00") wwn = FaMibReader::UnitIdWwn(unitId_);
  return wwn;
}

std::string FaMibDevice::Product() {
  return FaMibReader::TrimRight(ReadString(session_, UnitOid(Oids::kConnUnitProduct)));
}

std::string FaMibDevice::FirmwareRevision() {
  // The unit's revision rows: connUnitRevsRevId.<unit id>.<n>, read one
  // by one with each row's description, up to the firmware's.
  const std::string revIds = UnitOid(Oids::kConnUnitRevsRevId);
  const std::vector<uint32_t> revIdColumn = OidIds(revIds.c_str());
  std::string first;
  std::string next = revIds;
  for (int row = 0; row < kMaxRevisions; ++row) {
    FaMibReader::Cell cell;
    // The end of the device's objects, or of the unit's rows.
    if (!mib_.NextBelow(next, revIdColumn, 1, &cell)) break;
    const uint32_t index = cell.rest[0];
    const std::string revision = cell.isOctets ? cell.text : std::string();
    next = revIds + StringPrintf(".%u", index);
    if (revision.empty()) continue;
    if (first.empty()) first = revision;
    std::string description;
    if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
      description = ReadString(session_, UnitOid(Oids::kConnUnitRevsDescription) + StringPrintf(".%u", index));
    })) {
      if (failed->Code() != kErrNotRecognized) throw failed.release();
    }
    if (ContainsFirmware(description)) return revision;
  }
  return first;
}

int32_t FaMibDevice::TrapRegistration(const std::string& address, int port) {
  // Read as the reader reads an instance: without a "no such name" answer
  // (which the session would log as an error) when the row is absent.
  const std::optional<FaMibReader::Cell> state =
      mib_.Read(StringPrintf("%s.%s.%d", Oids::kTrapRegRowState, address.c_str(), port));
  return state && state->isInteger ? *state->number : 0;
}

void FaMibDevice::RegisterTrapReceiver(const std::string& address, int port) {
  const std::string state = StringPrintf("%s.%s.%d", Oids::kTrapRegRowState, address.c_str(), port);
  const std::string filter = StringPrintf("%s.%s.%d", Oids::kTrapRegFilter, address.c_str(), port);
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

int32_t FaMibDevice::PortCounters(KorDeviceSample* samples, int32_t capacity) {
  namespace p = plugin;
  // The column of each counter the agent reads, with its kind.
  static constexpr struct {
    int column;
    int32_t kind;
  } kColumns[] = {
      {3, p::kPortErrors},          {40, p::kPortCrcErrors},     {39, p::kPortLinkFailures},
      {44, p::kPortLossOfSync},     {43, p::kPortLossOfSignal},  {41, p::kPortInvalidTxWords},
      {42, p::kPortPrimitiveSeqErrors}, {28, p::kPortClass3Discards}, {35, p::kPortLinkResets},
      {4, p::kPortTxFrames},        {5, p::kPortRxFrames},       {6, p::kPortTxOctets},
      {7, p::kPortRxOctets},
  };
  constexpr size_t kMaxPorts = 256;
  int32_t count = 0;
  const std::string unit = FaMibReader::Dotted(unitId_);
  for (const auto& column : kColumns) {
    const std::string prefix = StringPrintf("%s.%d.%s", Oids::kConnUnitPortStatEntry, column.column, unit.c_str());
    for (const FaMibReader::Cell& cell : mib_.Walk(prefix, 1, kMaxPorts)) {
      if (count >= capacity) return count;
      if (!cell.isOctets) continue;  // not the MIB's 8 octets: left out
      const std::optional<uint64_t> value = PortStatCounter::FromHex(cell.octetsHex);
      KorDeviceSample& sample = samples[count++];
      sample.part = p::kPartPort;
      sample.index = static_cast<int32_t>(cell.rest[0]);
      sample.kind = column.kind;
      sample.present = value.has_value() ? 1 : 0;
      sample.value = value.value_or(0);
    }
  }
  return count;
}

}  // namespace orla
