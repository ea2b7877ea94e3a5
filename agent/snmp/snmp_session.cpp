#include "agent/snmp/snmp_session.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <string>

#include "agent/core/error_codes.h"
#include "agent/core/file_limit_report.h"
#include "agent/core/orla_exception.h"
#include "agent/core/agent_settings.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/snmp/snmp_v3_engine_table.h"
#include "agent/snmp/snmp_v3_usm.h"
#include "platform/snmpmgr/snmp_mgr_v3.h"
#include "platform/text/string_printf.h"
#include "platform/net/ipv4_text.h"

namespace orla {

namespace {

thread_local uint64_t t_answers = 0;
thread_local uint64_t t_securityFailures = 0;
// The SNMPv3 user of the session this thread opened last ("" for a
// community session): a request opens and uses its session on one thread.
thread_local std::string t_openUser;
thread_local std::string t_lastSecurityFailure;
// Security failures the caller reports itself, naming its element.
thread_local bool t_callerReportsSecurity = false;

// Raises 2009 for a security failure of `address` (`reason` the words),
// remembered for the address and for the calling thread.
[[noreturn]] void ThrowSecurityFailure(const char* address, const std::string& user, const std::string& reason) {
  if (!user.empty()) SnmpV3EngineTable::Instance().Failed(address, user, reason);
  // Without a user the reason says it all ("No SNMPv3 profile (v3-only)").
  const std::string message = user.empty() ? reason + "."
                                           : reason + " (SNMPv3 user " + user + ").";
  ++t_securityFailures;
  t_lastSecurityFailure = message;
  std::optional<OrlaException::Quiet> quiet;
  if (t_callerReportsSecurity) quiet.emplace();
  throw new OrlaException(kErrSnmpSecurity, 0, message);
}

// After a v3 exchange with `address`: what the session learned of the
// device's engine.
void LearnEngine(LPSNMP_MGR_SESSION session, const char* address, const std::string& user) {
  SnmpMgrEngine engine;
  if (!SnmpMgrEngineOf(session, &engine)) return;
  SnmpV3EngineTable::Instance().Learned(address, user, engine.engineId, engine.boots, engine.time, engine.timeKnown);
}

[[noreturn]] void ThrowNoMemory(int error) {
  throw new OrlaException(kErrMemory, static_cast<uint32_t>(error != 0 ? error : ENOMEM),
                          kMsgMemory);
}

// Frees an answer list when it goes out of scope.
struct ListGuard {
  SnmpVarBindList* list;
  ~ListGuard() { SnmpUtilVarBindListFree(list); }
};

// Stores a newly allocated copy of `text` in `*target`, freeing the text held
// there before. The new copy is made first: when it fails the old text stays.
void StoreText(char** target, const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) ThrowNoMemory(errno);
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  std::free(*target);
  *target = copy;
}

// The octets of an octet-string-like value.
const AsnOctetString& Octets(const AsnAny& value) { return value.asnValue.string; }

constexpr uint8_t kNumberTypes[] = {ASN_INTEGER, ASN_COUNTER32, ASN_GAUGE32, ASN_TIMETICKS,
                                    ASN_UNSIGNED32, 0};
constexpr uint8_t kOctetTypes[] = {ASN_OCTETSTRING, ASN_IPADDRESS, ASN_OPAQUE, ASN_BITS, 0};
constexpr uint8_t kObjectIdTypes[] = {ASN_OBJECTIDENTIFIER, 0};

// The longest object-identifier text a read hands out: it fits a 100-byte
// buffer with its terminating zero.
constexpr size_t kMaxObjectIdText = 99;

}  // namespace

SnmpSession::SnmpSession(const char* agentAddress, const char* community)
    : open_(false),
      agentAddress_(nullptr),
      community_(nullptr),
      timeout_(0),
      retries_(4),
      session_(nullptr),
      lock_(nullptr) {
  agentAddress_ = strdup(agentAddress != nullptr ? agentAddress : "");
  community_ = strdup(community != nullptr ? community : "");
  lock_ = new (std::nothrow) Lock();
  if (agentAddress_ == nullptr || community_ == nullptr || lock_ == nullptr) {
    const int error = errno;
    std::free(agentAddress_);
    std::free(community_);
    delete lock_;
    ThrowNoMemory(error);
  }
  SetTimeoutSeconds(5);
}

SnmpSession::~SnmpSession() {
  Close();
  std::free(agentAddress_);
  std::free(community_);
  delete lock_;
}

