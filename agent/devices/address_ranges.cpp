#include "agent/devices/address_ranges.h"

#include <arpa/inet.h>

#include <cctype>
#include <optional>
#include <utility>

#include "platform/text/string_printf.h"

namespace orla {

namespace {

struct Span {
  std::string text;
  uint64_t first = 0;
  uint64_t last = 0;  // included
};

std::optional<uint32_t> Address(const std::string& text) {
  in_addr parsed{};
  if (text.empty() || inet_pton(AF_INET, text.c_str(), &parsed) != 1) return std::nullopt;
  return ntohl(parsed.s_addr);
}

bool LooksIpv6(const std::string& text) {
  const std::string head = text.substr(0, text.find('/'));
  in6_addr parsed{};
  return head.find(':') != std::string::npos && inet_pton(AF_INET6, head.c_str(), &parsed) == 1;
}

// One range as typed; false with the reason.
bool ReadSpan(const std::string& text, Span* span, std::string* error) {
  span->text = text;
  if (LooksIpv6(text)) {
    *error = StringPrintf(AddressRanges::kIpv6, text.c_str());
    return false;
  }
  const size_t slash = text.find('/');
  const size_t dash = text.find('-');
  if (slash != std::string::npos) {
    const std::optional<uint32_t> base = Address(text.substr(0, slash));
    const std::string bits = text.substr(slash + 1);
    if (!base || bits.empty() || bits.size() > 2 ||
        !std::isdigit(static_cast<unsigned char>(bits[0])) ||
        (bits.size() == 2 && !std::isdigit(static_cast<unsigned char>(bits[1]))) || std::stoi(bits) > 32) {
      *error = StringPrintf(AddressRanges::kNotARange, text.c_str());
      return false;
    }
    const int length = std::stoi(bits);
    const uint64_t size = uint64_t{1} << (32 - length);
    span->first = *base & ~(size - 1);
    span->last = span->first + size - 1;
    if (length <= 30) {
      ++span->first;
      --span->last;
    }
    return true;
  }
  if (dash != std::string::npos) {
    const std::optional<uint32_t> from = Address(text.substr(0, dash));
    const std::optional<uint32_t> to = Address(text.substr(dash + 1));
    if (!from || !to) {
      *error = StringPrintf(AddressRanges::kNotARange, text.c_str());
      return false;
    }
    if (*to < *from) {
      *error = StringPrintf(AddressRanges::kReversed, text.c_str());
      return false;
    }
    span->first = *from;
    span->last = *to;
    return true;
  }
  const std::optional<uint32_t> one = Address(text);
  if (!one) {
    *error = StringPrintf(AddressRanges::kNotARange, text.c_str());
    return false;
  }
  span->first = span->last = *one;
  return true;
}

}  // namespace

bool AddressRanges::Parse(const std::string& text, std::vector<uint32_t>* out, std::string* error) {
  std::vector<Span> spans;
  uint64_t total = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find_first_of(", \t\r\n", at);
    const std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    if (word.empty()) continue;
    Span span;
    if (!ReadSpan(word, &span, error)) return false;
    for (const Span& other : spans) {
      if (span.first <= other.last && other.first <= span.last) {
        *error = StringPrintf(kOverlap, word.c_str(), other.text.c_str());
        return false;
      }
    }
    total += span.last - span.first + 1;
    if (total > kMaxAddresses) {
      *error = StringPrintf(kTooLarge, word.c_str());
      return false;
    }
    spans.push_back(std::move(span));
  }
  if (spans.empty()) {
    *error = kEmpty;
    return false;
  }
  out->clear();
  for (const Span& span : spans) {
    for (uint64_t a = span.first; a <= span.last; ++a) out->push_back(static_cast<uint32_t>(a));
  }
  return true;
}

bool AddressRanges::Parse(const std::string& text, std::vector<std::string>* out, std::string* error) {
  std::vector<uint32_t> numbers;
  if (!Parse(text, &numbers, error)) return false;
  out->clear();
  for (uint32_t a : numbers) out->push_back(Dotted(a));
  return true;
}

std::string AddressRanges::Dotted(uint32_t address) {
  return StringPrintf("%u.%u.%u.%u", address >> 24, (address >> 16) & 255u, (address >> 8) & 255u, address & 255u);
}

}  // namespace orla
