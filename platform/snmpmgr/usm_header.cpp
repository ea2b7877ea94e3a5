#include "usm_header.h"

#include <utility>

namespace orla {

namespace {

constexpr uint8_t kSequence = 0x30;
constexpr uint8_t kInteger = 0x02;
constexpr uint8_t kOctetString = 0x04;

// A cursor over BER data that never reads past its end.
class BerCursor {
 public:
  BerCursor(const uint8_t* data, size_t length) : at_(data), end_(data + length) {}

  // Enters the element of type `tag` at the cursor: its contents as a new
  // cursor; this one moves past it.
  bool Enter(uint8_t tag, BerCursor* contents) {
    const uint8_t* start;
    size_t length;
    if (!Element(tag, &start, &length)) return false;
    *contents = BerCursor(start, length);
    return true;
  }
  bool Integer(long* value) {
    const uint8_t* start;
    size_t length;
    // Every integer of the head fits in 32 bits (with a sign octet).
    if (!Element(kInteger, &start, &length) || length == 0 || length > 5) return false;
    long v = (start[0] & 0x80) != 0 ? -1 : 0;
    for (size_t i = 0; i < length; ++i) v = static_cast<long>((static_cast<unsigned long>(v) << 8) | start[i]);
    *value = v;
    return true;
  }
  bool Octets(std::string* value, size_t limit) {
    const uint8_t* start;
    size_t length;
    if (!Element(kOctetString, &start, &length) || length > limit) return false;
    value->assign(reinterpret_cast<const char*>(start), length);
    return true;
  }

 private:
  bool Element(uint8_t tag, const uint8_t** start, size_t* length) {
    if (end_ - at_ < 2 || *at_ != tag) return false;
    const uint8_t* p = at_ + 1;
    size_t n = *p++;
    if ((n & 0x80) != 0) {
      const size_t octets = n & 0x7f;
      if (octets == 0 || octets > 4 || static_cast<size_t>(end_ - p) < octets) return false;
      n = 0;
      for (size_t i = 0; i < octets; ++i) n = (n << 8) | *p++;
    }
    if (static_cast<size_t>(end_ - p) < n) return false;
    *start = p;
    *length = n;
    at_ = p + n;
    return true;
  }

  const uint8_t* at_;
  const uint8_t* end_;
};

}  // namespace

int UsmHeader::Level() const {
  const bool auth = (flags & kAuthFlag) != 0;
  const bool priv = (flags & kPrivFlag) != 0;
  if (priv && !auth) return -1;
  return priv ? 2 : (auth ? 1 : 0);
}

bool UsmHeader::Read(const uint8_t* data, size_t length, UsmHeader* out) {
  if (data == nullptr || out == nullptr) return false;
  BerCursor whole(data, length);
  BerCursor message(nullptr, 0), global(nullptr, 0), parameters(nullptr, 0), usm(nullptr, 0);
  long version = 0, maxSize = 0;
  std::string flags, securityParameters;
  UsmHeader header;
  if (!whole.Enter(kSequence, &message) || !message.Integer(&version) || version != 3) return false;
  if (!message.Enter(kSequence, &global) || !global.Integer(&header.messageId) || !global.Integer(&maxSize) ||
      !global.Octets(&flags, 1) || flags.size() != 1 || !global.Integer(&header.securityModel)) {
    return false;
  }
  header.flags = static_cast<uint8_t>(flags[0]);
  if (header.securityModel != kUsmModel) {
    *out = header;
    return true;
  }
  if (!message.Octets(&securityParameters, length)) return false;
  BerCursor wrapped(reinterpret_cast<const uint8_t*>(securityParameters.data()), securityParameters.size());
  // RFC 3414: engine IDs are at most 32 octets, user names at most 32.
  if (!wrapped.Enter(kSequence, &usm) || !usm.Octets(&header.engineId, 32) || !usm.Integer(&header.engineBoots) ||
      !usm.Integer(&header.engineTime) || !usm.Octets(&header.user, 32)) {
    return false;
  }
  *out = std::move(header);
  return true;
}

}  // namespace orla
