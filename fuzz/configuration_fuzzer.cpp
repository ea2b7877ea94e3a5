// KORAgent.cfg: the five lines read at start-up, the enterprise line turned
// into its byte array.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "agent/service/agent_configuration.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orla::fuzz::FuzzFolder::Get();  // keeps the errors off the host's log
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  orla::AgentConfiguration configuration;
  configuration.Parse(in, "KORAgent.cfg");
  return 0;
}
