// The dispatcher runs a service entry routine on its own thread and turns the
// control signals sent to the process into controls for its handler.
#include "platform/service/service_dispatcher.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/service/process_exit.h"
#include "platform/sync/manual_reset_event.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

std::mutex g_mutex;
std::vector<std::string> g_events;
ServiceDispatcher::StatusHandle g_handle = 0;
ManualResetEvent* g_stop = nullptr;

void Record(const std::string& event) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_events.push_back(event);
}

std::vector<std::string> Events() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_events;
}

void Report(uint32_t state) {
  ServiceStatus s;
  s.currentState = state;
  s.controlsAccepted = state == kServiceStartPending ? 0 : kServiceAcceptStop | kServiceAcceptPauseContinue;
  Record("status " + std::to_string(state));
  ASSERT_TRUE(ServiceDispatcher::SetServiceStatus(g_handle, s));
}

void Handler(uint32_t control) {
  Record("control " + std::to_string(control));
  if (control == kServiceControlStop) {
    Report(kServiceStopPending);
    g_stop->Set();
  }
}

// Waits until the dispatcher has taken `signo` off the process.
void WaitTaken(int signo) {
  const bool taken = test::WaitUntil([signo] {
    sigset_t pending;
    sigpending(&pending);
    return !sigismember(&pending, signo);
  }, std::chrono::seconds(5), std::chrono::milliseconds(1));
  if (!taken) ADD_FAILURE() << "signal " << signo << " was not taken";
}

class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("NOTIFY_SOCKET");
    g_events.clear();
    g_handle = 0;
    g_stop = new ManualResetEvent(false);
  }
  void TearDown() override {
    delete g_stop;
    g_stop = nullptr;
  }
};

TEST_F(Dispatcher, StopDuringStartPendingIsHandedOnOnceRunning) {
  auto serviceMain = [](int argc, char** argv) {
    EXPECT_EQ(argc, 1);
    EXPECT_STREQ(argv[0], "TestService");
    g_handle = ServiceDispatcher::RegisterServiceCtrlHandler("TestService", Handler);
    ASSERT_NE(g_handle, 0u);
    Report(kServiceStartPending);
    kill(getpid(), SIGTERM);
    WaitTaken(SIGTERM);
    Report(kServiceRunning);
    g_stop->Wait();
    Report(kServiceStopped);
  };
  EXPECT_EQ(ServiceDispatcher::StartServiceCtrlDispatcher("TestService", serviceMain), 0);
  EXPECT_EQ(Events(), (std::vector<std::string>{"status 2", "status 4", "control 1", "status 3", "status 1"}));
}

TEST_F(Dispatcher, SignalsBecomePauseContinueAndStop) {
  auto serviceMain = [](int, char**) {
    g_handle = ServiceDispatcher::RegisterServiceCtrlHandler("TestService", Handler);
    Report(kServiceRunning);
    kill(getpid(), SIGUSR1);
    WaitTaken(SIGUSR1);
    kill(getpid(), SIGUSR2);
    WaitTaken(SIGUSR2);
    kill(getpid(), SIGINT);
    g_stop->Wait();
  };
  EXPECT_EQ(ServiceDispatcher::StartServiceCtrlDispatcher("TestService", serviceMain), 0);
  EXPECT_EQ(Events(), (std::vector<std::string>{"status 4", "control 2", "control 3", "control 1", "status 3"}));
}

TEST_F(Dispatcher, PauseIsNotHandedOnWhileNotAccepted) {
  auto serviceMain = [](int, char**) {
    g_handle = ServiceDispatcher::RegisterServiceCtrlHandler("TestService", Handler);
    ServiceStatus s;
    s.currentState = kServiceRunning;
    s.controlsAccepted = kServiceAcceptStop;  // stop only
    ASSERT_TRUE(ServiceDispatcher::SetServiceStatus(g_handle, s));
    kill(getpid(), SIGUSR1);
    WaitTaken(SIGUSR1);
    kill(getpid(), SIGTERM);
    g_stop->Wait();
  };
  EXPECT_EQ(ServiceDispatcher::StartServiceCtrlDispatcher("TestService", serviceMain), 0);
  EXPECT_EQ(Events(), (std::vector<std::string>{"control 1", "status 3"}));
}

