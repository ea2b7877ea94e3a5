// The management API stand-in without a network: identifier conversion and
// the release calls.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/snmpmgr/snmp_api.h"
#include "platform/snmpmgr/snmp_mgr.h"

namespace orla {
namespace {

std::vector<uint32_t> Converted(const char* text, bool* ok) {
  AsnObjectIdentifier oid{99, nullptr};
  *ok = SnmpMgrStrToOid(text, &oid);
  std::vector<uint32_t> ids(oid.ids, oid.ids + oid.idLength);
  SnmpUtilOidFree(&oid);
  EXPECT_EQ(oid.ids, nullptr);
  return ids;
}

TEST(SnmpMgrStrToOidTest, ConvertsDottedNumbersWithOrWithoutLeadingPoint) {
  const std::pair<const char*, std::vector<uint32_t>> cases[] = {{".1.3.6.1.2.1.1.5.0", {1, 3, 6, 1, 2, 1, 1, 5, 0}},
                                                                 {"1.3.6.1.4.1.4413", {1, 3, 6, 1, 4, 1, 4413}},
                                                                 {".1.4294967295", {1, 4294967295u}},
                                                                 {"0", {0}}};
  for (const auto& [text, ids] : cases) {
    bool ok = false;
    EXPECT_EQ(Converted(text, &ok), ids);
    EXPECT_TRUE(ok) << text;
  }
}

TEST(SnmpMgrStrToOidTest, RefusesWhatIsNotADottedNumber) {
  std::string tooLong;
  for (int i = 0; i < 129; ++i) tooLong += ".1";
  for (const std::string& text :
       {std::string(""), std::string("."), std::string(".."), std::string("1..3"),
        std::string(".1.3."), std::string("..1.3"), std::string(".1.3a"), std::string("-1.3"),
        std::string("+1.3"), std::string("1. 3"), std::string(" 1.3"), std::string("sysName.0"),
        std::string(".1.4294967296"), std::string(".1.99999999999999999999999"), tooLong}) {
    bool ok = true;
    EXPECT_TRUE(Converted(text.c_str(), &ok).empty()) << text;
    EXPECT_FALSE(ok) << text;
  }
  AsnObjectIdentifier oid{5, nullptr};
  EXPECT_FALSE(SnmpMgrStrToOid(nullptr, &oid));
  EXPECT_EQ(oid.idLength, 0u);
}

TEST(SnmpUtilTest, ReleasesBindingsAndLeavesTheListEmpty) {
  SnmpVarBindList list{nullptr, 0};
  SnmpUtilVarBindListFree(&list);  // an empty list is fine
  list.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(2 * sizeof(SnmpVarBind)));
  ASSERT_NE(list.list, nullptr);
  list.len = 2;
  EXPECT_EQ(list.list[1].value.asnType, 0);  // zero-filled
  ASSERT_TRUE(SnmpMgrStrToOid(".1.3.6.1", &list.list[0].name));
  list.list[0].value.asnType = ASN_OCTETSTRING;
  list.list[0].value.asnValue.string.stream = static_cast<uint8_t*>(SnmpUtilMemAlloc(3));
  list.list[0].value.asnValue.string.length = 3;
  list.list[0].value.asnValue.string.dynamic = true;
  ASSERT_TRUE(SnmpMgrStrToOid(".1.3.6.2", &list.list[1].name));
  list.list[1].value.asnType = ASN_OBJECTIDENTIFIER;
  ASSERT_TRUE(SnmpUtilOidCpy(&list.list[1].value.asnValue.object, &list.list[1].name));
  EXPECT_EQ(list.list[1].value.asnValue.object.ids[3], 2u);
  SnmpUtilVarBindListFree(&list);  // LeakSanitizer checks that all of it went
  EXPECT_EQ(list.list, nullptr);
  EXPECT_EQ(list.len, 0u);
  SnmpUtilVarBindListFree(&list);  // and a second time is harmless
}

TEST(SnmpMgrOpenTest, RefusesAnEmptyOrUnresolvableAddress) {
  EXPECT_EQ(SnmpMgrOpen("", "public", 1000, 0), nullptr);
  EXPECT_EQ(SnmpMgrOpen(nullptr, "public", 1000, 0), nullptr);
  // A name with an empty label fails in the resolver without a query.
  EXPECT_EQ(SnmpMgrOpen("bad..name", "public", 1000, 0), nullptr);
  EXPECT_NE(SnmpMgrGetLastError(), SNMP_MGMTAPI_TIMEOUT);
  int32_t status = 0;
  int32_t index = 0;
  SnmpVarBindList list{nullptr, 0};
  EXPECT_FALSE(SnmpMgrRequest(nullptr, ASN_RFC1157_GETREQUEST, &list, &status, &index));
  EXPECT_EQ(SnmpMgrGetLastError(), SNMP_MGMTAPI_INVALID_SESSION);
}

TEST(SnmpMgrOpenTest, OpensWithoutSendingAndRejectsBadRequests) {
  // Opening only makes a socket: nothing is sent to the address.
  LPSNMP_MGR_SESSION session = SnmpMgrOpen("127.0.0.1", "public", 1000, 0);
  ASSERT_NE(session, nullptr);
  int32_t status = 0;
  int32_t index = 0;
  SnmpVarBindList empty{nullptr, 0};
  EXPECT_FALSE(SnmpMgrRequest(session, ASN_RFC1157_GETREQUEST, &empty, &status, &index));
  EXPECT_EQ(SnmpMgrGetLastError(), SNMP_MGMTAPI_INVALID_BUFFER);
  EXPECT_FALSE(SnmpMgrRequest(session, ASN_RFC1157_TRAP, &empty, &status, &index));
  EXPECT_EQ(SnmpMgrGetLastError(), SNMP_MGMTAPI_INVALID_CTL);
  EXPECT_TRUE(SnmpMgrClose(session));
  EXPECT_TRUE(SnmpMgrClose(nullptr));
}

}  // namespace
}  // namespace orla
