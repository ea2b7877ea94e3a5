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
#include "agent/devices/element_directory.h"
#include "element_poller.h"
#include "element_state.h"
#include "platform/sync/parallel_runner.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/devices/status_change_listener.h"
#include "agent/snmp/trap_message.h"
#include "element_file.h"
#include "element_binder.h"
#include "platform/text/string_printf.h"
#include "platform/net/ipv4_text.h"

namespace orla {

std::atomic<ElementRegistry*> ElementRegistry::instance_{nullptr};

static_assert(ElementRegistry::kElementLineLimit == ElementFileReader::kLineLimit);

namespace {

using Guard = std::lock_guard<Lock>;

// A field of the list string: never empty, since the pages split the string
// with a tokenizer that merges adjacent separators.
const char* ListField(const std::string& text) { return text.empty() ? " " : text.c_str(); }

// Opens the update-all gate again however a pass ends.
class PassGate {
 public:
  PassGate(ManualResetEvent& gate, std::atomic<std::thread::id>& owner) : gate_(gate), owner_(owner) {
    owner_.store(std::this_thread::get_id());
    gate_.Reset();
  }
  ~PassGate() {
    owner_.store(std::thread::id());
    gate_.Set();
  }
  PassGate(const PassGate&) = delete;
  PassGate& operator=(const PassGate&) = delete;

 private:
  ManualResetEvent& gate_;
  std::atomic<std::thread::id>& owner_;
};

}  // namespace

class ElementRegistry::BinderOwner final : public ElementBinder::Owner {
 public:
  explicit BinderOwner(ElementRegistry& registry) : registry_(registry) {}
  StatusChangeListener* Listener() const override { return registry_.listener_.load(); }
  Clock* ElementClock() const override { return registry_.clock_; }
  bool LoadEnded() const override { return registry_.loaded_.load(); }
  int32_t PollingInterval() const override { return registry_.pollingInterval_.load(); }
  void Discard(std::unique_ptr<Element>& element) override { registry_.Discard(element); }
  void StopRewrites() override { registry_.file_->StopRewrites(ENOMEM); }
  void BindLater(const std::shared_ptr<ElementState>& state) override { registry_.BindLater(state); }

