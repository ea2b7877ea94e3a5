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

TEST_F(CatalogueTest, BaseComponentsMoveToTheHeadOfTheirLists) {
  AddClient("a", "C5");
  AddClient("b", "C6");
  AddClient("c", "C100");
  AddAgent("a", "A5");
  AddAgent("b", "A100");
  Load();
  EXPECT_EQ(IdsOf(catalogue_.Clients()), (Ids{"C100", "C5", "C6"}));
  EXPECT_EQ(IdsOf(catalogue_.Agents()), (Ids{"A100", "A5"}));
}

TEST_F(CatalogueTest, C400MovesJustBeforeAnEarlierC1400) {
  AddClient("a", "C1400");
  AddClient("b", "C7");
  AddClient("c", "C400");
  AddClient("d", "C100");
  AddClient("e", "C8");
  Load();
  EXPECT_EQ(IdsOf(catalogue_.Clients()), (Ids{"C100", "C400", "C1400", "C7", "C8"}));
}

TEST_F(CatalogueTest, OrderKeptWhenC400AlreadyFirstOrEitherAbsent) {
  {
    AddClient("a", "C400");
    AddClient("b", "C7");
    AddClient("c", "C1400");
    EXPECT_EQ(IdsOf(Load().Clients()), (Ids{"C400", "C7", "C1400"}));
  }
  {
    test::TempDir other;
    std::filesystem::create_directories(other.File("client/a"));
    other.Write("client/a/install.dat", "id=C1400\r\n");
    std::filesystem::create_directories(other.File("client/b"));
    other.Write("client/b/install.dat", "id=C9\r\n");
    ComponentCatalogue catalogue;
    catalogue.Discover(other.Path());
    catalogue.Arrange();
    // No "C100" and no "C400": discovery order stays.
    EXPECT_EQ(IdsOf(catalogue.Clients()), (Ids{"C1400", "C9"}));
  }
}

TEST_F(CatalogueTest, RepeatedIdsMoveOnlyTheirFirstOccurrence) {
  AddClient("a", "C9");
  AddClient("b", "C100");
  AddClient("c", "C1400");
  AddClient("d", "C100");
  AddClient("e", "C400");
  AddClient("f", "C400");
  Load();
  ASSERT_EQ(IdsOf(catalogue_.Clients()), (Ids{"C100", "C9", "C400", "C1400", "C100", "C400"}));
  EXPECT_EQ(catalogue_.Clients()[0]->directory, base_.Path() + "/client/b");
  EXPECT_EQ(catalogue_.Clients()[2]->directory, base_.Path() + "/client/e");
}

}  // namespace
}  // namespace orla
