#pragma once
// The users tool (korusers): lists, adds and removes the web server's users,
// sets their passwords and their rights masks. The data directory is the one
// named with -d, else the agent directory (line 2 of KORAgent.cfg beside the
// tool) followed by "ZEPD", as the agent gives it to the web server.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orla {

class UsersCommand {
 public:
  // Asks for a password (with `prompt`); false when none can be had.
  using PasswordSource = std::function<bool(const std::string& prompt, std::string* password)>;

  static constexpr size_t kMinimumPasswordLength = 8;

  // Runs the command line `args` (without the program name). Returns the
  // exit code: 0 done, 1 usage error, 2 the change failed.
  static int Run(const std::vector<std::string>& args, const std::string& programDirectory,
                 const PasswordSource& passwords, std::ostream& out, std::ostream& err);

  // The data directory from KORAgent.cfg in `programDirectory`.
  static bool DefaultDataDirectory(const std::string& programDirectory, std::string* directory, std::string* error);

  static void Usage(std::ostream& out);
};

}  // namespace orla
