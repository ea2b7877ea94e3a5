// The SNMPv3 profiles page's form handling: each posted form against one
// stored file (profile lab, authPriv, assigned to 10.1.0.0/16), the answer,
// the audit text and the file left behind; a refused form leaves it as it was.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "agent/core/snmp_v3_credential_file.h"
#include "agent/web/snmp_v3_profile_form.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

using Fields = std::map<std::string, std::string>;

TEST(SnmpV3ProfileForm, EachFormMakesTheToolsChangeOrIsRefusedWithItsText) {
  const Fields lab = {{"save", "Add Profile"}, {"name", "lab"}, {"user", "kor2"}, {"level", "authPriv"},
                      {"auth", "SHA-256"}, {"auth_pass", ""}, {"priv", "AES"}, {"priv_pass", ""}, {"replace", "yes"}};
  auto with = [](Fields fields, const Fields& changes) {
    for (const auto& [k, v] : changes) fields[k] = v;
    return fields;
  };
  struct Case {
    Fields fields;
    std::string error;  // a part of the answer; "" when done
    std::string found;  // done: a part of the audit text and of the file (after '|')
  };
  const Case cases[] = {
      {{{"save", "Add Profile"}, {"name", "md5"}, {"user", "kor"}, {"level", "authNoPriv"}, {"auth", "MD5"},
        {"auth_pass", "the-md5-phrase"}, {"priv", ""}, {"priv_pass", ""}, {"context", ""}},
       "", "SNMPv3 profile md5 added (user kor, authNoPriv, MD5)|name=md5 user=kor level=authNoPriv auth=MD5 auth-pass=the-md5-phrase\n"},
      {with(lab, {{"name", "md5"}, {"replace", ""}, {"level", "authNoPriv"}, {"auth", "MD5"}, {"priv", ""},
                  {"auth_pass", "seven77"}}),
       "the authentication pass phrase has fewer than 8 characters", ""},
      {with(lab, {{"auth", "SHA-999"}}), "--auth is MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512", ""},
      {with(lab, {{"priv", "ROT13"}}), "--priv is DES, AES, AES-192, AES-256, AES-192-C or AES-256-C", ""},
      {with(lab, {{"level", "everything"}}), "--level is noAuthNoPriv, authNoPriv or authPriv", ""},
      {[&] { Fields f = lab; f.erase("replace"); return f; }(), "profile lab exists (change it with its Edit button)", ""},
      {lab, "", "SNMPv3 profile lab replaced (user kor2, authPriv, SHA-256/AES)|user=kor2 level=authPriv auth=SHA-256 "
                "auth-pass=stored-auth-phrase priv=AES priv-pass=stored-priv-phrase\n"},
      {with(lab, {{"level", "authNoPriv"}, {"priv", ""}}), "",
       "(user kor2, authNoPriv, SHA-256)|level=authNoPriv auth=SHA-256 auth-pass=stored-auth-phrase\n"},
      {with(lab, {{"auth_pass", "a-new-auth-phrase"}}), "", "replaced|auth-pass=a-new-auth-phrase priv=AES"},
      {with(lab, {{"level", "noAuthNoPriv"}, {"auth", ""}, {"priv", ""}}), "", "noAuthNoPriv)|level=noAuthNoPriv\n"},
      {{{"save", "Add Profile"}, {"name", "lab"}}, "Required field not found in data.", ""},
      {{{"remove", "lab"}}, "profile lab is assigned to 10.1.0.0/16 (unassign it first)", ""},
      {{{"remove", "nobody"}}, "no profile nobody", ""},
      {{{"unassign", "10.1.0.0/16"}}, "", "SNMPv3 assignment of 10.1.0.0/16 removed|v3-only off\n"},
      {{{"unassign", "10.9.0.0/16"}}, "nothing is assigned to 10.9.0.0/16", ""},
      {{{"assign", "Assign"}, {"assign_profile", "lab"}, {"assign_target", "10.2.3.4/16"}}, "has host bits set", ""},
      {{{"assign", "Assign"}, {"assign_profile", "lab"}, {"assign_target", "default"}}, "",
       "SNMPv3 profile lab assigned to default|assign profile=lab target=default\n"},
      {{{"assign", "Assign"}, {"assign_profile", "lab"}}, "Required field not found in data.", ""},
      {{{"v3_only", "on"}}, "", "SNMPv3-only polling on|v3-only on\n"},
      {{{"v3_only", "maybe"}}, "Unexpected data returned by web browser", ""},
      {{{"edit", "lab"}}, "Unexpected data returned by web browser", ""},
  };
  test::TempDir dir;
  const std::string path = dir.File("snmpv3.conf");
  SnmpV3Credentials stored;
  SnmpV3Profile profile{.name = "lab", .user = "kor", .level = SnmpV3Level::kAuthPriv, .auth = SnmpV3Auth::kSha256,
                        .authPassPhrase = "stored-auth-phrase", .priv = SnmpV3Priv::kAes128,
                        .privPassPhrase = "stored-priv-phrase", .context = ""};
  ASSERT_EQ(stored.Put(profile), "");
  ASSERT_EQ(stored.Assign("lab", "10.1.0.0/16"), "");
  std::string error;
  for (const Case& c : cases) {
    ASSERT_TRUE(SnmpV3CredentialFile::Save(path, stored, &error)) << error;
    const std::string before = stored.Serialise();
    SnmpV3CredentialEdit edit(path);
    ASSERT_TRUE(edit.Open(&error)) << error;
    const std::string answer = SnmpV3ProfileForm::Apply(
        [&c](const char* name) {
          auto it = c.fields.find(name);
          return it == c.fields.end() ? std::nullopt : std::optional<std::string>(it->second);
        },
        &edit);
    const std::string context = c.fields.begin()->first + "=" + c.fields.begin()->second + ": " + answer;
    if (!c.error.empty()) {
      EXPECT_NE(answer.find(c.error), std::string::npos) << context;
      EXPECT_EQ(edit.Credentials().Serialise(), before) << context;
      continue;
    }
    ASSERT_EQ(answer, "") << context;
    ASSERT_TRUE(edit.Save(&error)) << error;
    SnmpV3Credentials saved;
    ASSERT_TRUE(SnmpV3CredentialFile::Load(path, &saved, &error)) << error;
    const size_t bar = c.found.find('|');
    EXPECT_NE(edit.What().find(c.found.substr(0, bar)), std::string::npos) << context << "\n" << edit.What();
    EXPECT_EQ(edit.What().find("phrase"), std::string::npos) << edit.What();
    EXPECT_NE(saved.Serialise().find(c.found.substr(bar + 1)), std::string::npos) << context << "\n"
                                                                                 << saved.Serialise();
  }
}

}  // namespace
}  // namespace orla
