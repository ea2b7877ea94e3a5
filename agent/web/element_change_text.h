#pragma once
// ElementChangeText: what the audit trail says of a change to the element
// list, the same whether a dialog or the API made it
// (WebPage::RecordChange adds who and from where). It names "the device":
// the same dialogs and resources add, rename and remove tape libraries as
// well as tape controllers.
#include <cstddef>
#include <string>

namespace orla {

class ElementChangeText {
 public:
  static std::string Added(const std::string& name, const std::string& address) {
    return "added the device " + name + " (" + address + ")";
  }
  static std::string Removed(const std::string& name) { return "removed the device " + name; }
  // `inMaintenance` of the added ones placed in maintenance by their notes.
  static std::string Imported(size_t added, size_t skipped, size_t inMaintenance = 0) {
    return "imported " + std::to_string(added) + (added == 1 ? " device" : " devices") + " from a file (" +
           std::to_string(skipped) + " already managed" +
           (inMaintenance > 0 ? "; " + std::to_string(inMaintenance) + " in maintenance for 24 hours" : "") + ")";
  }
  static std::string Adopted(size_t added, const std::string& run) {
    return "adopted " + std::to_string(added) + (added == 1 ? " device" : " devices") + " found by discovery run " +
           run;
  }
  static std::string Renamed(const std::string& current, const std::string& wanted) {
    return "renamed the device " + current + " to " + wanted;
  }
};

}  // namespace orla
