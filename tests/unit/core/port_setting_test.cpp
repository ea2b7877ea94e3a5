#include <gtest/gtest.h>

#include "platform/text/port_setting.h"

#include <utility>

using namespace orla;

TEST(PortSetting, PlainNumbersOnlyWithinRange) {
  int port = 7;
  EXPECT_TRUE(PortSetting::Parse("1", &port));
  EXPECT_EQ(port, 1);
  EXPECT_TRUE(PortSetting::Parse("65535", &port));
  EXPECT_EQ(port, 65535);
  port = 7;
  for (const char* bad : {"", "0", "65536", "-1", "12a", "a12", "udp:162", "99999999999999999999"}) {
    EXPECT_FALSE(PortSetting::Parse(bad, &port)) << bad;
  }
  EXPECT_FALSE(PortSetting::Parse(nullptr, &port));
  EXPECT_EQ(port, 7) << "a refused text leaves the port alone";
}

TEST(PortSetting, TransportAddressesGiveThePortAfterTheLastColon) {
  const std::pair<const char*, int> cases[] = {{"udp:127.0.0.1:10162", 10162}, {"udp:162", 162}, {"163", 163}};
  for (const auto& [address, expected] : cases) {
    int port = 0;
    EXPECT_TRUE(PortSetting::ParseAddress(address, &port)) << address;
    EXPECT_EQ(port, expected) << address;
  }
  int port = 0;
  EXPECT_FALSE(PortSetting::ParseAddress("udp:127.0.0.1", &port));
  EXPECT_FALSE(PortSetting::ParseAddress(nullptr, &port));
}
