#pragma once
// Who really runs a program: the login name of its real user id, or, for a
// program that runs as root through sudo, the user who called sudo. The
// SUDO_UID variable alone proves nothing (anyone can set it): it is taken
// only when the process runs as root and among its ancestors is a sudo
// started by that very user (the process that started the sudo has the
// real user id SUDO_UID names; sudo itself becomes root through and
// through before it runs the command). SUDO_USER is never read.
#include <sys/types.h>

#include <string>
#include <vector>

namespace orla {

class SudoCaller {
 public:
  // What the answer rests on.
  struct Facts {
    uid_t uid = 0;   // real user id
    uid_t euid = 0;  // effective user id
    std::string sudoUid;  // SUDO_UID as set (empty: not set)
    // The real user ids of the processes that started the sudo processes
    // among the ancestors.
    std::vector<uid_t> sudoCallers;
  };

  // The facts of this process; `sudoUid` is its SUDO_UID value.
  static Facts OfThisProcess(const std::string& sudoUid);
  // The user id to name: the sudo caller's, when the facts bear it out,
  // else the real user id.
  static uid_t User(const Facts& facts);
  // The login name of `uid`; "uid N" when it has none.
  static std::string Name(uid_t uid);
};

}  // namespace orla