void SnmpSession::Open() {
  std::lock_guard<Lock> hold(*lock_);
  if (open_) Close();
  // A device whose address an SNMPv3 profile covers is asked with it; the
  // others with the community, unless the agent runs SNMPv3 only.
  const std::shared_ptr<const SnmpV3Credentials> credentials = SnmpV3CredentialStore::Instance().Current();
  const SnmpV3Profile* profile = credentials->ProfileFor(agentAddress_);
  const int port = AgentSettings::Current().SnmpPort();
  t_openUser = profile != nullptr ? profile->user : std::string();
  if (profile != nullptr) {
    SnmpMgrUsm usm = SnmpV3Usm::Of(*profile);
    usm.engineId = SnmpV3EngineTable::Instance().EngineId(agentAddress_);
    session_ = SnmpMgrOpenV3(agentAddress_, usm, timeout_, retries_, port);
    if (session_ == nullptr) {
      const uint32_t reason = SnmpMgrGetLastError();
      if (const char* text = SnmpMgrUsmErrorText(reason)) ThrowSecurityFailure(agentAddress_, profile->user, text);
      // No engine ID came back: the device does not answer.
      if (reason == SNMP_MGMTAPI_TIMEOUT) throw new OrlaException(kErrTimeout, 0, kMsgTimeout);
    }
  } else if (credentials->V3Only()) {
    ThrowSecurityFailure(agentAddress_, "", kNoProfileReason);
  } else {
    session_ = SnmpMgrOpen(agentAddress_, community_, timeout_, retries_, port);
  }
  if (session_ == nullptr) {
    const uint32_t reason = SnmpMgrGetLastError();
    if (FileLimitReport::IsLimitError(reason)) {
      // Every session fails alike now: one CRITICAL entry says so, not one
      // warning per request.
      FileLimitReport::Reached(std::string("the element at ") + agentAddress_);
      OrlaException::Quiet quiet;
      throw new OrlaException(kErrSessionOpen, reason, kMsgSessionOpen);
    }
    throw new OrlaException(kErrSessionOpen, 0, kMsgSessionOpen);
  }
  open_ = true;
}

void SnmpSession::Close() {
  std::lock_guard<Lock> hold(*lock_);
  if (!open_) return;
  SnmpMgrClose(session_);
  session_ = nullptr;
  open_ = false;
}

void SnmpSession::SetTimeoutSeconds(int32_t seconds) { timeout_ = seconds * 1000; }

void SnmpSession::SetTimeoutMilliseconds(int32_t milliseconds) { timeout_ = milliseconds; }

void SnmpSession::SetRetries(int32_t retries) { retries_ = retries; }

bool SnmpSession::RequestRead(uint8_t requestType, const char* oid, SnmpVarBindList* list, bool endOfView) {
  // A read asks with one binding whose value is NULL.
  list->list = nullptr;
  list->len = 0;
  list->list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(sizeof(SnmpVarBind)));
  if (list->list == nullptr) ThrowNoMemory(errno);
  list->len = 1;
  list->list[0].value.asnType = ASN_NULL;
  return Request(requestType, oid, list, endOfView);
}

void SnmpSession::RequestGet(const char* oid, SnmpVarBindList* list) {
  RequestRead(ASN_RFC1157_GETREQUEST, oid, list);
}

void SnmpSession::RequestGetNext(const char* oid, SnmpVarBindList* list) {
  RequestRead(ASN_RFC1157_GETNEXTREQUEST, oid, list);
}

bool SnmpSession::RequestGetNextInView(const char* oid, SnmpVarBindList* list) {
  return RequestRead(ASN_RFC1157_GETNEXTREQUEST, oid, list, true);
}

void SnmpSession::RequestSet(const char* oid, SnmpVarBindList* list) {
  if (list->list == nullptr || list->len < 1) {
    SnmpUtilVarBindListFree(list);
    throw new OrlaException(kErrInvalidParameter, 0, kMsgInvalidParameter);
  }
  Request(ASN_RFC1157_SETREQUEST, oid, list);
}

uint64_t SnmpSession::AnswersOnThisThread() { return t_answers; }

uint64_t SnmpSession::SecurityFailuresOnThisThread() { return t_securityFailures; }

const std::string& SnmpSession::LastSecurityFailureOnThisThread() { return t_lastSecurityFailure; }

SnmpSession::CallerReportsSecurity::CallerReportsSecurity() : previous_(t_callerReportsSecurity) {
  t_callerReportsSecurity = true;
}

SnmpSession::CallerReportsSecurity::~CallerReportsSecurity() { t_callerReportsSecurity = previous_; }

bool SnmpSession::RefusedWithoutProfile(const std::string& address) {
  const std::shared_ptr<const SnmpV3Credentials> credentials = SnmpV3CredentialStore::Instance().Current();
  return credentials->V3Only() && credentials->ProfileFor(address) == nullptr;
}

