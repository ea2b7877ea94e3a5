// The server's certificate: made when missing, kept, renewed near its end.
// The result is read back with the openssl command.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>

#include <array>
#include <memory>

#include "platform/zepa/self_signed_certificate.h"
#include "tests/support/temp_dir.h"

using namespace orla;

namespace {
std::string Command(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0) out.append(buf.data(), n);
  return out;
}
}  // namespace

TEST(SelfSignedCertificate, MadeOnceWithTheHostNamesAndAnOwnerOnlyKey) {
  test::TempDir dir;
  const std::string cert = dir.File("server.crt"), key = dir.File("server.key");
  std::string message;
  ASSERT_EQ(SelfSignedCertificate::Ensure(cert, key, &message), SelfSignedCertificate::Outcome::kCreated) << message;
  struct stat st;
  ASSERT_EQ(stat(key.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string text = Command("openssl x509 -in " + cert + " -noout -text");
  EXPECT_NE(text.find("DNS:localhost"), std::string::npos) << text;
  EXPECT_NE(text.find("IP Address:127.0.0.1"), std::string::npos);
  EXPECT_NE(text.find("IP Address:0:0:0:0:0:0:0:1"), std::string::npos);
  EXPECT_NE(text.find("TLS Web Server Authentication"), std::string::npos);
  EXPECT_NE(text.find("CA:FALSE"), std::string::npos);
  EXPECT_NE(text.find("prime256v1"), std::string::npos);
  for (const std::string& name : SelfSignedCertificate::HostNames()) {
    EXPECT_NE(text.find("DNS:" + name), std::string::npos) << name;
  }
  // The key belongs to the certificate.
  EXPECT_EQ(Command("openssl x509 -in " + cert + " -noout -pubkey"),
            Command("openssl pkey -in " + key + " -pubout"));
  // Valid for 825 days from now.
  EXPECT_EQ(Command("openssl x509 -in " + cert + " -noout -checkend 71193600 >/dev/null && echo valid"), "valid\n");
  EXPECT_EQ(Command("openssl x509 -in " + cert + " -noout -checkend 71366400 >/dev/null || echo ends"), "ends\n");

  const std::string before = dir.Read("server.crt");
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert, key, &message), SelfSignedCertificate::Outcome::kKept);
  EXPECT_EQ(dir.Read("server.crt"), before);
}

TEST(SelfSignedCertificate, RenewsItsOwnBeforeItEndsAndKeepsOthers) {
  test::TempDir dir;
  const std::string cert = dir.File("server.crt"), key = dir.File("server.key");
  std::string error;
  ASSERT_TRUE(SelfSignedCertificate::Make(cert, key, {"localhost"}, &error, 10)) << error;
  std::string message;
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert, key, &message), SelfSignedCertificate::Outcome::kRenewed);
  EXPECT_EQ(Command("openssl x509 -in " + cert + " -noout -checkend 8640000 >/dev/null && echo valid"), "valid\n");

  // A certificate issued by someone else is only warned about.
  const std::string ca = dir.File("ca.pem"), caKey = dir.File("ca.key");
  Command("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=TestCA -days 30 -keyout " +
          caKey + " -out " + ca + " 2>/dev/null");
  Command("openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=agent -keyout " + key + " -out " +
          dir.File("req.pem") + " 2>/dev/null");
  Command("openssl x509 -req -in " + dir.File("req.pem") + " -CA " + ca + " -CAkey " + caKey +
          " -CAcreateserial -days 5 -out " + cert + " 2>/dev/null");
  const std::string issued = dir.Read("server.crt");
  ASSERT_FALSE(issued.empty());
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert, key, &message), SelfSignedCertificate::Outcome::kKept);
  EXPECT_NE(message.find("expires within"), std::string::npos) << message;
  EXPECT_EQ(dir.Read("server.crt"), issued);

  // An unreadable certificate is an error, never silently replaced.
  dir.Write("server.crt", "not a certificate");
  EXPECT_EQ(SelfSignedCertificate::Ensure(cert, key, &message), SelfSignedCertificate::Outcome::kFailed);
  EXPECT_EQ(dir.Read("server.crt"), "not a certificate");
}
