// SNMPv3 sessions against snmpsimd's v3 users: each user's level and
// protocols read the recording; a wrong pass phrase is an authentication
// failure, not a silent device; the engine is discovered once and kept.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/snmp/snmp_session.h"
#include "agent/snmp/snmp_v3_engine_table.h"
#include "tests/integration/snmp/snmpsim_device.h"
#include "tests/support/snmpsim_v3_users.h"
#include "tests/support/scoped_settings.h"

namespace orla {
namespace {

constexpr char kRecording[] = "1.3.6.1.2.1.1.1.0|4|Tape controller\n1.3.6.1.2.1.1.3.0|67|12345\n1.3.6.1.2.1.1.5.0|4|tc01\n";

TEST(SnmpV3SessionTest, EachUserReadsTheRecordingAndAWrongPassPhraseFailsAuthentication) {
  test::ScopedSettings settings;
  test::SnmpsimDevice device;
  ASSERT_TRUE(device.Start(kRecording, test::SnmpsimV3Arguments())) << device.Log();
  settings.SnmpPort(device.Port());

  struct Case {
    SnmpV3Profile profile;
    const char* failure;  // "" when the read succeeds
  };
  std::vector<Case> cases;
  for (const test::SnmpsimV3User& user : test::kSnmpsimV3Users) cases.push_back({test::ProfileOf(user), ""});
  SnmpV3Profile wrong = test::ProfileOf(test::kSnmpsimV3Users[1]);
  wrong.authPassPhrase = "not the pass phrase";
  cases.push_back({wrong, "Authentication failed (SNMPv3 user kor-sha256)."});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile.user);
    SnmpV3CredentialStore::Instance().Set(test::CredentialsWith(c.profile));
    SnmpSession session("127.0.0.1", "not-a-community");
    char* name = nullptr;
    std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] { session.GetString(".1.3.6.1.2.1.1.5.0", &name); });
    if (*c.failure == '\0') {
      ASSERT_EQ(failed, nullptr) << failed->Message();
      EXPECT_STREQ(name, "tc01");
      EXPECT_EQ(session.GetInteger(".1.3.6.1.2.1.1.3.0"), 12345);
      SnmpV3EngineTable::Entry engine;
      ASSERT_TRUE(SnmpV3EngineTable::Instance().Find("127.0.0.1", &engine));
      EXPECT_EQ(engine.EngineIdHex().substr(0, 8), "80004fb8") << "snmpsimd's enterprise";
      EXPECT_TRUE(engine.timeKnown);
      EXPECT_EQ(engine.failure, "");
    } else {
      ASSERT_NE(failed, nullptr);
      EXPECT_EQ(failed->Code(), kErrSnmpSecurity);
      EXPECT_EQ(failed->Message(), c.failure);
      EXPECT_EQ(SnmpSession::LastSecurityFailureOnThisThread(), c.failure);
    }
    std::free(name);
  }
  // A community is not used for a covered address, nor for any when the
  // agent runs SNMPv3 only.
  SnmpV3Credentials v3Only;
  v3Only.SetV3Only(true);
  SnmpV3CredentialStore::Instance().Set(v3Only);
  SnmpSession session("127.0.0.1", "public");
  std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] { session.GetInteger(".1.3.6.1.2.1.1.3.0"); });
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->Message(), "No SNMPv3 profile (v3-only).");
  SnmpV3CredentialStore::Instance().Set(SnmpV3Credentials());
}

}  // namespace
}  // namespace orla