 private:
  ElementRegistry& registry_;
};

ElementRegistry::ElementRegistry(std::string elementFilePath, int32_t pollingInterval)
    : file_(std::make_unique<ElementFile>(std::move(elementFilePath))),
      binderOwner_(std::make_unique<BinderOwner>(*this)),
      binder_(std::make_unique<ElementBinder>(*binderOwner_)),
      pollingInterval_(pollingInterval),
      directory_(std::make_shared<const ElementDirectory>(std::vector<ElementDirectory::Entry>())) {}

ElementRegistry::~ElementRegistry() {
  {
    Guard hold(lock_);
    // Logged by its constructor; nothing else can be done at this point.
    OrlaException::Discard([&] {
      // A registry that never finished loading holds only part of the file
      // (or nothing of it): saving that would lose the elements not read.
      if (loaded_.load() && file_->Writable()) SaveElements();
    });
    while (elements_.Count() > 0) {
      Retire(At(0));
      elements_.Remove(0);
    }
    elementCount_.store(0);
    PublishDirectory();
  }
  // A poll still running may report its change: the registry answers until
  // every polling thread has ended.
  ReapRetired(true);
  ElementRegistry* self = this;
  instance_.compare_exchange_strong(self, nullptr);
}

ElementRegistry* ElementRegistry::Instance() { return instance_.load(); }

void ElementRegistry::SetInstance(ElementRegistry* registry) { instance_.store(registry); }

void ElementRegistry::SetStatusChangeListener(StatusChangeListener* listener) {
  Guard hold(lock_);
  listener_.store(listener);
  for (int32_t i = 0; i < elements_.Count(); ++i) At(i)->State()->SetListener(listener);
}

Element* ElementRegistry::At(int32_t index) const { return static_cast<Element*>(elements_.Get(index)); }

Element* ElementRegistry::FindByName(const std::string& name) const {
  for (int32_t i = 0; i < elements_.Count(); ++i) {
    if (At(i)->State()->HasName(name)) return At(i);
  }
  return nullptr;
}

Element* ElementRegistry::FindByAddress(const std::string& address) const {
  for (int32_t i = 0; i < elements_.Count(); ++i) {
    if (At(i)->Address() == address) return At(i);
  }
  return nullptr;
}

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

void ElementRegistry::Retire(Element* element) {
  std::unique_ptr<ElementPoller> poller = element->TakePoller();
  if (poller == nullptr) return;
  std::lock_guard<std::mutex> hold(retiredMutex_);
  retired_.push_back(std::move(poller));
}

void ElementRegistry::ReapRetired(bool all) {
  std::vector<std::unique_ptr<ElementPoller>> done;
  {
    std::lock_guard<std::mutex> hold(retiredMutex_);
    for (auto it = retired_.begin(); it != retired_.end();) {
      if (all || (*it)->Finished()) {
        done.push_back(std::move(*it));
        it = retired_.erase(it);
      } else {
        ++it;
      }
    }
  }
  // Joins here: a finished thread at once, or (all) a poll's remaining time.
  done.clear();
}

void ElementRegistry::ReportChange(const std::string& name, int32_t status) {
  StatusChangeListener* listener = listener_.load();
  if (listener != nullptr) listener->NotifyStatusChange(name.c_str(), status);
}

void ElementRegistry::LoadElements() {
  Guard hold(lock_);
  std::vector<ElementFile::Line> lines;
  // No file (a first start, or one that cannot be opened): nothing to load,
  // and no status pass either.
  if (file_->Read(&lines)) {
    LoadLines(lines);
    UpdateAllStatus();
  }
  loaded_.store(true);
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
      Discard(element);
      continue;
    }
    try {
      if (element == nullptr) {
        element = binder_->KeepUnbound(name, address, interval, failures[i]);
        if (element == nullptr) continue;
      }
      elements_.Append(element.get());
      element.release();
      names.insert(name);
      addresses.insert(address);
    } catch (const std::bad_alloc&) {
      // No room in the list: the element is not loaded.
      Discard(element);
    }
  }
  elementCount_.store(elements_.Count());
  PublishDirectory();
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
      Discard(bound);
      return;
    }
    Element* unbound = At(index);
    if (bound == nullptr) {
      // Still unbound. Said once at load; said again only when the reason
      // changes (a silent device now answers but is not recognised).
      const std::string reason = ElementBinder::UnboundReason(failure.code, failure.message);
      if (failure.code != unbound->UnboundCode() || reason != unbound->Description()) {
        unbound->SetUnboundReason(failure.code, reason);
        PublishDirectory();
        binder_->ReportUnbound(unbound->State()->Name(), unbound->Address(), failure);
      }
      return;
    }
    // Renamed or given a new interval meanwhile: the bound element takes
    // over what the unbound one has now.
    bound->State()->SetName(unbound->State()->Name());
    bound->State()->SetPollingInterval(unbound->State()->PollingInterval());
    // Its thread is this very thread: it ends once this retry returns.
    Retire(unbound);
    delete elements_.Exchange(index, bound.get());
    Element* element = bound.release();
    PublishDirectory();
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

void ElementRegistry::Discard(std::unique_ptr<Element>& element) {
  if (!element) return;
  try {
    // Its polling thread is joined later, outside the registry lock.
    Retire(element.get());
  } catch (const std::bad_alloc&) {
    // No room among the retired: the element's destructor joins the thread,
    // which is still in its first wait and ends at once.
  }
  element.reset();
}

