// The names a discovery run suggests: the element file's rule, unique
// regardless of case against what is managed and what was suggested before.
#include "agent/web/discovery_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace orla {
namespace {

TEST(DiscoveryNames, SuggestsFreeNamesByTheElementFilesRule) {
  std::set<std::string> taken{DiscoveryNames::Key("tc01"), DiscoveryNames::Key("switch01")};
  struct Row {
    const char* sysName;
    const char* type;
    const char* address;
    const char* name;
  };
  const Row rows[] = {
      {"lib01-1", "smlib", "10.1.2.3", "lib01-1"},
      {"TC01", "famib", "10.1.2.4", "TC012"},        // tc01 is managed: case does not matter
      {"tc01", "famib", "10.1.2.5", "tc013"},        // nor does a name suggested before
      {"switch01", "famib", "10.1.2.6", "switch02"}, // cut to fit the number
      {"tape drive|7;'+", "famib", "10.1.2.7", "tapedriv"},
      {"ctl9.example.com", "famib", "10.1.2.8", "ctl9"},
      {"\x01\x7f\xc3\xa9", "famib", "10.1.2.9", "famib9"},  // nothing usable: type and address
      {"", "smlib", "10.1.2.210", "smlib210"},
      {"", "", "10.1.2.11", "dev11"},
      {"", "famib", "10.1.2.9", "famib92"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string name = DiscoveryNames::Suggest(row.sysName, row.type, row.address, &taken);
    EXPECT_EQ(name, row.name);
    EXPECT_LE(name.size(), 8u);
  }
}

}  // namespace
}  // namespace orla
