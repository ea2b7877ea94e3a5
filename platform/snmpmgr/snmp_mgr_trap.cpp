#include "platform/snmpmgr/snmp_mgr_trap.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/snmpmgr/snmp_mgr.h"
#include "trap_receiver.h"

namespace orla {

namespace {

// The process's receiver. Created by the first successful registration and
// never destroyed: its thread runs until the process ends.
std::mutex registrationMutex;
TrapReceiver* receiver = nullptr;
bool v3Only = false;
SnmpMgrTrapAdmission admission;

bool CopyOid(const std::vector<uint32_t>& ids, AsnObjectIdentifier* out) {
  out->idLength = 0;
  out->ids = nullptr;
  if (ids.empty()) return true;
  auto* copy = static_cast<uint32_t*>(SnmpUtilMemAlloc(ids.size() * sizeof(uint32_t)));
  if (copy == nullptr) return false;
  std::memcpy(copy, ids.data(), ids.size() * sizeof(uint32_t));
  out->ids = copy;
  out->idLength = static_cast<uint32_t>(ids.size());
  return true;
}

bool CopyOctets(const std::string& bytes, AsnOctetString* out) {
  out->stream = nullptr;
  out->length = 0;
  out->dynamic = false;
  if (bytes.empty()) return true;
  auto* copy = static_cast<uint8_t*>(SnmpUtilMemAlloc(bytes.size()));
  if (copy == nullptr) return false;
  std::memcpy(copy, bytes.data(), bytes.size());
  out->stream = copy;
  out->length = static_cast<uint32_t>(bytes.size());
  out->dynamic = true;
  return true;
}

// The value of one received binding; types the management API has no slot
// for (NULL, NsapAddress, the SNMPv2 exceptions) keep their type and carry
// nothing.
bool CopyValue(const TrapReceiver::Binding& in, AsnAny* out) {
  std::memset(out, 0, sizeof *out);
  out->asnType = in.type;
  switch (in.type) {
    case ASN_INTEGER:
      out->asnValue.number = static_cast<int32_t>(in.integer);
      return true;
    case ASN_OCTETSTRING:
      return CopyOctets(in.octets, &out->asnValue.string);
    case ASN_BITS:
      return CopyOctets(in.octets, &out->asnValue.bits);
    case ASN_IPADDRESS:
      return CopyOctets(in.octets, &out->asnValue.address);
    case ASN_OPAQUE:
      return CopyOctets(in.octets, &out->asnValue.arbitrary);
    case ASN_OBJECTIDENTIFIER:
      return CopyOid(in.objectId, &out->asnValue.object);
    case ASN_COUNTER32:
      out->asnValue.counter = static_cast<uint32_t>(in.unsignedNumber);
      return true;
    case ASN_GAUGE32:
      out->asnValue.gauge = static_cast<uint32_t>(in.unsignedNumber);
      return true;
    case ASN_TIMETICKS:
      out->asnValue.ticks = static_cast<uint32_t>(in.unsignedNumber);
      return true;
    case ASN_UNSIGNED32:
      out->asnValue.unsigned32 = static_cast<uint32_t>(in.unsignedNumber);
      return true;
    case ASN_COUNTER64:
      out->asnValue.counter64.lowPart = static_cast<uint32_t>(in.unsignedNumber);
      out->asnValue.counter64.highPart = static_cast<uint32_t>(in.unsignedNumber >> 32);
      return true;
    default:
      return true;
  }
}

void ClearOutputs(AsnObjectIdentifier* enterprise, AsnNetworkAddress* agentAddress, int32_t* genericTrap,
                  int32_t* specificTrap, uint32_t* timeStamp, SnmpVarBindList* variableBindings) {
  *enterprise = AsnObjectIdentifier{0, nullptr};
  *agentAddress = AsnNetworkAddress{nullptr, 0, false};
  *genericTrap = 0;
  *specificTrap = 0;
  *timeStamp = 0;
  *variableBindings = SnmpVarBindList{nullptr, 0};
}

void ReleaseOutputs(AsnObjectIdentifier* enterprise, AsnNetworkAddress* agentAddress,
                    SnmpVarBindList* variableBindings) {
  SnmpUtilOidFree(enterprise);
  if (agentAddress->dynamic) SnmpUtilMemFree(agentAddress->stream);
  *agentAddress = AsnNetworkAddress{nullptr, 0, false};
  SnmpUtilVarBindListFree(variableBindings);
}

// Fills the outputs from one trap; false (everything released) when memory
// runs out.
bool Convert(const TrapReceiver::Trap& trap, AsnObjectIdentifier* enterprise, AsnNetworkAddress* agentAddress,
             SnmpVarBindList* variableBindings) {
  if (!CopyOid(trap.enterprise, enterprise)) return false;
  const std::string address(reinterpret_cast<const char*>(trap.agentAddress), 4);
  if (!CopyOctets(address, agentAddress)) {
    ReleaseOutputs(enterprise, agentAddress, variableBindings);
    return false;
  }
  if (!trap.bindings.empty()) {
    auto* list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(trap.bindings.size() * sizeof(SnmpVarBind)));
    if (list == nullptr) {
      ReleaseOutputs(enterprise, agentAddress, variableBindings);
      return false;
    }
    variableBindings->list = list;
    for (const auto& b : trap.bindings) {
      SnmpVarBind& slot = list[variableBindings->len];
      slot.value.asnType = ASN_NULL;
      // Counted first, so that a failure below releases this slot too.
      ++variableBindings->len;
      if (!CopyOid(b.name, &slot.name) || !CopyValue(b, &slot.value)) {
        ReleaseOutputs(enterprise, agentAddress, variableBindings);
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool SnmpMgrTrapListen(const std::string& listenAddress, ManualResetEvent** trapAvailable) {
  std::lock_guard<std::mutex> hold(registrationMutex);
  if (receiver != nullptr) {
    if (trapAvailable != nullptr) *trapAvailable = &receiver->Event();
    SnmpMgrSetLastError(SNMP_MGMTAPI_TRAP_DUPINIT);
    return false;
  }
  if (trapAvailable != nullptr) *trapAvailable = nullptr;
  auto* candidate = new TrapReceiver();
  candidate->SetV3Only(v3Only);
  candidate->SetAdmission(admission);
  std::string error;
  const int result = candidate->Start(listenAddress, &error);
  if (result != 0) {
    delete candidate;
    SnmpMgrSetLastError(static_cast<uint32_t>(result));
    return false;
  }
  receiver = candidate;
  if (trapAvailable != nullptr) *trapAvailable = &receiver->Event();
  return true;
}

bool SnmpMgrGetTrap(AsnObjectIdentifier* enterprise, AsnNetworkAddress* agentAddress, int32_t* genericTrap,
                    int32_t* specificTrap, uint32_t* timeStamp, SnmpVarBindList* variableBindings) {
  std::chrono::system_clock::time_point arrival;
  return SnmpMgrGetTrap(enterprise, agentAddress, genericTrap, specificTrap, timeStamp, variableBindings, &arrival);
}

bool SnmpMgrGetTrap(AsnObjectIdentifier* enterprise, AsnNetworkAddress* agentAddress, int32_t* genericTrap,
                    int32_t* specificTrap, uint32_t* timeStamp, SnmpVarBindList* variableBindings,
                    std::chrono::system_clock::time_point* arrival) {
  if (arrival == nullptr || enterprise == nullptr || agentAddress == nullptr || genericTrap == nullptr || specificTrap == nullptr ||
      timeStamp == nullptr || variableBindings == nullptr) {
    SnmpMgrSetLastError(SNMP_MGMTAPI_INVALID_BUFFER);
    return false;
  }
  ClearOutputs(enterprise, agentAddress, genericTrap, specificTrap, timeStamp, variableBindings);
  TrapReceiver* current;
  {
    std::lock_guard<std::mutex> hold(registrationMutex);
    current = receiver;
  }
  TrapReceiver::Trap trap;
  while (current != nullptr && current->Take(&trap)) {
    // A trap that cannot be copied for lack of memory is dropped; the next
    // one may still fit.
    if (!Convert(trap, enterprise, agentAddress, variableBindings)) continue;
    *genericTrap = trap.genericTrap;
    *specificTrap = trap.specificTrap;
    *timeStamp = trap.timeStamp;
    *arrival = trap.arrival;
    return true;
  }
  SnmpMgrSetLastError(SNMP_MGMTAPI_NOTRAPS);
  return false;
}

void SnmpMgrTrapSetAdmission(SnmpMgrTrapAdmission check) {
  std::lock_guard<std::mutex> hold(registrationMutex);
  admission = std::move(check);
  if (receiver != nullptr) receiver->SetAdmission(admission);
}

std::vector<std::pair<std::string, uint64_t>> SnmpMgrTrapRefusals() {
  std::lock_guard<std::mutex> hold(registrationMutex);
  std::vector<std::pair<std::string, uint64_t>> out;
  for (size_t i = 0; i < TrapReceiver::kRefusalReasons; ++i) {
    const auto reason = static_cast<TrapReceiver::Refusal>(i);
    out.emplace_back(TrapDecoder::RefusalName(reason), receiver != nullptr ? receiver->RefusedFor(reason) : 0);
  }
  return out;
}

void SnmpMgrTrapSetV3Only(bool on) {
  std::lock_guard<std::mutex> hold(registrationMutex);
  v3Only = on;
  if (receiver != nullptr) receiver->SetV3Only(on);
}

uint64_t SnmpMgrTrapsReceived() {
  std::lock_guard<std::mutex> hold(registrationMutex);
  return receiver != nullptr ? receiver->ReceivedCount() : 0;
}

uint64_t SnmpMgrTrapsDropped() {
  std::lock_guard<std::mutex> hold(registrationMutex);
  return receiver != nullptr ? receiver->DroppedCount() : 0;
}

uint64_t SnmpMgrTrapsOverflowed() {
  std::lock_guard<std::mutex> hold(registrationMutex);
  return receiver != nullptr ? receiver->OverflowCount() : 0;
}

uint64_t SnmpMgrTrapsRefused() {
  std::lock_guard<std::mutex> hold(registrationMutex);
  return receiver != nullptr ? receiver->RefusedCount() : 0;
}

std::vector<std::pair<std::string, uint64_t>> SnmpMgrTrapDrops() {
  std::lock_guard<std::mutex> hold(registrationMutex);
  std::vector<std::pair<std::string, uint64_t>> out;
  for (size_t i = 0; i < TrapReceiver::kDropReasons; ++i) {
    const auto reason = static_cast<TrapReceiver::Drop>(i);
    out.emplace_back(TrapReceiver::DropName(reason), receiver != nullptr ? receiver->DroppedFor(reason) : 0);
  }
  return out;
}

}  // namespace orla
