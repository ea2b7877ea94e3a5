// The element registry: adding, removing, renaming, the element file, the
// polling-interval file, the list string, the overall status, trap dispatch
// and the by-address reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent/snmp/trap_message.h"
#include "tests/support/snapshot_reads.h"
#include "tests/unit/devices/devices_fixture.h"

namespace orla::test {
namespace {

struct Failure {
  int code = 0;
  std::string message;
};

template <typename Action>
Failure FailureOf(Action action) {
  try {
    action();
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    return {e->Code(), e->Message()};
  }
  return {};
}

class ElementRegistryTest : public DevicesFixture {
 protected:
  std::string DbPath() const { return dir_.File("KORAgent.db"); }

  std::unique_ptr<ElementRegistry> Make() {
    auto registry = std::make_unique<ElementRegistry>(DbPath(), 300);
    registry->SetStatusChangeListener(&listener_);
    return registry;
  }
  std::unique_ptr<ElementRegistry> Loaded() {
    auto registry = Make();
    registry->LoadElements();
    return registry;
  }
};

TEST_F(ElementRegistryTest, NameIsCheckedBeforeAddress) {
  auto registry = Loaded();
  registry->AddElement("tc01", "10.9.0.1", 180);

  Failure f = FailureOf([&] { registry->AddElement("tc01", "10.9.0.2", 180); });
  EXPECT_EQ(f.code, 2);
  EXPECT_EQ(f.message, "Device name is already in use.");
  f = FailureOf([&] { registry->AddElement("tc02", "10.9.0.1", 180); });
  EXPECT_EQ(f.code, 7);
  EXPECT_EQ(f.message, "The specified device is already being managed.");
  EXPECT_EQ(FailureOf([&] { registry->AddElement("tc01", "10.9.0.1", 180); }).code, 2);
  // Addresses are compared as text.
  registry->AddElement("tc02", "10.9.0.01", 180);
  EXPECT_EQ(registry->ElementCount(), 2);
  EXPECT_EQ(dir_.Read("KORAgent.db"), "tc01|10.9.0.1\ntc02|10.9.0.01\n");
}

TEST_F(ElementRegistryTest, TrapReceiverAnswersFourAndSixKeepTheElementAndSaveIt) {
  auto registry = Loaded();
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.check = -1; });
  SetDevice("10.9.0.2", [](FakeDevice& d) { d.check = 0; });

  Failure f = FailureOf([&] { registry->AddElement("tc01", "10.9.0.1", 180); });
  EXPECT_EQ(f.code, 4);
  EXPECT_EQ(f.message, "The TallSpoonKit community string does not exist.");
  f = FailureOf([&] { registry->AddElement("tc02", "10.9.0.2", 180); });
  EXPECT_EQ(f.code, 6);
  EXPECT_EQ(f.message, "The device is not properly configured to send SNMP traps.");

  EXPECT_EQ(registry->ElementCount(), 2);
  EXPECT_EQ(dir_.Read("KORAgent.db"), "tc01|10.9.0.1\ntc02|10.9.0.2\n");
  EXPECT_EQ(FailureOf([&] { registry->AddElement("tc03", "10.9.0.2", 180); }).code, 7);
}

TEST_F(ElementRegistryTest, MissingElementFileLoadsEmptyWithoutAPass) {
  auto registry = Make();
  EXPECT_FALSE(registry->IsLoaded());
  registry->LoadElements();
  EXPECT_TRUE(registry->IsLoaded());
  EXPECT_EQ(registry->ElementCount(), 0);
  EXPECT_EQ(registry->ListElements(false), " ");
  EXPECT_EQ(registry->OverallStatus(), '0');
  EXPECT_FALSE(dir_.Exists("KORAgent.db"));
  EXPECT_EQ(UpdateCalls(), 0);
  registry.reset();  // the first save creates the file
  EXPECT_EQ(dir_.Read("KORAgent.db"), "");
}

TEST_F(ElementRegistryTest, ARegistryThatNeverLoadedLeavesTheElementFileAlone) {
  dir_.Write("KORAgent.db", "tc01|10.9.0.1\ntc02|10.9.0.2\n");
  auto registry = Make();
  registry.reset();
  EXPECT_EQ(dir_.Read("KORAgent.db"), "tc01|10.9.0.1\ntc02|10.9.0.2\n");
}

