// PortStatCounter: the 8-octet counters of the port statistics table,
// decoded from the octets as the plug-in reads them (hex of the octets).
#include "plugins/famib_core/port_stat_counter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orla {
namespace {

TEST(PortStatCounterTest, DecodesTheEightOctets) {
  const struct {
    const char* hex;
    std::optional<uint64_t> value;
  } cases[] = {
      {"0000000000000000", 0},
      {"0000000000000001", 1},
      {"0000000000001a74", 6772},                       // big-endian, not little
      {"0100000000000000", uint64_t{1} << 56},
      {"7fffffffffffffff", (uint64_t{1} << 63) - 1},     // the last value before the wrap
      {"7FFFFFFFFFFFFFFE", (uint64_t{1} << 63) - 2},     // upper-case digits
      {"8000000000000000", std::nullopt},               // the high bit: not supported
      {"ffffffffffffffff", std::nullopt},
      {"8000000000000123", std::nullopt},
      {"00000000000000", std::nullopt},                 // 7 octets
      {"000000000000000000", std::nullopt},             // 9 octets
      {"", std::nullopt},
      {"00000000000000zz", std::nullopt},               // not hex
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    EXPECT_EQ(PortStatCounter::FromHex(c.hex), c.value);
  }
  EXPECT_EQ(PortStatCounter::Decode(nullptr, 8), std::nullopt);
}

}  // namespace
}  // namespace orla
