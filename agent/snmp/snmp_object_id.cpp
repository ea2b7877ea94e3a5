#include "agent/snmp/snmp_object_id.h"

#include <cstdlib>
#include <cstring>

#include "ber_writer.h"

namespace orla {

namespace {

// Bytes of one sub-identifier in base 128.
int32_t Base128Length(uint32_t id) {
  if (id < 128u) return 1;
  if (id < 16384u) return 2;
  if (id < 2097152u) return 3;
  if (id < 268435456u) return 4;
  return 5;
}

}  // namespace

SnmpObjectId::SnmpObjectId(const uint32_t* ids, int32_t count) : SnmpValue(0x06, kObjectId) {
  if (count <= 0 || ids == nullptr) return;
  ids_ = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * static_cast<size_t>(count)));
  if (ids_ == nullptr) return;
  std::memcpy(ids_, ids, sizeof(uint32_t) * static_cast<size_t>(count));
  count_ = count;
}

SnmpObjectId::~SnmpObjectId() { std::free(ids_); }

int32_t SnmpObjectId::ContentsLength() const {
  int64_t n = 1;  // the first two sub-identifiers share one byte
  for (int32_t i = 2; i < count_; ++i) n += Base128Length(ids_[i]);
  return n > 0x7FFFFFF0 ? -1 : static_cast<int32_t>(n);
}

int32_t SnmpObjectId::EncodedLength() const { return BerWriter::TotalLength(ContentsLength()); }

uint8_t* SnmpObjectId::Encode() const {
  const int32_t n = ContentsLength();
  uint8_t* contents = nullptr;
  uint8_t* buffer = BerWriter::Start(0x06, n, &contents);
  if (buffer == nullptr) return nullptr;
  const uint32_t first = count_ > 0 ? ids_[0] : 0;
  const uint32_t second = count_ > 1 ? ids_[1] : 0;
  uint8_t* out = contents;
  *out++ = static_cast<uint8_t>(40u * first + second);
  for (int32_t i = 2; i < count_; ++i) {
    const uint32_t id = ids_[i];
    for (int32_t group = Base128Length(id) - 1; group >= 0; --group) {
      const auto bits = static_cast<uint8_t>((id >> (7 * group)) & 0x7F);
      *out++ = group > 0 ? static_cast<uint8_t>(bits | 0x80) : bits;
    }
  }
  return buffer;
}

}  // namespace orla
