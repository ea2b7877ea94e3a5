#include "ber_writer.h"

#include <cstdlib>
#include <limits>

namespace orla {

namespace {

// Number of bytes n needs (n shifted right by 8 until it is 0).
int32_t BytesNeeded(int32_t n) {
  int32_t k = 0;
  for (uint32_t rest = static_cast<uint32_t>(n); rest != 0; rest >>= 8) ++k;
  return k;
}

}  // namespace

int32_t BerWriter::LengthOctets(int32_t n) { return n < 128 ? 1 : 1 + BytesNeeded(n); }

int32_t BerWriter::WriteLength(uint8_t* out, int32_t n) {
  if (n < 128) {
    out[0] = static_cast<uint8_t>(n);
    return 1;
  }
  const int32_t k = BytesNeeded(n);
  out[0] = static_cast<uint8_t>(0x80 + k);
  for (int32_t i = 0; i < k; ++i) {
    out[1 + i] = static_cast<uint8_t>(static_cast<uint32_t>(n) >> (8 * (k - 1 - i)));
  }
  return 1 + k;
}

int32_t BerWriter::TotalLength(int32_t n) {
  if (n < 0) return -1;
  const int64_t total = int64_t{1} + LengthOctets(n) + n;
  if (total > std::numeric_limits<int32_t>::max()) return -1;
  return static_cast<int32_t>(total);
}

uint8_t* BerWriter::Start(uint8_t tag, int32_t n, uint8_t** contents) {
  const int32_t total = TotalLength(n);
  if (total < 0) return nullptr;
  auto* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(total)));
  if (buffer == nullptr) return nullptr;
  buffer[0] = tag;
  *contents = buffer + 1 + WriteLength(buffer + 1, n);
  return buffer;
}

}  // namespace orla
