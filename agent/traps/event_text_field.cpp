#include "agent/traps/event_text_field.h"

#include <algorithm>

namespace orla {

EventTextField::EventTextField(uint16_t type) : type_(type) {}

EventTextField::EventTextField(uint16_t type, const std::string& text) : type_(type) { SetText(text); }

void EventTextField::SetText(const std::string& text) {
  // A text is a C text: it ends at its first zero byte.
  const size_t end = text.find('\0');
  text_ = text.substr(0, std::min({end, text.size(), kMaxText}));
  hasText_ = true;
}

void EventTextField::ClearText() {
  text_.clear();
  hasText_ = false;
}

uint16_t EventTextField::PaddedLength() const {
  if (!hasText_) return 0;
  return static_cast<uint16_t>((text_.size() + 1 + 3) & ~static_cast<size_t>(3));
}

size_t EventTextField::SerializedSize() const { return 4 + PaddedLength(); }

void EventTextField::SerializeTo(std::vector<uint8_t>* out) const {
  const uint16_t length = PaddedLength();
  out->push_back(static_cast<uint8_t>(type_));
  out->push_back(static_cast<uint8_t>(type_ >> 8));
  out->push_back(static_cast<uint8_t>(length));
  out->push_back(static_cast<uint8_t>(length >> 8));
  out->insert(out->end(), text_.begin(), text_.end());
  out->insert(out->end(), length - text_.size(), 0);
}

}  // namespace orla
