// Crash safety of the agent's files: while an administrator adds, removes
// and renames tape controllers and changes the trap destinations and the
// polling interval through the pages, the agent is killed with SIGKILL at a
// random moment, again and again. After each kill every file of the agent
// directory is exactly the old or the new version of the change under way,
// every change a page acknowledged is in it, and the agent started again
// shows what the files hold.
//
// KOR_SOAK_KILLS sets the number of kills (default 30; bench/crash_soak.sh
// runs 500), KOR_SOAK_SEED the random seed (default: a fresh one, printed).
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/text/string_printf.h"
#include "tests/integration/web/agent_pages_fixture.h"
#include "tests/support/file_text.h"
#include "tests/support/free_port.h"
#include "tests/support/simulated_devices.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

using test::Contains;

const char kClientHeader[] = "# Hosts that receive this agent's traps\n\n";
const char kConfigTitle[] = "<TITLE>AgentConfiguration</TITLE>";

// What the agent's files should hold: the elements in file order, the trap
// destinations in list order, the interval in seconds.
struct AgentFiles {
  std::vector<std::pair<std::string, std::string>> elements;
  std::vector<std::string> destinations;
  int interval = 300;

  std::string ElementFile() const {
    std::string text;
    for (const auto& [name, address] : elements) text += name + "|" + address + "\n";
    return text;
  }
  std::string ClientFile() const {
    std::string text = kClientHeader;
    for (const std::string& host : destinations) text += host + "\n";
    return text;
  }
  std::string StorageFile() const { return StringPrintf("%d\n", interval); }
  std::string All() const { return ElementFile() + ClientFile() + StorageFile(); }
  bool operator==(const AgentFiles&) const = default;
};

// One change made through a page: the form posted, the text of the page that
// acknowledges it, and the files once it is made.
struct Change {
  std::string page;
  std::string form;
  std::string acknowledged;
  std::string alsoAcknowledged;  // a second page that acknowledges it, if any
  AgentFiles after;
};

class CrashSoak : public test::AgentPagesFixture {
 protected:
  void SetUp() override {
    AgentPagesFixture::SetUp();
    dir_.Write("KOR/client.ini", kClientHeader);
    test::InstallDevicesFolder(dir_.Path());
    snmpPort_ = test::FreeLoopbackPort(SOCK_DGRAM);
    // The simulator, started by root, runs as nobody: the folders above its
    // own must be enterable.
    ::chmod(dir_.Path().c_str(), 0755);
    const std::string started = simulator_.Start(snmpPort_, "127.0.9.11", "tc01,tc02,tc03");
    ASSERT_TRUE(Contains(started, "tc03 127.0.9.13")) << started;
  }

  // A random change of the files `now`, as a page makes it.
  Change NextChange(const AgentFiles& now, std::mt19937& random) {
    const auto pick = [&random](size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random); };
    AgentFiles after = now;
    const auto made = [&after](std::string page, std::string form, std::string acknowledged, std::string also = "") {
      return Change{std::move(page), std::move(form), std::move(acknowledged), std::move(also), after};
    };
    std::vector<std::string> free = {"127.0.9.11", "127.0.9.12", "127.0.9.13"};
    for (const auto& element : now.elements) std::erase(free, element.second);
    switch (pick(6)) {
      case 0:
      case 1:
        if (!free.empty()) {
          const std::string name = StringPrintf("e%d", ++counter_);
          const std::string address = free[pick(free.size())];
          after.elements.emplace_back(name, address);
          return made("add_element.html", "element_name=" + name + "&element_address=" + address,
                      "<TITLE>Add Tape Controller</TITLE>", "<TITLE>Reconfigure Tape Controller?</TITLE>");
        }
        [[fallthrough]];
      case 2:
        if (!now.elements.empty()) {
          const size_t at = pick(now.elements.size());
          after.elements.erase(after.elements.begin() + static_cast<long>(at));
          return made("delete_element.html", "element_name=" + now.elements[at].first + "&ok=Remove",
                      "The tape controller has been removed.");
        }
        [[fallthrough]];
      case 3:
        if (!now.elements.empty()) {
          const size_t at = pick(now.elements.size());
          after.elements[at].first = StringPrintf("e%d", ++counter_);
          return made("rename_element.html", "element_name=" + now.elements[at].first + "&new_name=" +
                      after.elements[at].first, "The tape controller has been renamed.");
        }
        [[fallthrough]];
      case 4:
        if (now.destinations.size() > 3) {
          const std::string host = now.destinations[pick(now.destinations.size())];
          std::erase(after.destinations, host);
          return made("agent_config.html", "client_address=" + host + "&remove=Remove+Address", kConfigTitle);
        }
        ++counter_;
        after.destinations.push_back(StringPrintf("10.77.%d.%d", counter_ / 250, counter_ % 250 + 1));
        return made("agent_config.html", "new_address=" + after.destinations.back() + "&add=Add+Address",
                    kConfigTitle);
      default: {
        int minutes;
        do minutes = static_cast<int>(pick(60)) + 1; while (minutes * 60 == now.interval);
        after.interval = minutes * 60;
        return made("agent_config.html", StringPrintf("polling_interval=%d&change=Change+Interval", minutes),
                    kConfigTitle);
      }
    }
  }

  // Whether the agent directory holds exactly `files`.
  bool Holds(const AgentFiles& files) const {
    return test::ReadFile(dir_.File("KOR/KORAgent.db")) == files.ElementFile() &&
           dir_.Read("KOR/client.ini") == files.ClientFile() && dir_.Read("KOR/storage.ini") == files.StorageFile();
  }

  // Files left behind by rewrites that a kill cut short.
  int LeftoverTemporaries() const {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.File("KOR"))) {
      if (entry.path().filename().string().find(".tmp") != std::string::npos) ++count;
    }
    return count;
  }

  // What the started agent shows: its element names (rename dialog), its
  // trap destinations and its interval (configuration dialog).
  void ExpectShown(const AgentFiles& files, const std::string& jar) {
    std::string names = "<SELECT name=\"element_name\" size=5>";
    for (const auto& element : files.elements) names += "<OPTION value=\"" + element.first + "\">" + element.first;
    const std::string renamePage = Page("rename_element.html", jar).body;
    EXPECT_TRUE(Contains(renamePage, names + "</SELECT>")) << renamePage;
    std::string hosts = "<SELECT name=\"client_address\" size=4>";
    for (const std::string& host : files.destinations) hosts += "<OPTION value=\"" + host + "\">" + host;
    const std::string configPage = Page("agent_config.html", jar).body;
    EXPECT_TRUE(Contains(configPage, hosts + "</SELECT>")) << configPage;
    const std::string minutes = std::to_string(files.interval / 60);
    EXPECT_TRUE(Contains(configPage, "<OPTION value=\"" + minutes + "\" SELECTED>" + minutes + "<"));
  }

  int snmpPort_ = 0;
  int counter_ = 0;
  test::SimulatedDevices simulator_{dir_.File("sim")};
};

