#include "platform/setupkit/process_runner.h"

#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace orla {

std::vector<std::string> ProcessRunner::SplitWords(const std::string& command_line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : command_line) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

ProcessRunner::Result ProcessRunner::Run(const std::string& program, const std::string& command_line,
                                         const std::string& directory) {
  Result result;

  std::vector<std::string> words = SplitWords(command_line);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  int rc = posix_spawn_file_actions_init(&actions);
  if (rc != 0) {
    result.start_error = rc;
    return result;
  }
  rc = posix_spawnattr_init(&attr);
  if (rc != 0) {
    posix_spawn_file_actions_destroy(&actions);
    result.start_error = rc;
    return result;
  }

  // The installer starts in its own folder and inherits nothing but the
  // three standard descriptors; signal dispositions and mask start clean.
  rc = posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  sigset_t all_signals;
  sigset_t no_signals;
  sigfillset(&all_signals);
  sigemptyset(&no_signals);
  if (rc == 0) rc = posix_spawnattr_setsigdefault(&attr, &all_signals);
  if (rc == 0) rc = posix_spawnattr_setsigmask(&attr, &no_signals);
  if (rc == 0) rc = posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = -1;
  if (rc == 0) rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    result.start_error = rc;
    return result;
  }
  result.started = true;

  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited == pid) {
    result.waited = true;
    if (WIFEXITED(status)) {
      result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
      result.exit_code = 128 + WTERMSIG(status);
    }
  }
  return result;
}

}  // namespace orla
