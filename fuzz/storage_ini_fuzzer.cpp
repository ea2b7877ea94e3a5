// storage.ini: the polling interval, read from the agent directory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "agent/service/agent_core.h"
#include "fuzz/fuzz_file.h"

namespace {

orla::AgentCore& Core() {
  static orla::AgentCore* const core = [] {
    const orla::fuzz::FuzzFolder& folder = orla::fuzz::FuzzFolder::Get();
    const std::string cfg = "x\n" + folder.Path() + "\nx\nlabel\n.1.3.6.1.4.1.4413\n";
    folder.Write("KORAgent.cfg", reinterpret_cast<const uint8_t*>(cfg.data()), cfg.size());
    auto* c = new orla::AgentCore();
    if (!c->ReadConfiguration(folder.File("KORAgent.cfg"))) std::abort();
    return c;
  }();
  return *core;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orla::AgentCore& core = Core();
  orla::fuzz::FuzzFolder::Get().Write("storage.ini", data, size);
  core.ReadPollingInterval();
  const int interval = core.PollingInterval();
  if (interval < 60 || interval > 3600) std::abort();
  return 0;
}
