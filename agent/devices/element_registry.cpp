#include "agent/devices/element_registry.h"

#include <cerrno>
#include <new>
#include <unordered_set>

#include "agent/core/agent_settings.h"
#include "agent/core/error_codes.h"
#include "agent/core/event_log.h"
#include "agent/core/orla_exception.h"
#include "agent/core/timed_attempt.h"
#include "agent/devices/poll_statistics.h"
#include "element.h"
#include "element_state.h"
#include "pass_gate.h"
#include "platform/sync/parallel_runner.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/devices/status_change_listener.h"
#include "element_file.h"
#include "element_binder.h"
#include "element_publisher.h"
#include "retired_pollers.h"
#include "trap_condition_book.h"
#include "platform/text/string_printf.h"

namespace orla {

std::atomic<ElementRegistry*> ElementRegistry::instance_{nullptr};

static_assert(ElementRegistry::kElementLineLimit == ElementFileReader::kLineLimit);

namespace {

using Guard = std::lock_guard<Lock>;

}  // namespace

ElementRegistry::ElementRegistry(std::string elementFilePath, int32_t pollingInterval)
    : file_(std::make_unique<ElementFile>(std::move(elementFilePath))),
      publisher_(std::make_unique<ElementPublisher>()),
      retired_(std::make_unique<RetiredPollers>()),
      binder_(std::make_unique<ElementBinder>(*publisher_, *retired_,
                                              [this](const std::shared_ptr<ElementState>& state) { BindLater(state); })),
      pollingInterval_(pollingInterval) {}

ElementRegistry::~ElementRegistry() {
  {
    Guard hold(lock_);
    // Logged by its constructor; nothing else can be done at this point.
    OrlaException::Discard([&] {
      // A registry that never finished loading holds only part of the file
      // (or nothing of it): saving that would lose the elements not read.
      if (IsLoaded() && file_->Writable()) SaveElements();
    });
    while (elements_.Count() > 0) {
      retired_->Retire(At(0));
      elements_.Remove(0);
    }
    elementCount_.store(0);
    PublishSnapshot();
  }
  // A poll still running may report its change: the publisher answers
  // until every polling thread has ended.
  retired_->Reap(true);
  ElementRegistry* self = this;
  instance_.compare_exchange_strong(self, nullptr);
}

ElementRegistry* ElementRegistry::Instance() { return instance_.load(); }

void ElementRegistry::SetInstance(ElementRegistry* registry) { instance_.store(registry); }

void ElementRegistry::SetStatusChangeListener(StatusChangeListener* listener) { publisher_->SetListener(listener); }

void ElementRegistry::SetSampleListener(SampleListener* listener) { publisher_->SetSampleListener(listener); }

void ElementRegistry::SetTrapConditionFile(const std::string& path) {
  trapConditions_ = std::make_unique<TrapConditionBook>(path, clock_);
  publisher_->SetTrapConditionBook(trapConditions_.get());
}

void ElementRegistry::SetClock(Clock* clock) {
  clock_ = clock;
  binder_->SetClock(clock);
}

bool ElementRegistry::IsLoaded() const { return publisher_->Loaded(); }

Element* ElementRegistry::At(int32_t index) const { return static_cast<Element*>(elements_.Get(index)); }

int32_t ElementRegistry::IndexByState(const ElementState* state) const {
  for (int32_t i = 0; i < elements_.Count(); ++i) {
    if (At(i)->State().get() == state) return i;
  }
  return -1;
}

int32_t ElementRegistry::IndexByName(const std::string& name) const {
  for (int32_t i = 0; i < elements_.Count(); ++i) {
    if (At(i)->State()->HasName(name)) return i;
  }
  return -1;
}

void ElementRegistry::LoadElements() {
  {
    Guard hold(lock_);
    std::vector<ElementFile::Line> lines;
    // No file (a first start, or one that cannot be opened): nothing to
    // load, and no status pass either.
    if (file_->Read(&lines)) {
      LoadLines(lines);
      UpdateAllStatus();
    }
    publisher_->SetLoaded();
  }
  // Outside the lock (a rewrite): the conditions no element took go.
  if (trapConditions_ != nullptr) {
    std::vector<TrapConditionFile::Key> managed;
    for (const ElementSnapshot::Entry& entry : Snapshot()->Entries()) {
      managed.emplace_back(entry.record.name, entry.record.address);
    }
    trapConditions_->Retain(managed);
  }
}

void ElementRegistry::LoadLines(const std::vector<std::pair<std::string, std::string>>& lines) {
  // Every stored device is recognised and bound at once; the elements then
  // join the list in the file's order, each line checked against the lines
  // before it as if they had been added one after another. A device that
  // cannot be bound is kept unbound: only an operator's remove takes a line
  // out of the file.
  std::vector<std::unique_ptr<Element>> made(lines.size());
  std::vector<ElementBinder::Failure> failures(lines.size());
  const int32_t interval = pollingInterval_.load();
  ParallelRunner::Run(lines.size(), [this, &lines, &made, &failures, interval](size_t i) {
    made[i] = binder_->TryMake(lines[i].first, lines[i].second, interval, &failures[i]);
  });
  std::unordered_set<std::string> names;
  std::unordered_set<std::string> addresses;
  for (int32_t i = 0; i < elements_.Count(); ++i) {
    names.insert(At(i)->State()->Name());
    addresses.insert(At(i)->Address());
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& name = lines[i].first;
    const std::string& address = lines[i].second;
    std::unique_ptr<Element>& element = made[i];
    if (names.count(name) != 0 || addresses.count(address) != 0) {
      // A line that repeats a name or an address cannot be an element of
      // its own; the next save leaves it out.
      EventLog::Write(EventLog::kWarning,
                      StringPrintf("Element %s (%s) of the element file is left out: its %s is already in use.",
                                   name.c_str(), address.c_str(), names.count(name) != 0 ? "name" : "address"));
      retired_->Discard(element);
      continue;
    }
    if (element == nullptr) element = binder_->KeepUnbound(name, address, interval, failures[i]);
    if (element == nullptr) {
      // Not in memory: the file that still holds it is not rewritten.
      file_->StopRewrites(ENOMEM);
      continue;
    }
    if (trapConditions_ != nullptr) element->State()->RestoreTrapConditions(trapConditions_->Standing(name, address));
    try {
      Append(element, false);
      names.insert(name);
      addresses.insert(address);
    } catch (const std::bad_alloc&) {
      // No room in the list: the element is not loaded.
    }
  }
  PublishSnapshot();
}

void ElementRegistry::Append(std::unique_ptr<Element>& element, bool publish) {
  try {
    elements_.Append(element.get());
  } catch (...) {
    // Not in the list: not leaked with its running thread either.
    retired_->Discard(element);
    throw;
  }
  Element* appended = element.release();
  elementCount_.store(elements_.Count());
  if (!publish) return;
  try {
    PublishSnapshot();
  } catch (...) {
    // The list and the snapshot the trap handling reads must agree: the
    // element goes again.
    try {
      retired_->Retire(appended);
    } catch (const std::bad_alloc&) {
      // Its destructor joins the thread, still in its first wait.
    }
    elements_.Remove(elements_.Count() - 1);
    elementCount_.store(elements_.Count());
    throw;
  }
}

void ElementRegistry::BindLater(const std::shared_ptr<ElementState>& state) {
  ElementBinder::Failure failure;
  std::unique_ptr<Element> bound = binder_->TryMake(state->Name(), state->Address(), state->PollingInterval(), &failure);
  std::shared_ptr<ElementState> polled;
  {
    Guard hold(lock_);
    const int32_t index = IndexByState(state.get());
    if (index < 0) {
      // Removed (or the registry destroyed) while the device was asked.
      retired_->Discard(bound);
      return;
    }
    Element* unbound = At(index);
    if (bound == nullptr) {
      // Still unbound. Said once at load; said again only when the reason
      // changes (a silent device now answers but is not recognised).
      const std::string reason = ElementBinder::UnboundReason(failure.code, failure.message);
      if (failure.code != unbound->UnboundCode() || reason != unbound->UnboundReason()) {
        unbound->SetUnboundReason(failure.code, reason);
        PublishSnapshot();
        ElementBinder::ReportUnbound(unbound->State()->Name(), unbound->Address(), state->PollingInterval(), failure);
      }
      return;
    }
    // Renamed or given a new interval meanwhile: the bound element takes
    // over what the unbound one has now.
    bound->State()->SetName(unbound->State()->Name());
    bound->State()->SetPollingInterval(unbound->State()->PollingInterval());
    if (trapConditions_ != nullptr) {
      bound->State()->RestoreTrapConditions(trapConditions_->Standing(bound->State()->Name(), bound->Address()));
    }
    // Its thread is this very thread: it ends once this retry returns.
    retired_->Retire(unbound);
    delete elements_.Exchange(index, bound.get());
    Element* element = bound.release();
    PublishSnapshot();
    EventLog::Write(EventLog::kInfo,
                    StringPrintf("Element %s (%s): the device answers and is recognised as type %s; it is bound and "
                                 "polled.",
                                 element->State()->Name().c_str(), element->Address().c_str(), element->TypeName().c_str()));
    polled = element->State();
  }
  // Its first status, asked now (outside the lock, like any poll) rather
  // than one interval later; a change is reported like any other.
  OrlaException::Discard([&] { polled->ReportChange(polled->Poll(true)); });
}

void ElementRegistry::SaveElements() {
  Guard hold(lock_);
  file_->CheckWritable();
  std::vector<ElementFile::Line> lines;
  lines.reserve(static_cast<size_t>(elements_.Count()));
  for (int32_t i = 0; i < elements_.Count(); ++i) lines.emplace_back(At(i)->State()->Name(), At(i)->Address());
  file_->Save(lines);
}

void ElementRegistry::AddElement(const std::string& name, const std::string& address,
                                 int32_t pollingInterval) try {
  retired_->Reap(false);
  Guard hold(lock_);
  if (pollingInterval == kRegistryInterval) pollingInterval = pollingInterval_.load();
  file_->CheckWritable();
  const std::shared_ptr<const ElementSnapshot> current = Snapshot();
  if (current->FindByName(name) != nullptr) throw new OrlaException(kErrNameInUse, 0, kMsgDeviceNameInUse);
  if (current->Find(address) != nullptr) throw new OrlaException(kErrAlreadyManaged, 0, kMsgAlreadyManaged);

  int32_t answer = 0;
  std::unique_ptr<Element> element;
  if (std::unique_ptr<OrlaException> failed =
          OrlaException::Catch([&] { element = binder_->Make(name, address, pollingInterval, &answer); })) {
    // The failure's own entry does not say which device it was about (an
    // address that does not answer takes the whole time-out): this one does.
    EventLog::Write(EventLog::kWarning, StringPrintf("Element %s (%s) was not added: %s", name.c_str(),
                                                     address.c_str(), failed->Message().c_str()));
    throw failed.release();
  }
  Append(element, true);
  if (IsLoaded()) SaveElements();

  if (answer == plugin::kNoCommunity) throw new OrlaException(kErrNoCommunity, 0, kMsgNoCommunity);
  if (answer == plugin::kTrapsNotSentHere) {
    throw new OrlaException(kErrTrapsNotConfigured, 0, kMsgTrapsNotConfigured);
  }
} catch (const std::bad_alloc&) {
  throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
}

void ElementRegistry::AddElement(const std::string& name, const std::string& address) {
  AddElement(name, address, kRegistryInterval);
}

void ElementRegistry::AddElements(const std::vector<std::pair<std::string, std::string>>& lines) try {
  retired_->Reap(false);
  Guard hold(lock_);
  file_->CheckWritable();
  const std::shared_ptr<const ElementSnapshot> current = Snapshot();
  std::unordered_set<std::string> names;
  std::unordered_set<std::string> addresses;
  for (const auto& [name, address] : lines) {
    if (current->FindByName(name) != nullptr || !names.insert(name).second) {
      throw new OrlaException(kErrNameInUse, 0, kMsgDeviceNameInUse);
    }
    if (current->Find(address) != nullptr || !addresses.insert(address).second) {
      throw new OrlaException(kErrAlreadyManaged, 0, kMsgAlreadyManaged);
    }
  }
  const int32_t interval = pollingInterval_.load();
  std::vector<std::unique_ptr<Element>> made;
  made.reserve(lines.size());
  for (const auto& [name, address] : lines) {
    made.push_back(binder_->KeepPending(name, address, interval));
    if (made.back() == nullptr) {
      for (std::unique_ptr<Element>& element : made) retired_->Discard(element);
      throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
    }
  }
  const int32_t before = elements_.Count();
  std::vector<std::shared_ptr<ElementState>> added;
  try {
    for (std::unique_ptr<Element>& element : made) {
      added.push_back(element->State());
      Append(element, false);
    }
    PublishSnapshot();
    if (IsLoaded()) SaveElements();
  } catch (...) {
    // Whole or not at all: what joined the list goes again.
    while (elements_.Count() > before) {
      retired_->Retire(At(elements_.Count() - 1));
      elements_.Remove(elements_.Count() - 1);
    }
    elementCount_.store(elements_.Count());
    for (std::unique_ptr<Element>& element : made) retired_->Discard(element);
    OrlaException::Discard([&] { PublishSnapshot(); });
    throw;
  }
  for (const std::shared_ptr<ElementState>& state : added) state->Wake();
} catch (const std::bad_alloc&) {
  throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
}

void ElementRegistry::RemoveElement(const std::string& name) {
  retired_->Reap(false);
  Guard hold(lock_);
  const int32_t index = IndexByName(name);
  if (index < 0) throw new OrlaException(kErrNoSuchObject, 0, kMsgNoSuchObject);
  file_->CheckWritable();
  Element* element = At(index);
  StatusChange removal;
  removal.name = element->State()->Name();
  removal.address = element->Address();
  removal.previous = removal.current = element->State()->Status();
  removal.removed = true;
  retired_->Retire(element);
  elements_.Remove(index);
  elementCount_.store(elements_.Count());
  PublishSnapshot();

  // The element stays removed even when the file cannot be written; the
  // removal is reported either way.
  OrlaException* saveError = nullptr;
  try {
    SaveElements();
  } catch (OrlaException* e) {
    saveError = e;
  }
  // Its Retire waited for a trap's hand-over under way: nothing of it comes back.
  if (trapConditions_ != nullptr) trapConditions_->Removed(removal.name, removal.address);
  try {
    publisher_->NotifyStatusChange(removal);
  } catch (OrlaException*) {
    delete saveError;
    throw;
  }
  if (saveError != nullptr) throw saveError;
}

void ElementRegistry::RenameElement(const std::string& currentName, const std::string& newName) {
  Guard hold(lock_);
  if (IndexByName(newName) >= 0) throw new OrlaException(kErrNameInUse, 0, kMsgNameInUse);
  const int32_t index = IndexByName(currentName);
  if (index < 0) throw new OrlaException(kErrNoSuchObject, 0, kMsgNoSuchObject);
  file_->CheckWritable();
  At(index)->State()->SetName(newName);
  if (SampleListener* samples = publisher_->Samples()) samples->ElementRenamed(currentName, newName);
  if (trapConditions_ != nullptr) trapConditions_->Renamed(currentName, newName, At(index)->Address());
  PublishSnapshot();
  SaveElements();
}

std::string ElementRegistry::ListElements(bool refresh) try {
  // A list asked for while another caller's pass runs waits for that pass
  // and uses its results; without a refresh nothing is waited for.
  if (refresh) UpdateAllStatus();
  return Snapshot()->ListString();
} catch (const std::bad_alloc&) {
  throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
}

void ElementRegistry::UpdateAllStatus() {
  if (!updateAllGate_.IsSet()) {
    // A pass runs on another thread (or further up this thread's stack):
    // its results stand.
    if (updateAllOwner_.load() == std::this_thread::get_id()) return;
    updateAllGate_.Wait();
    return;
  }
  const uint64_t asked = passesStarted_.load();
  Guard hold(lock_);
  // A pass began after this call did and has ended (it held the lock): its
  // results are as fresh as a pass of this call's own.
  if (passesStarted_.load() != asked) return;
  PassGate pass(updateAllGate_, updateAllOwner_);
  passesStarted_.fetch_add(1);
  TimedAttempt timed(*Clock::Or(clock_), PollStatistics::Instance().passes, PollStatistics::Instance().passFailures);
  RunStatusPass();
  timed.Done();
}

void ElementRegistry::PollAt(const std::string& address) {
  const std::shared_ptr<const ElementSnapshot> snapshot = Snapshot();
  const ElementSnapshot::Entry* entry = snapshot->Find(address);
  // A removed element's state is retired: it is not polled any more.
  if (entry != nullptr) entry->binding_->ReportChange(entry->binding_->Poll(true));
}

void ElementRegistry::RunStatusPass() {
  const auto count = static_cast<size_t>(elements_.Count());
  std::vector<std::shared_ptr<ElementState>> states;
  states.reserve(count);
  for (size_t i = 0; i < count; ++i) states.push_back(At(static_cast<int32_t>(i))->State());

  // The plug-ins are asked at once. A worker never takes the registry lock
  // (this thread holds it): it may wait only for its element's gate, which
  // a polling thread opens before it reports anything.
  std::vector<ElementState::Update> updates(count);
  ParallelRunner::Run(count, [&states, &updates](size_t i) {
    // Logged by its constructor; the pass goes on with the others.
    OrlaException::Discard([&] {
      updates[i] = states[i]->Poll();
      // Class codes that binding could not read are read once the device
      // answers with a status of its own.
      const int32_t status = updates[i].current;
      if (updates[i].polled && !states[i]->Cell()->ClassCodesKnown() &&
          (status == plugin::kStatusOk || status == plugin::kStatusDegraded || status == plugin::kStatusFailed)) {
        states[i]->ReadClassCodes();
      }
    });
  });

  // Every gate is open again: the changes go out in list order.
  for (size_t i = 0; i < count; ++i) {
    OrlaException::Discard([&] { states[i]->ReportChange(updates[i]); });
  }
}

void ElementRegistry::PublishSnapshot() {
  std::vector<ElementSnapshot::Entry> entries;
  entries.reserve(static_cast<size_t>(elements_.Count()));
  for (int32_t i = 0; i < elements_.Count(); ++i) entries.emplace_back(At(i)->Record(), At(i)->State());
  publisher_->Publish(std::make_shared<const ElementSnapshot>(std::move(entries)));
}

std::shared_ptr<const ElementSnapshot> ElementRegistry::Snapshot() const { return publisher_->Current(); }

char ElementRegistry::OverallStatus() const { return Snapshot()->OverallStatus(); }

void ElementRegistry::ConfigureTrapReceiver(const std::string& name) {
  Guard hold(lock_);
  const int32_t index = IndexByName(name);
  if (index < 0) throw new OrlaException(kErrNoSuchObject, 0, kMsgNoSuchObject);
  Element* element = At(index);
  if (!element->IsBound()) {
    // No plug-in to ask: the device is silent or not recognised.
    if (ElementBinder::UnboundReason(element->UnboundCode()) == ElementBinder::UnboundReason(kErrNoResponse)) {
      throw new OrlaException(kErrNoResponse, 0, kMsgNoResponse);
    }
    throw new OrlaException(kErrUnsupported, 0, kMsgUnsupported);
  }
  element->SetTrapReceiver();
}

bool ElementRegistry::IsManaged(const std::string& address) const {
  // The trap listener asks for every trap: it must not wait for a pass.
  return Snapshot()->Find(address) != nullptr;
}

void ElementRegistry::TrapArrivedFrom(const std::string& address) {
  const std::shared_ptr<const ElementSnapshot> snapshot = Snapshot();
  const ElementSnapshot::Entry* entry = snapshot->Find(address);
  // A device that sends a trap is back: its element need not wait out its
  // interval to be bound. Anyone can send a trap naming it, so a trap
  // brings the retry forward at most once per trap refresh interval.
  if (entry != nullptr && !entry->record.Bound()) {
    entry->binding_->WakeForTrap(std::chrono::seconds(AgentSettings::Current().TrapRefreshInterval()));
  }
}

std::optional<std::string> ElementRegistry::GetCommunityAt(const std::string& address) const {
  const ElementSnapshot::Entry* entry = Snapshot()->Find(address);
  return entry != nullptr ? std::optional<std::string>(entry->record.getCommunity) : std::nullopt;
}

std::optional<std::string> ElementRegistry::SetCommunityAt(const std::string& address) const {
  const ElementSnapshot::Entry* entry = Snapshot()->Find(address);
  return entry != nullptr ? std::optional<std::string>(entry->record.setCommunity) : std::nullopt;
}

void ElementRegistry::SetPollingInterval(int32_t seconds) {
  Guard hold(lock_);
  pollingInterval_.store(seconds);
  for (int32_t i = 0; i < elements_.Count(); ++i) At(i)->State()->SetPollingInterval(seconds);
  file_->SavePollingInterval(seconds);
}

}  // namespace orla
