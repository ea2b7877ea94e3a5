#include "component_catalogue.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/setupkit/file_search.h"
#include "description_tokenizer.h"

namespace orla {

namespace {

// The leading decimal integer of `text` (after blanks, with an optional
// sign), 0 when there is none; values beyond 32 bits are clamped.
int32_t LeadingInteger(const std::string& text) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  int64_t value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (value <= static_cast<int64_t>(INT32_MAX) + 1) value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// Position of the first component with `id`, or list size.
size_t Find(const ComponentList& list, const char* id) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i]->id == id) return i;
  }
  return list.size();
}

void MoveToHead(ComponentList& list, const char* id) {
  const size_t pos = Find(list, id);
  if (pos < list.size()) std::rotate(list.begin(), list.begin() + static_cast<ptrdiff_t>(pos),
                                     list.begin() + static_cast<ptrdiff_t>(pos) + 1);
}

}  // namespace

void ComponentCatalogue::Discover(const std::string& base_directory) {
  DiscoverList(base_directory + kClientFolder, clients_);
  DiscoverList(base_directory + kAgentFolder, agents_);
}

void ComponentCatalogue::DiscoverList(const std::string& folder, ComponentList& list) {
  for (const FileSearch::Entry& entry : FileSearch::List(folder)) {
    if (!entry.is_directory) continue;
    const std::string directory = folder + entry.name;
    const std::string description = directory + kDescriptionFile;
    if (!FileSearch::Exists(description)) continue;
    auto component = std::make_unique<Component>();
    component->directory = directory;
    ReadDescription(*component, description);
    list.push_back(std::move(component));
  }
}

bool ComponentCatalogue::ReadDescription(Component& component, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxDescriptionBytes) return false;
  }
  if (in.bad() || text.empty()) return false;
  ApplyDescription(component, text);
  return true;
}

void ComponentCatalogue::ApplyDescription(Component& component, const std::string& text) {
  DescriptionTokenizer tokens(text);
  while (std::optional<std::string> key = tokens.NextKey()) {
    // The keys are tested in this fixed order; a value that was just taken
    // becomes the token the remaining tests look at.
    std::optional<std::string> current = key;
    if (current && *current == "name") {
      current = tokens.NextValue();
      component.name = current.value_or("");
    }
    if (current && *current == "size") {
      current = tokens.NextValue();
      component.size = current ? LeadingInteger(*current) : 0;
    }
    if (current && *current == "id") {
      current = tokens.NextValue();
      component.id = current.value_or("");
    }
    if (current && (*current == "prerequisites" || *current == "prereqs")) {
      current = tokens.NextValue();
      component.prerequisite = current.value_or("");
    }
    if (current && *current == "version") {
      current = tokens.NextValue();
      component.version = current.value_or("");
    }
    if (current && *current == "regname") {
      current = tokens.NextValue();
      component.registry_name = current.value_or("");
    }
  }
  component.selected = false;
  component.required = false;
}

void ComponentCatalogue::Arrange() {
  MoveToHead(clients_, "C100");

  const size_t c1400 = Find(clients_, "C1400");
  const size_t c400 = Find(clients_, "C400");
  if (c1400 < clients_.size() && c400 < clients_.size() && c1400 < c400) {
    auto first = clients_.begin();
    std::rotate(first + static_cast<ptrdiff_t>(c1400), first + static_cast<ptrdiff_t>(c400),
                first + static_cast<ptrdiff_t>(c400) + 1);
  }

  MoveToHead(agents_, "A100");
}

}  // namespace orla
