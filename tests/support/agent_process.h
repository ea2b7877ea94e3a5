#pragma once
// The one launcher of child processes for tests. An object runs one child
// at a time in the background: the built KORAgent, or a peer program
// (snmpsimd, snmptrapd) looked up in PATH, with its own argv[0], working
// directory and extra environment; standard output and standard error go to
// a file the test can read. The destructor kills a child that is still
// running. An object can start a new child once the last one has ended.
// Run runs a command to its end instead (curl, openssl, korusers, the shell
// of RunCommand): standard input given, both outputs captured, killed after
// a time limit so that no test can hang. Every child starts with no blocked
// signals, whatever the test runner has blocked.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orla::test {

class AgentProcess {
 public:
  AgentProcess() = default;
  ~AgentProcess();
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  // The KORAgent program of this build.
  static std::string BuiltAgent();

  struct Result {
    int exitCode = -1;  // -1 when killed or not started
    std::string out;
    std::string err;
  };
  // Runs `argv` (argv[0] looked up in PATH) to its end, writing `input` to
  // its standard input; killed after `timeoutSeconds`.
  static Result Run(const std::vector<std::string>& argv, const std::string& input = std::string(),
                    int timeoutSeconds = 30);

  // Starts `program` (looked up in PATH when it has no "/") with argv[0] =
  // `argv0` (the program itself when empty),
  // the further `args`, in `workDir` (unchanged when empty), with `env`
  // ("NAME=value"; a bare "NAME" removes it) over this process's environment. Returns false when
  // it cannot be started, or while the child of an earlier Start still runs
  // (once it has ended, the object can start another).
  bool Start(const std::string& program, const std::vector<std::string>& args = {},
             const std::vector<std::string>& env = {}, const std::string& workDir = "",
             const std::string& argv0 = "");

  // Waits at most `timeout` for the child to end; true when it has ended.
  // *exitCode is its exit status, or 128 + the signal that ended it.
  bool Wait(int* exitCode, std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // Sends `signo` and waits until the child has taken it off its pending
  // set (the signal has reached the program, not just been queued).
  bool Signal(int signo, std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // True while the child runs.
  bool Running();
  // Ends the child: SIGTERM, and SIGKILL when it has not ended within
  // `grace`. Nothing when it is not running.
  void Stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

  pid_t Pid() const { return pid_; }
  std::string Output() const;

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int exitCode_ = -1;
  std::string outputPath_;
};

}  // namespace orla::test
