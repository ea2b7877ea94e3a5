#pragma once
// Ends the process at once with an exit code. Standard output and standard
// error are flushed unless another thread holds them, but no static
// destructor and no atexit handler runs: other threads may still be
// running and using the static objects. The process ends once: when two
// threads call Now, the first one's code is the exit code and the other
// never returns.
namespace orla {

class ProcessExit {
 public:
  [[noreturn]] static void Now(int exitCode);
};

}  // namespace orla
