#pragma once
// Polling for something a test waits on (a file, a log entry, a peer's
// output), bounded in time so that no test can hang.
#include <chrono>
#include <functional>

namespace orla::test {

// Checks `condition` every `step` until it holds (true) or `limit` has
// passed without it holding (false).
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10),
               std::chrono::milliseconds step = std::chrono::milliseconds(20));

}  // namespace orla::test
