#include "agent/snmp/snmp_binding.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "ber_writer.h"

namespace orla {

SnmpBinding::SnmpBinding() : SnmpValue(0x30, -1) {}

SnmpBinding::SnmpBinding(SnmpValue* value, SnmpObjectId* name)
    : SnmpValue(0x30, -1), value_(value), name_(name) {}

SnmpBinding::~SnmpBinding() {
  delete value_;
  delete name_;
}

void SnmpBinding::SetValue(SnmpValue* value) {
  if (value == value_) return;
  delete value_;
  value_ = value;
}

void SnmpBinding::SetName(SnmpObjectId* name) {
  if (name == name_) return;
  delete name_;
  name_ = name;
}

// -1 when a part cannot be encoded.
int32_t SnmpBinding::ContentsLength() const {
  if (value_ == nullptr || name_ == nullptr) return 0;
  const int32_t nameLength = name_->EncodedLength();
  const int32_t valueLength = value_->EncodedLength();
  if (nameLength < 0 || valueLength < 0) return -1;
  const int64_t n = int64_t{nameLength} + valueLength;
  return n > std::numeric_limits<int32_t>::max() ? -1 : static_cast<int32_t>(n);
}

int32_t SnmpBinding::EncodedLength() const { return BerWriter::TotalLength(ContentsLength()); }

uint8_t* SnmpBinding::Encode() const {
  const int32_t n = ContentsLength();
  uint8_t* contents = nullptr;
  uint8_t* buffer = BerWriter::Start(0x30, n, &contents);
  if (buffer == nullptr || n == 0) return buffer;
  // Each part is encoded into its own buffer, copied into place, released.
  const SnmpValue* parts[2] = {name_, value_};
  uint8_t* out = contents;
  for (const SnmpValue* part : parts) {
    const int32_t length = part->EncodedLength();
    uint8_t* encoded = part->Encode();
    if (encoded == nullptr) {
      std::free(buffer);
      return nullptr;
    }
    std::memcpy(out, encoded, static_cast<size_t>(length));
    std::free(encoded);
    out += length;
  }
  return buffer;
}

}  // namespace orla