int FromEnvironment(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

TEST_F(CrashSoak, EveryAcknowledgedChangeSurvivesSigkillAndNoFileIsTorn) {
  const int kills = FromEnvironment("KOR_SOAK_KILLS", 30);
  const auto seed = static_cast<unsigned>(FromEnvironment("KOR_SOAK_SEED", static_cast<int>(std::random_device()())));
  std::printf("crash soak: %d kills, seed %u\n", kills, seed);
  std::mt19937 random(seed);
  const std::vector<std::string> env = {"KORAGENT_SNMP_PORT=" + std::to_string(snmpPort_),
                                        "KORAGENT_EVENT_LOG=" + dir_.File("events.jsonl")};
  const std::string jar = dir_.File("admin.jar");

  AgentFiles files;
  int acknowledged = 0, refused = 0, cutOld = 0, cutNew = 0;
  std::chrono::steady_clock::duration restarts{};
  Start(env);
  if (HasFatalFailure()) return;
  for (int kill = 1; kill <= kills; ++kill) {
    SCOPED_TRACE(StringPrintf("kill %d of %d, seed %u", kill, kills, seed));
    Login(jar);
    ExpectShown(files, jar);
    if (HasFatalFailure() || HasFailure()) return;

    // The administrator changes one thing after the other until the kill;
    // at most one change is under way when it comes.
    std::atomic<bool> killed{false};
    std::mutex guard;
    AgentFiles confirmed = files;
    std::optional<AgentFiles> underWay;
    std::mt19937 changes(random());
    std::thread administrator([&] {
      while (!killed.load()) {
        Change change = NextChange(confirmed, changes);
        {
          std::lock_guard<std::mutex> hold(guard);
          underWay = change.after;
        }
        const test::HttpsReply reply = Page(change.page, jar, change.form);
        const bool done = Contains(reply.body, change.acknowledged) ||
                          (!change.alsoAcknowledged.empty() && Contains(reply.body, change.alsoAcknowledged));
        std::lock_guard<std::mutex> hold(guard);
        // No answer, or one cut short by the kill: the change may or may
        // not be made.
        if (!done && (reply.status == 0 || killed.load())) break;
        underWay.reset();
        if (done) {
          confirmed = change.after;
          ++acknowledged;
        } else {
          ++refused;  // refused with a message: nothing changed
          ADD_FAILURE() << change.page << " " << change.form << " refused:\n" << reply.body;
        }
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(50, 1500)(random)));
    killed.store(true);
    Kill();
    administrator.join();
    if (HasFatalFailure()) return;

    // Each file is whole: what the acknowledged changes made, or that with
    // the change under way.
    if (Holds(confirmed)) {
      files = confirmed;
      cutOld += underWay ? 1 : 0;
    } else if (underWay && Holds(*underWay)) {
      files = *underWay;
      ++cutNew;
    } else {
      FAIL() << "after kill " << kill << " the files hold neither version:\n"
             << test::ReadFile(dir_.File("KOR/KORAgent.db")) << dir_.Read("KOR/client.ini")
             << dir_.Read("KOR/storage.ini") << "\nacknowledged:\n" << confirmed.All() << "\nunder way:\n"
             << (underWay ? underWay->All() : "none") << "\nevents:\n" << test::ReadFile(dir_.File("events.jsonl"));
    }

    const auto begin = std::chrono::steady_clock::now();
    Start(env);
    restarts += std::chrono::steady_clock::now() - begin;
    if (HasFatalFailure()) return;
  }
  Login(jar);
  ExpectShown(files, jar);
  const double meanRestart = std::chrono::duration<double>(restarts).count() / std::max(kills, 1);
  std::printf(
      "crash soak: %d kills, %d changes acknowledged, %d refused, 0 lost, 0 torn files; "
      "cut short: %d kept old, %d made new; %d leftover temporaries; mean restart %.2f s\n",
      kills, acknowledged, refused, cutOld, cutNew, LeftoverTemporaries(), meanRestart);
}

}  // namespace
}  // namespace orla
