#pragma once
// Where the setup launcher finds its components and its error file.
#include <string>

namespace orla {

class SetupEnvironment {
 public:
  // The error file unless ORLA_ERROR_FILE names another: a place only
  // privileged users can write.
  static constexpr const char* kDefaultErrorFile = "/var/lib/orla/ORLAerror.txt";

  // The folder of the running executable, without a trailing "/". Falls back
  // to the folder part of `argv0` when the executable's path is unknown; ""
  // when that has none either.
  static std::string BaseDirectory(const char* argv0);

  // The error file path (ORLA_ERROR_FILE or the default).
  static std::string ErrorFilePath();
};

}  // namespace orla
