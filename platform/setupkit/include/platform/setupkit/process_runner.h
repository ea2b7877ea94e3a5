#pragma once
// Starts a program and waits for it to end (posix_spawn + waitpid).
#include <string>
#include <vector>

namespace orla {

class ProcessRunner {
 public:
  struct Result {
    bool started = false;   // the program could be started
    int start_error = 0;    // errno of a failed start
    bool waited = false;    // the wait for its end succeeded
    int exit_code = 0;      // its exit status; 128 + signal number when a signal ended it
  };

  // Runs `program` with the words of `command_line` (split at spaces and
  // tabs; a line of only spaces gives no arguments) as its arguments, with
  // `directory` as its current directory, this process's environment,
  // standard input, output and error, and no other open descriptor. Blocks
  // until the program has ended.
  static Result Run(const std::string& program, const std::string& command_line,
                    const std::string& directory);

  // The words of a command line, as Run passes them.
  static std::vector<std::string> SplitWords(const std::string& command_line);
};

}  // namespace orla
