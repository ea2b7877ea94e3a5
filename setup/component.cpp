#include "component.h"

namespace orla {

void Component::Reset() {
  name.clear();
  size = 0;
  id.clear();
  prerequisite.clear();
  directory.clear();
  selected = false;
  required = false;
  version.clear();
  registry_name.clear();
}

}  // namespace orla
