#pragma once

namespace orla {

// Every agent object derives from this root so that owners and lists can
// delete any object they hold through its virtual destructor.
class RootObject {
 public:
  RootObject() = default;
  virtual ~RootObject() = default;
};

}  // namespace orla
