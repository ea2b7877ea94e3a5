// Reading "install.dat": the tokenizer's exact splitting and the fixed order
// in which keys are tested.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "setup/component_catalogue.h"
#include "setup/description_tokenizer.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

Component Describe(const std::string& text) {
  Component c;
  ComponentCatalogue::ApplyDescription(c, text);
  return c;
}

TEST(DescriptionTokenizer, KeysEndAtSpaceEqualsOrLineEndAndValuesRunToLineEnd) {
  DescriptionTokenizer t("  name=A = B c\r\n\r\nid =x\nlast");
  EXPECT_EQ(t.NextKey(), "name");
  EXPECT_EQ(t.NextValue(), "A = B c");
  EXPECT_EQ(t.NextKey(), "id");
  // The space ended the key and was used up: the value keeps the "=".
  EXPECT_EQ(t.NextValue(), "=x");
  EXPECT_EQ(t.NextKey(), "last");
  EXPECT_EQ(t.NextValue(), std::nullopt);
  EXPECT_EQ(t.NextKey(), std::nullopt);

  // A value skips line ends before it, so an empty value takes the next line.
  DescriptionTokenizer empty_value("name=\r\nid=C7\r\n");
  EXPECT_EQ(empty_value.NextKey(), "name");
  EXPECT_EQ(empty_value.NextValue(), "id=C7");
  EXPECT_EQ(empty_value.NextKey(), std::nullopt);

  // The text ends at a NUL byte.
  DescriptionTokenizer nul(std::string("id=C1\0name=X", 12));
  EXPECT_EQ(nul.NextKey(), "id");
  EXPECT_EQ(nul.NextValue(), "C1");
  EXPECT_EQ(nul.NextKey(), std::nullopt);
}

TEST(ReadDescription, FillsEveryFieldFromOnePairPerLine) {
  Component c = Describe(
      "name=Command Console\r\nsize=1234\r\nid=C100\r\nprerequisites=none\r\nversion=2.1\r\nregname=Console\r\n");
  EXPECT_EQ(c.name, "Command Console");
  EXPECT_EQ(c.size, 1234);
  EXPECT_EQ(c.id, "C100");
  EXPECT_EQ(c.prerequisite, "none");
  EXPECT_EQ(c.version, "2.1");
  EXPECT_EQ(c.registry_name, "Console");
  EXPECT_FALSE(c.selected);
  EXPECT_FALSE(c.required);
}

// The fields a description text gives, as "name|size|id|prerequisite|version".
std::string FieldsOf(const std::string& text) {
  const Component c = Describe(text);
  return c.name + "|" + std::to_string(c.size) + "|" + c.id + "|" + c.prerequisite + "|" + c.version;
}

TEST(ReadDescription, KeysAreTestedInAFixedOrderOnTheTokensThatFollow) {
  const std::pair<const char*, const char*> cases[] = {
      // Line feeds alone work as well; keys are compared with case.
      {"id=C5\nName=Ignored\nname=Kept\n", "Kept|0|C5||"},
      // The size takes leading digits only.
      {"size=12abc\r\n", "|12|||"},
      {"size=abc\r\n", "|0|||"},
      {"size= 7\r\n", "|7|||"},
      {"size=-3\r\n", "|-3|||"},
      {"size=99999999999\r\n", "|2147483647|||"},
      // "prereqs" and "prerequisites" fill one field; the later line wins.
      {"prereqs=C100\r\nprerequisites=C400\r\n", "|0||C400|"},
      {"prerequisites=C400\r\nprereqs=C100\r\n", "|0||C100|"},
      {"id=A\r\nid=B\r\n", "|0|B||"},
      // "size" is tested after "name": the token after the name value is
      // taken as the size, so the id line is consumed as a size value.
      {"name=size\r\nid=C9\r\nversion=1\r\n", "size|0|||1"},
      {"name=size\r\n42\r\n", "size|42|||"},
      {"id=version\r\n3.0\r\n", "|0|version||3.0"},
      // A value equal to an earlier key is not tested again: "X" is then a
      // key token that matches nothing.
      {"id=name\r\nX\r\n", "|0|name||"},
      // Every word of an unknown line is a key token, so a known word inside
      // it takes the rest of the line as its value.
      {"comment=the name of it\r\nid=C2\r\n", "of it|0|C2||"},
      // A space before "=" ends the key; a key without a value leaves its field.
      {"name =Console\r\n", "=Console|0|||"},
      {"id=C1\r\nversion", "|0|C1||"},
      {"name=X\r\nsize=\r\n", "X|0|||"},
      // An empty value takes the whole next line.
      {"name=\r\nid=C7\r\n", "id=C7|0|||"},
  };
  for (const auto& [text, fields] : cases) EXPECT_EQ(FieldsOf(text), fields) << text;
}

TEST(ReadDescription, UnreadableEmptyOrOversizedFileKeepsStartingValues) {
  test::TempDir dir;
  Component c;
  c.directory = "/keep";
  EXPECT_FALSE(ComponentCatalogue::ReadDescription(c, dir.File("missing.dat")));
  dir.Write("empty.dat", "");
  EXPECT_FALSE(ComponentCatalogue::ReadDescription(c, dir.File("empty.dat")));
  dir.Write("big.dat", "name=Big\r\n" + std::string(ComponentCatalogue::kMaxDescriptionBytes, 'x'));
  EXPECT_FALSE(ComponentCatalogue::ReadDescription(c, dir.File("big.dat")));
  EXPECT_FALSE(ComponentCatalogue::ReadDescription(c, dir.Path()));  // a folder
  EXPECT_EQ(c.name, "");
  EXPECT_EQ(c.directory, "/keep");

  // Beyond the 1000 bytes the description once had to fit in, a file is
  // still read whole.
  dir.Write("long.dat", "name=Long\r\nx=" + std::string(2000, 'y') + "\r\nid=C3\r\n");
  ASSERT_TRUE(ComponentCatalogue::ReadDescription(c, dir.File("long.dat")));
  EXPECT_EQ(c.name, "Long");
  EXPECT_EQ(c.id, "C3");
}

}  // namespace
}  // namespace orla
