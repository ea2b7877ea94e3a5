#pragma once
// What the agent knows of one element apart from its status: its name and
// address, its device type, the identity texts its plug-in read, its page
// links and communities, and why it is not bound to a plug-in when it is
// not. A record never changes once made: the registry makes a new one when
// the element is added, renamed, bound or its unbound reason changes, and
// publishes it in a new ElementSnapshot.
#include <string>

namespace orla {

struct ElementRecord {
  std::string name;
  std::string address;
  std::string typeName;  // empty while unbound
  // Identity texts as the plug-in gave them; a single space until it has
  // (no field of the list string may be empty).
  std::string worldWideName = " ";
  std::string description = " ";
  std::string firmwareVersion = " ";
  std::string devicePageLink = " ";
  std::string agentPageUrl = " ";
  // The SNMP communities of the element's type (its pages and the device
  // web agent use them).
  std::string getCommunity;
  std::string setCommunity;
  // Why the element is not bound to a plug-in ("Not responding", "Not
  // recognised", ...); empty when it is bound.
  std::string unboundReason;

  // The unbound reason of an element added without waiting for its device,
  // until its first recognition ends (ElementRegistry::AddElements).
  static constexpr const char* kPendingReason = "Being recognised";

  bool Bound() const { return unboundReason.empty(); }
  // The model text the element list and the received-trap records show:
  // the device's description, or while unbound the reason.
  const std::string& ModelText() const { return Bound() ? description : unboundReason; }
};

}  // namespace orla