void ElementRegistry::AddElement(const std::string& name, const std::string& address,
                                 int32_t pollingInterval) try {
  ReapRetired(false);
  Guard hold(lock_);
  if (pollingInterval == kRegistryInterval) pollingInterval = pollingInterval_.load();
  file_->CheckWritable();
  if (FindByName(name) != nullptr) throw new OrlaException(kErrNameInUse, 0, kMsgDeviceNameInUse);
  if (FindByAddress(address) != nullptr) throw new OrlaException(kErrAlreadyManaged, 0, kMsgAlreadyManaged);

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
  try {
    elements_.Append(element.get());
  } catch (...) {
    // Not in the list: not leaked with its running thread either.
    Discard(element);
    throw;
  }
  element.release();
  try {
    PublishDirectory();
  } catch (...) {
    // The element list and the directory the trap handling reads must
    // agree: the element goes again.
    const int32_t last = elements_.Count() - 1;
    try {
      Retire(At(last));
    } catch (const std::bad_alloc&) {
      // Its destructor joins the thread, still in its first wait.
    }
    elements_.Remove(last);
    throw;
  }
  elementCount_.store(elements_.Count());
  if (loaded_.load()) SaveElements();

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

void ElementRegistry::RemoveElement(const std::string& name) {
  ReapRetired(false);
  Guard hold(lock_);
  const int32_t index = IndexByName(name);
  if (index < 0) throw new OrlaException(kErrNoSuchObject, 0, kMsgNoSuchObject);
  file_->CheckWritable();
  Element* element = At(index);
  const std::string removedName = element->State()->Name();
  const int32_t status = element->State()->Status();
  Retire(element);
  elements_.Remove(index);
  elementCount_.store(elements_.Count());
  PublishDirectory();

  // The element stays removed even when the file cannot be written; the
  // removal is reported either way.
  OrlaException* saveError = nullptr;
  try {
    SaveElements();
  } catch (OrlaException* e) {
    saveError = e;
  }
  try {
    ReportChange(removedName, status);
  } catch (OrlaException*) {
    delete saveError;
    throw;
  }
  if (saveError != nullptr) throw saveError;
}

void ElementRegistry::RenameElement(const std::string& currentName, const std::string& newName) {
  Guard hold(lock_);
  if (FindByName(newName) != nullptr) throw new OrlaException(kErrNameInUse, 0, kMsgNameInUse);
  Element* element = FindByName(currentName);
  if (element == nullptr) throw new OrlaException(kErrNoSuchObject, 0, kMsgNoSuchObject);
  file_->CheckWritable();
  element->State()->SetName(newName);
  PublishDirectory();
  SaveElements();
}

std::string ElementRegistry::ListElements(bool refresh) {
  // The refresh comes before the lock: a list asked for while another
  // caller's pass runs waits for that pass and uses its results, instead of
  // queueing on the lock and then running a pass of its own.
  if (refresh) UpdateAllStatus();
  Guard hold(lock_);
  if (elements_.Count() == 0) return " ";
  try {
    std::string list;
    list.reserve(static_cast<size_t>(elements_.Count()) * 200 + 16);
    for (int32_t i = 0; i < elements_.Count(); ++i) {
      const Element* element = At(i);
      const std::string name = element->State()->Name();
      // Records are joined by "|": the string grows as needed, so no device
      // text can overrun it.
      if (i > 0) list += '|';
      list += StringPrintf("%d|%s|%s|%s|%s|%s", element->State()->Status(), ListField(name), ListField(element->Address()),
                           ListField(element->Description()), ListField(element->DevicePageLink()),
                           ListField(element->AgentPageUrl()));
    }
    return list;
  } catch (const std::bad_alloc&) {
    throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
  }
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
  const std::shared_ptr<const ElementDirectory> directory = Directory();
  const ElementDirectory::Entry* entry = directory != nullptr ? directory->Find(address) : nullptr;
  // A removed element's state is retired: it is not polled any more.
  if (entry != nullptr && entry->state != nullptr) entry->state->ReportChange(entry->state->Poll(true));
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
      if (updates[i].polled && !states[i]->ClassCodesKnown() &&
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

void ElementRegistry::PublishDirectory() {
  std::vector<ElementDirectory::Entry> entries;
  entries.reserve(static_cast<size_t>(elements_.Count()));
  for (int32_t i = 0; i < elements_.Count(); ++i) {
    const Element* element = At(i);
    entries.push_back(ElementDirectory::Entry{element->State()->Name(), element->Address(), element->WorldWideName(),
                                              element->Description(), element->FirmwareVersion(),
                                              element->GetCommunity(), element->SetCommunity(), element->State()});
  }
  auto directory = std::make_shared<const ElementDirectory>(std::move(entries));
  std::lock_guard<std::mutex> hold(directoryMutex_);
  directory_ = std::move(directory);
}

std::shared_ptr<const ElementDirectory> ElementRegistry::Directory() const {
  std::lock_guard<std::mutex> hold(directoryMutex_);
  return directory_;
}

std::vector<ElementActivity> ElementRegistry::Activity() const {
  const std::shared_ptr<const ElementDirectory> directory = Directory();
  std::vector<ElementActivity> out;
  if (directory == nullptr) return out;
  out.reserve(directory->Size());
  for (const ElementDirectory::Entry& entry : directory->Entries()) {
    ElementActivity activity;
    activity.name = entry.name;
    activity.address = entry.address;
    activity.description = entry.description;
    activity.status = entry.state->Status();
    activity.reason = entry.state->StatusReason();
    activity.stale = entry.state->Stale();
    activity.statusSinceMs = entry.state->StatusSinceMs();
    activity.lastAnsweredMs = entry.state->LastAnsweredMs();
    activity.answeredLastPoll = entry.state->AnsweredLastPoll();
    out.push_back(std::move(activity));
  }
  return out;
}

char ElementRegistry::OverallStatus() {
  // Under the lock, so that the answer is ordered like the changes; the
  // directory holds every element of the list (it is made anew under the
  // lock after each change) and their live statuses.
  Guard hold(lock_);
  return Directory()->OverallStatus();
}

void ElementRegistry::WithOverallStatus(const std::function<void(char)>& use) {
  Guard hold(lock_);
  use(OverallStatus());
}

void ElementRegistry::ConfigureTrapReceiver(const std::string& name) {
  Guard hold(lock_);
  Element* element = FindByName(name);
  if (element == nullptr) throw new OrlaException(kErrNoSuchObject, 0, kMsgNoSuchObject);
  if (!element->IsBound()) {
    // No plug-in to ask: the device is silent or not recognised.
    if (ElementBinder::UnboundReason(element->UnboundCode()) == ElementBinder::UnboundReason(kErrNoResponse)) {
      throw new OrlaException(kErrNoResponse, 0, kMsgNoResponse);
    }
    throw new OrlaException(kErrUnsupported, 0, kMsgUnsupported);
  }
  element->SetTrapReceiver();
}

bool ElementRegistry::IsManaged(const std::string& address) {
  // The trap listener asks for every trap: it must not wait for a pass.
  return Directory()->Find(address) != nullptr;
}

void ElementRegistry::TrapArrivedFrom(const std::string& address) {
  const std::shared_ptr<const ElementDirectory> directory = Directory();
  const ElementDirectory::Entry* entry = directory->Find(address);
  // A device that sends a trap is back: its element need not wait out its
  // interval to be bound. Anyone can send a trap naming it, so a trap
  // brings the retry forward at most once per trap refresh interval.
  if (entry != nullptr && entry->state->Unbound()) {
    entry->state->WakeForTrap(std::chrono::seconds(AgentSettings::Current().TrapRefreshInterval()));
  }
}

int32_t ElementRegistry::DispatchTrap(TrapMessage* trap, uint8_t* data, char* message) {
  const int32_t* octets = trap != nullptr ? trap->GetAgentAddress() : nullptr;
  if (octets == nullptr) return -1;
  const std::shared_ptr<const ElementDirectory> directory = Directory();
  const ElementDirectory::Entry* entry = directory->Find(Ipv4Text::Dotted(octets));
  return entry != nullptr ? entry->DeliverTrap(trap, data, message) : -1;
}

template <typename Read>
auto ElementRegistry::FieldAt(const std::string& address, Read read) const {
  const std::shared_ptr<const ElementDirectory> directory = Directory();
  const ElementDirectory::Entry* entry = directory->Find(address);
  using Field = decltype(read(*entry));
  return entry == nullptr ? std::optional<Field>() : std::optional<Field>(read(*entry));
}

using Entry = ElementDirectory::Entry;

std::optional<std::string> ElementRegistry::DescriptionAt(const std::string& address) const {
  return FieldAt(address, [](const Entry& entry) { return entry.description; });
}

std::optional<std::string> ElementRegistry::FirmwareVersionAt(const std::string& address) const {
  return FieldAt(address, [](const Entry& entry) { return entry.firmwareVersion; });
}

std::optional<std::string> ElementRegistry::GetCommunityAt(const std::string& address) const {
  return FieldAt(address, [](const Entry& entry) { return entry.getCommunity; });
}

std::optional<std::string> ElementRegistry::SetCommunityAt(const std::string& address) const {
  return FieldAt(address, [](const Entry& entry) { return entry.setCommunity; });
}

std::optional<std::string> ElementRegistry::NameAt(const std::string& address) const {
  return FieldAt(address, [](const Entry& entry) { return entry.name; });
}

std::optional<std::string> ElementRegistry::WorldWideNameAt(const std::string& address) const {
  return FieldAt(address, [](const Entry& entry) { return entry.worldWideName; });
}

int32_t ElementRegistry::MajorClassCodeAt(const std::string& address) const {
  return FieldAt(address, [](const Entry& entry) {
           int32_t major = -1, minor = -1;
           entry.ClassCodes(&major, &minor);
           return major;
         }).value_or(-1);
}

int32_t ElementRegistry::MinorClassCodeAt(const std::string& address) const {
  return FieldAt(address, [](const Entry& entry) {
           int32_t major = -1, minor = -1;
           entry.ClassCodes(&major, &minor);
           return minor;
         }).value_or(-1);
}

void ElementRegistry::SetPollingInterval(int32_t seconds) {
  Guard hold(lock_);
  pollingInterval_.store(seconds);
  for (int32_t i = 0; i < elements_.Count(); ++i) At(i)->State()->SetPollingInterval(seconds);
  file_->SavePollingInterval(seconds);
}

}  // namespace orla
