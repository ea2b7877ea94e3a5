#pragma once
// The selection dialog's state and logic, apart from any screen: one check
// box per component, the two hidden option flags, and prerequisite
// resolution against the registry. The terminal view only shows this model
// and forwards the user's actions to it.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/setupkit/registry_tree.h"
#include "component_catalogue.h"

namespace orla {

class SelectionModel {
 public:
  enum class Group { kClient, kAgent };

  // The state of one component's check box. Every component has a shown
  // box; the groups grow with the lists, so no component is left out.
  struct Box {
    bool checked = false;
    bool enabled = true;
  };

  // The registry key of an installed component:
  // "SOFTWARE\Tarvik\" + registry name + "\" + version.
  static constexpr const char* kSoftwareKey = "SOFTWARE\\Tarvik\\";
  // The dialog's own texts.
  static constexpr const char* kTitle = "ORLA Setup";
  static constexpr const char* kHeading = "Quillane Command Console";
  static constexpr const char* kInstruction =
      "Select the applications that match the Quillane products or solutions for which you want "
      "ORLA support.";
  static constexpr const char* kClientGroup = "Client Applications";
  static constexpr const char* kAgentGroup = "Agent Applications";
  static constexpr const char* kCreateScriptOnly = "Create Script Only";
  static constexpr const char* kSilentInstalls = "Silent Installs";
  static constexpr const char* kCancel = "Cancel";
  static constexpr const char* kNext = "&Next>";

  // Uses the catalogue's lists as they are (already arranged); both must
  // outlive the model.
  SelectionModel(ComponentCatalogue& catalogue, const RegistryTree& registry);

  size_t Count(Group group) const;
  const Component& ComponentAt(Group group, size_t index) const;
  const Box& BoxAt(Group group, size_t index) const;

  // A click on a component's box: inverts its check and re-resolves. A
  // disabled box ignores the click (returns false).
  bool Toggle(Group group, size_t index);

  // Recomputes the flags from the boxes, resolves prerequisites and shows
  // the result: a component forced in by a prerequisite is checked and
  // disabled; one the user checked stays enabled.
  void ReResolve();

  // Marks the component of every checked box selected (flags are not
  // cleared first), as the installer runner does before it resolves.
  void MarkCheckedSelected();

  // Works on the client list only: forces "C100" when something is chosen
  // without it, follows prerequisites, and selects each required component
  // whose registry key is absent (not installed).
  void ResolvePrerequisites();

  // The two hidden option boxes. They are not shown, but kept and exchanged
  // like the others: checking "Create Script Only" clears and disables
  // "Silent Installs"; unchecking it enables "Silent Installs" again.
  bool CreateScriptOnly() const { return create_script_only_; }
  bool SilentInstalls() const { return silent_installs_; }
  bool SilentInstallsEnabled() const { return silent_installs_enabled_; }
  void ClickCreateScriptOnly();
  // Checks or clears "Silent Installs" when its box is enabled.
  void SetSilentInstalls(bool checked);

  ComponentList& Clients() { return catalogue_.Clients(); }
  ComponentList& Agents() { return catalogue_.Agents(); }

 private:
  ComponentList& List(Group group);
  const ComponentList& List(Group group) const;
  std::vector<Box>& Boxes(Group group) { return group == Group::kClient ? client_boxes_ : agent_boxes_; }
  const std::vector<Box>& Boxes(Group group) const {
    return group == Group::kClient ? client_boxes_ : agent_boxes_;
  }
  // Marks required every client whose id is `prerequisite`; "none" (and an
  // absent prerequisite) names nothing.
  void MarkRequired(const std::string& prerequisite);

  ComponentCatalogue& catalogue_;
  const RegistryTree& registry_;
  std::vector<Box> client_boxes_;
  std::vector<Box> agent_boxes_;
  bool create_script_only_ = false;
  bool silent_installs_ = false;
  bool silent_installs_enabled_ = true;
};

}  // namespace orla
