#pragma once
// One managed device's SNMP agent: its address, the community to use, the
// time-out and retry values, and a lock. Offers one-variable SNMPv1 Get,
// GetNext and Set requests on a dotted object-identifier text, and typed
// reads and writes that turn the answer into a number or a text.
//
// Sessions are handed to device plug-ins by address, so the field order
// (after the virtual table: open flag, agent address, community, time-out,
// retries, session handle, lock) is part of the plug-in contract and must
// not change.
//
// Every request opens a fresh management session, sends, and closes it again
// inside the session's lock, so several threads may share one session.
//
// The version is the session's own business, hidden from the plug-ins: a
// device whose address an SNMPv3 profile covers (SnmpV3CredentialStore, read
// at every open, so a changed profile applies at the next request) is asked
// over SNMPv3 with the profile's user, keys and context, and the community
// is not used; what the session learns of the device's engine goes to
// SnmpV3EngineTable. Any other device is asked over SNMPv1 with the
// community, unless the agent runs SNMPv3 only (then 2009).
// Failures are thrown as OrlaException pointers:
//   2001 a Get (or GetNext) answer with an error status other than 0 and 2
//   2002 a Set answer with an error status other than 0, 2 and 3
//   2003 a Set answer with status 3 (bad value); an object-identifier text
//        that cannot be converted (nothing is sent)
//   2004 no answer for a reason other than a time-out
//   2006 no answer within the time-out after every retry
//   2007 an answer with status 2 (no such name)
//   2008 no management session can be opened
//   2009 an SNMPv3 security failure: "Authentication failed (SNMPv3 user
//        kor).", "Unknown user ...", "Not in time window ...", "Decryption
//        failed ...", or "No SNMPv3 profile (v3-only)." when the agent
//        runs SNMPv3 only and no profile covers the address
//   3001 an allocation failed
#include <cstdint>
#include <string>

#include "agent/core/lock.h"
#include "agent/core/root_object.h"
#include "platform/snmpmgr/snmp_api.h"
#include "platform/snmpmgr/snmp_mgr.h"

namespace orla {

struct SnmpMgrUsm;
struct SnmpV3Profile;

class SnmpSession : public RootObject {
 public:
  // Copies both texts; time-out 5 seconds (5000 ms), 4 retries; closed.
  // Throws OrlaException 3001 when a copy or the lock cannot be allocated.
  SnmpSession(const char* agentAddress, const char* community);
  // Closes an open management session, frees both texts, deletes the lock.
  ~SnmpSession() override;
  SnmpSession(const SnmpSession&) = delete;
  SnmpSession& operator=(const SnmpSession&) = delete;

  // Opens the management session (closing an open one first); throws 2008
  // "Unable to open an SNMP session." when none can be had.
  void Open();
  // Closes the management session if one is open. Never fails.
  void Close();
  // Stores seconds x 1000 as the time-out in milliseconds.
  void SetTimeoutSeconds(int32_t seconds);
  // Not among the original operations: the time-out in milliseconds and the
  // retry count, for callers that are told them per request (the device web
  // agent). Both take effect at the next request.
  void SetTimeoutMilliseconds(int32_t milliseconds);
  void SetRetries(int32_t retries);

  // Request cores. `list` is owned by the caller.
  //
  // RequestGet fills `list` with one binding for the name (value ASN_NULL),
  // sends a Get and on success leaves the answer in `list`: the caller reads
  // the first binding and frees the list with SnmpUtilVarBindListFree. On any
  // failure the list has been freed when the exception arrives.
  void RequestGet(const char* oid, SnmpVarBindList* list);
  // Not among the original requests: the same core with a GetNext request
  // and the same error mapping as RequestGet, for plug-ins that walk a table.
  // On success the first binding of `list` holds the next object's name and
  // value.
  void RequestGetNext(const char* oid, SnmpVarBindList* list);
  // RequestGetNext for a walk: false (the list freed, nothing raised or
  // logged) when the answer is "no such name", which an SNMPv1 agent gives
  // for a GetNext past its last object, so reaching the end of a walk is not
  // an error. Every other failure is raised as by RequestGetNext.
  bool RequestGetNextInView(const char* oid, SnmpVarBindList* list);
  // The caller passes a list of one binding whose value is already filled
  // (buffers from SnmpUtilMemAlloc); the core fills the name (releasing a
  // name already there) and sends a Set. On success the caller frees the
  // list; on failure the core has freed it.
  void RequestSet(const char* oid, SnmpVarBindList* list);

