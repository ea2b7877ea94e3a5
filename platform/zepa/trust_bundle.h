#pragma once
// The certificates that client requests trust: the system's bundle followed
// by the server's own certificate, written into the data directory at start.
#include <string>

namespace orla {

class TrustBundle {
 public:
  // Writes `bundleFile`: the system's trusted certificates followed by the
  // PEM certificate `extraFile` (the server's own), so that client requests
  // trust both. False with *error when neither can be read or the file cannot
  // be written.
  static bool Write(const std::string& extraFile, const std::string& bundleFile, std::string* error);
};

}  // namespace orla
