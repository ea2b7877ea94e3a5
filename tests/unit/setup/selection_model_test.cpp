// Toggling boxes, re-resolution and prerequisite resolution against a
// registry tree in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "setup/selection_model.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

using Group = SelectionModel::Group;
using Strings = std::vector<std::string>;

class SelectionModelTest : public ::testing::Test {
 protected:
  static void Add(ComponentList& list, const std::string& id, const std::string& prerequisite,
                  const std::string& version = "1.0") {
    auto c = std::make_unique<Component>();
    c->name = "Component " + id;
    c->id = id;
    c->prerequisite = prerequisite;
    c->version = version;
    c->registry_name = "Reg" + id;
    list.push_back(std::move(c));
  }
  void Client(const std::string& id, const std::string& prerequisite, const std::string& version = "1.0") {
    Add(catalogue_.Clients(), id, prerequisite, version);
  }
  void Agent(const std::string& id, const std::string& prerequisite) { Add(catalogue_.Agents(), id, prerequisite); }

  // Marks the component with `id` installed: its versioned key exists.
  void Install(const std::string& id, const std::string& version = "1.0") {
    std::filesystem::create_directories(registry_dir_.Path() + "/HKEY_LOCAL_MACHINE/SOFTWARE/Tarvik/Reg" + id + "/" +
                                        version);
  }

  SelectionModel& Model() {
    if (!model_) model_ = std::make_unique<SelectionModel>(catalogue_, registry_);
    return *model_;
  }

  // "checked", "forced" (checked and disabled) or "clear".
  std::string State(Group group, size_t index) {
    const SelectionModel::Box& box = Model().BoxAt(group, index);
    if (box.checked && !box.enabled) return "forced";
    if (box.checked) return "checked";
    EXPECT_TRUE(box.enabled);
    return "clear";
  }
  std::string Client(size_t index) { return State(Group::kClient, index); }
  // The states of every client box, in list order.
  std::vector<std::string> Clients() {
    std::vector<std::string> states;
    for (size_t i = 0; i < Model().Count(Group::kClient); ++i) states.push_back(Client(i));
    return states;
  }

  test::TempDir registry_dir_;
  RegistryTree registry_{registry_dir_.Path()};
  ComponentCatalogue catalogue_;
  std::unique_ptr<SelectionModel> model_;
};

TEST_F(SelectionModelTest, CheckingAComponentForcesAMissingBaseAndUncheckingReleasesIt) {
  Client("C100", "none");
  Client("C5", "none");
  Client("C6", "none");

  ASSERT_TRUE(Model().Toggle(Group::kClient, 2));
  EXPECT_EQ(Clients(), (Strings{"forced", "clear", "checked"}));
  EXPECT_TRUE(catalogue_.Clients()[0]->selected);
  EXPECT_TRUE(catalogue_.Clients()[0]->required);

  // A forced box cannot be clicked.
  EXPECT_FALSE(Model().Toggle(Group::kClient, 0));
  EXPECT_EQ(Client(0), "forced");

  ASSERT_TRUE(Model().Toggle(Group::kClient, 2));
  EXPECT_EQ(Clients(), (Strings{"clear", "clear", "clear"}));
  EXPECT_FALSE(catalogue_.Clients()[0]->selected);

  // Checked by the user itself, the base stays enabled.
  ASSERT_TRUE(Model().Toggle(Group::kClient, 0));
  ASSERT_TRUE(Model().Toggle(Group::kClient, 1));
  EXPECT_EQ(Clients(), (Strings{"checked", "checked", "clear"}));
}

TEST_F(SelectionModelTest, InstalledPrerequisiteIsNotForced) {
  Client("C100", "none");
  Client("C5", "C100");
  Install("C100");
  Model().Toggle(Group::kClient, 1);
  EXPECT_EQ(Client(0), "clear");
  EXPECT_TRUE(catalogue_.Clients()[0]->required);
  EXPECT_FALSE(catalogue_.Clients()[0]->selected);
}

TEST_F(SelectionModelTest, OnlyTheRequiredVersionCountsAsInstalled) {
  Client("C100", "none", "2.0");
  Client("C5", "none");
  Install("C100", "1.0");
  Model().Toggle(Group::kClient, 1);
  EXPECT_EQ(Client(0), "forced");
}

