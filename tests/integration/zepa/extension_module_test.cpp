// Extension modules in the server's data directory: which are loaded, and
// that a module's root is reached only through the library's own client
// requests, with VESTRA_ headers nobody outside could forge.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/integration/zepa/extension_server_test.h"
#include "tests/support/file_text.h"
#include "tests/support/text_lines.h"

using orla::test::Contains;

namespace {

class ExtensionModuleTest : public orla::test::ExtensionServerTest {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    const std::string modules = dir_.File("data/extensions");
    fs::create_directories(modules);
    fs::create_directories(dir_.File("content"));
    fs::create_directories(dir_.File("agent"));
    auto install = [&](const std::string& from, const std::string& name, fs::perms perms) {
      fs::copy_file(from, modules + "/" + name);
      fs::permissions(modules + "/" + name, perms);
    };
    const auto normal = fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read;
    install(ZEPA_TEST_MODULE, "a-testagent.so", normal);
    install(ZEPA_TEST_MODULE_REFUSING, "b-refusing.so", normal);
    install(ZEPA_TEST_MODULE, "c-writable.so", normal | fs::perms::group_write);
    orla::test::WriteFile(modules + "/d-garbage.so", "not a shared library");
    orla::test::WriteFile(modules + "/README", "not a module, not looked at");
    StartServer(dir_.File("data"), dir_.File("content"), dir_.File("agent"));
  }

  // One GET with these request header lines.
  orla::test::CurlReply Get(const std::string& path, const std::vector<std::string>& headers = {}) {
    std::vector<std::string> extra;
    for (const std::string& header : headers) extra.insert(extra.end(), {"-H", header});
    return Curl(path, extra);
  }
};

TEST_F(ExtensionModuleTest, GoodModulesAreLoadedAndBadOnesSkipped) {
  EXPECT_EQ(log_.Count("loaded the extension module"), 1);
  EXPECT_EQ(log_.Count("skips the extension module"), 3);
  for (const char* name : {"b-refusing.so: its GetExtensionRecord failed", "c-writable.so: others than its owner",
                           "d-garbage.so: "}) {
    EXPECT_EQ(log_.Count(name), 1) << name;
  }
  EXPECT_EQ(log_.Count("README"), 0);
  // The server runs on with its own extensions.
  EXPECT_EQ(Get("/KOR/rights").body, "rights=0x80000000");
}

TEST_F(ExtensionModuleTest, OnlyTheLibrarysOwnRequestsReachAModule) {
  // Directly, with headers of the caller's choosing: refused, forged secret
  // or not.
  const std::vector<std::vector<std::string>> forgeries = {
      {},
      {"VESTRA_MACHINE: 10.9.9.9", "VESTRA_COMMUNITY: private"},
      {"X-ZEPA-Internal: 0000000000000000000000000000000000000000000000000000000000000000"},
      {"X-ZEPA-Internal:"},
  };
  for (const auto& headers : forgeries) {
    const auto reply = Get("/testagent/Fibre/index.html", headers);
    EXPECT_EQ(reply.status, 403) << reply.body;
    EXPECT_FALSE(Contains(reply.body, "module-path")) << reply.body;
  }
  EXPECT_EQ(Get("/TESTAGENT/x").status, 403);  // the root ignores case

  // Through a client request of the library: the module gets the caller's
  // VESTRA_ lines, and never the secret itself.
  const std::string reply = Get("/KOR/fetchmodule/Fibre/index.html?addr=10.1.2.3&device=tc01").body;
  EXPECT_TRUE(Contains(reply, "module-path=/testagent/Fibre/index.html\n")) << reply;
  EXPECT_TRUE(Contains(reply, "HTTP_VESTRA_MACHINE=10.1.2.3\n")) << reply;
  EXPECT_TRUE(Contains(reply, "HTTP_VESTRA_DEVICE=tc01\n")) << reply;
  EXPECT_TRUE(Contains(reply, "HTTP_X_ZEPA_INTERNAL=(none)\n")) << reply;
}

TEST_F(ExtensionModuleTest, OutsideRequestsLoseTheirVestraHeaders) {
  // The test's "webagent" is an ordinary extension: reachable, but the
  // device and communities a browser names never arrive.
  const std::string reply =
      Get("/webagent/Fibre/x.html", {"VESTRA_MACHINE: 10.9.9.9", "VESTRA-COMMUNITY: private", "vestra_device: d"}).body;
  EXPECT_TRUE(Contains(reply, "agent-path=/webagent/Fibre/x.html\n")) << reply;
  EXPECT_TRUE(Contains(reply, "VESTRA_MACHINE=\n")) << reply;
  EXPECT_TRUE(Contains(reply, "VESTRA_COMMUNITY=\n")) << reply;
  EXPECT_TRUE(Contains(reply, "VESTRA_DEVICE=\n")) << reply;
}

}  // namespace
