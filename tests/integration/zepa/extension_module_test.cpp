// Extension modules in the server's data directory: which are loaded, and
// that a module's root is reached only through the library's own client
// requests, with VESTRA_ headers nobody outside could forge.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/zepa/extension_modules.h"
#include "tests/integration/zepa/extension_server_test.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"
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
    // A good module, but reached through a link; one of another user.
    fs::copy_file(ZEPA_TEST_MODULE, dir_.File("elsewhere.so"));
    fs::create_symlink(dir_.File("elsewhere.so"), modules + "/e-linked.so");
    if (::geteuid() == 0) {
      install(ZEPA_TEST_MODULE, "f-foreign.so", normal);
      EXPECT_EQ(::chown((modules + "/f-foreign.so").c_str(), 65534, 65534), 0);
    }
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
  std::vector<std::string> skipped = {"b-refusing.so: its GetExtensionRecord failed",
                                      "c-writable.so: others than its owner may change it", "d-garbage.so: ",
                                      "e-linked.so: it is a symbolic link"};
  if (::geteuid() == 0) skipped.push_back("f-foreign.so: its owner (user 65534) is neither root nor the server's user");
  EXPECT_EQ(log_.Count("WARNING: The web server skips the extension module"), static_cast<int>(skipped.size()));
  for (const std::string& name : skipped) EXPECT_EQ(log_.Count("extensions/" + name), 1) << name;
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

// A folder of modules that someone else could have written is not looked
// into at all.
TEST(ExtensionModuleFolder, AFolderOthersCouldChangeLoadsNothing) {
  namespace fs = std::filesystem;
  struct Case {
    const char* what;
    std::function<void(const std::string& folder)> make;
    const char* why;
  };
  const std::vector<Case> cases = {
      {"a link to a good folder",
       [](const std::string& folder) {
         fs::create_directories(folder + "-real");
         fs::create_symlink(folder + "-real", folder);
       },
       "it is a symbolic link"},
      {"a group-writable folder",
       [](const std::string& folder) {
         fs::create_directories(folder);
         fs::permissions(folder, fs::perms::group_write, fs::perm_options::add);
       },
       "others than its owner may change it"},
      {"a folder of another user",
       [](const std::string& folder) {
         fs::create_directories(folder);
         EXPECT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
       },
       "its owner (user 65534) is neither root nor the server's user"},
  };
  orla::test::EventLogCapture log;
  orla::test::TempDir dir;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.why).rfind("its owner", 0) == 0 && ::geteuid() != 0) continue;  // chown needs root
    const std::string folder = dir.File("extensions" + std::to_string(n++));
    c.make(folder);
    if (fs::is_directory(folder)) fs::copy_file(ZEPA_TEST_MODULE, folder + "/a-testagent.so");
    orla::ExtensionModules modules;
    int registrations = 0;
    EXPECT_EQ(modules.LoadAll(folder, [&](const ExtensionRecord&, std::string*) { return ++registrations > 0; }), 0);
    EXPECT_EQ(registrations, 0);
    EXPECT_EQ(log.Count("WARNING: The web server loads no extension module from " + folder + ": " + c.why), 1);
  }
}

}  // namespace
