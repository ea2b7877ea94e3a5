#pragma once
// BER length octets and the buffer helper shared by the SNMP value classes
// and the trap message.
#include <cstdint>

namespace orla {

class BerWriter {
 public:
  // Number of length octets for a contents length n (n >= 0): 1 below 128,
  // otherwise 1 + the number of bytes n needs.
  static int32_t LengthOctets(int32_t n);
  // Writes the length octets of n at `out`; returns how many were written.
  static int32_t WriteLength(uint8_t* out, int32_t n);
  // 1 (tag) + length octets + n, or -1 when that does not fit in 32 bits
  // (or n is negative).
  static int32_t TotalLength(int32_t n);
  // Allocates TotalLength(n) bytes with malloc, writes the tag and the length
  // octets, and returns the buffer; `*contents` points where the contents go.
  // Null when the allocation fails or n is invalid.
  static uint8_t* Start(uint8_t tag, int32_t n, uint8_t** contents);
};

}  // namespace orla
