#pragma once
// One typed text of a trap event record: a 16-bit type code and a text (or
// none). Serialised little-endian as the type code, the padded text length,
// the text's characters and zero bytes up to a multiple of four:
//   offset 0  2 bytes  type code
//   offset 2  2 bytes  L = strlen(text) + 1 rounded up to a multiple of 4
//                      (0 when there is no text)
//   offset 4  L bytes  the characters, then at least one zero byte
// "Windows NT" with type 129 is 16 bytes: 81 00 0C 00, ten characters, 00 00.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "agent/core/root_object.h"

namespace orla {

class EventTextField : public RootObject {
 public:
  // The longest text a field carries: its padded length must fit in 16 bits.
  static constexpr size_t kMaxText = 0xFFFB;

  explicit EventTextField(uint16_t type);
  EventTextField(uint16_t type, const std::string& text);
  ~EventTextField() override = default;

  // Replaces the text with a copy of `text` (cut at kMaxText characters).
  void SetText(const std::string& text);
  // Leaves the field without a text.
  void ClearText();
  bool HasText() const { return hasText_; }
  const std::string& Text() const { return text_; }
  uint16_t Type() const { return type_; }

  // The serialised size: 4 + L.
  size_t SerializedSize() const;
  // Appends the serialised form to `out`.
  void SerializeTo(std::vector<uint8_t>* out) const;

 private:
  uint16_t PaddedLength() const;

  uint16_t type_;
  bool hasText_ = false;
  std::string text_;
};

}  // namespace orla
