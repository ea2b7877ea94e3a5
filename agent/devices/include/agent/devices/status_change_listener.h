#pragma once
// What the element registry calls when an element's status changes or an
// element has been removed. The trap sender implements it; the agent's
// start-up connects the two, so the registry does not depend on traps.
#include "agent/core/root_object.h"

namespace orla {

class StatusChangeListener {
 public:
  virtual ~StatusChangeListener() = default;
  // `text` is the element's name; `status` the new status value (the
  // listener may ignore it). May throw OrlaException*.
  virtual void NotifyStatusChange(const char* text, int status) = 0;
};

}  // namespace orla