// An element file that exists but cannot be read is never taken for a first
// start: the failure is CRITICAL, and nothing that run does rewrites the file.
TEST_F(ElementRegistryTest, AnUnreadableElementFileIsReportedAndNeverRewritten) {
  const struct {
    const char* what;
    std::function<void(const std::string&)> make;
    std::string reason;
  } cases[] = {
      // A link is not followed, nor anything but a regular file opened.
      {"link loop", [](const std::string& path) { std::filesystem::create_symlink(path, path); },
       "it is a symbolic link, which is not followed"},
      {"directory", [](const std::string& path) { std::filesystem::create_directory(path); },
       "it is not a regular file"},
  };
  for (const auto& c : cases) {
    c.make(DbPath());
    auto registry = Loaded();
    EXPECT_TRUE(registry->IsLoaded());
    EXPECT_EQ(log_.Count("CRITICAL: Unable to read file " + DbPath() + " - " + c.reason + "."), 1)
        << c.what << ": " << ::testing::PrintToString(log_.Texts());
    EXPECT_EQ(FailureOf([&] { registry->AddElement("tc03", "10.9.0.3", 180); }).code, 3002) << c.what;
    EXPECT_EQ(FailureOf([&] { registry->SaveElements(); }).code, 3002) << c.what;
    EXPECT_EQ(registry->ElementCount(), 0);
    registry.reset();
    EXPECT_EQ(std::filesystem::is_symlink(DbPath()), std::string(c.what) == "link loop") << c.what;
    EXPECT_EQ(std::filesystem::is_directory(std::filesystem::symlink_status(DbPath())),
              std::string(c.what) == "directory")
        << c.what;
    std::filesystem::remove(DbPath());
  }
}

TEST_F(ElementRegistryTest, BadLinesOfTheElementFileAreDroppedFromMemoryAndTheNextSave) {
  SetDevice("10.9.0.2", [](FakeDevice& d) { d.recognize = -1; });
  const std::string file =
      "tc01|10.9.0.1\n"
      "tc02|10.9.0.2\n"   // unsupported device: kept unbound
      "tc01|10.9.0.3\n"   // name taken
      "tc04|10.9.0.1\n"   // address taken
      "\n"
      "lonely\n"
      "||tc05||10.9.0.5|\r\n" + std::string(600, 'y') + "\n";
  dir_.Write("KORAgent.db", file);
  auto registry = Loaded();
  EXPECT_EQ(registry->ElementCount(), 3);
  EXPECT_EQ(RecordName(*registry, "10.9.0.5"), "tc05");
  EXPECT_EQ(log_.Count("WARNING: Element tc01 (10.9.0.3) of the element file is left out: its name is already in "
                       "use."), 1);
  // Loading reads the file, it does not rewrite it.
  EXPECT_EQ(dir_.Read("KORAgent.db"), file);
  registry.reset();
  EXPECT_EQ(dir_.Read("KORAgent.db"), "tc01|10.9.0.1\ntc02|10.9.0.2\ntc05|10.9.0.5\n");
}

TEST_F(ElementRegistryTest, LoadPollsEveryElementOnceBeforeCountingAsLoaded) {
  dir_.Write("KORAgent.db", "tc01|10.9.0.1\ntc02|10.9.0.2\n");
  SetDevice("10.9.0.2", [](FakeDevice& d) { d.status = 2; });
  auto registry = Loaded();
  EXPECT_EQ(UpdateCalls(), 2);
  EXPECT_EQ(registry->ListElements(false).substr(0, 2), "0|");
  EXPECT_EQ(registry->OverallStatus(), '2');
}

