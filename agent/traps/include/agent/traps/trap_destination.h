#pragma once
// One host of the trap destination list: a host name or a dotted IPv4
// address, exactly as it was read from "client.ini" or added.
#include <string>

#include "agent/core/root_object.h"

namespace orla {

class TrapDestination : public RootObject {
 public:
  // Copies `text`. Throws OrlaException 3001 "Unable to allocate memory."
  // when the copy cannot be made.
  explicit TrapDestination(const char* text);
  ~TrapDestination() override = default;
  TrapDestination(const TrapDestination&) = delete;
  TrapDestination& operator=(const TrapDestination&) = delete;

  const char* Text() const { return text_.c_str(); }

 private:
  std::string text_;
};

}  // namespace orla
