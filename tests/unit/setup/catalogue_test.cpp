// Discovery of the component folders and the display order rules.
#include <gtest/gtest.h>

#include <filesystem>

#include "setup/component_catalogue.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

class CatalogueTest : public ::testing::Test {
 protected:
  // Adds a component folder with an "install.dat" naming `id`.
  void Add(const std::string& group, const std::string& folder, const std::string& id) {
    std::filesystem::create_directories(base_.File(group + "/" + folder));
    base_.Write(group + "/" + folder + "/install.dat", "name=" + folder + "\r\nid=" + id + "\r\n");
  }
  void AddClient(const std::string& folder, const std::string& id) { Add("client", folder, id); }
  void AddAgent(const std::string& folder, const std::string& id) { Add("agent/NT Intel", folder, id); }

  static std::vector<std::string> IdsOf(const ComponentList& list) {
    std::vector<std::string> ids;
    for (const auto& c : list) ids.push_back(c->id);
    return ids;
  }

  // Discovers and arranges.
  ComponentCatalogue& Load() {
    catalogue_.Discover(base_.Path());
    catalogue_.Arrange();
    return catalogue_;
  }

  test::TempDir base_;
  ComponentCatalogue catalogue_;
};

using Ids = std::vector<std::string>;

TEST_F(CatalogueTest, DiscoversComponentFoldersWithDescriptionsOnly) {
  AddClient("Beta", "C2");
  AddClient("alpha", "C1");
  std::filesystem::create_directories(base_.File("client/NoDescription"));
  base_.Write("client/loose-file", "name=x\r\nid=C9\r\n");
  // A description that cannot be read still lists the component.
  std::filesystem::create_directories(base_.File("client/Empty"));
  base_.Write("client/Empty/install.dat", "");
  AddAgent("Agent One", "A7");

  Load();
  // Folder names in order without regard to case.
  EXPECT_EQ(IdsOf(catalogue_.Clients()), (Ids{"C1", "C2", ""}));
  ASSERT_EQ(catalogue_.Clients().size(), 3u);
  const Component& alpha = *catalogue_.Clients()[0];
  EXPECT_EQ(alpha.directory, base_.Path() + "/client/alpha");
  EXPECT_EQ(alpha.name, "alpha");
  const Component& empty = *catalogue_.Clients()[2];
  EXPECT_EQ(empty.directory, base_.Path() + "/client/Empty");
  EXPECT_EQ(empty.name, "");
  EXPECT_EQ(empty.prerequisite, "");

  ASSERT_EQ(catalogue_.Agents().size(), 1u);
  EXPECT_EQ(catalogue_.Agents()[0]->directory, base_.Path() + "/agent/NT Intel/Agent One");
}

TEST_F(CatalogueTest, MissingFoldersGiveEmptyLists) {
  Load();
  EXPECT_TRUE(catalogue_.Clients().empty());
  EXPECT_TRUE(catalogue_.Agents().empty());
  // An "agent" folder without "NT Intel" holds no agent components.
  Add("agent", "Stray", "A1");
  ComponentCatalogue again;
  again.Discover(base_.Path());
  EXPECT_TRUE(again.Agents().empty());
}

// Arranges components discovered in folders "a", "b", ... holding `ids` in
// that order; each arranged component as "<folder>:<id>".
Ids Arranged(const std::string& group, const Ids& ids) {
  test::TempDir base;
  for (size_t i = 0; i < ids.size(); ++i) {
    const std::string folder = group + "/" + std::string(1, static_cast<char>('a' + i));
    std::filesystem::create_directories(base.File(folder));
    base.Write(folder + "/install.dat", "id=" + ids[i] + "\r\n");
  }
  ComponentCatalogue catalogue;
  catalogue.Discover(base.Path());
  catalogue.Arrange();
  Ids arranged;
  for (const auto& c : group == "client" ? catalogue.Clients() : catalogue.Agents()) {
    arranged.push_back(c->directory.substr(c->directory.size() - 1) + ":" + c->id);
  }
  return arranged;
}

TEST(CatalogueOrder, BaseComponentsLeadAndC400GoesJustBeforeAnEarlierC1400) {
  const struct {
    const char* group;
    Ids discovered;
    Ids arranged;
  } cases[] = {
      // The base components move to the head of their lists.
      {"client", {"C5", "C6", "C100"}, {"c:C100", "a:C5", "b:C6"}},
      {"agent/NT Intel", {"A5", "A100"}, {"b:A100", "a:A5"}},
      {"client", {"C1400", "C7", "C400", "C100", "C8"}, {"d:C100", "c:C400", "a:C1400", "b:C7", "e:C8"}},
      // Kept when C400 is already first or either is absent.
      {"client", {"C400", "C7", "C1400"}, {"a:C400", "b:C7", "c:C1400"}},
      {"client", {"C1400", "C9"}, {"a:C1400", "b:C9"}},
      // Repeated ids: only the first occurrence moves.
      {"client",
       {"C9", "C100", "C1400", "C100", "C400", "C400"},
       {"b:C100", "a:C9", "e:C400", "c:C1400", "d:C100", "f:C400"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Arranged(c.group, c.discovered), c.arranged) << ::testing::PrintToString(c.discovered);
  }
}

}  // namespace
}  // namespace orla
