#pragma once
// Runs a real peer program (curl, openssl) for a test: arguments as given,
// optional standard input, standard output and error captured, killed after
// a time limit so that no test can hang.
#include <string>
#include <vector>

namespace orla::test {

class ProcessRunner {
 public:
  struct Result {
    int exitCode = -1;  // -1 when killed or not started
    std::string out;
    std::string err;
  };

  static Result Run(const std::vector<std::string>& argv, const std::string& input = std::string(),
                    int timeoutSeconds = 30);
};

}  // namespace orla::test
