// Elements polled over SNMPv3 through the simulated devices: each test user
// recognises, binds, polls and reads its controller and sets over v3; a
// wrong pass phrase keeps its element unbound as "Authentication failed"
// (not "Not responding", not "Not recognised") until the profile is fixed;
// one that stops authenticating, or loses its profile in v3-only mode, says
// why in its row and in one event naming it.
#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <string>
#include <vector>

#include "agent/core/snmp_v3_credential_store.h"
#include "agent/devices/element_registry.h"
#include "agent/snmp/snmp_v3_engine_table.h"
#include "tests/support/snapshot_reads.h"
#include "tests/integration/devices/simulator_fixture.h"
#include "tests/support/snmpsim_v3_users.h"
#include "tests/support/wait_until.h"

namespace orla::test {
namespace {

class SnmpV3PollingTest : public SimulatorFixture {
 protected:
  explicit SnmpV3PollingTest(int firstHost = 150) : SimulatorFixture(firstHost, true) {}
  void TearDown() override {
    SnmpV3CredentialStore::Instance().Set(SnmpV3Credentials());
    SimulatorFixture::TearDown();
  }
};

TEST_F(SnmpV3PollingTest, EachUserPollsItsControllerAndAWrongPassPhraseStaysUnbound) {
  constexpr int kInterval = 5;
  const struct {
    const char* device;
    int user;          // in kSnmpsimV3Users
    bool rightPass;
    const char* model;  // the element's model text
    int status;
  } rows[] = {
      {"tc01", 0, true, "Quillane FTC-400 Tape Controller", 0},    // authNoPriv MD5
      {"tc02", 1, true, "Quillane FTC-800 Tape Bridge", 1},        // authPriv SHA-256 + AES-128
      {"tc03", 2, true, nullptr, 2},                               // authPriv SHA-512 + AES-256
      {"sw01", 3, false, "Authentication failed", -1},             // a wrong pass phrase
  };
  SnmpV3Credentials credentials;
  std::string file;
  for (const auto& row : rows) {
    SnmpV3Profile profile = ProfileOf(kSnmpsimV3Users[row.user], row.device);
    if (!row.rightPass) profile.authPassPhrase = "not-the-pass-phrase";
    credentials = CredentialsWith(profile, Address(row.device), credentials);
    file += std::string(row.device) + "|" + Address(row.device) + "\n";
  }
  ASSERT_EQ(credentials.Assign("kor-sha1", Address("host01")), "");
  SnmpV3CredentialStore::Instance().Set(credentials);
  dir_.Write("KORAgent.db", file);

  auto registry = Loaded(kInterval, &clock_);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.device);
    const std::string address = Address(row.device);
    if (row.model != nullptr) {
      EXPECT_EQ(ModelAt(*registry, address), row.model);
    }
    SnmpV3EngineTable::Entry engine;
    ASSERT_TRUE(SnmpV3EngineTable::Instance().Find(address, &engine));
    EXPECT_FALSE(engine.engineId.empty());
    // (The simulated devices share one engine: whether its time is known
    // when the refused one is asked depends on which was asked first.)
    EXPECT_TRUE(engine.timeKnown || !row.rightPass);
    EXPECT_EQ(engine.failure, row.rightPass ? "" : "Authentication failed");
    EXPECT_EQ(StatusOf(*registry, row.device), row.status);
  }
  EXPECT_EQ(log_.Count("WARNING: Element sw01 (" + Address("sw01") +
                       "): Authentication failed (SNMPv3 user kor-sha1). It stays listed as \"Authentication "
                       "failed\""),
            1);
  // Adding a device that refuses the credentials is refused, saying why.
  EXPECT_EQ(CodeOf([&] { registry->AddElement("host01", Address("host01"), 300); }), 2009);
  EXPECT_EQ(log_.Count("WARNING: Authentication failed (SNMPv3 user kor-sha1)."), 1);
  // Set over v3: the controller is told to send its traps here.
  EXPECT_EQ(CodeOf([&] { registry->ConfigureTrapReceiver("tc01"); }), 0);
  EXPECT_NE(Simctl("trapreg tc01 list").find("filter 8 active"), std::string::npos);

