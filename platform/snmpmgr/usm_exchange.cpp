#include "usm_exchange.h"

#include <poll.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "platform/snmpmgr/snmp_api.h"
#include "platform/snmpmgr/snmp_mgr_usm.h"
#include "snmp_mgr_library.h"

namespace orla {

namespace {


// Runs under the library lock (inside snmp_sess_read or snmp_sess_timeout).
int Answered(int operation, netsnmp_session* session, int /*reqid*/, netsnmp_pdu* pdu, void* magic) {
  // A resend (after a time-out, or at once after a "not in time window"
  // report that taught the library the engine's time) is no answer yet.
  if (operation == NETSNMP_CALLBACK_OP_RESEND || operation == NETSNMP_CALLBACK_OP_CONNECT) return 1;
  auto* waiter = static_cast<UsmExchange::Waiter*>(magic);
  waiter->done = true;
  UsmExchange::Result& result = waiter->result;
  switch (operation) {
    case NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE:
      if (pdu->securityEngineID != nullptr && pdu->securityEngineIDLen > 0) {
        result.engineId.assign(reinterpret_cast<const char*>(pdu->securityEngineID), pdu->securityEngineIDLen);
      }
      if (pdu->command == SNMP_MSG_REPORT) {
        result.status = STAT_ERROR;
        result.snmpError = snmpv3_get_report_type(pdu);
      } else {
        result.response = snmp_clone_pdu(pdu);
        result.status = result.response != nullptr ? STAT_SUCCESS : STAT_ERROR;
        if (result.response == nullptr) result.systemError = ENOMEM;
      }
      break;
    case NETSNMP_CALLBACK_OP_TIMED_OUT:
      result.status = STAT_TIMEOUT;
      break;
    default:  // a security error, a failed send, a lost connection
      result.status = STAT_ERROR;
      // The library sets the session's error only after the callback (Run
      // reads it then) on some of these paths.
      result.snmpError = session != nullptr ? session->s_snmp_errno : 0;
      break;
  }
  return 1;
}

// After a read that did not end the exchange: a datagram the library
// turned away because it could not be authenticated or decrypted with this
// session's keys (a device that knows the user with other pass phrases
// answers so) ends it as an authentication failure, at once rather than
// after every retry.
void RejectedAnswer(void* handle, UsmExchange::Waiter* waiter) {
  int systemError = 0, snmpError = 0;
  char* detail = nullptr;
  snmp_sess_error(handle, &systemError, &snmpError, &detail);
  std::free(detail);
  switch (snmpError) {
    case SNMPERR_BAD_PARSE:
    case SNMPERR_AUTHENTICATION_FAILURE:
    case SNMPERR_USM_AUTHENTICATIONFAILURE:
      snmpError = SNMPERR_AUTHENTICATION_FAILURE;
      break;
    case SNMPERR_DECRYPTION_ERR:
    case SNMPERR_USM_DECRYPTIONERROR:
    case SNMPERR_UNKNOWN_USER_NAME:
    case SNMPERR_USM_UNKNOWNSECURITYNAME:
    case SNMPERR_NOT_IN_TIME_WINDOW:
    case SNMPERR_USM_NOTINTIMEWINDOW:
      break;
    default:
      return;
  }
  waiter->done = true;
  waiter->result.status = STAT_ERROR;
  waiter->result.snmpError = snmpError;
}

}  // namespace

uint32_t UsmExchange::Result::Reason() const {
  if (status == STAT_TIMEOUT) return SNMP_MGMTAPI_TIMEOUT;
  switch (snmpError) {
    case SNMPERR_UNKNOWN_USER_NAME:
    case SNMPERR_USM_UNKNOWNSECURITYNAME: return SNMP_MGMTAPI_USM_UNKNOWN_USER;
    case SNMPERR_AUTHENTICATION_FAILURE:
    case SNMPERR_USM_AUTHENTICATIONFAILURE: return SNMP_MGMTAPI_USM_AUTH_FAILED;
    case SNMPERR_NOT_IN_TIME_WINDOW:
    case SNMPERR_USM_NOTINTIMEWINDOW: return SNMP_MGMTAPI_USM_NOT_IN_TIME;
    case SNMPERR_UNKNOWN_ENG_ID:
    case SNMPERR_USM_UNKNOWNENGINEID: return SNMP_MGMTAPI_USM_UNKNOWN_ENGINE;
    case SNMPERR_DECRYPTION_ERR:
    case SNMPERR_USM_DECRYPTIONERROR:
    case SNMPERR_USM_ENCRYPTIONERROR: return SNMP_MGMTAPI_USM_DECRYPTION;
    case SNMPERR_UNSUPPORTED_SEC_LEVEL:
    case SNMPERR_USM_UNSUPPORTEDSECURITYLEVEL: return SNMP_MGMTAPI_USM_LEVEL;
    case SNMPERR_BAD_CONTEXT: return SNMP_MGMTAPI_USM_UNKNOWN_CONTEXT;
    case SNMPERR_USM_GENERICERROR:
    case SNMPERR_USM_PARSEERROR:
    case SNMPERR_UNKNOWN_REPORT: return SNMP_MGMTAPI_USM_OTHER;
    default: break;
  }
  if (systemError > 0 && static_cast<uint32_t>(systemError) != SNMP_MGMTAPI_TIMEOUT) {
    return static_cast<uint32_t>(systemError);
  }
  return snmpError != 0 ? SNMP_MGMTAPI_USM_OTHER : EIO;
}

UsmExchange::Result UsmExchange::Run(void* handle, netsnmp_pdu* pdu, Waiter* state) {
  // The waiter outlives the exchange: a request given up on stays with the
  // session, which may still call back for it until it is closed.
  *state = Waiter();
  Waiter& waiter = *state;
  std::unique_lock<std::mutex> hold(SnmpMgrLibrary::Mutex());
  if (snmp_sess_async_send(handle, pdu, Answered, &waiter) == 0) {
    int systemError = 0, snmpError = 0;
    char* detail = nullptr;
    snmp_sess_error(handle, &systemError, &snmpError, &detail);
    std::free(detail);
    snmp_free_pdu(pdu);
    waiter.result.status = STAT_ERROR;
    waiter.result.snmpError = snmpError != 0 ? snmpError : SNMPERR_GENERR;
    waiter.result.systemError = systemError;
    return waiter.result;
  }
  netsnmp_transport* transport = snmp_sess_transport(handle);
  const int socket = transport != nullptr ? transport->sock : -1;
  while (!waiter.done) {
    // How long until the library wants to resend (or give up).
    netsnmp_large_fd_set fds;
    netsnmp_large_fd_set_init(&fds, socket + 1);
    int count = 0;
    int block = 0;
    timeval wait{1, 0};
    snmp_sess_select_info2(handle, &count, &fds, &wait, &block);
    netsnmp_large_fd_set_cleanup(&fds);
    const long ms = wait.tv_sec * 1000L + (wait.tv_usec + 999) / 1000;

    hold.unlock();
    pollfd ready{socket, POLLIN, 0};
    const int n = socket >= 0 ? ::poll(&ready, 1, static_cast<int>(ms < 0 ? 0 : (ms > 60000 ? 60000 : ms))) : 0;
    hold.lock();

    if (n > 0) {
      netsnmp_large_fd_set readable;
      netsnmp_large_fd_set_init(&readable, socket + 1);
      NETSNMP_LARGE_FD_SET(socket, &readable);
      snmp_sess_read2(handle, &readable);
      if (!waiter.done) RejectedAnswer(handle, &waiter);
      netsnmp_large_fd_set_cleanup(&readable);
    } else if (n == 0) {
      snmp_sess_timeout(handle);
    } else if (errno != EINTR) {
      waiter.result.status = STAT_ERROR;
      waiter.result.systemError = errno;
      break;
    }
  }
  if (waiter.result.status == STAT_ERROR && waiter.result.snmpError == 0) {
    int systemError = 0, snmpError = 0;
    char* detail = nullptr;
    snmp_sess_error(handle, &systemError, &snmpError, &detail);
    std::free(detail);
    waiter.result.snmpError = snmpError != 0 ? snmpError : SNMPERR_GENERR;
    if (waiter.result.systemError == 0) waiter.result.systemError = systemError;
  }
  return waiter.result;
}

}  // namespace orla
