#pragma once
// The random secret that marks this process's own client requests to its own
// server: the client adds it as a header, the request gate checks and
// removes it. Made once per process, never written anywhere.
#include <string>

namespace orla {

class InternalSecret {
 public:
  static constexpr const char* kHeader = "X-ZEPA-Internal";
  // 32 random bytes as hex, the same for the whole life of the process.
  static const std::string& Value();
};

}  // namespace orla
