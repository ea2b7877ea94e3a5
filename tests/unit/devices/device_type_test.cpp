// Type list and type files, recognition and the home page links of binding.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "agent/core/agent_host.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/device_type_file.h"
#include "agent/devices/element_registry.h"
#include "tests/support/code_of.h"
#include "tests/unit/devices/devices_fixture.h"

namespace orla::test {
namespace {

using DeviceTypeTest = DevicesFixture;

TEST_F(DeviceTypeTest, TypeFileKeysIgnoreCaseAndAreNeverTrimmed) {
  dir_.Write("t.cfg",
             "# a comment\n"
             "DLLNAME=lib.so\n"
             "snmpgetname =public\n"
             "SnmpSetName= pri=vate \r\n"
             "\n"
             "homepageurl=first\n"
             "homepageurl=second\n"
             "embeddedhomepage=\n"
             "no equals sign\n");
  DeviceTypeFile file;
  ASSERT_EQ(file.Read(dir_.File("t.cfg")), 0);
  ASSERT_NE(file.Find("dllname"), nullptr);
  EXPECT_EQ(*file.Find("dllname"), "lib.so");
  EXPECT_EQ(file.Find("snmpgetname"), nullptr);  // the key is "snmpgetname "
  ASSERT_NE(file.Find("snmpsetname"), nullptr);
  EXPECT_EQ(*file.Find("snmpsetname"), " pri=vate ");  // value unchanged, CRLF ends the line
  EXPECT_EQ(*file.Find("HomePageUrl"), "second");     // the later line wins
  EXPECT_EQ(file.Find("embeddedhomepage"), nullptr);  // an empty value counts as absent
  EXPECT_EQ(file.Find("# a comment"), nullptr);
}

TEST_F(DeviceTypeTest, TypeFileLinesAreReadUpTo99Characters) {
  const std::string longValue(150, 'x');
  dir_.Write("t.cfg", "homepageurl=" + longValue + "\ndllname=lib.so\n");
  DeviceTypeFile file;
  ASSERT_EQ(file.Read(dir_.File("t.cfg")), 0);
  ASSERT_NE(file.Find("homepageurl"), nullptr);
  EXPECT_EQ(file.Find("homepageurl")->size(), 99u - 12u);
  // The rest of the long line is not read as a line of its own.
  ASSERT_NE(file.Find("dllname"), nullptr);
  EXPECT_EQ(*file.Find("dllname"), "lib.so");
  EXPECT_NE(file.Read(dir_.File("missing.cfg")), 0);
}

TEST_F(DeviceTypeTest, TypeListSkipsSpaceAndEmptyLinesAndKeepsAnUnterminatedLastLine) {
  dir_.Write("list.txt", "first\n\n second\nthird\r\nlast-without-break");
  std::vector<std::string> names;
  ASSERT_EQ(DeviceTypeFile::ReadTypeList(dir_.File("list.txt"), &names), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"first", "third", "last-without-break"}));
}

TEST_F(DeviceTypeTest, FirstTypeWithoutAnswerEndsRecognitionWith2011) {
  // "quiet" meets a device that does not answer; "fake" would claim it.
  WriteDevicesFile("supported.txt", "quiet\nfake\n");
  WriteDevicesFile("quiet.cfg", "dllname=fake_plugin.so\nsnmpgetname=silent\n");
  auto registry = Loaded();
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc01", "10.9.0.1", 180); }), 2011);
  EXPECT_EQ(registry->ElementCount(), 0);
}

TEST_F(DeviceTypeTest, TypesThatDeclineOrLackKeysArePassedOver) {
  WriteDevicesFile("supported.txt", "nodll\nspaced\nstranger\nfake\n");
  WriteDevicesFile("nodll.cfg", "snmpgetname=public\n");
  WriteDevicesFile("spaced.cfg", "dllname =fake_plugin.so\nsnmpgetname=public\n");
  WriteDevicesFile("stranger.cfg", "dllname=fake_plugin.so\nsnmpgetname=stranger\n");
  auto registry = Loaded();
  registry->AddElement("tc01", "10.9.0.1", 180);
  ASSERT_EQ(registry->ElementCount(), 1);
  // Only the types with both keys were asked.
  std::lock_guard<std::mutex> hold(Control().mutex);
  EXPECT_EQ(Control().recognizeCalls, 2);
}

TEST_F(DeviceTypeTest, NoClaimingTypeGivesCode8) {
  auto registry = Loaded();
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.recognize = -1; });
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc01", "10.9.0.1", 180); }), 8);

  // An empty list, a name with a space before it, a type without a library.
  WriteDevicesFile("nodll.cfg", "snmpgetname=public\n");
  for (const char* list : {"", " fake\n\n", "nodll\n"}) {
    WriteDevicesFile("supported.txt", list);
    EXPECT_EQ(CodeOf([&] { registry->AddElement("tc02", "10.9.0.2", 180); }), 8) << list;
  }
  EXPECT_EQ(registry->ElementCount(), 0);
}

TEST_F(DeviceTypeTest, MissingFilesGive3002AndMissingLibrary3006) {
  auto registry = Loaded();
  // A listed type without its file stops recognition, although a later
  // type would claim the device.
  WriteDevicesFile("supported.txt", "ghost\nfake\n");
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc01", "10.9.0.1", 180); }), 3002);

  WriteDevicesFile("supported.txt", "nolib\nfake\n");
  WriteDevicesFile("nolib.cfg", "dllname=absent.so\nsnmpgetname=public\n");
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc01", "10.9.0.1", 180); }), 3006);
  // The entry is the sentence of code 3006; the loader's text is its data.
  EXPECT_GE(log_.CountWithData("CRITICAL: A failure has been detected in a required DLL function.", "absent.so"), 1);

  std::remove("devices/supported.txt");
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc01", "10.9.0.1", 180); }), 3002);
  EXPECT_EQ(registry->ElementCount(), 0);
}

TEST_F(DeviceTypeTest, EmbeddedTypesLinkToTheDeviceItself) {
  auto registry = Loaded();
  WriteFakeType("fake", "embeddedhomepage=TRUE\nhomepageurl=index.html\n");
  registry->AddElement("tc01", "10.9.0.1", 180);
  WriteFakeType("fake", "embeddedhomepage=True\n");
  registry->AddElement("tc02", "10.9.0.2", 180);
  EXPECT_EQ(registry->ListElements(false),
            "-1|tc01|10.9.0.1|Fake tape controller|http://10.9.0.1/index.html|http://10.9.0.1/index.html|"
            "-1|tc02|10.9.0.2|Fake tape controller|http://10.9.0.2/|http://10.9.0.2/");
}

TEST_F(DeviceTypeTest, OtherTypesLinkToTheAgentsPages) {
  auto registry = Loaded();
  const std::string root = "https://" + AgentHost::Address() + ":2381/KOR/";
  // "yes" is not "true": the agent serves the pages.
  WriteFakeType("fake", "embeddedhomepage=yes\nhomepageurl=WebAgent/index.html?addr=%s&x=%%d%n\n");
  registry->AddElement("tc01", "10.9.0.1", 180);
  WriteFakeType("fake", "");
  registry->AddElement("tc02", "10.9.0.2", 180);
  // The template is filled in, never used as a format.
  const std::string link = "WebAgent/index.html?addr=10.9.0.1&x=%d%n";
  EXPECT_EQ(registry->ListElements(false), "-1|tc01|10.9.0.1|Fake tape controller|" + link + "|" + root + link +
                                               "|-1|tc02|10.9.0.2|Fake tape controller|" + root + "|" + root);
}

}  // namespace
}  // namespace orla::test
