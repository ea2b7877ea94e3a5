#include "notification_target_change.h"

#include <mutex>

#include "agent/core/snmp_v3_credential_store.h"
#include "agent/traps/notification_sender.h"
#include "agent_objects.h"

namespace orla {

namespace {

// One change at a time: each reads the file, changes it and writes it back.
std::mutex changing;

constexpr NotificationTargetList::Kind kKinds[] = {
    NotificationTargetList::Kind::kV2cTrap, NotificationTargetList::Kind::kV2cInform,
    NotificationTargetList::Kind::kV3Trap, NotificationTargetList::Kind::kV3Inform};

const std::string& TargetFile() { return AgentObjects::Notifications().TargetFile(); }

NotificationTargetChange::Result Refused(std::string text, const char* field) {
  NotificationTargetChange::Result result;
  result.outcome = NotificationTargetChange::Outcome::kRefused;
  result.text = std::move(text);
  result.field = field;
  return result;
}

NotificationTargetChange::Result Failed(std::string text) {
  NotificationTargetChange::Result result;
  result.outcome = NotificationTargetChange::Outcome::kFailed;
  result.text = std::move(text);
  return result;
}

// Which field a target the list refuses has at fault: the credential when
// the same target with a plain one would be taken.
const char* FaultOf(NotificationTargetList::Target target) {
  target.credential = "public";
  NotificationTargetList scratch;
  std::string ignored;
  return scratch.Put(target, &ignored) ? "credential" : "target";
}

}  // namespace

bool NotificationTargetChange::Load(NotificationTargetList* list, std::string* error) {
  return list->Load(TargetFile(), error);
}

NotificationTargetChange::Result NotificationTargetChange::Set(const std::string& name, const std::string& kind,
                                                               const std::string& credential) {
  std::lock_guard<std::mutex> hold(changing);
  NotificationTargetList list;
  std::string error;
  if (!Load(&list, &error)) return Failed(error);
  NotificationTargetList::Target target;
  target.credential = credential;
  bool known = false;
  for (const auto k : kKinds) {
    if (kind == NotificationTargetList::KindName(k)) {
      target.kind = k;
      known = true;
    }
  }
  if (!known) return Refused(kUnexpected, "kind");
  if (!NotificationTargetList::ParseName(name, &target.host, &target.port, &error)) {
    return Refused("The target was not added: " + error + ".", "target");
  }
  bool listed = false;
  for (const NotificationTargetList::Target& t : list.Targets()) {
    listed = listed || NotificationTargetList::Name(t) == NotificationTargetList::Name(target);
  }
  if (!list.Put(target, &error)) return Refused("The target was not added: " + error + ".", FaultOf(target));
  if (NotificationTargetList::IsV3(target.kind) &&
      SnmpV3CredentialStore::Instance().Current()->Find(target.credential) == nullptr) {
    return Refused("The target was not added: there is no SNMPv3 profile \"" + target.credential + "\".",
                   "credential");
  }
  if (!list.Save(TargetFile(), &error)) return Failed(error);
  Result result;
  result.what = "set the notification target " + NotificationTargetList::Name(target) + " (" + kind + ")";
  result.replaced = listed;
  result.target = target;
  return result;
}

NotificationTargetChange::Result NotificationTargetChange::Remove(const std::string& name) {
  std::lock_guard<std::mutex> hold(changing);
  NotificationTargetList list;
  std::string error;
  if (!Load(&list, &error)) return Failed(error);
  if (!list.Remove(name)) {
    Result result;
    result.outcome = Outcome::kNotFound;
    result.text = name + " is not a notification target.";
    return result;
  }
  if (!list.Save(TargetFile(), &error)) return Failed(error);
  Result result;
  result.what = "removed the notification target " + name;
  return result;
}

}  // namespace orla
