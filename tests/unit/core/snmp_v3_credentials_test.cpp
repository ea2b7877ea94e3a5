// SNMPv3 credentials: profile rules, the file's text form, the assignment
// that covers an address, the owner-only file and the store's re-read.
#include "agent/core/snmp_v3_credentials.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "agent/core/snmp_v3_credential_file.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

SnmpV3Profile Profile(const char* name, SnmpV3Level level, SnmpV3Auth auth, const char* authPass,
                      SnmpV3Priv priv = SnmpV3Priv::kNone, const char* privPass = "") {
  SnmpV3Profile p;
  p.name = name;
  p.user = "kor";
  p.level = level;
  p.auth = auth;
  p.authPassPhrase = authPass;
  p.priv = priv;
  p.privPassPhrase = privPass;
  return p;
}

TEST(SnmpV3Credentials, ProfilesAreCheckedWithoutShowingAPassPhrase) {
  struct Case {
    SnmpV3Profile profile;
    const char* error;
  };
  const Case cases[] = {
      {Profile("a", SnmpV3Level::kAuthPriv, SnmpV3Auth::kSha256, "auth pass 1", SnmpV3Priv::kAes256C, "priv%pass"),
       ""},
      {Profile("a", SnmpV3Level::kNoAuthNoPriv, SnmpV3Auth::kNone, ""), ""},
      {Profile("a", SnmpV3Level::kAuthNoPriv, SnmpV3Auth::kMd5, "seven77"),
       "the authentication pass phrase has fewer than 8 characters"},
      {Profile("a", SnmpV3Level::kAuthPriv, SnmpV3Auth::kMd5, "longenough", SnmpV3Priv::kDes, "short"),
       "the privacy pass phrase has fewer than 8 characters"},
      {Profile("a", SnmpV3Level::kAuthPriv, SnmpV3Auth::kMd5, "longenough"),
       "level authPriv needs a privacy protocol (--priv)"},
      {Profile("a", SnmpV3Level::kAuthNoPriv, SnmpV3Auth::kNone, ""),
       "level authNoPriv needs an authentication protocol (--auth)"},
      {Profile("a b", SnmpV3Level::kNoAuthNoPriv, SnmpV3Auth::kNone, ""),
       "a profile name is 1 to 32 letters, digits, '.', '_' or '-'"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.profile.Check(), c.error) << c.profile.name;
}

TEST(SnmpV3Credentials, TextFormRoundTripsAndBadLinesNameTheirFieldOnly) {
  SnmpV3Credentials credentials;
  SnmpV3Profile p =
      Profile("lab", SnmpV3Level::kAuthPriv, SnmpV3Auth::kSha512, "a pass phrase%with=odd\tbytes",
              SnmpV3Priv::kAes192, "privacy phrase");
  p.context = "tape1";
  ASSERT_EQ(credentials.Put(p), "");
  ASSERT_EQ(credentials.Put(Profile("md5", SnmpV3Level::kAuthNoPriv, SnmpV3Auth::kMd5, "md5 pass phrase")), "");
  ASSERT_EQ(credentials.Assign("lab", "default"), "");
  ASSERT_EQ(credentials.Assign("md5", "10.1.0.0/16"), "");
  credentials.SetV3Only(true);
  SnmpV3Credentials back;
  ASSERT_EQ(SnmpV3Credentials::Parse(credentials.Serialise(), &back), "");
  EXPECT_EQ(back, credentials);

  struct Bad {
    const char* text;
    const char* error;
  };
  for (const Bad& b : {
           Bad{"profile name=x user=u level=authNoPriv auth=MD5 auth-pass=secret", "line 1: profile x: the authentication pass phrase has fewer than 8 characters"},
           Bad{"# c\nprofile name=x user=u level=odd", "line 2: profile x has no valid level="},
           Bad{"assign profile=nobody target=default", "line 1: no profile nobody"},
           Bad{"v3-only maybe", "line 1: v3-only is followed by on or off"},
           Bad{"profile name=x user=u level=noAuthNoPriv auth-pass=%zzsecret", "line 1: field auth-pass has a bad %-escape"},
       }) {
    SnmpV3Credentials out = credentials;
    EXPECT_EQ(SnmpV3Credentials::Parse(b.text, &out), b.error);
    EXPECT_EQ(out, credentials) << "a bad text changes nothing";
  }
}

TEST(SnmpV3Credentials, TheMostSpecificAssignmentCoversAnAddress) {
  SnmpV3Credentials c;
  for (const char* name : {"all", "net", "host"}) {
    ASSERT_EQ(c.Put(Profile(name, SnmpV3Level::kNoAuthNoPriv, SnmpV3Auth::kNone, "")), "");
  }
  EXPECT_EQ(c.ProfileFor("10.1.2.3"), nullptr);
  ASSERT_EQ(c.Assign("all", "default"), "");
  ASSERT_EQ(c.Assign("net", "10.1.0.0/16"), "");
  ASSERT_EQ(c.Assign("host", "10.1.2.3"), "");
  struct Case {
    const char* address;
    const char* profile;
  };
  for (const Case& k : {Case{"10.1.2.3", "host"}, Case{"10.1.2.4", "net"}, Case{"10.2.0.1", "all"}}) {
    ASSERT_NE(c.ProfileFor(k.address), nullptr);
    EXPECT_EQ(c.ProfileFor(k.address)->name, k.profile) << k.address;
  }
  EXPECT_EQ(c.Assign("net", "10.1.2.3/16"), "'10.1.2.3/16' has host bits set (the range starts at 10.1.0.0)");
  EXPECT_EQ(c.Assign("net", "10.1.0.0/33"), "'10.1.0.0/33': the prefix length is 0 to 32");
  EXPECT_EQ(c.Remove("host"), "profile host is assigned to 10.1.2.3 (unassign it first)");
  EXPECT_EQ(c.Unassign("10.1.2.3"), "");
  EXPECT_EQ(c.Remove("host"), "");
  EXPECT_EQ(c.ProfileFor("10.1.2.3")->name, "net");
}

TEST(SnmpV3Credentials, TheFileIsOwnerOnlyAndTheStoreFollowsIt) {
  test::TempDir dir;
  const std::string path = dir.File("snmpv3.conf");
  SnmpV3Credentials c;
  ASSERT_EQ(c.Put(Profile("p", SnmpV3Level::kAuthNoPriv, SnmpV3Auth::kSha1, "pass phrase 1")), "");
  ASSERT_EQ(c.Assign("p", "default"), "");
  std::string error;
  ASSERT_TRUE(SnmpV3CredentialFile::Save(path, c, &error)) << error;
  struct stat st{};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  SnmpV3CredentialStore& store = SnmpV3CredentialStore::Instance();
  ASSERT_TRUE(store.Open(path));
  EXPECT_EQ(*store.Current(), c);
  ASSERT_EQ(c.Unassign("default"), "");
  ASSERT_TRUE(SnmpV3CredentialFile::Save(path, c, &error)) << error;
  EXPECT_EQ(store.Current()->ProfileFor("10.0.0.1"), nullptr) << "a rewrite is read again";
  // A broken or readable file keeps what was read.
  dir.Write("snmpv3.conf", "garbage\n");
  chmod(path.c_str(), 0600);
  EXPECT_EQ(*store.Current(), c);
  chmod(path.c_str(), 0644);
  SnmpV3Credentials out;
  EXPECT_FALSE(SnmpV3CredentialFile::Load(path, &out, &error));
  EXPECT_EQ(error, path + " is readable by group or others (chmod 600 it)");
  store.Set(SnmpV3Credentials());
}

}  // namespace
}  // namespace orla
