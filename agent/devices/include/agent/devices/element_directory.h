#pragma once
// A read-only picture of the registry's elements by address, for the readers
// that must never wait for the registry lock (which a status pass holds
// while devices answer or time out): the trap listener's filter and the
// trap event records. The registry makes a new picture under its lock after
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
    // Status, class codes, plug-in library: shared with the element.
    std::shared_ptr<ElementState> state;

    // The plug-in's "HandleTrap" for this element: its answer (event data
    // length or -1). Throws OrlaException 3006 when the function is missing.
    int32_t DeliverTrap(TrapMessage* trap, uint8_t* data, char* message) const;
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
  // From the entries' current statuses: '0' no elements or none degraded or
  // failed, '2' some element failed, '1' some element degraded or unknown.
  char OverallStatus() const;

 private:
  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t> byAddress_;
};

}  // namespace orla
