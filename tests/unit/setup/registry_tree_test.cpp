// The registry stand-in: keys are folders under the registry root.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/setupkit/registry_tree.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

TEST(RegistryTree, KeysAreFoldersComparedWithoutCase) {
  test::TempDir root;
  std::filesystem::create_directories(root.Path() + "/HKEY_LOCAL_MACHINE/SOFTWARE/Tarvik/Console/2.0");
  root.Write("HKEY_LOCAL_MACHINE/SOFTWARE/Tarvik/Console/file", "");
  RegistryTree tree(root.Path());

  EXPECT_TRUE(tree.OpenKeyForRead("HKEY_LOCAL_MACHINE", "SOFTWARE\\Tarvik\\Console\\2.0"));
  EXPECT_TRUE(tree.OpenKeyForRead("HKEY_LOCAL_MACHINE", "software\\TARVIK\\console\\2.0"));
  EXPECT_TRUE(tree.OpenKeyForRead("HKEY_LOCAL_MACHINE", "SOFTWARE\\Tarvik"));
  EXPECT_FALSE(tree.OpenKeyForRead("HKEY_LOCAL_MACHINE", "SOFTWARE\\Tarvik\\Console\\2.1"));
  EXPECT_FALSE(tree.OpenKeyForRead("HKEY_CURRENT_USER", "SOFTWARE\\Tarvik\\Console\\2.0"));
  // A file is not a key.
  EXPECT_FALSE(tree.OpenKeyForRead("HKEY_LOCAL_MACHINE", "SOFTWARE\\Tarvik\\Console\\file"));
  EXPECT_FALSE(RegistryTree(root.File("absent")).OpenKeyForRead("HKEY_LOCAL_MACHINE", "SOFTWARE"));
}

TEST(RegistryTree, NamesThatCouldLeaveTheTreeAreNeverFound) {
  test::TempDir root;
  std::filesystem::create_directories(root.Path() + "/HKEY_LOCAL_MACHINE/SOFTWARE/Tarvik/2.0");
  std::filesystem::create_directories(root.Path() + "/HKEY_LOCAL_MACHINE/SOFTWARE/Tarvik/A/B");
  RegistryTree tree(root.Path());

  // An empty registry name must not collapse onto "Tarvik\2.0".
  EXPECT_FALSE(tree.OpenKeyForRead("HKEY_LOCAL_MACHINE", "SOFTWARE\\Tarvik\\\\2.0"));
  EXPECT_FALSE(tree.OpenKeyForRead("HKEY_LOCAL_MACHINE", "SOFTWARE\\Tarvik\\A/B"));
  EXPECT_FALSE(tree.OpenKeyForRead("HKEY_LOCAL_MACHINE", "SOFTWARE\\Tarvik\\A\\..\\A\\B"));
  EXPECT_FALSE(tree.OpenKeyForRead("HKEY_LOCAL_MACHINE", "SOFTWARE\\Tarvik\\.\\A"));
  EXPECT_TRUE(tree.OpenKeyForRead("HKEY_LOCAL_MACHINE", "SOFTWARE\\Tarvik\\A\\B"));
}

TEST(RegistryTree, RootComesFromTheEnvironment) {
  {
    test::ScopedEnv root("ORLA_REGISTRY_ROOT", "/tmp/some-registry");
    EXPECT_EQ(RegistryTree::FromEnvironment().Root(), "/tmp/some-registry");
  }
  test::ScopedEnv noRoot("ORLA_REGISTRY_ROOT");
  EXPECT_EQ(RegistryTree::FromEnvironment().Root(), "/var/lib/orla/registry");
}

}  // namespace
}  // namespace orla
