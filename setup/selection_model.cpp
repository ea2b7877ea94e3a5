#include "selection_model.h"

namespace orla {

SelectionModel::SelectionModel(ComponentCatalogue& catalogue, const RegistryTree& registry)
    : catalogue_(catalogue),
      registry_(registry),
      client_boxes_(catalogue.Clients().size()),
      agent_boxes_(catalogue.Agents().size()) {}

ComponentList& SelectionModel::List(Group group) {
  return group == Group::kClient ? catalogue_.Clients() : catalogue_.Agents();
}

const ComponentList& SelectionModel::List(Group group) const {
  return group == Group::kClient ? catalogue_.Clients() : catalogue_.Agents();
}

size_t SelectionModel::Count(Group group) const { return Boxes(group).size(); }

const Component& SelectionModel::ComponentAt(Group group, size_t index) const { return *List(group).at(index); }

const SelectionModel::Box& SelectionModel::BoxAt(Group group, size_t index) const { return Boxes(group).at(index); }

bool SelectionModel::Toggle(Group group, size_t index) {
  std::vector<Box>& boxes = Boxes(group);
  if (index >= boxes.size() || !boxes[index].enabled) return false;
  boxes[index].checked = !boxes[index].checked;
  ReResolve();
  return true;
}

void SelectionModel::ReResolve() {
  for (Group group : {Group::kClient, Group::kAgent}) {
    ComponentList& list = List(group);
    std::vector<Box>& boxes = Boxes(group);
    for (size_t i = 0; i < boxes.size(); ++i) {
      list[i]->selected = false;
      list[i]->required = false;
      // A forced box is released; resolution forces it again if still needed.
      if (!boxes[i].enabled) {
        boxes[i].enabled = true;
        boxes[i].checked = false;
      }
    }
  }

  MarkCheckedSelected();
  ResolvePrerequisites();

  for (Group group : {Group::kClient, Group::kAgent}) {
    ComponentList& list = List(group);
    std::vector<Box>& boxes = Boxes(group);
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (!list[i]->selected) continue;
      if (list[i]->required && !boxes[i].checked) boxes[i].enabled = false;
      boxes[i].checked = true;
    }
  }
}

void SelectionModel::MarkCheckedSelected() {
  for (Group group : {Group::kClient, Group::kAgent}) {
    ComponentList& list = List(group);
    const std::vector<Box>& boxes = Boxes(group);
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].checked) list[i]->selected = true;
    }
  }
}

void SelectionModel::MarkRequired(const std::string& prerequisite) {
  if (prerequisite.empty() || prerequisite == "none") return;
  for (auto& component : catalogue_.Clients()) {
    if (component->id == prerequisite) component->required = true;
  }
}

void SelectionModel::ResolvePrerequisites() {
  ComponentList& clients = catalogue_.Clients();

  // Anything chosen after an unchosen "C100" needs the base component, which
  // the display order put at the head of the list.
  bool base_missing = false;
  for (auto& component : clients) {
    if (component->id == "C100" && !component->selected) {
      base_missing = true;
    } else if (base_missing && component->selected) {
      clients.front()->required = true;
    }
  }

  for (auto& component : clients) {
    if (component->selected) MarkRequired(component->prerequisite);
  }

  // One walk in list order: a component marked during the walk has its own
  // prerequisite followed only when it comes later in the list.
  for (auto& component : clients) {
    if (component->required) MarkRequired(component->prerequisite);
  }

  // A required component that is not installed (its versioned key is
  // absent) will be installed.
  for (auto& component : clients) {
    if (!component->required || component->version.empty()) continue;
    const std::string key = std::string(kSoftwareKey) + component->registry_name + "\\" + component->version;
    if (!registry_.OpenKeyForRead(RegistryTree::kLocalMachine, key)) component->selected = true;
  }
}

void SelectionModel::ClickCreateScriptOnly() {
  create_script_only_ = !create_script_only_;
  if (create_script_only_) {
    silent_installs_ = false;
    silent_installs_enabled_ = false;
  } else {
    silent_installs_enabled_ = true;
  }
}

void SelectionModel::SetSilentInstalls(bool checked) {
  if (silent_installs_enabled_) silent_installs_ = checked;
}

}  // namespace orla
