// Faults a real peer cannot produce on demand: a client transfer that throws,
// one that never ends, a request procedure that never returns. The transfer
// is this program's own HttpClient::Fetch: defined here, it takes the place
// of the library's through the dynamic linker (the library is shared and
// its functions can be interposed), so the library carries no test hook.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/zepa/client/http_client.h"
#include "platform/zepa/zepa_server.h"
#include "tests/support/agent_process.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/zepa/sample_extension_record.h"

namespace {

// What the fake transfers and the extension do, and what they saw.
struct Faults {
  std::mutex mutex;
  std::condition_variable changed;
  int fetches = 0;
  bool hanging = false;         // a transfer or request procedure is stuck
  bool released = false;        // ... until this is set
  std::vector<uint32_t> states;  // client callback states, in order
  int terminations = 0;
  orla::ZepaServer* server = nullptr;

  void Release() {
    std::lock_guard<std::mutex> lock(mutex);
    released = true;
    changed.notify_all();
  }
  // Blocks until Release(), whatever else happens (a shutdown included).
  void Hang() {
    std::unique_lock<std::mutex> lock(mutex);
    hanging = true;
    changed.notify_all();
    changed.wait(lock, [this] { return released; });
  }
  bool WaitFor(const std::function<bool()>& done) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), done);
  }
};
Faults g_faults;

int ClientCallback(HZEPACLIENT client) {
  std::lock_guard<std::mutex> lock(g_faults.mutex);
  g_faults.states.push_back(ZEPAClientState(client));
  g_faults.changed.notify_all();
  return 1;
}

// "?throw" and "?hang" start a client request of that kind; "?stuck" never
// returns until released.
uint32_t RequestProcedure(EXTENSION_CONTROL_BLOCK* ecb) {
  const std::string query = ecb->lpszQueryString;
  if (query == "stuck") {
    g_faults.Hang();
    return HSE_STATUS_SUCCESS;
  }
  std::string error;
  g_faults.server->StartClient("https://localhost:1/" + query, "GET", "", "", ClientCallback, nullptr, &error);
  return HSE_STATUS_SUCCESS;
}

int Terminate(uint32_t) {
  std::lock_guard<std::mutex> lock(g_faults.mutex);
  ++g_faults.terminations;
  return 1;
}

std::vector<std::string> CacheFiles(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* entry = readdir(d)) {
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    }
    closedir(d);
  }
  return names;
}

class ShutdownFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      std::lock_guard<std::mutex> lock(g_faults.mutex);
      g_faults.fetches = 0;
      g_faults.hanging = g_faults.released = false;
      g_faults.states.clear();
      g_faults.terminations = 0;
    }
    orla::ZepaServer::Settings settings;
    settings.name = "Fault";
    settings.dataDirectory = dir_.File("data");
    settings.address = "127.0.0.1";
    settings.shutdownWaitSeconds = 1;
    for (int attempt = 0; attempt < 20; ++attempt) {
      settings.port = orla::test::FreeLoopbackPort(SOCK_STREAM);
      auto server = std::make_unique<orla::ZepaServer>(settings);
      std::string error;
      if (server->Start(&error)) {
        server_ = server.release();
        break;
      }
    }
    ASSERT_NE(server_, nullptr);
    port_ = settings.port;
    g_faults.server = server_;
    orla::test::SampleExtensionRecord extension("T", dir_.Path(), "<P>T</P>", RequestProcedure);
    extension.record.pfnTerminateExtension = Terminate;
    std::string error;
    ASSERT_TRUE(server_->RegisterExtension(&extension.record, &error)) << error;
  }

  void TearDown() override {
    g_faults.Release();
    if (server_ == nullptr) return;
    server_->Shutdown();
    // A server that gave up on its threads is kept for good, as the library
    // keeps it.
    if (server_->HasStragglers()) {
      static auto* kept = new std::vector<orla::ZepaServer*>;
      kept->push_back(server_);
    } else {
      delete server_;
    }
  }

  orla::test::EventLogCapture log_;  // before the server's threads start
  orla::test::TempDir dir_;
  orla::ZepaServer* server_ = nullptr;
  int port_ = 0;
};

}  // namespace