TEST_F(ElementRegistryTest, BindingErrorsKeepTheElementOnlyDuringTheLoad) {
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.throwOnBind = 2004; });
  SetDevice("10.9.0.2", [](FakeDevice& d) { d.throwOnBind = 3002; });
  SetDevice("10.9.0.3", [](FakeDevice& d) { d.throwOnBind = 2006; });
  dir_.Write("KORAgent.db", "tc01|10.9.0.1\ntc02|10.9.0.2\n");
  auto registry = Loaded();
  // 2004 during the load: kept, with what binding had set up; 3002 keeps
  // the element unbound.
  ASSERT_EQ(registry->ElementCount(), 2);
  EXPECT_EQ(RecordName(*registry, "10.9.0.1"), "tc01");
  EXPECT_EQ(ModelAt(*registry, "10.9.0.1"), " ");
  EXPECT_EQ(ModelAt(*registry, "10.9.0.2"), "Not bound (error 3002)");

  // After the load the same error discards the element, and 2006 becomes 2011.
  registry->RemoveElement("tc01");
  registry->RemoveElement("tc02");
  EXPECT_EQ(FailureOf([&] { registry->AddElement("tc01", "10.9.0.1", 180); }).code, 2004);
  Failure f = FailureOf([&] { registry->AddElement("tc03", "10.9.0.3", 180); });
  EXPECT_EQ(f.code, 2011);
  EXPECT_EQ(f.message, "No response from target at specified address.");
  EXPECT_EQ(registry->ElementCount(), 0);
}

TEST_F(ElementRegistryTest, ListStringHasSixFieldsPerElementAndNoEmptyField) {
  auto registry = Loaded();
  SetDevice("10.9.0.2", [](FakeDevice& d) { d.texts = false; });
  SetDevice("10.9.0.3", [](FakeDevice& d) {
    d.description = "";  // answered true but empty
    d.status = 3;
  });
  const std::string longText(99, 'L');
  SetDevice("10.9.0.4", [&](FakeDevice& d) {
    d.description = "A|B\nC";
    d.status = 1;
  });
  registry->AddElement("tc01", "10.9.0.1", 180);
  registry->AddElement("tc02", "10.9.0.2", 180);
  registry->AddElement("tc03", "10.9.0.3", 180);
  registry->AddElement("tc04", "10.9.0.4", 180);
  EXPECT_EQ(registry->ListElements(false),
            "-1|tc01|10.9.0.1|Fake tape controller|http://10.9.0.1/|http://10.9.0.1/|"
            "-1|tc02|10.9.0.2| |http://10.9.0.2/|http://10.9.0.2/|"
            "-1|tc03|10.9.0.3| |http://10.9.0.3/|http://10.9.0.3/|"
            "-1|tc04|10.9.0.4|A B C|http://10.9.0.4/|http://10.9.0.4/");
  EXPECT_EQ(registry->ListElements(true).substr(0, 7), "0|tc01|");
  EXPECT_EQ(RecordField(*registry, "10.9.0.2", &ElementRecord::worldWideName), " ");
  EXPECT_EQ(RecordField(*registry, "10.9.0.2", &ElementRecord::firmwareVersion), " ");

  // Long device texts on many elements never overrun the string.
  for (int i = 10; i < 60; ++i) {
    const std::string address = "10.9.1." + std::to_string(i);
    SetDevice(address, [&](FakeDevice& d) { d.description = longText; });
    registry->AddElement("e" + std::to_string(i), address, 180);
  }
  const std::string list = registry->ListElements(false);
  EXPECT_EQ(static_cast<size_t>(std::count(list.begin(), list.end(), '|')), 54u * 6u - 1u);
  EXPECT_NE(list.find("|" + longText + "|"), std::string::npos);
}

