#pragma once
// A few BER building blocks for hand-made SNMP datagrams in the tests.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace orla::test::ber {

using Bytes = std::vector<uint8_t>;

inline Bytes Tlv(uint8_t tag, const Bytes& content) {
  Bytes out{tag};
  const size_t n = content.size();
  if (n < 0x80) {
    out.push_back(static_cast<uint8_t>(n));
  } else if (n < 0x100) {
    out.insert(out.end(), {0x81, static_cast<uint8_t>(n)});
  } else {
    out.insert(out.end(), {0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Int(int64_t v, uint8_t tag = 0x02) {
  Bytes content;
  // Two's complement, shortest form.
  for (int shift = 56; shift > 0; shift -= 8) {
    const int64_t top = v >> shift;
    const bool nextNegative = ((v >> (shift - 8)) & 0x80) != 0;
    if ((top == 0 && !nextNegative) || (top == -1 && nextNegative)) continue;
    for (int s = shift; s >= 0; s -= 8) content.push_back(static_cast<uint8_t>(v >> s));
    return Tlv(tag, content);
  }
  content.push_back(static_cast<uint8_t>(v));
  return Tlv(tag, content);
}

// Unsigned application types (Counter32 0x41, Gauge32 0x42, TimeTicks 0x43).
inline Bytes Unsigned(uint32_t v, uint8_t tag) {
  Bytes content;
  for (int s = 24; s >= 0; s -= 8) {
    const uint8_t b = static_cast<uint8_t>(v >> s);
    if (!content.empty() || b != 0 || s == 0) content.push_back(b);
  }
  if (content[0] & 0x80) content.insert(content.begin(), 0);
  return Tlv(tag, content);
}

inline Bytes Octets(const std::string& s, uint8_t tag = 0x04) { return Tlv(tag, Bytes(s.begin(), s.end())); }

inline Bytes Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return Tlv(0x40, {a, b, c, d}); }

inline Bytes Oid(std::initializer_list<uint32_t> ids) {
  std::vector<uint32_t> v(ids);
  Bytes content{static_cast<uint8_t>(v[0] * 40 + v[1])};
  for (size_t i = 2; i < v.size(); ++i) {
    uint32_t x = v[i];
    Bytes rev{static_cast<uint8_t>(x & 0x7f)};
    x >>= 7;
    while (x != 0) {
      rev.push_back(static_cast<uint8_t>(0x80 | (x & 0x7f)));
      x >>= 7;
    }
    content.insert(content.end(), rev.rbegin(), rev.rend());
  }
  return Tlv(0x06, content);
}

inline Bytes Null() { return {0x05, 0x00}; }

inline Bytes VarBind(const Bytes& name, const Bytes& value) { return Tlv(0x30, Cat({name, value})); }

inline Bytes V1Trap(const std::string& community, const Bytes& enterprise, const Bytes& agent, int generic,
                    int specific, uint32_t time, const Bytes& varbinds) {
  return Tlv(0x30, Cat({Int(0), Octets(community),
                        Tlv(0xA4, Cat({enterprise, agent, Int(generic), Int(specific),
                                       Unsigned(time, 0x43), Tlv(0x30, varbinds)}))}));
}

// An SNMPv2c PDU (0xA7 notification, 0xA6 inform, 0xA0 get ...).
inline Bytes V2Pdu(const std::string& community, uint8_t pduTag, const Bytes& varbinds) {
  return Tlv(0x30, Cat({Int(1), Octets(community),
                        Tlv(pduTag, Cat({Int(77), Int(0), Int(0), Tlv(0x30, varbinds)}))}));
}

// An SNMPv3 message as a forger with no key sends one (msgFlags `flags`,
// 0x04 asks for a report): user-based security parameters with `engine`,
// boots and time and `user`, a clear scoped PDU of `pduTag` carrying
// `varbinds`.
inline Bytes V3Message(uint8_t flags, const std::string& engine, int64_t boots, int64_t time,
                       const std::string& user, uint8_t pduTag, const Bytes& varbinds, int64_t requestId = 77) {
  // With the authentication and privacy flags, parameters of the right
  // sizes (a zero digest, a zero salt): well-formed, never genuine.
  const std::string digest((flags & 0x01) != 0 ? 12 : 0, '\0');
  const std::string salt((flags & 0x02) != 0 ? 8 : 0, '\0');
  const Bytes security =
      Tlv(0x30, Cat({Octets(engine), Int(boots), Int(time), Octets(user), Octets(digest), Octets(salt)}));
  const Bytes scoped = Tlv(0x30, Cat({Octets(engine), Octets(""),
                                      Tlv(pduTag, Cat({Int(requestId), Int(0), Int(0), Tlv(0x30, varbinds)}))}));
  return Tlv(0x30, Cat({Int(3), Tlv(0x30, Cat({Int(requestId), Int(65507), Octets(std::string(1, static_cast<char>(flags))), Int(3)})),
                        Octets(std::string(security.begin(), security.end())), scoped}));
}

}  // namespace orla::test::ber