bool SnmpSession::Request(uint8_t requestType, const char* oid, SnmpVarBindList* list, bool endOfView) {
  // The name: converted into a temporary identifier, copied into the
  // binding. A text that cannot be converted is refused before anything is
  // sent.
  AsnObjectIdentifier name{0, nullptr};
  if (oid == nullptr || !SnmpMgrStrToOid(oid, &name)) {
    SnmpUtilVarBindListFree(list);
    throw new OrlaException(kErrInvalidParameter, 0, kMsgInvalidParameter);
  }
  SnmpVarBind& binding = list->list[0];
  SnmpUtilOidFree(&binding.name);
  binding.name.ids =
      static_cast<uint32_t*>(SnmpUtilMemAlloc(sizeof(uint32_t) * name.idLength));
  if (binding.name.ids == nullptr) {
    const int error = errno;
    SnmpUtilOidFree(&name);
    SnmpUtilVarBindListFree(list);
    ThrowNoMemory(error);
  }
  std::memcpy(binding.name.ids, name.ids, sizeof(uint32_t) * name.idLength);
  binding.name.idLength = name.idLength;
  SnmpUtilOidFree(&name);

  int32_t errorStatus = 0;
  int32_t errorIndex = 0;
  bool answered = false;
  uint32_t lastError = 0;
  {
    std::lock_guard<Lock> hold(*lock_);
    try {
      Open();
    } catch (OrlaException*) {
      SnmpUtilVarBindListFree(list);
      throw;
    }
    answered = SnmpMgrRequest(session_, requestType, list, &errorStatus, &errorIndex);
    if (answered) ++t_answers;
    lastError = SnmpMgrGetLastError();
    if (!t_openUser.empty()) LearnEngine(session_, agentAddress_, t_openUser);
    Close();
  }

  if (!answered) {
    SnmpUtilVarBindListFree(list);
    if (const char* text = SnmpMgrUsmErrorText(lastError)) ThrowSecurityFailure(agentAddress_, t_openUser, text);
    if (lastError == SNMP_MGMTAPI_TIMEOUT) throw new OrlaException(kErrTimeout, 0, kMsgTimeout);
    if (lastError == ENOMEM) ThrowNoMemory(ENOMEM);
    throw new OrlaException(kErrCommunication, 0, kMsgCommunication);
  }
  // A successful answer always carries the binding the caller reads.
  if (errorStatus == SNMP_ERRORSTATUS_NOERROR && list->len >= 1) return true;
  SnmpUtilVarBindListFree(list);
  if (errorStatus == SNMP_ERRORSTATUS_NOSUCHNAME) {
    if (endOfView) return false;
    throw new OrlaException(kErrNotRecognized, 0, kMsgNotRecognized);
  }
  if (requestType != ASN_RFC1157_SETREQUEST) {
    throw new OrlaException(kErrSnmpGet, 0, kMsgSnmpGet);
  }
  if (errorStatus == SNMP_ERRORSTATUS_BADVALUE) {
    throw new OrlaException(kErrInvalidParameter, 0, kMsgInvalidParameter);
  }
  throw new OrlaException(kErrSnmpSet, 0, kMsgSnmpSet);
}

void SnmpSession::GetValue(const char* oid, SnmpVarBindList* answer, const uint8_t* types) {
  RequestGet(oid, answer);
  if (answer->len >= 1 && answer->list != nullptr) {
    const uint8_t type = answer->list[0].value.asnType;
    for (const uint8_t* t = types; *t != 0; ++t) {
      if (*t == type) return;
    }
  }
  SnmpUtilVarBindListFree(answer);
  throw new OrlaException(kErrSnmpGet, 0, kMsgSnmpGet);
}

int32_t SnmpSession::GetInteger(const char* oid) {
  SnmpVarBindList answer{nullptr, 0};
  GetValue(oid, &answer, kNumberTypes);
  ListGuard guard{&answer};
  const AsnAny& value = answer.list[0].value;
  return value.asnType == ASN_INTEGER ? value.asnValue.number
                                      : static_cast<int32_t>(value.asnValue.unsigned32);
}

bool SnmpSession::GetTruthValue(const char* oid) { return GetInteger(oid) == 1; }

void SnmpSession::GetOctetsText(const char* oid, char** text, uint32_t minLength,
                                std::string (*format)(const uint8_t* octets, uint32_t length)) {
  SnmpVarBindList answer{nullptr, 0};
  GetValue(oid, &answer, kOctetTypes);
  ListGuard guard{&answer};
  const AsnOctetString& octets = Octets(answer.list[0].value);
  // A value shorter than the format needs reads as the empty text.
  StoreText(text, octets.length >= minLength ? format(octets.stream, octets.length) : std::string());
}

void SnmpSession::GetString(const char* oid, char** text) {
  GetOctetsText(oid, text, 0, [](const uint8_t* o, uint32_t length) {
    return length > 0 ? std::string(reinterpret_cast<const char*>(o), length) : std::string();
  });
}

void SnmpSession::GetIpAddress(const char* oid, char** text) {
  GetOctetsText(oid, text, 4, [](const uint8_t* o, uint32_t) {
    return Ipv4Text::Dotted(o);
  });
}

