#pragma once
// Byte helpers for tests that look inside records and datagrams: hex text to
// bytes, and little-endian numbers read at an offset.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orla::test {

// "01ff" or "01 ff" -> {0x01, 0xff}; spaces between bytes are skipped, a
// trailing odd digit is ignored.
std::vector<uint8_t> FromHex(const std::string& hex);
// The little-endian 16- and 32-bit numbers at `at`.
uint16_t Read16(const std::vector<uint8_t>& bytes, size_t at);
uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at);

}  // namespace orla::test