TEST_F(Dispatcher, OnlyTheDispatchedServiceRegisters) {
  auto serviceMain = [](int, char**) {
    EXPECT_EQ(ServiceDispatcher::RegisterServiceCtrlHandler("Other", Handler), 0u);
    ServiceStatus s;
    EXPECT_FALSE(ServiceDispatcher::SetServiceStatus(12345, s));
  };
  EXPECT_EQ(ServiceDispatcher::StartServiceCtrlDispatcher("TestService", serviceMain), 0);
  // Outside a dispatcher nothing registers.
  EXPECT_EQ(ServiceDispatcher::RegisterServiceCtrlHandler("TestService", Handler), 0u);
}

// After the service has stopped the process is about to end with its own
// exit code: a control signal that arrives in that window must not end it by
// signal instead. The signals stay blocked.
TEST_F(Dispatcher, ControlSignalsStayBlockedAfterTheServiceStopped) {
  auto serviceMain = [](int, char**) {
    g_handle = ServiceDispatcher::RegisterServiceCtrlHandler("TestService", Handler);
    Report(kServiceRunning);
    kill(getpid(), SIGTERM);
    g_stop->Wait();
  };
  EXPECT_EQ(ServiceDispatcher::StartServiceCtrlDispatcher("TestService", serviceMain), 0);
  sigset_t mask;
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, nullptr, &mask), 0);
  for (int signo : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) EXPECT_TRUE(sigismember(&mask, signo)) << signo;
  // A second stop now waits, pending, instead of killing the test.
  kill(getpid(), SIGTERM);
  sigset_t term;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  struct timespec none = {0, 0};
  EXPECT_EQ(sigtimedwait(&term, nullptr, &none), SIGTERM);
}

// Whether thread `tid` of this process is asleep (state S in its stat line).
bool IsAsleep(pid_t tid) {
  if (tid == 0) return false;
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t paren = line.rfind(')');
  return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'S';
}

// Two threads ending the process at once (a stop on the main thread, a
// start-up failure on the start thread): the first one's code is the exit
// code, and the process ends once.
TEST(ProcessExitTest, TheFirstOfTwoConcurrentEndsGivesTheExitCode) {
  for (int round = 0; round < 20; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      static std::atomic<bool> ending{false};
      static std::atomic<pid_t> secondThread{0};
      // Runs inside the first end: it goes on once the second end is parked
      // inside ProcessExit::Now (asleep), so the second comes while it runs.
      at_quick_exit([] {
        ending.store(true);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!IsAsleep(secondThread.load()) && std::chrono::steady_clock::now() < limit) {
          std::this_thread::yield();
        }
      });
      std::thread second([] {
        while (!ending.load()) std::this_thread::yield();
        secondThread.store(static_cast<pid_t>(gettid()));
        ProcessExit::Now(4);
      });
      second.detach();
      ProcessExit::Now(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 3) << "round " << round;
  }
}

// A thread that holds a standard stream (stuck writing to a full pipe, say)
// does not keep the process from ending after a stop.
TEST(ProcessExitTest, AThreadHoldingStandardOutputDoesNotHoldUpTheEnd) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::atomic<bool> holding{false};
    std::thread holder([&holding] {
      flockfile(stdout);
      holding.store(true);
      for (;;) pause();
    });
    holder.detach();
    while (!holding.load()) std::this_thread::yield();
    ProcessExit::Now(0);
  }
  int status = 0;
  pid_t ended = 0;
  test::WaitUntil([&] { return (ended = waitpid(child, &status, WNOHANG)) != 0; }, std::chrono::seconds(5),
                  std::chrono::milliseconds(10));
  if (ended == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "the process did not end";
  }
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace orla
