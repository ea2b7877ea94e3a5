#pragma once
// The elements as one read-only picture: each element's record in registry
// order, and through it the element's status cell as its last poll
// published it. Everything outside the device library reads elements this
// way and only this way: no reader takes the registry lock (which a status
// pass holds while devices answer or time out), asks a device, or parses a
// list string. The registry publishes a new snapshot after every change of
// its list or of a record (add, remove, rename, bind); a snapshot never
// changes once made, so it is read without any lock, and an entry stays
// usable after its element has been removed.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "agent/devices/element_record.h"
#include "agent/devices/element_status_cell.h"

namespace orla {

class ElementState;
class TrapMessage;

// One element as read at one moment: its record and its status cell.
struct ElementView {
  ElementRecord record;
  ElementStatusCell status;
};

class ElementSnapshot {
 public:
  class Entry {
   public:
    Entry(ElementRecord record, std::shared_ptr<ElementState> binding);

    const ElementRecord record;

    // The element's status cell as its last poll published it.
    std::shared_ptr<const ElementStatusCell> Status() const;
    // The plug-in's "HandleTrap" for this element: its answer (event data
    // length or -1). Throws OrlaException 3006 when the function is missing.
    // `severity`, when given, receives the severity the plug-in read from the
    // trap (-1 when it gave none).
    int32_t DeliverTrap(TrapMessage* trap, uint8_t* data, char* message, int32_t* severity = nullptr) const;
    // The plug-in's own trap-target question about the device (it may ask
    // the device); empty when it has none.
    std::string TrapTargetQuestion() const;

   private:
    // The registry polls and wakes the element through its entry.
    friend class ElementRegistry;
    std::shared_ptr<ElementState> binding_;
  };

  // Entries in registry order.
  explicit ElementSnapshot(std::vector<Entry> entries);

  // The first entry (in registry order) with exactly this address or name;
  // null when there is none.
  const Entry* Find(const std::string& address) const;
  const Entry* FindByName(const std::string& name) const;
  size_t Size() const { return entries_.size(); }
  const std::vector<Entry>& Entries() const { return entries_; }
  // Every element's record and current status cell, in registry order.
  std::vector<ElementView> Read() const;
  // The names, in registry order.
  std::vector<std::string> Names() const;

  // The overall status kor.xml and the agent's own traps carry, whose rule
  // is fixed for those peers and differs from StatusBucket on purpose: '2' when
  // some element failed; else '1' when some element is degraded, unknown (3)
  // or not bound to a plug-in; else '0' (also with no elements). A status
  // not read yet (-1) or outside 0 to 3 marks nothing here.
  char OverallStatus() const;

  // The list string the element list page reads: " " with no elements,
  // else six fields per element (status, name, address, model text, device
  // page link, agent page URL), all separated by "|". No field is empty:
  // the page splits the string with a tokenizer that merges separators.
  std::string ListString() const;

 private:
  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t> byAddress_;
};

}  // namespace orla
