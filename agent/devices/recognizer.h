#pragma once
// Recognition of a device's type: each type of "devices/supported.txt" in
// turn, its type file read, its plug-in's RecognizeDevice asked over a
// session with the type's get community, until one claims the device.
// Private to the device library: the element binder binds what it
// recognises.
#include <string>

namespace orla {

class Recognizer {
 public:
  // The type name of the first type whose plug-in claims the device at
  // `address`. Throws OrlaException 3002 (a file cannot be read), 3006 (a
  // plug-in lacks RecognizeDevice), 2011 (the device does not answer) or 8
  // (no type claims it), or 3001 when memory runs out.
  static std::string Recognize(const std::string& address);
};

}  // namespace orla
