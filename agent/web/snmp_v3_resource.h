#pragma once
// SnmpV3Resource: the v3-only switch in the JSON API, as /KOR/snmpv3.json
// (SnmpV3JsonPage) answers it and the profiles page turns it:
//   GET   snmpv3  {"v3Only","withoutProfile","withoutProfileNames"}: any
//                 reader; the managed elements no SNMPv3 profile covers
//                 (those v3-only mode does not poll), in list order
//   PATCH snmpv3  {"v3Only": true|false}: administrators; the change
//                 (SnmpV3Change) and its audit event ("SNMPv3-only polling
//                 on"); 200 as GET answers
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class SnmpV3Resource {
 public:
  static ApiReply Get(const ApiCall& call);
  static ApiReply Change(const ApiCall& call);
};

}  // namespace orla
