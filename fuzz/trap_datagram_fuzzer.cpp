// The trap datagram decoder: every UDP datagram that reaches the trap port.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_file.h"
#include "platform/snmpmgr/trap_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const uint8_t source[4] = {127, 0, 0, 1};
  // A user the head check lets through, so that the security model's
  // parser is reached too.
  static const bool users = (orla::TrapDecoder::SetUserLevels({{"kor", 0}}), true);
  (void)users;
  orla::TrapDecoder::Trap trap;
  orla::TrapDecoder::Decode(data, size, source, &trap);
  return 0;
}