  // The profile fixed, the next retry finds a switch no type claims.
  credentials.Put(ProfileOf(kSnmpsimV3Users[3], "sw01"));
  SnmpV3CredentialStore::Instance().Set(credentials);
  ASSERT_TRUE(clock_.WaitForWaiters(1));
  clock_.Advance(std::chrono::seconds(kInterval));
  EXPECT_TRUE(WaitUntil([&] { return ModelAt(*registry, Address("sw01")) == "Not recognised"; },
                        std::chrono::seconds(20), std::chrono::milliseconds(100)));
}

// What a status pass shows of an element whose v3 credentials stop working
// after it was bound: a wrong pass phrase is its reason and one event
// naming it; v3-only without a profile keeps the last status, stale, until
// the mode is off again.
// Addresses of its own: the engine table keeps what it learned per address
// across tests, and a restarted simulator's engine has a new time.
class SnmpV3ChangeTest : public SnmpV3PollingTest {
 protected:
  SnmpV3ChangeTest() : SnmpV3PollingTest(130) {}
};

TEST_F(SnmpV3ChangeTest, AFailingProfileAndV3OnlyWithoutOneSayWhyNamingTheElement) {
  // Bound with working profiles; then tc01's pass phrase is wrong and tc03
  // loses its profile as v3-only is turned on.
  SnmpV3Profile tc01 = ProfileOf(kSnmpsimV3Users[0], "tc01");
  const SnmpV3Credentials tc02 = CredentialsWith(ProfileOf(kSnmpsimV3Users[1], "tc02"), Address("tc02"));
  SnmpV3CredentialStore::Instance().Set(CredentialsWith(
      ProfileOf(kSnmpsimV3Users[2], "tc03"), Address("tc03"), CredentialsWith(tc01, Address("tc01"), tc02)));
  dir_.Write("KORAgent.db", "tc01|" + Address("tc01") + "\ntc02|" + Address("tc02") + "\ntc03|" + Address("tc03") + "\n");
  auto registry = Loaded(300, &clock_);
  ASSERT_EQ(StatusOf(*registry, "tc03"), 2);

  tc01.authPassPhrase = "not-the-pass-phrase";
  SnmpV3Credentials credentials = CredentialsWith(tc01, Address("tc01"), tc02);
  credentials.SetV3Only(true);
  SnmpV3CredentialStore::Instance().Set(credentials);
  const struct {
    const char* device;
    int status;
    bool stale;
    const char* reason;  // nullptr: the plug-in's own
    const char* event;   // the one WARNING naming it; nullptr: none
  } rows[] = {
      {"tc01", 3, false, "Authentication failed (SNMPv3 user kor-md5)", "): Authentication failed (SNMPv3 user kor-md5)."},
      {"tc02", 1, false, nullptr, nullptr},
      {"tc03", 2, true, "No SNMPv3 profile (v3-only)",
       "): No SNMPv3 profile (v3-only). It is not polled while v3-only is on and keeps its last status (Failed), "
       "shown as stale."},
  };
  for (int pass = 0; pass < 2; ++pass) registry->ListElements(true);  // the second logs nothing new
  const std::vector<ElementView> elements = registry->Snapshot()->Read();
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].device);
    EXPECT_EQ(elements.at(i).status.status, rows[i].status);
    EXPECT_EQ(elements.at(i).status.stale, rows[i].stale);
    if (rows[i].reason != nullptr) {
      EXPECT_EQ(elements.at(i).status.reason, rows[i].reason);
    }
    const std::string named = std::string("WARNING: Element ") + rows[i].device + " (" + Address(rows[i].device);
    EXPECT_EQ(log_.Count(named), rows[i].event != nullptr ? 1 : 0);
    if (rows[i].event != nullptr) {
      EXPECT_EQ(log_.Count(named + rows[i].event), 1);
    }
  }
  EXPECT_EQ(log_.Count("WARNING: Authentication failed"), 0) << "only the event naming the element";

  // Its profile assigned again: tc03 is polled again.
  SnmpV3CredentialStore::Instance().Set(CredentialsWith(ProfileOf(kSnmpsimV3Users[2], "tc03"), Address("tc03"), credentials));
  registry->ListElements(true);
  EXPECT_FALSE(registry->Snapshot()->Read().at(2).status.stale);
  EXPECT_EQ(registry->Snapshot()->Read().at(2).status.reason, "Unit 1 failed") << "the plug-in's own again";
  EXPECT_EQ(log_.Count("INFO: Element tc03 (" + Address("tc03") + ") is polled again"), 1);
}

}  // namespace
}  // namespace orla::test