  // Typed reads. Each runs RequestGet, converts the first binding of the
  // answer and frees the answer. Reads that produce a text take the address
  // of a text pointer: after a successful request an earlier text there is
  // freed and a new one stored, which the caller releases with free(); after
  // a failure the pointer is left as it was. A value of a type the read
  // cannot convert (say a string for GetInteger) raises 2001.
  //
  // Integer, counter, gauge and time-ticks values: the 32-bit number.
  int32_t GetInteger(const char* oid);
  // True when the number is 1 (SNMP truth values: 1 true, 2 false).
  bool GetTruthValue(const char* oid);
  // The octet string's bytes, exactly its length, then a terminating zero.
  void GetString(const char* oid, char** text);
  // "%d.%d.%d.%d" of the first four octets; "" for a value shorter than 4.
  void GetIpAddress(const char* oid, char** text);
  // Eight octets as "xx:xx:xx:xx:xx:xx:xx:xx" (lower-case hex); "" for a
  // value shorter than 8.
  void GetWorldWideName(const char* oid, char** text);
  // Six octets as "xx:xx:xx:xx:xx:xx"; "" for a value shorter than 6.
  void GetMacAddress(const char* oid, char** text);
  // ".1.3.6.1.2.1" for the identifier 1.3.6.1.2.1; "" for no sub-identifiers.
  // The text is at most 99 characters (it fits a 100-byte buffer); a longer
  // identifier raises 2001.
  void GetObjectId(const char* oid, char** text);
  // "0x%0.6x" of octet 0 + octet 1 x 256 + octet 2 x 65536; "" for a value
  // shorter than 3.
  void GetHex24(const char* oid, char** text);

  // Typed writes: each builds a one-binding list, runs RequestSet and frees
  // the list on success; the exception of RequestSet passes through.
  void SetInteger(const char* oid, int32_t value);            // ASN_INTEGER
  void SetString(const char* oid, const char* text);          // ASN_OCTETSTRING, no zero
  void SetIpAddress(const char* oid, const char* dottedText);  // ASN_IPADDRESS
  void SetOctets(const char* oid, const uint8_t* bytes, int32_t length);  // ASN_OCTETSTRING

  // How many requests made on the calling thread (through any session) got
  // an answer, error answers included. A caller that runs a plug-in learns
  // from the count before and after whether the device answered meanwhile,
  // without a field in the session's fixed layout.
  static uint64_t AnswersOnThisThread();
  // The same for SNMPv3 security failures (2009), with the message of the
  // latest ("Authentication failed (SNMPv3 user kor)."): a caller whose
  // plug-in turned the failure into an answer of its own ("not my type")
  // still learns why.
  static uint64_t SecurityFailuresOnThisThread();
  static const std::string& LastSecurityFailureOnThisThread();

  // The words of a device the agent does not ask because it runs SNMPv3
  // only and no profile covers the address (the 2009 message adds a period).
  static constexpr const char kNoProfileReason[] = "No SNMPv3 profile (v3-only)";
  // Whether a request to `address` would be refused for that reason now,
  // without being sent (the credentials as the next request would read them).
  static bool RefusedWithoutProfile(const std::string& address);
  // While one lives on a thread, the SNMPv3 security failures raised on it
  // write no event-log entry of their own: the holder (an element's poll)
  // reports them once, naming the element and its address.
  class CallerReportsSecurity {
   public:
    CallerReportsSecurity();
    ~CallerReportsSecurity();
    CallerReportsSecurity(const CallerReportsSecurity&) = delete;
    CallerReportsSecurity& operator=(const CallerReportsSecurity&) = delete;

   private:
    bool previous_;
  };

  const char* GetAgentAddress() const { return agentAddress_; }
  const char* GetCommunity() const { return community_; }
  int32_t GetTimeout() const { return timeout_; }
  int32_t GetRetries() const { return retries_; }
  bool IsOpen() const { return open_; }

 private:
  // Get and GetNext: builds the one-binding request list and runs Request.
  // With `endOfView`, "no such name" answers false instead of raising 2007.
  bool RequestRead(uint8_t requestType, const char* oid, SnmpVarBindList* list, bool endOfView = false);
  // Shared by the three request cores.
  bool Request(uint8_t requestType, const char* oid, SnmpVarBindList* list, bool endOfView = false);
  // Runs RequestGet and hands back the answer's first binding's value,
  // checked to be one of `types` (a list ending in 0); raises 2001 otherwise.
  void GetValue(const char* oid, SnmpVarBindList* answer, const uint8_t* types);
  // Reads an octet-string-like value and stores `format`'s text of it in
  // `*text`; a value shorter than `minLength` gives the empty text.
  void GetOctetsText(const char* oid, char** text, uint32_t minLength,
                     std::string (*format)(const uint8_t* octets, uint32_t length));
  // Runs RequestSet with a one-binding list holding `value`.
  void SetValue(const char* oid, const AsnAny& value);

  // The field order below is fixed (see the top of this file).
  bool open_;
  char* agentAddress_;
  char* community_;
  int32_t timeout_;
  int32_t retries_;
  LPSNMP_MGR_SESSION session_;
  Lock* lock_;
};

}  // namespace orla
