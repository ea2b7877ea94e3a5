// korsnmpv3 as an operator runs it: each command form, what it prints and
// the file it leaves; pass phrases never on the command line nor in output.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "agent/core/snmp_v3_credential_file.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

TEST(Korsnmpv3, CommandsChangeTheOwnerOnlyFileAndNeverShowAPassPhrase) {
  test::TempDir dir;
  dir.Write("auth", "the-auth-pass-phrase\n");
  dir.Write("short", "seven77\n");
  const std::string tool = std::string(KORSNMPV3_PATH) + " -d " + dir.Path() + " ";
  struct Case {
    std::string command;  // after the tool and -d
    int status;
    const char* output;   // a part of standard output and error
  };
  const Case cases[] = {
      {"profile add lab --user kor --level authPriv --auth SHA-256 --auth-pass-file " + dir.File("auth") +
           " --priv AES --priv-pass-file - --context tc01 <<<'the-priv-pass-phrase'",
       0, "SNMPv3 profile lab added (user kor, authPriv, SHA-256/AES, context tc01)."},
      {"profile add lab --user kor --level noAuthNoPriv", 1, "profile lab exists (remove it first, or add --replace)"},
      {"profile add md5 --user kor --level authNoPriv --auth MD5 --auth-pass-file " + dir.File("short"), 1,
       "the authentication pass phrase has fewer than 8 characters"},
      {"profile add md5 --user kor --level authNoPriv --auth MD5 --auth-pass the-auth-pass-phrase", 2,
       "unknown option --auth-pass"},
      {"assign lab 10.1.0.0/16", 0, "SNMPv3 profile lab assigned to 10.1.0.0/16."},
      {"assign lab 10.1.2.3/16", 1, "has host bits set"},
      {"assign nobody default", 1, "no profile nobody"},
      {"v3-only on", 0, "SNMPv3-only polling on."},
      {"profile list", 0, "v3-only: on\nlab: user kor, authPriv, SHA-256/AES, context tc01; assigned to 10.1.0.0/16\n"},
      {"profile remove lab", 1, "profile lab is assigned to 10.1.0.0/16 (unassign it first)"},
      {"unassign 10.1.0.0/16", 0, "SNMPv3 assignment of 10.1.0.0/16 removed."},
      {"v3-only maybe", 2, "Usage: korsnmpv3"},
  };
  for (const Case& c : cases) {
    int status = -1;
    const std::string output = test::CommandOutput("bash -c \"" + tool + c.command + " 2>&1\"", &status);
    EXPECT_EQ(status, c.status) << c.command << "\n" << output;
    EXPECT_NE(output.find(c.output), std::string::npos) << c.command << "\n" << output;
    EXPECT_EQ(output.find("pass-phrase"), std::string::npos) << output;
  }
  struct stat st{};
  ASSERT_EQ(stat(dir.File("snmpv3.conf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  SnmpV3Credentials credentials;
  std::string error;
  ASSERT_TRUE(SnmpV3CredentialFile::Load(dir.File("snmpv3.conf"), &credentials, &error)) << error;
  ASSERT_NE(credentials.Find("lab"), nullptr);
  EXPECT_EQ(credentials.Find("lab")->authPassPhrase, "the-auth-pass-phrase");
  EXPECT_EQ(credentials.Find("lab")->privPassPhrase, "the-priv-pass-phrase");
  EXPECT_TRUE(credentials.V3Only());
  EXPECT_TRUE(credentials.Assignments().empty());
}

}  // namespace
}  // namespace orla