// The system's formats below carry a redundant 0 flag next to the precision.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"

void SnmpSession::GetWorldWideName(const char* oid, char** text) {
  GetOctetsText(oid, text, 8, [](const uint8_t* o, uint32_t) {
    return StringPrintf("%0.2x:%0.2x:%0.2x:%0.2x:%0.2x:%0.2x:%0.2x:%0.2x", o[0], o[1], o[2], o[3], o[4],
                        o[5], o[6], o[7]);
  });
}

void SnmpSession::GetMacAddress(const char* oid, char** text) {
  GetOctetsText(oid, text, 6, [](const uint8_t* o, uint32_t) {
    return StringPrintf("%0.2x:%0.2x:%0.2x:%0.2x:%0.2x:%0.2x", o[0], o[1], o[2], o[3], o[4], o[5]);
  });
}

void SnmpSession::GetHex24(const char* oid, char** text) {
  GetOctetsText(oid, text, 3, [](const uint8_t* o, uint32_t) {
    return StringPrintf("0x%0.6x", o[0] + o[1] * 256 + o[2] * 65536);
  });
}

#pragma GCC diagnostic pop

void SnmpSession::GetObjectId(const char* oid, char** text) {
  SnmpVarBindList answer{nullptr, 0};
  GetValue(oid, &answer, kObjectIdTypes);
  ListGuard guard{&answer};
  const AsnObjectIdentifier& id = answer.list[0].value.asnValue.object;
  std::string result;
  for (uint32_t i = 0; i < id.idLength; ++i) {
    result = StringPrintf("%s.%u", result.c_str(), id.ids[i]);
  }
  if (result.size() > kMaxObjectIdText) throw new OrlaException(kErrSnmpGet, 0, kMsgSnmpGet);
  StoreText(text, result);
}

void SnmpSession::SetValue(const char* oid, const AsnAny& value) {
  SnmpVarBindList list{nullptr, 0};
  list.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(sizeof(SnmpVarBind)));
  if (list.list == nullptr) {
    const int error = errno;
    AsnAny owned = value;
    SnmpUtilAsnAnyFree(&owned);
    ThrowNoMemory(error);
  }
  list.len = 1;
  list.list[0].value = value;  // the list owns the value's buffers from here
  RequestSet(oid, &list);
  SnmpUtilVarBindListFree(&list);
}

void SnmpSession::SetInteger(const char* oid, int32_t number) {
  AsnAny value{};
  value.asnType = ASN_INTEGER;
  value.asnValue.number = number;
  SetValue(oid, value);
}

namespace {

// An octet-string value holding a copy of `bytes` in SnmpUtilMemAlloc memory.
AsnAny OctetValue(uint8_t type, const uint8_t* bytes, size_t length) {
  AsnAny value{};
  value.asnType = type;
  auto* stream = static_cast<uint8_t*>(SnmpUtilMemAlloc(length));
  if (stream == nullptr) ThrowNoMemory(errno);
  if (length > 0) std::memcpy(stream, bytes, length);
  value.asnValue.string.stream = stream;
  value.asnValue.string.length = static_cast<uint32_t>(length);
  value.asnValue.string.dynamic = true;
  return value;
}

}  // namespace

void SnmpSession::SetString(const char* oid, const char* text) {
  if (text == nullptr) text = "";
  SetValue(oid, OctetValue(ASN_OCTETSTRING, reinterpret_cast<const uint8_t*>(text),
                           std::strlen(text)));
}

void SnmpSession::SetIpAddress(const char* oid, const char* dottedText) {
  // Split at "."; each of the first four parts converted as a decimal number
  // the way atoi does (leading digits, 0 for none), reduced to its low 8
  // bits. Parts the text does not supply are 0.
  uint8_t octets[4] = {0, 0, 0, 0};
  std::string text = dottedText != nullptr ? dottedText : "";
  size_t start = 0;
  for (int i = 0; i < 4 && start <= text.size(); ++i) {
    size_t end = text.find('.', start);
    if (end == std::string::npos) end = text.size();
    const std::string part = text.substr(start, end - start);
    octets[i] = static_cast<uint8_t>(std::strtol(part.c_str(), nullptr, 10) & 0xFF);
    if (end == text.size()) break;
    start = end + 1;
  }
  SetValue(oid, OctetValue(ASN_IPADDRESS, octets, 4));
}

void SnmpSession::SetOctets(const char* oid, const uint8_t* bytes, int32_t length) {
  if (length < 0 || (bytes == nullptr && length > 0)) {
    throw new OrlaException(kErrInvalidParameter, 0, kMsgInvalidParameter);
  }
  SetValue(oid, OctetValue(ASN_OCTETSTRING, bytes, static_cast<size_t>(length)));
}

}  // namespace orla
