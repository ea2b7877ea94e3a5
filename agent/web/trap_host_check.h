#pragma once
// TrapHostCheck: the agent configuration's rules for the hosts that
// receive the agent's own SNMP traps (client.ini), shared by the
// configuration page and the API's config resource, with the page's texts:
//   - a host text holding a space or a control character, or empty, can
//     name no host (a line break would split its client.ini line);
//   - it must resolve;
//   - its address must not be that of a listed entry: a host name whose
//     address is listed in another written form is a duplicate. An entry
//     that does not resolve is compared as written.
// Hosts are stored as typed, not as resolved. The lookups run without any
// lock held.
#include <optional>
#include <string>
#include <vector>

namespace orla {

class TrapHostCheck {
 public:
  static constexpr const char* kBadName = "Bad name entered.";
  static constexpr const char* kUnverified = "Unable to verify client address.";
  static constexpr const char* kDuplicate =
      "The specified host is already in the list of clients.  Please enter a unique host.";

  // Why `typed` may not join the entries `listed` (as written), or null.
  static const char* Check(const std::string& typed, const std::vector<std::string>& listed);

  // The whole list `wanted` replacing `current`: an entry of `current`
  // given again as written is kept as it is (as often as it is listed);
  // every other entry is checked as Check does against all the others of
  // `wanted`. The first refusal, naming its host, or none.
  struct Refusal {
    const char* text;
    std::string host;
  };
  static std::optional<Refusal> CheckList(const std::vector<std::string>& wanted,
                                          const std::vector<std::string>& current);

  // The audit texts of a change.
  static std::string AddedText(const std::string& host) { return "added the trap destination " + host; }
  static std::string RemovedText(const std::string& host) { return "removed the trap destination " + host; }
};

}  // namespace orla
