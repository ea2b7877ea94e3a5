#include "agent_objects.h"

#include <atomic>
#include <mutex>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent/traps/notification_sender.h"
#include "agent/traps/trap_destination_list.h"

namespace orla {

ElementRegistry* AgentObjects::FindRegistry() { return ElementRegistry::Instance(); }

ElementRegistry& AgentObjects::Registry() {
  ElementRegistry* registry = FindRegistry();
  if (registry == nullptr) throw new OrlaException(kErrNoSuchObject, 0, kMsgNoSuchObject);
  return *registry;
}

TrapDestinationList& AgentObjects::TrapDestinations() {
  TrapDestinationList* list = TrapDestinationList::Instance();
  if (list == nullptr) throw new OrlaException(kErrNoSuchObject, 0, kMsgNoSuchObject);
  return *list;
}

NotificationSender& AgentObjects::Notifications() {
  NotificationSender* sender = NotificationSender::Instance();
  if (sender == nullptr) throw new OrlaException(kErrNoSuchObject, 0, kMsgNoSuchObject);
  return *sender;
}

namespace {

std::atomic<uint32_t> webServer{0};
std::atomic<ChangeFeed*> changeFeed{nullptr};
std::mutex webDataLock;
std::string& WebData() {
  static std::string* const path = new std::string();  // never destroyed: pages may run while the process ends
  return *path;
}
std::atomic<AlarmBook*> alarmBook{nullptr};

}  // namespace

ChangeFeed* AgentObjects::Changes() { return changeFeed.load(); }

void AgentObjects::SetChangeFeed(ChangeFeed* changes) { changeFeed.store(changes); }

AlarmBook* AgentObjects::Alarms() { return alarmBook.load(); }

void AgentObjects::SetAlarmBook(AlarmBook* alarms) { alarmBook.store(alarms); }

uint32_t AgentObjects::WebServer() { return webServer.load(); }

uint32_t AgentObjects::SetWebServer(uint32_t handle) { return webServer.exchange(handle); }

std::string AgentObjects::WebDataDirectory() {
  std::lock_guard<std::mutex> hold(webDataLock);
  return WebData();
}

void AgentObjects::SetWebDataDirectory(const std::string& path) {
  std::lock_guard<std::mutex> hold(webDataLock);
  WebData() = path;
}

}  // namespace orla
