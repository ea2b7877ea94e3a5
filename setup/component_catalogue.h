#pragma once
// The components found beside the program: client applications under
// "client/" and agent applications under "agent/NT Intel/", one folder each,
// each described by its "install.dat"; and their fixed display order.
#include <string>

#include "component.h"

namespace orla {

class ComponentCatalogue {
 public:
  static constexpr const char* kClientFolder = "/client/";
  static constexpr const char* kAgentFolder = "/agent/NT Intel/";
  static constexpr const char* kDescriptionFile = "/install.dat";
  // A description file larger than this is not a description; it is treated
  // like one that cannot be read.
  static constexpr size_t kMaxDescriptionBytes = 64 * 1024;

  // Fills both lists from `base_directory` (no trailing "/"): client list
  // first, then agent list; components in name order of their folders.
  void Discover(const std::string& base_directory);

  // Fills `component` from the description file at `path`. A file that
  // cannot be read, or is empty, leaves the starting values and gives false.
  static bool ReadDescription(Component& component, const std::string& path);

  // Fills `component` from the text of a description.
  static void ApplyDescription(Component& component, const std::string& text);

  // The display order rules: "C100" to the head of the client list; a
  // "C400" that follows a "C1400" moves to just before it; "A100" to the
  // head of the agent list. Where an id occurs more than once, the first
  // occurrence in the list is the one these rules move or compare.
  void Arrange();

  ComponentList& Clients() { return clients_; }
  ComponentList& Agents() { return agents_; }
  const ComponentList& Clients() const { return clients_; }
  const ComponentList& Agents() const { return agents_; }

 private:
  static void DiscoverList(const std::string& folder, ComponentList& list);

  ComponentList clients_;
  ComponentList agents_;
};

}  // namespace orla
