#pragma once
// The users command of the korusers tool: lists, adds and removes the web
// server's users, sets their passwords and their rights masks, and shows or
// replaces the bearer token metrics scrapers send (ScrapeCredentials), with
// the rules of UserAdministration. The data directory is the one named with
// -d, else the one the tool's default gives (korusers: the agent's, found
// through its layout). Before it touches any
// file the command may switch to the data directory's owner (korusers run as
// root does: ActAsOwner), so that the server, running as that owner, can
// read what the tool wrote.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orla {

class UsersCommand {
 public:
  // Asks for a password (with `prompt`); false when none can be had.
  using PasswordSource = std::function<bool(const std::string& prompt, std::string* password)>;

  // The access right whose levels the level command sets (and whose last
  // administrator no command removes or lowers): the agent's.
  static constexpr const char* kLevelRight = "KORAccess";

  // Called with the data directory before any file in it is touched; false
  // with *error ends the command (exit code 2).
  using OwnerSwitch = std::function<bool(const std::string& dataDirectory, std::string* error)>;

  // The data directory when -d names none: how the tool finds it (false
  // with *error saying why it cannot; the command then asks for -d and ends
  // with exit code 1), and the end of the usage text, which says where it is: it follows
  // the last sentence on its line (" The data directory defaults\n...\n").
  struct DefaultDataDirectory {
    std::function<bool(std::string* directory, std::string* error)> find;
    std::string description;
  };

  // Called once a change is written, with what changed ("added the user
  // ops", "made a new metrics token"; never a password or a token).
  using ChangeReport = std::function<void(const std::string& what)>;

  // Runs the command line `args` (without the program name). Returns the
  // exit code: 0 done, 1 usage error, 2 the change failed.
  static int Run(const std::vector<std::string>& args, const DefaultDataDirectory& defaultDirectory,
                 const PasswordSource& passwords, std::ostream& out, std::ostream& err,
                 const OwnerSwitch& actAsOwner = OwnerSwitch(), const ChangeReport& changed = ChangeReport());

  // The owner switch of the tool: becomes the owner of `dataDirectory` when
  // run as root, keeping the users files writable (DirectoryOwner).
  static bool ActAsOwner(const std::string& dataDirectory, std::string* error);

  static void Usage(std::ostream& out, const DefaultDataDirectory& defaultDirectory);
};

}  // namespace orla
