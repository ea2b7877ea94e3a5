#include "trap_receiver.h"

#include "platform/eventlog/repeated_warnings.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"
#include "snmp_mgr_library.h"
#include "usm_header.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/snmp_impl.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <system_error>

namespace orla {

namespace {

// The largest UDP payload; a datagram is never cut short by our buffer.
constexpr size_t kMaxDatagram = 65535;

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

bool ConvertBinding(const netsnmp_variable_list* var, TrapReceiver::Binding* out) {
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
      if (var->val_len > kMaxDatagram) return false;
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
bool MapNotification(std::vector<TrapReceiver::Binding>&& received, const uint8_t source[4],
                     TrapReceiver::Trap* trap) {
  const TrapReceiver::Binding* trapOid = nullptr;
  const TrapReceiver::Binding* upTime = nullptr;
  const TrapReceiver::Binding* enterprise = nullptr;
  const TrapReceiver::Binding* address = nullptr;
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

// The address a datagram came from, as text ("?" when not IP).
std::string SourceText(const sockaddr_storage& from) {
  char text[INET6_ADDRSTRLEN] = "?";
  if (from.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&from)->sin_addr, text, sizeof text);
  } else if (from.ss_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&from)->sin6_addr, text, sizeof text);
  }
  return text;
}

void CloseTransport(netsnmp_transport* transport) {
  if (transport == nullptr) return;
  if (transport->f_close != nullptr) transport->f_close(transport);
  netsnmp_transport_free(transport);
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
TrapReceiver::Refusal RefusalOf(int error) {
  switch (error) {
    case SNMPERR_USM_UNKNOWNSECURITYNAME:
    case SNMPERR_UNKNOWN_USER_NAME: return TrapReceiver::Refusal::kUnknownUser;
    case SNMPERR_USM_UNKNOWNENGINEID:
    case SNMPERR_UNKNOWN_ENG_ID: return TrapReceiver::Refusal::kUnknownEngine;
    case SNMPERR_USM_UNSUPPORTEDSECURITYLEVEL:
    case SNMPERR_UNSUPPORTED_SEC_LEVEL: return TrapReceiver::Refusal::kWrongLevel;
    case SNMPERR_USM_AUTHENTICATIONFAILURE:
    case SNMPERR_AUTHENTICATION_FAILURE:
    case SNMPERR_USM_DECRYPTIONERROR:
    case SNMPERR_DECRYPTION_ERR: return TrapReceiver::Refusal::kWrongKey;
    case SNMPERR_USM_NOTINTIMEWINDOW:
    case SNMPERR_NOT_IN_TIME_WINDOW: return TrapReceiver::Refusal::kNotInTimeWindow;
    default: return TrapReceiver::Refusal::kOther;
  }
}

// A digest of what an inform carries, for telling a repeat.
std::string BindingsDigest(const std::vector<TrapReceiver::Binding>& bindings) {
  std::string all;
  for (const TrapReceiver::Binding& b : bindings) {
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

TrapReceiver::TrapReceiver()
    : overflowWarnings_("trap_overflow", "traps dropped at the limits", 1, nullptr, nullptr,
                        [](uint64_t n, const std::string&) {
                          return StringPrintf(
                              "%llu traps were dropped because they arrived faster than the agent could take them.",
                              static_cast<unsigned long long>(n));
                        }),
      refusedWarnings_("snmpv3_refused", "refused SNMPv3 traps", 1, nullptr, nullptr,
                       [](uint64_t n, const std::string&) {
                         return StringPrintf("%llu SNMPv3 traps were refused (unknown user or engine, wrong level or "
                                             "key, outside the time window, or another element's profile).",
                                             static_cast<unsigned long long>(n));
                       }),
      v3OnlyWarnings_("v3_only_refused", "SNMPv1/SNMPv2c traps", 1, nullptr, nullptr,
                      [](uint64_t n, const std::string&) {
                        return StringPrintf("%llu further SNMPv1/SNMPv2c traps and informs were refused in the last "
                                            "minute: only SNMPv3 is accepted (v3-only on).",
                                            static_cast<unsigned long long>(n));
                      }) {}

TrapReceiver::~TrapReceiver() { Stop(); }

bool TrapReceiver::Decode(const uint8_t* data, size_t length, const uint8_t source[4], Trap* trap,
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

int TrapReceiver::Start(const std::string& listenAddress, std::string* error) {
  if (thread_.joinable()) {
    if (error != nullptr) *error = "the trap receiver is already running";
    return EALREADY;
  }
  // The library's transport domains are registered by its one-time set-up.
  SnmpMgrLibrary::Initialize();
  netsnmp_transport* transport;
  int openError;
  {
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    errno = 0;
    transport = netsnmp_transport_open_server("snmptrap", listenAddress.c_str());
    openError = errno;
  }
  if (transport == nullptr) {
    // bind() leaves its reason in errno (address in use, no permission);
    // an address net-snmp cannot read at all leaves none.
    const int err = openError != 0 ? openError : EINVAL;
    if (error != nullptr) *error = "cannot listen for traps on \"" + listenAddress + "\": " + std::strerror(err);
    return err;
  }
  // Traps are datagrams. A stream transport (tcp:, unix:) gives a listening
  // socket that polls readable forever and never yields a trap.
  int type = 0;
  socklen_t typeLength = sizeof type;
  if (::getsockopt(transport->sock, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_DGRAM) {
    CloseTransport(transport);
    if (error != nullptr) {
      *error = "cannot listen for traps on \"" + listenAddress + "\": only a UDP transport receives traps";
    }
    return EPROTONOSUPPORT;
  }
  const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    const int err = errno;
    CloseTransport(transport);
    if (error != nullptr) *error = std::string("eventfd: ") + std::strerror(err);
    return err;
  }
  transport_ = transport;
  socket_ = transport->sock;
  // A bigger buffer (the system may grant less) and the system's count of
  // datagrams it dropped for want of room, delivered with every datagram.
  const int bufferSize = kSocketBuffer;
  const int on = 1;
  (void)setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
  (void)setsockopt(socket_, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
  wakeFd_ = wake;
  stopping_.store(false);
  buffer_.assign(kMaxDatagram + 1, 0);
  try {
    thread_ = std::thread(&TrapReceiver::Run, this);
  } catch (const std::system_error& e) {
    CloseTransport(transport);
    ::close(wake);
    transport_ = nullptr;
    socket_ = -1;
    wakeFd_ = -1;
    if (error != nullptr) *error = e.what();
    return e.code().value() != 0 ? e.code().value() : EAGAIN;
  }
  return 0;
}

void TrapReceiver::Stop() {
  if (!thread_.joinable()) return;
  stopping_.store(true);
  const uint64_t one = 1;
  ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
  (void)ignored;
  thread_.join();
  CloseTransport(static_cast<netsnmp_transport*>(transport_));
  ::close(wakeFd_);
  transport_ = nullptr;
  socket_ = -1;
  wakeFd_ = -1;
}

bool TrapReceiver::Take(Trap* trap) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (turn_.empty()) return false;
  const uint32_t source = turn_.front();
  turn_.pop_front();
  const auto it = sources_.find(source);
  SourceQueue& queue = it->second;
  *trap = std::move(queue.traps.front());
  queue.traps.pop_front();
  const size_t size = QueuedSize(*trap);
  queue.bytes = size < queue.bytes ? queue.bytes - size : 0;
  queuedBytes_ = size < queuedBytes_ ? queuedBytes_ - size : 0;
  --queued_;
  // The source waits for its next turn behind every other source.
  if (queue.traps.empty()) {
    sources_.erase(it);
  } else {
    turn_.push_back(source);
  }
  return true;
}

const char* TrapReceiver::DropName(Drop reason) {
  static const char* const kNames[kDropReasons] = {"source_share", "queue_full", "socket_buffer",
                                                    "too_many_bindings", "truncated", "malformed",
                                                    "v3_only", "not_managed", "repeated_inform"};
  return kNames[static_cast<size_t>(reason)];
}

const char* TrapReceiver::RefusalName(Refusal reason) {
  static const char* const kNames[kRefusalReasons] = {"unknown_user", "unknown_engine", "wrong_level", "wrong_key",
                                                      "not_in_time_window", "not_this_elements_profile", "other"};
  return kNames[static_cast<size_t>(reason)];
}

void TrapReceiver::Count(Drop reason, uint64_t count) {
  drops_[static_cast<size_t>(reason)].fetch_add(count);
  dropped_.fetch_add(count);
  if (reason <= Drop::kTooManyBindings) {
    overflow_.fetch_add(count);
    overflowWarnings_.Report("", count);
  }
}

void TrapReceiver::Answer(const std::vector<uint8_t>& answer, size_t asked, uint32_t source,
                          const sockaddr_storage& to, socklen_t length) {
  // Never a reflector: no answer more than twice what asked for it, and a
  // source's answers are bounded like its refusals.
  if (answer.empty() || answer.size() > 2 * asked || !answerBudget_.Spend(source, std::chrono::steady_clock::now())) {
    return;
  }
  // A datagram the system will not take now is lost like any on UDP: the
  // sender tries again.
  (void)::sendto(socket_, answer.data(), answer.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
                 length);
}

size_t TrapReceiver::QueuedSize(const Trap& trap) {
  size_t size = sizeof(Trap) + trap.enterprise.size() * sizeof(uint32_t);
  for (const Binding& b : trap.bindings) {
    size += sizeof(Binding) + (b.name.size() + b.objectId.size()) * sizeof(uint32_t) + b.octets.size();
  }
  return size;
}

void TrapReceiver::Run() {
  pollfd fds[2] = {{socket_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  while (!stopping_.load()) {
    const int ready = ::poll(fds, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      // poll on two valid descriptors does not fail otherwise; do not spin.
      ::usleep(100000);
      continue;
    }
    if (fds[1].revents != 0) break;
    if (fds[0].revents & POLLIN) Receive();
  }
}

void TrapReceiver::Receive() {
  sockaddr_storage from{};
  iovec data{buffer_.data(), buffer_.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(uint32_t))];
  msghdr message{};
  message.msg_name = &from;
  message.msg_namelen = sizeof from;
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(socket_, &message, MSG_TRUNC | MSG_DONTWAIT);
  if (n < 0) return;  // EAGAIN or a transient socket error: nothing to take
  const auto arrival = Clock::System()->WallNow();
  received_.fetch_add(1);
  NoteSocketDrops(message);
  // MSG_TRUNC reports the datagram's real size: one larger than the buffer
  // was cut short and cannot be decoded.
  if (static_cast<size_t>(n) > kMaxDatagram) {
    Count(Drop::kTruncated);
    NoteMalformed(from);
    return;
  }
  uint8_t source[4] = {0, 0, 0, 0};
  if (from.ss_family == AF_INET) {
    std::memcpy(source, &reinterpret_cast<const sockaddr_in*>(&from)->sin_addr, 4);
  } else if (from.ss_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&from);
    if (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr)) std::memcpy(source, in6->sin6_addr.s6_addr + 12, 4);
  }
  // Other IPv6 sources share one queue.
  const uint32_t key = static_cast<uint32_t>(source[0]) << 24 | static_cast<uint32_t>(source[1]) << 16 |
                       static_cast<uint32_t>(source[2]) << 8 | source[3];
  Drop reason = Drop::kQueueFull;
  // A source past its share, or past its budget of refused and malformed
  // datagrams, is turned away before its datagram is decoded.
  const auto now = std::chrono::steady_clock::now();
  if (!HasShare(key, &reason)) {
    Count(reason);
    return;
  }
  if (!refusalBudget_.Has(key, now)) {
    Count(Drop::kSourceShare);
    return;
  }
  Trap trap;
  Details details;
  const size_t length = static_cast<size_t>(n);
  if (!Decode(buffer_.data(), length, source, &trap, &details)) {
    if (details.refused) {
      // Not malformed: refused by the security model, counted on its own.
      refusalBudget_.Spend(key, now);
      Refuse(details.refusal);
    } else if (details.answer.empty()) {
      refusalBudget_.Spend(key, now);
      Count(Drop::kMalformed);
      NoteMalformed(from);
    }
    // What the sender asked for (a report) is owed whether or not it counts.
    if (!details.answer.empty()) Answer(details.answer, length, key, from, message.msg_namelen);
    return;
  }
  if (details.version != SNMP_VERSION_3 && v3Only_.load()) {
    Count(Drop::kV3Only);
    v3OnlyWarnings_.Warn("", StringPrintf("An SNMP%s %s from %s was refused: only SNMPv3 is accepted (v3-only on).",
                                          details.version == SNMP_VERSION_1 ? "v1" : "v2c",
                                          details.inform ? "inform" : "trap", SourceText(from).c_str()));
    return;
  }
  if (!Admit(details, source, &trap)) {
    refusalBudget_.Spend(key, now);
    if (details.version == SNMP_VERSION_3) {
      Refuse(Refusal::kNotThisElementsProfile);
    } else {
      Count(Drop::kNotManaged);
    }
    return;
  }
  if (details.inform && recentInforms_.Seen(details.informKey, now)) {
    // Our acknowledgement was lost: acknowledged again, logged once.
    Count(Drop::kRepeatedInform);
    Answer(details.answer, length, key, from, message.msg_namelen);
    return;
  }
  trap.arrival = arrival;
  if (!Enqueue(key, std::move(trap), &reason)) {
    // Not acknowledged: the sender of an inform tries again later.
    Count(reason);
    return;
  }
  if (details.inform) {
    recentInforms_.Remember(details.informKey, now);
    Answer(details.answer, length, key, from, message.msg_namelen);
  }
  event_.Set();
}

bool TrapReceiver::Admit(const Details& details, const uint8_t source[4], Trap* trap) {
  std::shared_ptr<const Admission> admission;
  {
    std::lock_guard<std::mutex> hold(admissionMutex_);
    admission = admission_;
  }
  // SNMPv1 and SNMPv2c traps speak for the agent address they carry, as
  // the listener reads it.
  if (admission == nullptr || !*admission || (details.version != SNMP_VERSION_3 && !details.inform)) return true;
  const std::string none;
  const std::string& user = details.version == SNMP_VERSION_3 ? details.user : none;
  if (details.hasTrapAddress && (*admission)(details.trapAddress, user, details.level)) {
    std::memcpy(trap->agentAddress, details.trapAddress, 4);
    return true;
  }
  if ((*admission)(source, user, details.level)) {
    std::memcpy(trap->agentAddress, source, 4);
    return true;
  }
  return false;
}

void TrapReceiver::SetAdmission(Admission admission) {
  auto shared = std::make_shared<const Admission>(std::move(admission));
  std::lock_guard<std::mutex> hold(admissionMutex_);
  admission_ = std::move(shared);
}

void TrapReceiver::SetUserLevels(std::map<std::string, int> levels) {
  std::lock_guard<std::mutex> hold(UserLevelsMutex());
  UserLevels() = std::move(levels);
}

void TrapReceiver::Refuse(Refusal reason) {
  refusals_[static_cast<size_t>(reason)].fetch_add(1);
  dropped_.fetch_add(1);
  refused_.fetch_add(1);
  refusedWarnings_.Report("");
}

bool TrapReceiver::HasShare(uint32_t source, Drop* reason) {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = sources_.find(source);
  if (it != sources_.end() &&
      (it->second.traps.size() >= kMaxPerSource || it->second.bytes >= kMaxPerSourceBytes)) {
    *reason = Drop::kSourceShare;
    return false;
  }
  if (queued_ >= kMaxQueued || queuedBytes_ >= kMaxQueuedBytes) {
    *reason = Drop::kQueueFull;
    return false;
  }
  return true;
}

bool TrapReceiver::Enqueue(uint32_t source, Trap trap, Drop* reason) {
  if (trap.bindings.size() > kMaxBindings) {
    *reason = Drop::kTooManyBindings;
    return false;
  }
  const size_t size = QueuedSize(trap);
  std::lock_guard<std::mutex> guard(mutex_);
  SourceQueue& queue = sources_[source];
  if (queue.traps.size() >= kMaxPerSource || queue.bytes + size > kMaxPerSourceBytes) {
    *reason = Drop::kSourceShare;
  } else if (queued_ >= kMaxQueued || queuedBytes_ + size > kMaxQueuedBytes) {
    *reason = Drop::kQueueFull;
  } else {
    if (queue.traps.empty()) turn_.push_back(source);
    queue.traps.push_back(std::move(trap));
    queue.bytes += size;
    queuedBytes_ += size;
    ++queued_;
    return true;
  }
  if (queue.traps.empty()) sources_.erase(source);
  return false;
}

void TrapReceiver::NoteMalformed(const sockaddr_storage& from) {
  // Anyone can send them: a few lines a minute for each sender, then a
  // summary (written through the program's event log).
  static auto* malformed = new RepeatedWarnings("malformed_datagrams", "malformed datagrams", 1);
  const std::string text = SourceText(from);
  malformed->Warn(text, "A datagram from " + text + " that is not a well-formed SNMP trap was dropped.");
}

void TrapReceiver::NoteSocketDrops(const msghdr& message) {
  for (const cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr;
       c = CMSG_NXTHDR(const_cast<msghdr*>(&message), const_cast<cmsghdr*>(c))) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SO_RXQ_OVFL) continue;
    uint32_t total = 0;
    std::memcpy(&total, CMSG_DATA(c), sizeof total);
    // The system's counter only grows (and wraps at 32 bits).
    const uint32_t lost = total - socketDrops_;
    socketDrops_ = total;
    if (lost != 0) {
      received_.fetch_add(lost);
      Count(Drop::kSocketBuffer, lost);
    }
  }
}

}  // namespace orla
