#pragma once
// The agent's revision text: written into the start-up log line and shown by
// the about page.
namespace orla {

inline constexpr const char kAgentRevision[] = "V2.7.2.13";

}  // namespace orla
