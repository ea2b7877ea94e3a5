// The trap datagram decoder: every UDP datagram that reaches the trap port.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_file.h"
#include "platform/snmpmgr/trap_receiver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const uint8_t source[4] = {127, 0, 0, 1};
  orla::TrapReceiver::Trap trap;
  orla::TrapReceiver::Decode(data, size, source, &trap);
  return 0;
}
