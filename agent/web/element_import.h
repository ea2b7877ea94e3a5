#pragma once
// ElementImport: an import of managed elements from a list (ElementCsv),
// judged line by line and applied whole or not at all. Each row is judged
// in file order against what is managed now and the lines before it:
//   add      a new name at a new address, by the add dialog's rules and
//            texts (AddElementCheck); an import takes dotted IPv4
//            addresses only, so that it resolves no host name;
//   skip     the address is managed already (under which name is said);
//   refuse   anything else, with the column at fault and why: a name in
//            use at another address, a name or an address given twice in
//            the file, an SNMPv3 profile that does not exist, a
//            maintenance note that MaintenanceBook would refuse as a
//            window's reason (with the book's text).
// A line to add with a maintenance note says that its element is added in
// maintenance: a window from the import for kNoteHours hours, the note as
// its reason, set by the importing user.
// Apply assigns the rows' SNMPv3 profiles to their addresses (one edit of
// the credentials file), sets the notes' windows (one rewrite of the
// maintenance file) and then adds every element at once
// (ElementRegistry::AddElements, which waits for no device); when one step
// fails, none of them stays.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "agent/devices/element_snapshot.h"
#include "element_csv.h"

namespace orla {

class ElementRegistry;
class MaintenanceBook;
class SnmpV3Credentials;

class ElementImport {
 public:
  enum class Verdict { kAdd, kSkip, kRefuse };
  struct Line {
    ElementCsv::Row row;
    Verdict verdict = Verdict::kAdd;
    std::string field;  // the column at fault (refuse)
    std::string text;   // why (refuse, skip)
  };

  static constexpr const char* kNameTwice = "The name is also on line %zu.";
  static constexpr const char* kAddressTwice = "The address is also on line %zu.";
  static constexpr const char* kNoProfile = "There is no SNMPv3 profile of that name.";
  static constexpr const char* kManagedAs = "Already managed as %s.";
  static constexpr const char* kInMaintenance = "In maintenance for 24 hours from the import.";
  static constexpr int64_t kNoteHours = 24;

  static std::vector<Line> Judge(const std::vector<ElementCsv::Row>& rows, const std::vector<ElementView>& managed,
                                 const SnmpV3Credentials& credentials);
  // The SNMPv3 profile assigned to exactly this one address (not through a
  // range or the default), or none: what an export writes for an element.
  static std::optional<std::string> OwnAssignment(const SnmpV3Credentials& credentials, const std::string& address);
  static size_t Count(const std::vector<Line>& lines, Verdict verdict);
  // The lines to add that place their element in maintenance.
  static size_t InMaintenance(const std::vector<Line>& lines);
  // {"add":N,"skip":N,"refuse":N,"lines":[{"line","name","address",
  // "snmpv3Profile","maintenanceNote","verdict","field","text"}...]},
  // without the braces around it, so that an answer can add members.
  static std::string ReportMembers(const std::vector<Line>& lines);
  // Applies the lines to add, the windows of their notes set in `book` (may
  // be null when no line has a note) as user `by`; empty answer when done,
  // else why nothing was.
  static std::string Apply(const std::vector<Line>& lines, ElementRegistry& registry, const std::string& credentialFile,
                           MaintenanceBook* book = nullptr, const std::string& by = std::string());
};

}  // namespace orla
