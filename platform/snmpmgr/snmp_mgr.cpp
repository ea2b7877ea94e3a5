#include "platform/snmpmgr/snmp_mgr.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "net_snmp_convert.h"
#include "snmp_mgr_library.h"
#include "snmp_mgr_session.h"
#include "usm_exchange.h"

namespace orla {

namespace {

thread_local uint32_t lastError = 0;
thread_local SnmpMgrPacer* threadPacer = nullptr;

// One v1 request with its tries made here, each after the pacer's word:
// the library's own retries are off for each send. Frees `pdu`.
int PacedResponse(void* handle, netsnmp_pdu* pdu, netsnmp_pdu** response, bool* cancelled) {
  netsnmp_session* settings = snmp_sess_session(handle);
  const int tries = 1 + (settings != nullptr && settings->retries > 0 ? settings->retries : 0);
  const int retries = settings != nullptr ? settings->retries : 0;
  if (settings != nullptr) settings->retries = 0;
  int status = STAT_TIMEOUT;
  for (int attempt = 0; attempt < tries; ++attempt) {
    if (!threadPacer->BeforeSend()) {
      status = STAT_ERROR;
      *cancelled = true;
      break;
    }
    netsnmp_pdu* copy = attempt + 1 < tries ? snmp_clone_pdu(pdu) : pdu;
    if (copy == nullptr) {
      status = STAT_ERROR;
      break;
    }
    status = snmp_sess_synch_response(handle, copy, response);
    if (copy == pdu) pdu = nullptr;
    if (status != STAT_TIMEOUT) break;
    if (*response != nullptr) {
      snmp_free_pdu(*response);
      *response = nullptr;
    }
  }
  if (pdu != nullptr) snmp_free_pdu(pdu);
  if (settings != nullptr) settings->retries = retries;
  return status;
}

// A system error number as a failure reason; never the time-out's number.
uint32_t SystemReason(int error) {
  if (error <= 0) return EIO;
  if (static_cast<uint32_t>(error) == SNMP_MGMTAPI_TIMEOUT) return EIO;
  return static_cast<uint32_t>(error);
}

void FreeList(SnmpVarBindList* list) { SnmpUtilVarBindListFree(list); }

}  // namespace

uint32_t SnmpMgrGetLastError() { return lastError; }

void SnmpMgrSetLastError(uint32_t error) { lastError = error; }

LPSNMP_MGR_SESSION SnmpMgrOpen(const char* agentAddress, const char* community,
                               int32_t timeoutMs, int32_t retries, int port) {
  if (agentAddress == nullptr || *agentAddress == '\0' || community == nullptr || port < 1 || port > 65535) {
    SnmpMgrSetLastError(SNMP_MGMTAPI_INVALID_SESSION);
    return nullptr;
  }
  SnmpMgrLibrary::Initialize();

  // A host or IPv4 address; an IPv6 literal gets its brackets.
  const std::string peer = SnmpMgrLibrary::PeerName(agentAddress, port);
  std::string communityCopy(community);

  netsnmp_session settings;
  snmp_sess_init(&settings);
  settings.version = SNMP_VERSION_1;
  settings.peername = const_cast<char*>(peer.c_str());
  settings.community = reinterpret_cast<u_char*>(communityCopy.data());
  settings.community_len = communityCopy.size();
  settings.timeout = static_cast<long>(timeoutMs < 0 ? 0 : timeoutMs) * 1000L;  // microseconds
  settings.retries = retries < 0 ? 0 : retries;

  auto* session = new (std::nothrow) SnmpMgrSession();
  if (session == nullptr) {
    SnmpMgrSetLastError(SystemReason(ENOMEM));
    return nullptr;
  }
  {
    // snmp_sess_open copies what it keeps of `settings`.
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    errno = 0;
    session->handle = snmp_sess_open(&settings);
  }
  if (session->handle == nullptr) {
    SnmpMgrSetLastError(SystemReason(errno != 0 ? errno : EHOSTUNREACH));
    delete session;
    return nullptr;
  }
  return session;
}

bool SnmpMgrClose(LPSNMP_MGR_SESSION session) {
  if (session == nullptr) return true;
  {
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    snmp_sess_close(session->handle);
  }
  delete session;
  return true;
}

bool SnmpMgrStrToOid(const char* text, AsnObjectIdentifier* oid) {
  oid->idLength = 0;
  oid->ids = nullptr;
  if (text == nullptr) return false;
  const char* p = text;
  if (*p == '.') ++p;
  if (*p == '\0') return false;
  // Count first, then convert into an array of exactly that size.
  uint32_t count = 1;
  for (const char* q = p; *q != '\0'; ++q) {
    if (*q == '.') {
      ++count;
    } else if (*q < '0' || *q > '9') {
      return false;
    }
  }
  if (count > MAX_OID_LEN) return false;
  auto* ids = static_cast<uint32_t*>(SnmpUtilMemAlloc(sizeof(uint32_t) * count));
  if (ids == nullptr) return false;
  uint32_t index = 0;
  while (true) {
    if (*p < '0' || *p > '9') break;  // empty part
    uint64_t value = 0;
    while (*p >= '0' && *p <= '9') {
      value = value * 10 + static_cast<uint64_t>(*p - '0');
      if (value > 0xFFFFFFFFu) break;
      ++p;
    }
    if (value > 0xFFFFFFFFu) break;
    ids[index++] = static_cast<uint32_t>(value);
    if (*p == '\0') {
      if (index != count) break;
      oid->ids = ids;
      oid->idLength = count;
      return true;
    }
    ++p;  // the point
  }
  SnmpUtilMemFree(ids);
  return false;
}

SnmpMgrPacer* SnmpMgrSetPacer(SnmpMgrPacer* pacer) {
  SnmpMgrPacer* before = threadPacer;
  threadPacer = pacer;
  return before;
}

bool SnmpMgrRequest(LPSNMP_MGR_SESSION session, uint8_t requestType, SnmpVarBindList* list,
                    int32_t* errorStatus, int32_t* errorIndex) {
  if (session == nullptr || session->handle == nullptr) {
    SnmpMgrSetLastError(SNMP_MGMTAPI_INVALID_SESSION);
    return false;
  }
  int command;
  switch (requestType) {
    case ASN_RFC1157_GETREQUEST: command = SNMP_MSG_GET; break;
    case ASN_RFC1157_GETNEXTREQUEST: command = SNMP_MSG_GETNEXT; break;
    case ASN_RFC1157_SETREQUEST: command = SNMP_MSG_SET; break;
    default:
      SnmpMgrSetLastError(SNMP_MGMTAPI_INVALID_CTL);
      return false;
  }
  if (list == nullptr || list->list == nullptr || list->len == 0 || errorStatus == nullptr ||
      errorIndex == nullptr) {
    SnmpMgrSetLastError(SNMP_MGMTAPI_INVALID_BUFFER);
    return false;
  }

  netsnmp_pdu* pdu;
  {
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    pdu = snmp_pdu_create(command);
  }
  if (pdu == nullptr) {
    SnmpMgrSetLastError(SystemReason(ENOMEM));
    return false;
  }
  for (uint32_t i = 0; i < list->len; ++i) {
    if (!NetSnmpConvert::AddToPdu(pdu, list->list[i])) {
      snmp_free_pdu(pdu);
      SnmpMgrSetLastError(SNMP_MGMTAPI_INVALID_BUFFER);
      return false;
    }
  }

  netsnmp_pdu* response = nullptr;
  if (session->v3) {
    if (threadPacer != nullptr) {
      netsnmp_session* settings = snmp_sess_session(session->handle);
      const int sends = 2 * (1 + (settings != nullptr && settings->retries > 0 ? settings->retries : 0));
      for (int i = 0; i < sends; ++i) {
        if (!threadPacer->BeforeSend()) {
          snmp_free_pdu(pdu);
          SnmpMgrSetLastError(SystemReason(ECANCELED));
          return false;
        }
      }
    }
    // The library's v3 code runs under the lock, the waits outside it.
    UsmExchange::Result result = UsmExchange::Run(session->handle, pdu, &session->waiter);
    if (result.status != STAT_SUCCESS || result.response == nullptr) {
      if (result.response != nullptr) snmp_free_pdu(result.response);
      SnmpMgrSetLastError(result.Reason());
      return false;
    }
    response = result.response;
  } else {
  // Sends, waits, resends after each time-out; frees `pdu`.
  bool cancelled = false;
  const int status = threadPacer != nullptr ? PacedResponse(session->handle, pdu, &response, &cancelled)
                                            : snmp_sess_synch_response(session->handle, pdu, &response);
  if (status != STAT_SUCCESS || response == nullptr) {
    if (status == STAT_TIMEOUT) {
      SnmpMgrSetLastError(SNMP_MGMTAPI_TIMEOUT);
    } else if (cancelled) {
      SnmpMgrSetLastError(SystemReason(ECANCELED));
    } else {
      int systemError = 0;
      int snmpError = 0;
      char* detail = nullptr;
      snmp_sess_error(session->handle, &systemError, &snmpError, &detail);
      std::free(detail);
      SnmpMgrSetLastError(SystemReason(systemError));
    }
    if (response != nullptr) snmp_free_pdu(response);
    return false;
  }
  }

  *errorStatus = static_cast<int32_t>(response->errstat);
  *errorIndex = static_cast<int32_t>(response->errindex);
  if (response->errstat == SNMP_ERR_NOERROR) {
    // The answer's bindings replace the request's.
    uint32_t count = 0;
    for (netsnmp_variable_list* v = response->variables; v != nullptr; v = v->next_variable) {
      ++count;
    }
    SnmpVarBindList answer{nullptr, 0};
    answer.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(sizeof(SnmpVarBind) * count));
    bool ok = answer.list != nullptr;
    for (netsnmp_variable_list* v = response->variables; ok && v != nullptr;
         v = v->next_variable) {
      ok = NetSnmpConvert::ToVarBind(v, &answer.list[answer.len]);
      if (ok) ++answer.len;
    }
    snmp_free_pdu(response);
    if (!ok) {
      FreeList(&answer);
      SnmpMgrSetLastError(SystemReason(ENOMEM));
      return false;
    }
    FreeList(list);
    *list = answer;
  } else {
    snmp_free_pdu(response);
  }
  return true;
}

}  // namespace orla