TEST_F(ElementRegistryTest, RenameAndRemove) {
  auto registry = Loaded();
  registry->AddElement("tc01", "10.9.0.1", 180);
  registry->AddElement("tc02", "10.9.0.2", 180);

  Failure f = FailureOf([&] { registry->RenameElement("tc01", "tc01"); });
  EXPECT_EQ(f.code, 2);
  EXPECT_EQ(f.message, "The specified name is already in use.");
  EXPECT_EQ(FailureOf([&] { registry->RenameElement("tc01", "tc02"); }).code, 2);
  f = FailureOf([&] { registry->RenameElement("nope", "tc09"); });
  EXPECT_EQ(f.code, 3);
  EXPECT_EQ(f.message, "No object with that name exists.");
  registry->RenameElement("tc01", "lib1");
  EXPECT_EQ(dir_.Read("KORAgent.db"), "lib1|10.9.0.1\ntc02|10.9.0.2\n");
  EXPECT_EQ(RecordName(*registry, "10.9.0.1"), "lib1");
  EXPECT_TRUE(listener_.Changes().empty());  // renaming sends nothing

  // An unknown name changes nothing, the file is not rewritten.
  dir_.Write("KORAgent.db", "lib1|10.9.0.1\ntc02|10.9.0.2\n# untouched\n");
  EXPECT_EQ(FailureOf([&] { registry->RemoveElement("nope"); }).code, 3);
  EXPECT_EQ(dir_.Read("KORAgent.db"), "lib1|10.9.0.1\ntc02|10.9.0.2\n# untouched\n");

  registry->RemoveElement("lib1");
  EXPECT_EQ(registry->ElementCount(), 1);
  EXPECT_FALSE(registry->IsManaged("10.9.0.1"));
  EXPECT_EQ(dir_.Read("KORAgent.db"), "tc02|10.9.0.2\n");
  ASSERT_EQ(listener_.Changes().size(), 1u);
  EXPECT_EQ(listener_.Changes()[0].first, "lib1");
}

TEST_F(ElementRegistryTest, FileFailuresAreReportedWithoutUndoingTheChange) {
  // The element file cannot be written: its folder does not exist.
  auto registry = std::make_unique<ElementRegistry>(dir_.File("gone/KORAgent.db"), 300);
  registry->LoadElements();
  Failure f = FailureOf([&] { registry->AddElement("tc01", "10.9.0.1", 180); });
  EXPECT_EQ(f.code, 3002);
  EXPECT_NE(f.message.find("There has been a file system error."), std::string::npos);
  EXPECT_TRUE(registry->IsManaged("10.9.0.1"));
  EXPECT_EQ(FailureOf([&] { registry->RemoveElement("tc01"); }).code, 3002);
  EXPECT_EQ(registry->ElementCount(), 0);
}

TEST_F(ElementRegistryTest, SetPollingIntervalRewritesStorageIniBesideTheElementFile) {
  // The element file lives in the agent directory, which is not the current
  // directory: the start-up reads storage.ini from there, so that is where
  // a change has to land.
  std::filesystem::create_directory(dir_.File("KOR"));
  auto registry = std::make_unique<ElementRegistry>(dir_.File("KOR/KORAgent.db"), 300);
  registry->LoadElements();
  registry->AddElement("tc01", "10.9.0.1", 180);
  registry->SetPollingInterval(60);
  EXPECT_EQ(registry->PollingInterval(), 60);
  EXPECT_EQ(dir_.Read("KOR/storage.ini"), "60\n");
  EXPECT_FALSE(dir_.Exists("storage.ini"));

  std::filesystem::remove(dir_.File("KOR/storage.ini"));
  std::filesystem::create_directory(dir_.File("KOR/storage.ini"));
  EXPECT_EQ(FailureOf([&] { registry->SetPollingInterval(120); }).code, 3002);
  EXPECT_EQ(registry->PollingInterval(), 120);  // in effect in memory all the same
}

TEST_F(ElementRegistryTest, OverallStatusFollowsTheWorstElement) {
  auto registry = Loaded();
  EXPECT_EQ(registry->OverallStatus(), '0');
  const int statuses[] = {0, 1, 3};
  for (int i = 0; i < 3; ++i) {
    const std::string address = "10.9.0." + std::to_string(i + 1);
    SetDevice(address, [&](FakeDevice& d) { d.status = statuses[i]; });
    registry->AddElement("tc0" + std::to_string(i + 1), address, 180);
  }
  EXPECT_EQ(registry->OverallStatus(), '0');  // all not yet read
  registry->UpdateAllStatus();
  EXPECT_EQ(registry->OverallStatus(), '1');
  SetDevice("10.9.0.4", [](FakeDevice& d) { d.status = 2; });
  registry->AddElement("tc04", "10.9.0.4", 180);
  registry->UpdateAllStatus();
  EXPECT_EQ(registry->OverallStatus(), '2');
  SetDevice("10.9.0.4", [](FakeDevice& d) { d.status = 7; });  // stored, counts like -1
  registry->UpdateAllStatus();
  EXPECT_EQ(registry->OverallStatus(), '1');
  EXPECT_EQ(registry->ListElements(false).rfind("7|tc04|", 0), std::string::npos);
  EXPECT_NE(registry->ListElements(false).find("|7|tc04|"), std::string::npos);
}

