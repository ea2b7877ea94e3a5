#include "trap_decoder.h"

#include "snmp_mgr_library.h"
#include "usm_header.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/snmp_impl.h>

#include <cstdlib>
#include <cstring>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <utility>

namespace orla {

namespace {

const uint32_t kSysUpTime[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
const uint32_t kSnmpTrapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
const uint32_t kSnmpTrapEnterprise[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 3, 0};
const uint32_t kSnmpTrapAddress[] = {1, 3, 6, 1, 6, 3, 18, 1, 3, 0};
// snmpTraps: coldStart is .1 under it, egpNeighborLoss .6.
const uint32_t kSnmpTraps[] = {1, 3, 6, 1, 6, 3, 1, 1, 5};

template <size_t N>
bool Equals(const std::vector<uint32_t>& oid, const uint32_t (&wanted)[N]) {
  return oid.size() == N && std::equal(oid.begin(), oid.end(), wanted);
}

std::vector<uint32_t> ToOid(const oid* subIds, size_t count) {
  std::vector<uint32_t> out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) out.push_back(static_cast<uint32_t>(subIds[i]));
  return out;
}

// Releases a PDU that was allocated here (not through a session).
struct PduDeleter {
  void operator()(netsnmp_pdu* pdu) const { snmp_free_pdu(pdu); }
};

bool ConvertBinding(const netsnmp_variable_list* var, TrapDecoder::Binding* out) {
  if (var->name == nullptr) return false;
  out->name = ToOid(var->name, var->name_length);
  out->type = var->type;
  switch (var->type) {
    case ASN_INTEGER:
      if (var->val.integer == nullptr) return false;
      out->integer = static_cast<int32_t>(*var->val.integer);
      break;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
    case ASN_UINTEGER:
      if (var->val.integer == nullptr) return false;
      out->unsignedNumber = static_cast<uint32_t>(*var->val.integer);
      break;
    case ASN_COUNTER64:
      if (var->val.counter64 == nullptr) return false;
      out->unsignedNumber = (static_cast<uint64_t>(var->val.counter64->high & 0xffffffffu) << 32) |
                            (var->val.counter64->low & 0xffffffffu);
      break;
    case ASN_OCTET_STR:
    case ASN_IPADDRESS:
    case ASN_OPAQUE:
    case ASN_NSAP:
    case ASN_BIT_STR:
      if (var->val_len != 0 && var->val.string == nullptr) return false;
      if (var->val_len > TrapDecoder::kMaxDatagram) return false;
      out->octets.assign(reinterpret_cast<const char*>(var->val.string), var->val_len);
      break;
    case ASN_OBJECT_ID:
      if (var->val_len != 0 && var->val.objid == nullptr) return false;
      out->objectId = ToOid(var->val.objid, var->val_len / sizeof(oid));
      break;
    default:
      // NULL, the SNMPv2 exception values and net-snmp's special opaque
      // types: the binding carries its name and type only.
      break;
  }
  return true;
}

// SNMPv2c notification to SNMPv1 trap fields, as RFC 3584 translates them.
bool MapNotification(std::vector<TrapDecoder::Binding>&& received, const uint8_t source[4],
                     TrapDecoder::Trap* trap) {
  const TrapDecoder::Binding* trapOid = nullptr;
  const TrapDecoder::Binding* upTime = nullptr;
  const TrapDecoder::Binding* enterprise = nullptr;
  const TrapDecoder::Binding* address = nullptr;
  for (const auto& b : received) {
    if (Equals(b.name, kSnmpTrapOid) && b.type == ASN_OBJECT_ID && trapOid == nullptr) trapOid = &b;
    if (Equals(b.name, kSysUpTime) && b.type == ASN_TIMETICKS && upTime == nullptr) upTime = &b;
    if (Equals(b.name, kSnmpTrapEnterprise) && b.type == ASN_OBJECT_ID && enterprise == nullptr) {
      enterprise = &b;
    }
    if (Equals(b.name, kSnmpTrapAddress) && b.type == ASN_IPADDRESS && b.octets.size() == 4 &&
        address == nullptr) {
      address = &b;
    }
  }
  // A notification without snmpTrapOID.0 says nothing about what happened.
  if (trapOid == nullptr) return false;

  const std::vector<uint32_t>& id = trapOid->objectId;
  const size_t n = id.size();
  const bool standard = n == std::size(kSnmpTraps) + 1 &&
                        std::equal(std::begin(kSnmpTraps), std::end(kSnmpTraps), id.begin()) &&
                        id[n - 1] >= 1 && id[n - 1] <= 6;
  if (standard) {
    trap->genericTrap = static_cast<int32_t>(id[n - 1] - 1);
    trap->specificTrap = 0;
    trap->enterprise = enterprise != nullptr
                           ? enterprise->objectId
                           : std::vector<uint32_t>(std::begin(kSnmpTraps), std::end(kSnmpTraps));
  } else {
    trap->genericTrap = 6;
    trap->specificTrap = n > 0 ? static_cast<int32_t>(id[n - 1]) : 0;
    size_t keep = n > 0 ? n - 1 : 0;
    if (n >= 2 && id[n - 2] == 0) keep = n - 2;
    trap->enterprise.assign(id.begin(), id.begin() + static_cast<std::ptrdiff_t>(keep));
  }
  trap->timeStamp = upTime != nullptr ? static_cast<uint32_t>(upTime->unsignedNumber) : 0;
  const uint8_t* agent = address != nullptr
                             ? reinterpret_cast<const uint8_t*>(address->octets.data())
                             : source;
  std::memcpy(trap->agentAddress, agent, 4);

  trap->bindings.clear();
  for (auto& b : received) {
    if (&b == trapOid || &b == upTime) continue;
    trap->bindings.push_back(std::move(b));
  }
  return true;
}

// A message that starts as SEQUENCE { INTEGER 3 ...: SNMPv3's
// msgVersion. Anything else goes no further than the community parser.
bool IsSnmpV3Message(const u_char* data, size_t length) {
  if (length < 5 || data[0] != 0x30) return false;
  size_t at = 1;
  if (data[at] & 0x80) at += 1 + (data[at] & 0x7f);
  else at += 1;
  return at + 3 <= length && data[at] == 0x02 && data[at + 1] == 0x01 && data[at + 2] == 0x03;
}

// Encodes `pdu` as `session` would send it; empty when it cannot be.
// Under the library lock.
std::vector<uint8_t> Encode(netsnmp_pdu* pdu, netsnmp_session* session) {
  size_t size = 2048;
  auto* buffer = static_cast<u_char*>(std::malloc(size));
  if (buffer == nullptr) return {};
  size_t offset = 0;
  size_t length = size;
  std::vector<uint8_t> out;
  const bool reverse = netsnmp_ds_get_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_REVERSE_ENCODE) != 0;
  if (snmp_build(&buffer, reverse ? &size : &length, &offset, session, pdu) == 0) {
    // Built from the end of the (possibly grown) buffer, or from its start.
    if (reverse) {
      out.assign(buffer + size - offset, buffer + size);
    } else {
      out.assign(buffer, buffer + length);
    }
  }
  std::free(buffer);
  return out;
}

// The Response that acknowledges the inform `pdu` (the same bindings, no
// error), in the inform's version, community or security parameters.
std::vector<uint8_t> Acknowledgement(netsnmp_pdu* pdu, netsnmp_session* context) {
  std::unique_ptr<netsnmp_pdu, PduDeleter> response(snmp_clone_pdu(pdu));
  if (!response) return {};
  response->command = SNMP_MSG_RESPONSE;
  response->errstat = 0;
  response->errindex = 0;
  response->flags &= ~UCD_MSG_FLAG_EXPECT_RESPONSE;
  return Encode(response.get(), context);
}

// The Report for an SNMPv3 message that the security model refused with
// `error`, as an SNMPv3 engine answers one.
std::vector<uint8_t> Report(netsnmp_pdu* pdu, int error, netsnmp_session* context) {
  const u_long flags = pdu->flags;
  pdu->flags |= UCD_MSG_FLAG_FORCE_PDU_COPY;
  std::unique_ptr<netsnmp_pdu, PduDeleter> report(snmp_clone_pdu(pdu));
  pdu->flags = flags;
  if (!report) return {};
  report->flags = flags;
  if (snmpv3_make_report(report.get(), error) != SNMPERR_SUCCESS) return {};
  return Encode(report.get(), context);
}

// The users SetUserLevels took, with the lowest level each may use.
std::mutex& UserLevelsMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}
std::map<std::string, int>& UserLevels() {
  static auto* levels = new std::map<std::string, int>();
  return *levels;
}

