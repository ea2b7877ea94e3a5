#include "agent/traps/trap_destination_list.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <mutex>

#include "agent/core/agent_layout.h"
#include "agent/core/event_log.h"
#include "agent/core/lock.h"
#include "agent/traps/trap_destination.h"
#include "platform/text/atomic_file.h"
#include "platform/text/regular_file.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

// The one lock of the destination list, constructed before main and shared
// by every list object of the process.
Lock destinationLock;

}  // namespace

std::atomic<TrapDestinationList*> TrapDestinationList::instance_{nullptr};

TrapDestinationList::TrapDestinationList(const std::string& agentDirectory)
    : path_(AgentLayout::FileIn(agentDirectory, AgentLayout::kTrapDestinationFileName)) {}

TrapDestinationList* TrapDestinationList::Instance() { return instance_.load(std::memory_order_acquire); }

void TrapDestinationList::SetInstance(TrapDestinationList* list) {
  instance_.store(list, std::memory_order_release);
}

void TrapDestinationList::Load() {
  std::string content;
  if (RegularFile::Read(path_, &content) != 0) return;
  std::istringstream file(content);
  // Each line is read whole, however long it is: a host name is one entry.
  std::string line;
  while (std::getline(file, line)) {
    // The text ends at the first carriage return or line feed (or a zero
    // byte, which no C text can carry).
    std::string text = line;
    const size_t end = text.find_first_of(std::string("\r\n\0", 3));
    if (end != std::string::npos) text.resize(end);
    std::lock_guard<Lock> guard(destinationLock);
    if (text.empty() || text[0] == '#' || text[0] == '!') {
      // Kept as it stands in the file, a carriage return included.
      layout_.emplace_back(std::move(line));
      continue;
    }
    layout_.emplace_back(std::nullopt);
    entries_.Append(new TrapDestination(text.c_str()));
  }
}

void TrapDestinationList::Append(const char* text) {
  entries_.Append(new TrapDestination(text));
  ++revision_;
}

void TrapDestinationList::Add(const char* text) {
  std::lock_guard<Lock> guard(destinationLock);
  Append(text);
  Rewrite();
}

bool TrapDestinationList::AddIfUnchanged(const char* text, uint64_t revision) {
  std::lock_guard<Lock> guard(destinationLock);
  if (revision != revision_) return false;
  Append(text);
  Rewrite();
  return true;
}

void TrapDestinationList::Remove(const char* text) {
  std::lock_guard<Lock> guard(destinationLock);
  const char* wanted = text != nullptr ? text : "";
  for (int32_t i = 0; i < entries_.Count(); ++i) {
    auto* entry = static_cast<TrapDestination*>(entries_.Get(i));
    if (std::strcmp(entry->Text(), wanted) == 0) {
      entries_.Remove(i);
      ForgetPlace(i);
      ++revision_;
      break;
    }
  }
  Rewrite();
}

void TrapDestinationList::ForgetPlace(int32_t index) {
  int32_t seen = 0;
  for (auto place = layout_.begin(); place != layout_.end(); ++place) {
    if (place->has_value()) continue;
    if (seen++ == index) {
      layout_.erase(place);
      return;
    }
  }
}

ObjectList* TrapDestinationList::Copy(uint64_t* revision) {
  auto* copy = new ObjectList();
  try {
    std::lock_guard<Lock> guard(destinationLock);
    if (revision != nullptr) *revision = revision_;
    for (int32_t i = 0; i < entries_.Count(); ++i) {
      copy->Append(new TrapDestination(static_cast<TrapDestination*>(entries_.Get(i))->Text()));
    }
  } catch (...) {
    delete copy;
    throw;
  }
  return copy;
}

std::vector<std::string> TrapDestinationList::TextsLocked() const {
  std::vector<std::string> texts;
  texts.reserve(static_cast<size_t>(entries_.Count()));
  for (int32_t i = 0; i < entries_.Count(); ++i) {
    texts.emplace_back(static_cast<const TrapDestination*>(entries_.Get(i))->Text());
  }
  return texts;
}

std::vector<std::string> TrapDestinationList::Texts(uint64_t* revision) {
  std::lock_guard<Lock> guard(destinationLock);
  if (revision != nullptr) *revision = revision_;
  return TextsLocked();
}

std::string TrapDestinationList::Contents(const std::vector<std::optional<std::string>>& layout,
                                          const std::vector<std::string>& texts) {
  const auto entryLine = [&texts](size_t i) { return StringPrintf("%s\n", texts[i].c_str()); };
  std::string contents;
  size_t next = 0;
  for (const std::optional<std::string>& place : layout) {
    if (place.has_value()) {
      contents += *place + "\n";
    } else if (next < texts.size()) {
      contents += entryLine(next++);
    }
  }
  while (next < texts.size()) contents += entryLine(next++);
  return contents;
}

int TrapDestinationList::ReplaceIfUnchanged(const std::vector<std::string>& texts, uint64_t revision) {
  std::lock_guard<Lock> guard(destinationLock);
  if (revision != revision_) return -1;
  // The places in the file of the entries that go are dropped; the entries
  // fill the places left in the order given, and those beyond them follow
  // the file's last line, as Add and Remove would have left them.
  const std::vector<std::string> old = TextsLocked();
  std::vector<bool> stays(old.size(), false);
  for (const std::string& text : texts) {
    for (size_t i = 0; i < old.size(); ++i) {
      if (!stays[i] && old[i] == text) {
        stays[i] = true;
        break;
      }
    }
  }
  std::vector<std::optional<std::string>> layout;
  size_t index = 0;
  for (const std::optional<std::string>& place : layout_) {
    if (place.has_value()) {
      layout.push_back(place);
    } else if (index < old.size() && stays[index++]) {
      layout.emplace_back(std::nullopt);
    }
  }
  const int error = AtomicFile::WritePrivate(path_, Contents(layout, texts));
  if (error != 0) return error;
  while (entries_.Count() > 0) entries_.Remove(entries_.Count() - 1);
  for (const std::string& text : texts) entries_.Append(new TrapDestination(text.c_str()));
  layout_ = std::move(layout);
  ++revision_;
  return 0;
}

void TrapDestinationList::Rewrite() {
  const int error = AtomicFile::WritePrivate(path_, Contents(layout_, TextsLocked()));
  if (error != 0) {
    char buffer[256];
    const char* reason = strerror_r(error, buffer, sizeof buffer);
    EventLog::Write(EventLog::kCritical,
                    StringPrintf("Unable to open file %s - %s.", path_.c_str(), reason));
  }
}

}  // namespace orla
