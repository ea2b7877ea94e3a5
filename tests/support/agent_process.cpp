#include "tests/support/agent_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "tests/support/build_tree.h"
#include "tests/support/file_text.h"
#include "tests/support/wait_until.h"

extern char** environ;

namespace orla::test {

namespace {

// The bit of `signo` in a /proc/<pid>/status signal mask line, as read.
bool SignalPendingIn(pid_t pid, int signo) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("ShdPnd:", 0) == 0 || line.rfind("SigPnd:", 0) == 0) {
      const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
      if (mask & (1ULL << (signo - 1))) return true;
    }
  }
  return false;
}

}  // namespace

AgentProcess::~AgentProcess() {
  if (pid_ > 0 && !ended_) {
    ::kill(pid_, SIGKILL);
    int status;
    ::waitpid(pid_, &status, 0);
  }
  if (!outputPath_.empty()) std::remove(outputPath_.c_str());
}

std::string AgentProcess::BuiltAgent() { return BinaryDir() + "/agent/service/KORAgent"; }

bool AgentProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::string& workDir,
                         const std::string& argv0) {
  // One child at a time: a running one is stopped first, and a start after
  // the last one ended begins afresh.
  if (Running()) Stop();
  if (!outputPath_.empty()) std::remove(outputPath_.c_str());
  ended_ = false;
  exitCode_ = -1;
  char templ[] = "/tmp/koragent-out.XXXXXX";
  const int outFd = mkstemp(templ);
  if (outFd < 0) return false;
  outputPath_ = templ;

  std::vector<std::string> words;
  words.push_back(argv0.empty() ? program : argv0);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& extra : env) {
      const std::string name = extra.substr(0, extra.find('='));
      if (entry.compare(0, name.size() + 1, name + "=") == 0) replaced = true;
    }
    if (!replaced) envStrings.push_back(entry);
  }
  // Later entries of `env` win over earlier ones; a bare NAME removes it.
  for (size_t i = 0; i < env.size(); ++i) {
    const std::string name = env[i].substr(0, env[i].find('='));
    bool later = false;
    for (size_t j = i + 1; j < env.size(); ++j) {
      if (env[j].substr(0, env[j].find('=')) == name) later = true;
    }
    if (!later && env[i].find('=') != std::string::npos) envStrings.push_back(env[i]);
  }
  std::vector<char*> envp;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
  // The child starts with no blocked signals, whatever the test runner has.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
  const int rc = program.find('/') == std::string::npos
                     ? posix_spawnp(&pid_, program.c_str(), &actions, &attr, argv.data(), envp.data())
                     : posix_spawn(&pid_, program.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  ::close(outFd);
  if (rc != 0) {
    pid_ = -1;
    return false;
  }
  return true;
}

bool AgentProcess::Wait(int* exitCode, std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return false;
  const bool ended = WaitUntil([this] {
    int status = 0;
    if (!ended_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
      ended_ = true;
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return ended_;
  }, timeout, std::chrono::milliseconds(10));
  if (!ended) return false;
  if (exitCode != nullptr) *exitCode = exitCode_;
  return true;
}

bool AgentProcess::Signal(int signo, std::chrono::milliseconds timeout) {
  if (pid_ <= 0 || ended_) return false;
  if (::kill(pid_, signo) != 0) return false;
  return WaitUntil([this, signo] { return !SignalPendingIn(pid_, signo); }, timeout, std::chrono::milliseconds(2));
}

bool AgentProcess::Running() {
  if (pid_ <= 0 || ended_) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    ended_ = true;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

void AgentProcess::Stop(std::chrono::milliseconds grace) {
  if (!Running()) return;
  ::kill(pid_, SIGTERM);
  if (Wait(nullptr, grace)) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  ended_ = true;
  exitCode_ = 128 + SIGKILL;
}

std::string AgentProcess::Output() const { return ReadFile(outputPath_); }

}  // namespace orla::test