// The lowest security level `user` may use; false for a user nobody
// assigned.
bool LowestLevelOf(const std::string& user, int* level) {
  std::lock_guard<std::mutex> hold(UserLevelsMutex());
  const auto it = UserLevels().find(user);
  if (it == UserLevels().end()) return false;
  *level = it->second;
  return true;
}

// What the security model's error says of a refused message.
TrapDecoder::Refusal RefusalOf(int error) {
  switch (error) {
    case SNMPERR_USM_UNKNOWNSECURITYNAME:
    case SNMPERR_UNKNOWN_USER_NAME: return TrapDecoder::Refusal::kUnknownUser;
    case SNMPERR_USM_UNKNOWNENGINEID:
    case SNMPERR_UNKNOWN_ENG_ID: return TrapDecoder::Refusal::kUnknownEngine;
    case SNMPERR_USM_UNSUPPORTEDSECURITYLEVEL:
    case SNMPERR_UNSUPPORTED_SEC_LEVEL: return TrapDecoder::Refusal::kWrongLevel;
    case SNMPERR_USM_AUTHENTICATIONFAILURE:
    case SNMPERR_AUTHENTICATION_FAILURE:
    case SNMPERR_USM_DECRYPTIONERROR:
    case SNMPERR_DECRYPTION_ERR: return TrapDecoder::Refusal::kWrongKey;
    case SNMPERR_USM_NOTINTIMEWINDOW:
    case SNMPERR_NOT_IN_TIME_WINDOW: return TrapDecoder::Refusal::kNotInTimeWindow;
    default: return TrapDecoder::Refusal::kOther;
  }
}