TEST_F(ElementRegistryTest, TrapsAndReadsByAddress) {
  auto registry = Loaded();
  registry->AddElement("tc01", "10.9.0.1", 180);
  auto trap = EnterpriseTrap(1, 7);
  uint8_t data[600] = {};
  char message[1000] = {};
  EXPECT_EQ(DeliverTrap(*registry, trap.get(), data, message), 1);
  EXPECT_STREQ(message, "fake trap 7");
  EXPECT_EQ(data[0], 7);
  trap->SetSpecificTrap(99);  // the plug-in drops it
  EXPECT_EQ(DeliverTrap(*registry, trap.get(), data, message), -1);
  EXPECT_EQ(DeliverTrap(*registry, EnterpriseTrap(2, 7).get(), data, message), -1);

  EXPECT_TRUE(registry->IsManaged("10.9.0.1"));
  EXPECT_FALSE(registry->IsManaged("10.9.0.2"));
  EXPECT_EQ(MajorClassAt(*registry, "10.9.0.1"), 0x77);
  EXPECT_EQ(MinorClassAt(*registry, "10.9.0.1"), 14);
  EXPECT_EQ(MajorClassAt(*registry, "10.9.0.2"), -1);
  EXPECT_EQ(MinorClassAt(*registry, "10.9.0.2"), -1);
  EXPECT_EQ(RecordField(*registry, "10.9.0.1", &ElementRecord::worldWideName), "10:00:00:00:00:00:00:01");
  EXPECT_EQ(RecordField(*registry, "10.9.0.1", &ElementRecord::firmwareVersion), "1.0");
  EXPECT_EQ(ModelAt(*registry, "10.9.0.1"), "Fake tape controller");
  EXPECT_EQ(registry->GetCommunityAt("10.9.0.1"), "public");
  EXPECT_EQ(registry->SetCommunityAt("10.9.0.1"), "private");
  EXPECT_EQ(RecordName(*registry, "10.9.0.2"), std::nullopt);
  EXPECT_EQ(registry->GetCommunityAt("10.9.0.2"), std::nullopt);

  Failure f = FailureOf([&] { registry->ConfigureTrapReceiver("nope"); });
  EXPECT_EQ(f.code, 3);
  registry->ConfigureTrapReceiver("tc01");
  std::lock_guard<std::mutex> hold(Control().mutex);
  EXPECT_EQ(Control().setTrapReceiverCalls, 1);
}

TEST_F(ElementRegistryTest, MissingPluginFunctionsGive3006AndReleaseTheLock) {
  WriteFakeType("fake", "embeddedhomepage=true\n", "fake_partial.so");
  auto registry = Loaded();
  registry->AddElement("tc01", "10.9.0.1", 180);
  registry->UpdateAllStatus();  // the error is dropped, the status stays
  EXPECT_EQ(registry->ListElements(false).substr(0, 3), "-1|");

  TrapMessage trap;
  const int32_t address[4] = {10, 9, 0, 1};
  trap.SetAgentAddress(address);
  uint8_t data[600] = {};
  char message[1000] = {};
  Failure f = FailureOf([&] { DeliverTrap(*registry, &trap, data, message); });
  EXPECT_EQ(f.code, 3006);
  EXPECT_NE(f.message.find("A failure has been detected in a required DLL function."), std::string::npos);
  EXPECT_NE(f.message.find("HandleTrap"), std::string::npos);  // the loader's text comes first
  // The lock is free again for other threads.
  bool managed = false;
  std::thread other([&] { managed = registry->IsManaged("10.9.0.1"); });
  other.join();
  EXPECT_TRUE(managed);
}

}  // namespace
}  // namespace orla::test
