#include "trap_host_check.h"

#include <algorithm>

#include "web_page.h"

namespace orla {

namespace {

bool IsBadHostText(const std::string& text) {
  if (text.empty()) return true;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == ' ' || byte < 0x20 || byte == 0x7f) return true;
  }
  return false;
}

// The entry's address, or the entry as written when it does not resolve.
std::string Compared(const std::string& entry) {
  std::string resolved = entry;
  WebPage::ResolveAddress(&resolved);
  return resolved;
}

}  // namespace

const char* TrapHostCheck::Check(const std::string& typed, const std::vector<std::string>& listed) {
  if (IsBadHostText(typed)) return kBadName;
  std::string resolved = typed;
  if (!WebPage::ResolveAddress(&resolved)) return kUnverified;
  for (const std::string& entry : listed) {
    if (Compared(entry) == resolved) return kDuplicate;
  }
  return nullptr;
}

std::optional<TrapHostCheck::Refusal> TrapHostCheck::CheckList(const std::vector<std::string>& wanted,
                                                               const std::vector<std::string>& current) {
  std::vector<std::string> kept = current;
  for (size_t i = 0; i < wanted.size(); ++i) {
    const auto listed = std::find(kept.begin(), kept.end(), wanted[i]);
    if (listed != kept.end()) {
      kept.erase(listed);
      continue;
    }
    std::vector<std::string> others = wanted;
    others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
    if (const char* refused = Check(wanted[i], others)) return Refusal{refused, wanted[i]};
  }
  return std::nullopt;
}

}  // namespace orla
