#pragma once
// The users tool (korusers): lists, adds and removes the web server's users,
// sets their passwords and their rights masks, and shows or replaces the
// bearer token metrics scrapers send (ScrapeCredentials). The data directory is the one
// named with -d, else the agent directory (line 2 of KORAgent.cfg beside the
// tool) followed by "ZEPD", as the agent gives it to the web server. Before
// it touches any file the tool may switch to the data directory's owner
// (korusers run as root does: DirectoryOwner), so that the server, running
// as that owner, can read what the tool wrote.
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

  // Called with the data directory before any file in it is touched; false
  // with *error ends the command (exit code 2).
  using OwnerSwitch = std::function<bool(const std::string& dataDirectory, std::string* error)>;

  // Runs the command line `args` (without the program name). Returns the
  // exit code: 0 done, 1 usage error, 2 the change failed.
  static int Run(const std::vector<std::string>& args, const std::string& programDirectory,
                 const PasswordSource& passwords, std::ostream& out, std::ostream& err,
                 const OwnerSwitch& actAsOwner = OwnerSwitch());

  // The data directory from KORAgent.cfg in `programDirectory`.
  static bool DefaultDataDirectory(const std::string& programDirectory, std::string* directory, std::string* error);

  static void Usage(std::ostream& out);
};

}  // namespace orla
