// What an administrator types as a discovery run's ranges: the addresses
// taken, and each kind of bad input refused with the range named.
#include "agent/devices/address_ranges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orla {
namespace {

TEST(AddressRanges, TakesNetworksSpansAndAddressesInTheOrderTyped) {
  struct Row {
    const char* text;
    size_t count;
    const char* first;
    const char* last;
  };
  const Row rows[] = {
      {"10.1.2.0/24", 254, "10.1.2.1", "10.1.2.254"},
      {"10.1.2.77/24", 254, "10.1.2.1", "10.1.2.254"},
      {"10.1.2.0/30", 2, "10.1.2.1", "10.1.2.2"},
      {"10.1.2.6/31", 2, "10.1.2.6", "10.1.2.7"},
      {"10.1.2.9/32", 1, "10.1.2.9", "10.1.2.9"},
      {"10.1.2.10-10.1.2.99", 90, "10.1.2.10", "10.1.2.99"},
      {"10.1.2.255-10.1.3.0", 2, "10.1.2.255", "10.1.3.0"},
      {"10.1.2.7", 1, "10.1.2.7", "10.1.2.7"},
      {" 10.1.2.7,10.1.2.9  10.1.2.8 ,", 3, "10.1.2.7", "10.1.2.8"},
      {"10.0.0.0/20", 4094, "10.0.0.1", "10.0.15.254"},
      {"10.0.0.0/21 10.0.8.0-10.0.15.255", 2046 + 2048, "10.0.0.1", "10.0.15.255"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::vector<std::string> addresses;
    std::string error;
    ASSERT_TRUE(AddressRanges::Parse(row.text, &addresses, &error)) << error;
    ASSERT_EQ(addresses.size(), row.count);
    EXPECT_EQ(addresses.front(), row.first);
    EXPECT_EQ(addresses.back(), row.last);
  }
}

TEST(AddressRanges, RefusesBadInputNamingTheRange) {
  struct Row {
    const char* text;
    std::string error;
  };
  const Row rows[] = {
      {"", "Enter at least one address range."},
      {" , ", "Enter at least one address range."},
      {"tapes", "\"tapes\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7)."},
      {"10.1.2", "\"10.1.2\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7)."},
      {"10.1.2.256", "\"10.1.2.256\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7)."},
      {"10.1.2.0/33", "\"10.1.2.0/33\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7)."},
      {"10.1.2.0/", "\"10.1.2.0/\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7)."},
      {"10.1.2.0/2x", "\"10.1.2.0/2x\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7)."},
      {"10.1.2.0/-1", "\"10.1.2.0/-1\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7)."},
      {"10.1.2.5-", "\"10.1.2.5-\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7)."},
      {"10.1.2.5-10.1.2.6-10.1.2.7",
       "\"10.1.2.5-10.1.2.6-10.1.2.7\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7)."},
      {"tape.example.com",
       "\"tape.example.com\" is not an address range (write 10.1.2.0/24, 10.1.2.10-10.1.2.99 or 10.1.2.7)."},
      {"10.1.2.99-10.1.2.10", "\"10.1.2.99-10.1.2.10\" ends before it begins."},
      {"fe80::1", "\"fe80::1\" is an IPv6 address; only IPv4 ranges can be discovered for now."},
      {"2001:db8::/64", "\"2001:db8::/64\" is an IPv6 address; only IPv4 ranges can be discovered for now."},
      {"10.1.2.0/24 10.1.2.50-10.1.3.10", "\"10.1.2.50-10.1.3.10\" overlaps \"10.1.2.0/24\"."},
      {"10.1.2.7 10.1.2.7", "\"10.1.2.7\" overlaps \"10.1.2.7\"."},
      {"10.0.0.0/19", "\"10.0.0.0/19\" brings the run to more than 4096 addresses (a /20); discover a larger network in parts."},
      {"10.0.0.0/21 10.1.0.0/21 10.2.0.0/24",
       "\"10.2.0.0/24\" brings the run to more than 4096 addresses (a /20); discover a larger network in parts."},
      {"0.0.0.0/0", "\"0.0.0.0/0\" brings the run to more than 4096 addresses (a /20); discover a larger network in parts."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::vector<std::string> addresses{"kept"};
    std::string error;
    EXPECT_FALSE(AddressRanges::Parse(row.text, &addresses, &error));
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(addresses, std::vector<std::string>{"kept"});
  }
}

}  // namespace
}  // namespace orla
