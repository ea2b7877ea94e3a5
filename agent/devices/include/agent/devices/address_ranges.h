#pragma once
// AddressRanges: the IPv4 addresses a discovery run asks, read from what an
// administrator typed: ranges separated by commas or spaces, each one of
//   10.1.2.0/24               a network (its network and broadcast
//                             addresses left out from /30 down; a /31 or
//                             /32 is taken whole)
//   10.1.2.10-10.1.2.99       from one address to another, both included
//   10.1.2.7                  one address
// A run takes at most kMaxAddresses addresses (a /20). Refused, with a text
// naming the range at fault: what is not one of those forms, a reversed
// range, a mask above 32, an IPv6 address (not yet supported), ranges that
// overlap, and more than kMaxAddresses addresses in all.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orla {

class AddressRanges {
 public:
  static constexpr size_t kMaxAddresses = 4096;

  static constexpr const char* kEmpty = "Enter at least one address range.";
  static constexpr const char* kNotARange =
      "\"%s\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7).";
  static constexpr const char* kReversed = "\"%s\" ends before it begins.";
  static constexpr const char* kIpv6 = "\"%s\" is an IPv6 address; only IPv4 ranges can be discovered for now.";
  static constexpr const char* kOverlap = "\"%s\" overlaps \"%s\".";
  static constexpr const char* kTooLarge =
      "\"%s\" brings the run to more than 4096 addresses (a /20); discover a larger network in parts.";

  // Reads `text`; true with the addresses in `out` (in the order typed,
  // each range ascending), false with the reason in `error`.
  static bool Parse(const std::string& text, std::vector<uint32_t>* out, std::string* error);
  // The addresses as dotted texts.
  static bool Parse(const std::string& text, std::vector<std::string>* out, std::string* error);
  // "a.b.c.d" of a host-order address.
  static std::string Dotted(uint32_t address);
};

}  // namespace orla