// A digest of what an inform carries, for telling a repeat.
std::string BindingsDigest(const std::vector<TrapDecoder::Binding>& bindings) {
  std::string all;
  for (const TrapDecoder::Binding& b : bindings) {
    for (uint32_t id : b.name) all.append(std::to_string(id)).push_back('.');
    all.push_back(static_cast<char>(b.type));
    all.append(std::to_string(b.integer)).push_back(':');
    all.append(std::to_string(b.unsignedNumber)).push_back(':');
    all.append(b.octets).push_back(':');
    for (uint32_t id : b.objectId) all.append(std::to_string(id)).push_back('.');
    all.push_back('|');
  }
  return std::to_string(std::hash<std::string>()(all)) + ':' + std::to_string(all.size());
}

}  // namespace

bool TrapDecoder::Decode(const uint8_t* data, size_t length, const uint8_t source[4], Trap* trap,
                          Details* details) {
  Details ignored;
  Details& out = details != nullptr ? *details : ignored;
  out = Details();
  if (data == nullptr || length == 0 || length > kMaxDatagram) return false;
  // net-snmp's parsers take a non-const buffer; work on a copy.
  std::vector<u_char> packet(data, data + length);
  std::vector<u_char> community(length + 1);
  size_t remaining = length;
  size_t communityLength = community.size();
  long version = -1;
  // The security model needs the library set up (its user list, the local
  // engine ID).
  SnmpMgrLibrary::Initialize();
  // The parsers count errors in the library's process-wide statistics;
  // the lock is held until the PDU has been released.
  std::lock_guard<std::mutex> parsing(SnmpMgrLibrary::Mutex());
  u_char* pduStart = snmp_comstr_parse(packet.data(), &remaining, community.data(),
                                       &communityLength, &version);
  std::unique_ptr<netsnmp_pdu, PduDeleter> pdu(
      static_cast<netsnmp_pdu*>(std::calloc(1, sizeof(netsnmp_pdu))));
  if (!pdu) return false;
  netsnmp_session context;
  snmp_sess_init(&context);
  if (pduStart == nullptr) {
    // Not community-based: an SNMPv3 message. Its head is read first: a
    // user nobody assigned, or a level below the user's, goes no further.
    if (!IsSnmpV3Message(packet.data(), length)) return false;
    out.version = SNMP_VERSION_3;
    UsmHeader head;
    if (!UsmHeader::Read(packet.data(), length, &head) || head.securityModel != UsmHeader::kUsmModel ||
        head.Level() < 0) {
      return false;
    }
    out.user = head.user;
    out.level = head.Level();
    // The one message an unnamed sender may send: the discovery of this
    // engine (no engine ID, no user), answered with a report.
    const bool discovery = head.user.empty() && head.engineId.empty();
    int lowest = 0;
    if (!discovery && !LowestLevelOf(head.user, &lowest)) {
      out.refused = true;
      out.refusal = Refusal::kUnknownUser;
      return false;
    }
    if (!discovery && head.Level() < lowest) {
      out.refused = true;
      out.refusal = Refusal::kWrongLevel;
      return false;
    }
    // Checked (digest, time window), decrypted and parsed by the security
    // model, whose state the held lock guards. As the authoritative side
    // the library looks users up by engine and name alone (never its
    // unnamed default user) and makes no record for an engine it does not
    // know: a device's traps need the engine that polling it recorded.
    context.version = SNMP_VERSION_3;
    context.isAuthoritative = SNMP_SESS_AUTHORITATIVE;
    remaining = length;
    pdu->version = SNMP_VERSION_3;
    const int result = snmpv3_parse(pdu.get(), packet.data(), &remaining, nullptr, &context);
    if (result != SNMPERR_SUCCESS) {
      if (result == SNMPERR_ASN_PARSE_ERR || result == SNMPERR_BAD_VERSION) return false;
      // A sender that asks for a report (a confirmed request, or a message
      // with the reportable flag and nothing readable) is told why.
      if (SNMP_CMD_CONFIRMED(pdu->command) || (pdu->command == 0 && (pdu->flags & SNMP_MSG_FLAG_RPRT_BIT))) {
        out.answer = Report(pdu.get(), result, &context);
      }
      // Finding this engine (no engine ID) and its time (boots and time
      // 0) is how a sender of informs starts; a message with an engine's
      // real boots and time outside the window is a replay.
      const bool handshake =
          !out.answer.empty() &&
          ((result == SNMPERR_USM_UNKNOWNENGINEID && head.engineId.empty()) ||
           (result == SNMPERR_USM_NOTINTIMEWINDOW && head.engineBoots == 0 && head.engineTime == 0));
      out.refused = !handshake;
      out.refusal = RefusalOf(result);
      return false;
    }
    // The level the library checked is the one the head claimed.
    if (head.user.empty() || pdu->securityLevel - 1 < lowest) {
      out.refused = true;
      out.refusal = head.user.empty() ? Refusal::kUnknownUser : Refusal::kWrongLevel;
      return false;
    }
    out.level = pdu->securityLevel - 1;
    version = SNMP_VERSION_3;
  } else {
    if (version != SNMP_VERSION_1 && version != SNMP_VERSION_2c) return false;
    out.version = version;
    pdu->version = version;
    if (snmp_pdu_parse(pdu.get(), pduStart, &remaining) != 0) return false;
  }

  std::vector<Binding> bindings;
  for (netsnmp_variable_list* var = pdu->variables; var != nullptr; var = var->next_variable) {
    Binding b;
    if (!ConvertBinding(var, &b)) return false;
    bindings.push_back(std::move(b));
  }

  for (const Binding& b : bindings) {
    if (Equals(b.name, kSnmpTrapAddress) && b.type == ASN_IPADDRESS && b.octets.size() == 4) {
      out.hasTrapAddress = true;
      std::memcpy(out.trapAddress, b.octets.data(), 4);
      break;
    }
  }
  Trap decoded;
  if (version == SNMP_VERSION_1) {
    if (pdu->command != SNMP_MSG_TRAP) return false;
    if (pdu->enterprise == nullptr && pdu->enterprise_length != 0) return false;
    decoded.enterprise = ToOid(pdu->enterprise, pdu->enterprise_length);
    std::memcpy(decoded.agentAddress, pdu->agent_addr, 4);
    decoded.genericTrap = static_cast<int32_t>(pdu->trap_type);
    decoded.specificTrap = static_cast<int32_t>(pdu->specific_type);
    decoded.timeStamp = static_cast<uint32_t>(pdu->time);
    decoded.bindings = std::move(bindings);
  } else {
    if (pdu->command != SNMP_MSG_TRAP2 && pdu->command != SNMP_MSG_INFORM) return false;
    if (pdu->command == SNMP_MSG_INFORM) {
      // Who sent it (an engine and user, or a community from an address),
      // which request, what it carries.
      std::string sender = version == SNMP_VERSION_3
                               ? std::string(reinterpret_cast<const char*>(pdu->securityEngineID),
                                             pdu->securityEngineID != nullptr ? pdu->securityEngineIDLen : 0) +
                                     '\0' + out.user
                               : std::string(reinterpret_cast<const char*>(community.data()), communityLength) +
                                     '\0' + std::string(reinterpret_cast<const char*>(source), 4);
      out.informKey = std::to_string(version) + '\0' + sender + '\0' + std::to_string(pdu->reqid) + '\0' +
                      BindingsDigest(bindings);
    }
    if (!MapNotification(std::move(bindings), source, &decoded)) return false;
    if (pdu->command == SNMP_MSG_INFORM) {
      if (version != SNMP_VERSION_3) {
        // The Response carries the inform's community (the PDU, freed with
        // it, owns the copy).
        context.version = version;
        pdu->community = static_cast<u_char*>(netsnmp_memdup(community.data(), communityLength));
        pdu->community_len = pdu->community != nullptr ? communityLength : 0;
      }
      out.inform = true;
      out.answer = Acknowledgement(pdu.get(), &context);
      // An inform that cannot be acknowledged would be sent again and again.
      if (out.answer.empty()) return false;
    }
  }
  *trap = std::move(decoded);
  return true;
}

void TrapDecoder::SetUserLevels(std::map<std::string, int> levels) {
  std::lock_guard<std::mutex> hold(UserLevelsMutex());
  UserLevels() = std::move(levels);
}

const char* TrapDecoder::RefusalName(Refusal reason) {
  static const char* const kNames[kRefusalReasons] = {"unknown_user", "unknown_engine", "wrong_level", "wrong_key",
                                                      "not_in_time_window", "not_this_elements_profile", "other"};
  return kNames[static_cast<size_t>(reason)];
}

}  // namespace orla
