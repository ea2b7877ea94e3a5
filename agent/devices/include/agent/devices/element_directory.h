#pragma once
// A read-only picture of the registry's elements by address: the one way
// anything outside the device library reads an element (the registry's
// by-address reads are reads of it too), so that no reader waits for the
// registry lock, which a status pass holds while devices answer or time
// out. The registry makes a new picture under its lock after
// every change of its list (add, remove, rename) and hands out the current
// one; a picture never changes once made, so it is read without any lock.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace orla {

class ElementState;
class TrapMessage;

class ElementDirectory {
 public:
  struct Entry {
    std::string name;
    std::string address;
    std::string worldWideName;
    std::string description;
    std::string firmwareVersion;
    // The SNMP communities of the element's type (its pages and the device
    // web agent use them).
    std::string getCommunity;
    std::string setCommunity;
    // Status, class codes, plug-in library: shared with the element.
    std::shared_ptr<ElementState> state;

    // The plug-in's "HandleTrap" for this element: its answer (event data
    // length or -1). Throws OrlaException 3006 when the function is missing.
    // `severity` as ElementState::DeliverTrap gives it.
    int32_t DeliverTrap(TrapMessage* trap, uint8_t* data, char* message, int32_t* severity = nullptr) const;
    // The plug-in's own trap-target question about the device (it may ask
    // the device); empty when it has none.
    std::string TrapTargetQuestion() const;
    // The plug-in's class codes as binding or a later pass read them; false
    // (and both untouched) while either is still unknown.
    bool ClassCodes(int32_t* major, int32_t* minor) const;
  };

  // Entries in registry order.
  explicit ElementDirectory(std::vector<Entry> entries);

  // The first entry (in registry order) with exactly this address; null
  // when there is none.
  const Entry* Find(const std::string& address) const;
  size_t Size() const { return entries_.size(); }
  const std::vector<Entry>& Entries() const { return entries_; }
  // The overall status kor.xml and the agent's own traps carry, whose rule
  // is fixed for those peers and differs from StatusBucket on purpose: '2' when
  // some element failed; else '1' when some element is degraded, unknown (3)
  // or not bound to a plug-in; else '0' (also with no elements). A status
  // not read yet (-1) or outside 0 to 3 marks nothing here.
  char OverallStatus() const;

 private:
  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t> byAddress_;
};

}  // namespace orla
