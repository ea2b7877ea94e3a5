// The server's certificate: made when missing, kept, renewed near its end.
// The result is read back with the openssl command.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "platform/zepa/self_signed_certificate.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_lines.h"

using namespace orla;
using orla::test::CommandOutput;
using orla::test::Contains;

namespace {

class SelfSignedCertificateTest : public ::testing::Test {
 protected:
  // Whether the certificate is still valid `seconds` from now.
  bool ValidIn(long seconds) const {
    return CommandOutput("openssl x509 -in " + cert_ + " -noout -checkend " + std::to_string(seconds) +
                         " >/dev/null && echo valid") == "valid\n";
  }

  test::TempDir dir_;
  const std::string cert_ = dir_.File("server.crt"), key_ = dir_.File("server.key");
};

}  // namespace

TEST_F(SelfSignedCertificateTest, MadeOnceWithTheHostNamesAndAnOwnerOnlyKey) {
  std::string message;
  ASSERT_EQ(SelfSignedCertificate::Ensure(cert_, key_, &message), SelfSignedCertificate::Outcome::kCreated) << message;
  struct stat st;
  ASSERT_EQ(stat(key_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string text = CommandOutput("openssl x509 -in " + cert_ + " -noout -text");
  for (const char* part : {"DNS:localhost", "IP Address:127.0.0.1", "IP Address:0:0:0:0:0:0:0:1",
                           "TLS Web Server Authentication", "CA:FALSE", "prime256v1"}) {
    EXPECT_TRUE(Contains(text, part)) << part << "\n" << text;
  }
  for (const std::string& name : SelfSignedCertificate::HostNames()) {
    EXPECT_TRUE(Contains(text, "DNS:" + name)) << name;
  }
  // Pages name the agent by its routable address: each one is trusted too.
  for (const std::string& address : SelfSignedCertificate::HostAddresses()) {
    const size_t at = text.find("IP Address:" + address);
    ASSERT_NE(at, std::string::npos) << address << "\n" << text;
    const char after = text[at + 11 + address.size()];
    EXPECT_TRUE(after == ',' || after == '\n') << address;
  }
  // The key belongs to the certificate.
  EXPECT_EQ(CommandOutput("openssl x509 -in " + cert_ + " -noout -pubkey"),
            CommandOutput("openssl pkey -in " + key_ + " -pubout"));
  // Valid for 825 days from now.
  EXPECT_TRUE(ValidIn(71193600));
  EXPECT_FALSE(ValidIn(71366400));

  const std::string before = dir_.Read("server.crt");
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert_, key_, &message), SelfSignedCertificate::Outcome::kKept);
  EXPECT_EQ(dir_.Read("server.crt"), before);
}

TEST_F(SelfSignedCertificateTest, RenewsItsOwnBeforeItEndsAndKeepsOthers) {
  std::string error;
  ASSERT_TRUE(SelfSignedCertificate::Make(cert_, key_, {"localhost"}, {}, &error, 10)) << error;
  std::string message;
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert_, key_, &message), SelfSignedCertificate::Outcome::kRenewed);
  EXPECT_TRUE(ValidIn(8640000));

  // A certificate issued by someone else is only warned about.
  const std::string ca = dir_.File("ca.pem"), caKey = dir_.File("ca.key");
  CommandOutput(
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=TestCA -days 30 -keyout " +
      caKey + " -out " + ca + " 2>/dev/null");
  CommandOutput("openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=agent -keyout " + key_ +
                " -out " + dir_.File("req.pem") + " 2>/dev/null");
  CommandOutput("openssl x509 -req -in " + dir_.File("req.pem") + " -CA " + ca + " -CAkey " + caKey +
                " -CAcreateserial -days 5 -out " + cert_ + " 2>/dev/null");
  const std::string issued = dir_.Read("server.crt");
  ASSERT_FALSE(issued.empty());
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert_, key_, &message), SelfSignedCertificate::Outcome::kKept);
  EXPECT_TRUE(Contains(message, "expires within")) << message;
  EXPECT_EQ(dir_.Read("server.crt"), issued);

  // So is an operator's own self-signed one, and its key is never touched.
  CommandOutput("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=agent -days 5 -keyout " +
                key_ + " -out " + cert_ + " 2>/dev/null");
  const std::string operatorKey = dir_.Read("server.key");
  ASSERT_FALSE(operatorKey.empty());
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert_, key_, &message), SelfSignedCertificate::Outcome::kKept);
  EXPECT_TRUE(Contains(message, "expires within")) << message;
  EXPECT_EQ(dir_.Read("server.key"), operatorKey);
  // Half a pair: the operator's half stays, ours is made whole again.
  ASSERT_EQ(::unlink(cert_.c_str()), 0);
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert_, key_, &message), SelfSignedCertificate::Outcome::kFailed);
  EXPECT_EQ(dir_.Read("server.key"), operatorKey);
  ASSERT_TRUE(SelfSignedCertificate::Make(cert_, key_, {"localhost"}, {}, &error)) << error;
  ASSERT_EQ(::unlink(key_.c_str()), 0);
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert_, key_, &message), SelfSignedCertificate::Outcome::kCreated);

  // An unreadable certificate is an error, never silently replaced.
  dir_.Write("server.crt", "not a certificate");
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert_, key_, &message), SelfSignedCertificate::Outcome::kFailed);
  EXPECT_EQ(dir_.Read("server.crt"), "not a certificate");
}

TEST_F(SelfSignedCertificateTest, CarriesTheGivenAddressesOnceAndSkipsOtherText) {
  std::string error;
  ASSERT_TRUE(SelfSignedCertificate::Make(cert_, key_, {"agent.example"},
                                          {"192.0.2.7", "198.51.100.20", "127.0.0.1", "192.0.2.7", "2001:db8::5",
                                           "not-an-address", "300.1.2.3"},
                                          &error))
      << error;
  const std::string text = CommandOutput("openssl x509 -in " + cert_ + " -noout -ext subjectAltName");
  EXPECT_EQ(text,
            "X509v3 Subject Alternative Name: \n"
            "    DNS:agent.example, IP Address:127.0.0.1, IP Address:0:0:0:0:0:0:0:1, IP Address:192.0.2.7, "
            "IP Address:198.51.100.20, IP Address:2001:DB8:0:0:0:0:0:5\n");

  // The addresses of this host: 127.0.0.1 first, no other loopback one, none twice.
  const std::vector<std::string> own = SelfSignedCertificate::HostAddresses();
  ASSERT_FALSE(own.empty());
  EXPECT_EQ(own[0], "127.0.0.1");
  for (size_t i = 1; i < own.size(); ++i) {
    EXPECT_NE(own[i].rfind("127.", 0), 0u) << own[i];
    EXPECT_EQ(std::count(own.begin(), own.end(), own[i]), 1) << own[i];
  }
}
