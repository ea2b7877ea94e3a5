// The same device answering at several addresses is one row of a sweep's
// results, whatever the order it answered in.
#include "agent/devices/device_sweep.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orla {
namespace {

DeviceSweep::Found At(const std::string& address, const std::string& type, const std::string& wwn) {
  DeviceSweep::Found f;
  f.addresses = {address};
  f.typeName = type;
  f.worldWideName = wwn;
  return f;
}

TEST(DeviceSweep, OneRowPerWorldWideNameAndType) {
  const std::vector<DeviceSweep::Found> merged = DeviceSweep::Merge({
      At("10.0.0.1", "famib", "10:00:00:60:45:17:2a:01"),
      At("10.0.0.2", "famib", ""),                         // no name: never merged
      At("10.0.0.3", "famib", ""),
      At("10.0.0.4", "smlib", "10:00:00:60:45:17:2a:01"),  // another type
      At("10.0.0.5", "famib", "10:00:00:60:45:17:2a:01"),  // the first device again
      At("10.0.0.6", "", ""),                              // answered, not recognised
  });
  std::vector<std::string> rows;
  for (const DeviceSweep::Found& f : merged) {
    std::string row;
    for (const std::string& a : f.addresses) row += (row.empty() ? "" : " ") + a;
    rows.push_back(row);
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"10.0.0.1 10.0.0.5", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.6"}));
}

}  // namespace
}  // namespace orla
