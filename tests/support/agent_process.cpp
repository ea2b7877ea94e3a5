#include "tests/support/agent_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

// Spawn attributes under which the child starts with no blocked signals.
void NoBlockedSignals(posix_spawnattr_t* attr) {
  posix_spawnattr_init(attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(attr, &none);
  posix_spawnattr_setflags(attr, POSIX_SPAWN_SETSIGMASK);
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
  posix_spawnattr_t attr;
  NoBlockedSignals(&attr);
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

AgentProcess::Result AgentProcess::Run(const std::vector<std::string>& argv, const std::string& input,
                                       int timeoutSeconds) {
  Result result;
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  posix_spawnattr_t attr;
  NoBlockedSignals(&attr);
  const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (rc != 0) {
    close(in[1]);
    close(out[0]);
    close(err[0]);
    result.err = "cannot start " + argv[0];
    return result;
  }
  size_t written = 0;
  int inFd = in[1];
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  } else {
    fcntl(inFd, F_SETFL, O_NONBLOCK);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  bool outOpen = true, errOpen = true, killed = false;
  while (outOpen || errOpen) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    struct pollfd fds[3];
    int n = 0;
    if (outOpen) fds[n++] = {out[0], POLLIN, 0};
    if (errOpen) fds[n++] = {err[0], POLLIN, 0};
    if (inFd >= 0) fds[n++] = {inFd, POLLOUT, 0};
    if (poll(fds, static_cast<nfds_t>(n), static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    for (int i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == inFd) {
        const ssize_t w = write(inFd, input.data() + written, input.size() - written);
        if (w > 0) written += static_cast<size_t>(w);
        if (w < 0 || written == input.size()) {
          close(inFd);
          inFd = -1;
        }
        continue;
      }
      char buf[8192];
      const ssize_t r = read(fds[i].fd, buf, sizeof(buf));
      if (r <= 0) {
        if (fds[i].fd == out[0]) outOpen = false;
        else errOpen = false;
      } else if (fds[i].fd == out[0]) {
        result.out.append(buf, static_cast<size_t>(r));
      } else {
        result.err.append(buf, static_cast<size_t>(r));
      }
    }
  }
  if (inFd >= 0) close(inFd);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = (!killed && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return result;
}


}  // namespace orla::test