TEST_F(SelectionModelTest, PrerequisitesAreFollowedInOneWalkInListOrder) {
  // C7 needs C8 (later in the list), which needs C9 (later still): both
  // are followed.
  Client("C7", "C8");
  Client("C8", "C9");
  Client("C9", "none");
  Model().Toggle(Group::kClient, 0);
  EXPECT_EQ(Clients(), (Strings{"checked", "forced", "forced"}));
}

TEST_F(SelectionModelTest, PrerequisiteOfAnEarlierComponentMarkedDuringTheWalkIsNotFollowed) {
  // C4 is chosen and needs C3, which is marked before the walk. The walk
  // reaches C3 and marks C2, which it has already passed, so C2's own
  // prerequisite C1 is not followed.
  Client("C1", "none");
  Client("C2", "C1");
  Client("C3", "C2");
  Client("C4", "C3");
  Model().Toggle(Group::kClient, 3);
  EXPECT_EQ(Clients(), (Strings{"clear", "forced", "forced", "checked"}));
  EXPECT_FALSE(catalogue_.Clients()[0]->required);
}

TEST_F(SelectionModelTest, NoneEmptyVersionAndAbsentPrerequisiteForceNothing) {
  Client("C1", "none");
  Client("C2", "C3");
  Client("C3", "none", "");  // no version: never forced
  Client("C4", "");          // no prerequisite line
  auto nameless = std::make_unique<Component>();
  nameless->version = "1.0";  // no id
  catalogue_.Clients().push_back(std::move(nameless));

  Model().Toggle(Group::kClient, 0);
  EXPECT_EQ(Clients(), (Strings{"checked", "clear", "clear", "clear", "clear"}));

  Model().Toggle(Group::kClient, 1);
  EXPECT_TRUE(catalogue_.Clients()[2]->required);
  EXPECT_EQ(Client(2), "clear");

  // An absent prerequisite names no component, not the one without an id.
  Model().Toggle(Group::kClient, 3);
  EXPECT_EQ(Client(3), "checked");
  EXPECT_FALSE(catalogue_.Clients()[4]->required);
  EXPECT_EQ(Client(4), "clear");
}

TEST_F(SelectionModelTest, AgentsNeverTakePartInResolution) {
  Client("C100", "none");
  Client("C5", "none");
  Agent("A100", "none");
  Agent("A200", "A100");
  Agent("A300", "C5");

  // An agent chosen while the base client is unchecked forces nothing, and
  // neither do agent prerequisites naming agents or clients.
  Model().Toggle(Group::kAgent, 1);
  Model().Toggle(Group::kAgent, 2);
  EXPECT_EQ(Clients(), (Strings{"clear", "clear"}));
  EXPECT_EQ(State(Group::kAgent, 0), "clear");
  EXPECT_EQ(State(Group::kAgent, 1), "checked");
  EXPECT_FALSE(catalogue_.Agents()[0]->required);

  // A client prerequisite naming an agent id forces nothing either.
  Client("C6", "A100");
  model_.reset();
  Model().Toggle(Group::kClient, 0);
  Model().Toggle(Group::kClient, 2);
  EXPECT_EQ(State(Group::kAgent, 0), "clear");
}

TEST_F(SelectionModelTest, RunnerPassMarksCheckedBoxesWithoutClearingFlags) {
  Client("C100", "none");
  Client("C5", "none");
  Model();
  catalogue_.Clients()[0]->selected = true;  // left from an earlier pass
  Model().MarkCheckedSelected();
  EXPECT_TRUE(catalogue_.Clients()[0]->selected);
  EXPECT_FALSE(catalogue_.Clients()[1]->selected);
}

TEST_F(SelectionModelTest, CreateScriptOnlyClearsAndLocksSilentInstalls) {
  SelectionModel& model = Model();
  EXPECT_FALSE(model.CreateScriptOnly());
  EXPECT_FALSE(model.SilentInstalls());
  EXPECT_TRUE(model.SilentInstallsEnabled());

  model.SetSilentInstalls(true);
  EXPECT_TRUE(model.SilentInstalls());
  model.ClickCreateScriptOnly();
  EXPECT_TRUE(model.CreateScriptOnly());
  EXPECT_FALSE(model.SilentInstalls());
  EXPECT_FALSE(model.SilentInstallsEnabled());
  model.SetSilentInstalls(true);
  EXPECT_FALSE(model.SilentInstalls());

  model.ClickCreateScriptOnly();
  EXPECT_FALSE(model.CreateScriptOnly());
  EXPECT_TRUE(model.SilentInstallsEnabled());
  EXPECT_FALSE(model.SilentInstalls());
}

}  // namespace
}  // namespace orla