namespace orla {
// The transfer the library's client requests make: "/throw" fails with an
// exception after some bytes, "/hang" ignores the shutdown's abort flag until
// released, anything else answers 200.
HttpClient::FetchResult HttpClient::Fetch(const FetchRequest& request,
                                          const std::function<bool(const char*, size_t)>& sink) {
  {
    std::lock_guard<std::mutex> lock(g_faults.mutex);
    ++g_faults.fetches;
  }
  FetchResult result;
  if (request.url.target == "/throw") {
    sink("partial", 7);
    throw std::runtime_error("the transfer broke");
  }
  if (request.url.target == "/hang") {
    g_faults.Hang();
    return result;
  }
  sink("fine", 4);
  result.responded = true;
  result.status = 200;
  result.contentType = "text/plain";
  return result;
}
}  // namespace orla

TEST_F(ShutdownFaultTest, AThrowingTransferStillEndsTheRequestAndReleasesTheBrowser) {
  orla::HttpTransport::Request request;
  request.method = "GET";
  request.path = "/T/page";
  request.target = "/T/page?throw";
  request.query = "throw";
  request.remoteAddress = "127.0.0.1";
  orla::HttpTransport::Response response;
  server_->Handle(request, response);  // returns: the browser's connection was released

  EXPECT_EQ(g_faults.fetches, 1) << "the library did not use this program's transfer";
  EXPECT_EQ(response.status, 502);
  EXPECT_EQ(g_faults.states, (std::vector<uint32_t>{ZEPA_CLIENT_STATE_SEND_HEADERS, ZEPA_CLIENT_STATE_OVER}));
  EXPECT_TRUE(CacheFiles(dir_.File("data/cache")).empty());
  EXPECT_EQ(log_.Count("failed: the request failed with an exception"), 1);
}

TEST_F(ShutdownFaultTest, ShutdownStopsWaitingForAClientRequestThatDoesNotEnd) {
  std::string error;
  ASSERT_TRUE(server_->StartClient("https://localhost:1/hang", "GET", "", "", ClientCallback, nullptr, &error));
  ASSERT_TRUE(g_faults.WaitFor([] { return g_faults.hanging; }));
  server_->Shutdown();  // returns after its one-second wait
  EXPECT_TRUE(server_->HasStragglers());
  EXPECT_EQ(log_.Count("client requests still running after 1 seconds"), 1);
  EXPECT_EQ(g_faults.terminations, 1);

  // Once the transfer ends, the request still ends with state 14.
  g_faults.Release();
  EXPECT_TRUE(g_faults.WaitFor([] { return g_faults.states.size() == 2; }));
  EXPECT_EQ(g_faults.states, (std::vector<uint32_t>{ZEPA_CLIENT_STATE_SEND_HEADERS, ZEPA_CLIENT_STATE_OVER}));
}

TEST_F(ShutdownFaultTest, ShutdownStopsWaitingForARequestProcedureThatDoesNotReturn) {
  const std::string url = "https://127.0.0.1:" + std::to_string(port_) + "/T/page?stuck";
  std::thread browser([url] { orla::test::AgentProcess::Run({"curl", "-sSk", "--max-time", "60", url}, "", 70); });
  ASSERT_TRUE(g_faults.WaitFor([] { return g_faults.hanging; }));
  server_->Shutdown();  // the wait, the grace, then it goes on
  EXPECT_TRUE(server_->HasStragglers());
  EXPECT_TRUE(log_.WaitFor("requests still running after 6 seconds (a request procedure does not return)"));
  EXPECT_EQ(g_faults.terminations, 1);
  g_faults.Release();
  browser.join();
}
