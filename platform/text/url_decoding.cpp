#include "platform/text/url_decoding.h"

namespace orla {

int UrlDecoding::HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string UrlDecoding::Decode(std::string_view text, Plus plus, ZeroByte zero) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      const int high = HexDigit(text[i + 1]);
      const int low = HexDigit(text[i + 2]);
      if (high >= 0 && low >= 0 && !(zero == ZeroByte::kKeepEscaped && (high | low) == 0)) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(plus == Plus::kIsSpace && c == '+' ? ' ' : c);
  }
  return out;
}

}  // namespace orla
