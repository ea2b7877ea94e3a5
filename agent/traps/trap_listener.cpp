#include "agent/traps/trap_listener.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <system_error>

#include "agent/core/agent_settings.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/core/snmp_v3_credentials.h"
#include "agent/core/snmp_v3_profile.h"
#include "agent/core/error_codes.h"
#include "agent/core/event_log.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent/snmp/snmp_binding.h"
#include "agent/snmp/snmp_integer.h"
#include "agent/snmp/snmp_ip_address.h"
#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_octet_string.h"
#include "agent/snmp/snmp_v3_usm.h"
#include "agent/snmp/snmp_time_ticks.h"
#include "agent/snmp/trap_message.h"
#include "agent/traps/received_trap_log.h"
#include "agent/traps/trap_statistics.h"
#include "platform/snmpmgr/snmp_mgr.h"
#include "platform/snmpmgr/snmp_mgr_trap.h"
#include "platform/snmpmgr/snmp_mgr_v3.h"
#include "platform/sync/manual_reset_event.h"
#include "platform/text/string_printf.h"
#include "platform/net/ipv4_text.h"

namespace orla {

namespace {

[[noreturn]] void ThrowNoMemory() {
  throw new OrlaException(kErrMemory, static_cast<uint32_t>(errno != 0 ? errno : ENOMEM), kMsgMemory);
}

// Every object of a record is allocated without throwing std::bad_alloc, so
// that a failure is the agent's own 3001, logged like every other.
template <typename T>
T* Allocated(T* object) {
  if (object == nullptr) ThrowNoMemory();
  return object;
}

SnmpObjectId* NewObjectId(const AsnObjectIdentifier& oid) {
  auto* value = Allocated(
      new (std::nothrow) SnmpObjectId(oid.ids, static_cast<int32_t>(oid.ids != nullptr ? oid.idLength : 0)));
  if (!value->IsAllocated()) {
    delete value;
    ThrowNoMemory();
  }
  return value;
}

// What SnmpMgrGetTrap hands out, released on every path.
struct ReceivedTrap {
  AsnObjectIdentifier enterprise{0, nullptr};
  AsnNetworkAddress agentAddress{nullptr, 0, false};
  int32_t genericTrap = 0;
  int32_t specificTrap = 0;
  uint32_t timeStamp = 0;
  SnmpVarBindList bindings{nullptr, 0};
  std::chrono::system_clock::time_point arrival;

  ~ReceivedTrap() {
    SnmpUtilOidFree(&enterprise);
    if (agentAddress.dynamic) SnmpUtilMemFree(agentAddress.stream);
    SnmpUtilVarBindListFree(&bindings);
  }
};

}  // namespace

TrapListener::TrapListener(ElementRegistry* registry, ReceivedTrapLog* log, Clock* clock)
    : registry_(registry),
      log_(log),
      traps_("traps", "traps", kTrapsPerMinute, [](const std::string& text) { EventLog::Write(EventLog::kWarning, text); },
             clock),
      // The passes and polls log their exceptions themselves.
      refresher_([registry] { OrlaException::Discard([registry] { registry->UpdateAllStatus(); }); },
                 [registry](const std::string& address) {
                   OrlaException::Discard([registry, &address] { registry->PollAt(address); });
                 },
                 std::chrono::seconds(AgentSettings::Current().TrapRefreshInterval()), clock) {}

TrapListener::~TrapListener() {
  {
    std::lock_guard<std::mutex> hold(admission_->mutex);
    admission_->registry = nullptr;
  }
  if (!thread_.joinable()) return;
  stopping_.store(true);
  // The routine checks the flag after publishing its event and after every
  // wake-up, so one of the two sides always sees the other.
  if (ManualResetEvent* event = event_.load()) event->Set();
  thread_.join();
}

void TrapListener::Start() {
  if (thread_.joinable()) return;
  try {
    thread_ = std::thread(&TrapListener::Routine, this);
  } catch (const std::system_error& e) {
    throw new OrlaException(kErrThread, static_cast<uint32_t>(e.code().value()), kMsgThread);
  }
}

SnmpBinding* TrapListener::ConvertBinding(const SnmpVarBind& received) {
  std::unique_ptr<SnmpObjectId> name(NewObjectId(received.name));
  std::unique_ptr<SnmpValue> value;
  const AsnAny& v = received.value;
  switch (v.asnType) {
    case ASN_INTEGER:
      value.reset(Allocated(new (std::nothrow) SnmpInteger(v.asnValue.number)));
      break;
    case ASN_OCTETSTRING: {
      auto* text = Allocated(new (std::nothrow) SnmpOctetString(
          v.asnValue.string.stream, static_cast<int32_t>(v.asnValue.string.length)));
      value.reset(text);
      if (!text->IsAllocated()) ThrowNoMemory();
      break;
    }
    case ASN_OBJECTIDENTIFIER:
      value.reset(NewObjectId(v.asnValue.object));
      break;
    case ASN_IPADDRESS: {
      // Four octets in order; a shorter value leaves the missing ones 0.
      int32_t address[4] = {0, 0, 0, 0};
      for (uint32_t i = 0; i < 4 && i < v.asnValue.address.length && v.asnValue.address.stream != nullptr; ++i) {
        address[i] = v.asnValue.address.stream[i];
      }
      value.reset(Allocated(new (std::nothrow) SnmpIpAddress(address)));
      break;
    }
    case ASN_TIMETICKS:
      value.reset(Allocated(new (std::nothrow) SnmpTimeTicks(v.asnValue.ticks)));
      break;
    default:
      // Counters, gauges, opaque, null: the binding carries its name only.
      break;
  }
  auto* binding = Allocated(new (std::nothrow) SnmpBinding(value.get(), name.get()));
  value.release();
  name.release();
  return binding;
}

void TrapListener::Routine() {
  ManualResetEvent* event = nullptr;
  {
    std::lock_guard<std::mutex> hold(admission_->mutex);
    admission_->registry = registry_;
  }
  SnmpMgrTrapSetAdmission([state = admission_](const uint8_t address[4], const std::string& user, int level) {
    std::lock_guard<std::mutex> hold(state->mutex);
    return state->registry != nullptr && Admits(state->registry, address, user, level);
  });
  const std::string listenAddress = AgentSettings::Current().TrapListen();
  if (!SnmpMgrTrapListen(listenAddress, &event)) {
    const uint32_t error = SnmpMgrGetLastError();
    // Already registered in this process: the same event serves.
    if (error != SNMP_MGMTAPI_TRAP_DUPINIT || event == nullptr) {
      std::unique_ptr<OrlaException> owned(new OrlaException(kErrSessionOpen, error, kMsgSessionOpen));
      char buffer[256];
      // A stream transport is the one reason the operator cannot guess from
      // the system's text.
      const char* reason = error == EPROTONOSUPPORT ? "only a UDP transport receives traps"
                                                    : strerror_r(static_cast<int>(error), buffer, sizeof buffer);
      EventLog::Write(EventLog::kWarning,
                      StringPrintf("SNMP traps are not received on %s: %s", listenAddress.c_str(), reason));
      return;
    }
  }
  event_.store(event);
  while (!stopping_.load()) {
    ApplyCredentials();
    // The event cannot fail (it is an in-process event that lives as long
    // as the process), so the wait never spins; it times out to look at the
    // credentials again.
    const bool signalled = event->WaitFor(kCredentialCheck);
    if (stopping_.load()) break;
    if (signalled) {
      // Reset before taking the queue, so that a trap queued while the queue
      // is being emptied sets the event again and is not left waiting.
      event->Reset();
      DrainQueue();
    }
  }
}

void TrapListener::ApplyCredentials() {
  std::shared_ptr<const SnmpV3Credentials> current = SnmpV3CredentialStore::Instance().Current();
  if (current == applied_) return;
  SnmpMgrTrapSetV3Only(current->V3Only());
  std::vector<SnmpMgrUsm> users;
  for (const SnmpV3Profile& profile : current->Profiles()) {
    const auto& assignments = current->Assignments();
    if (std::any_of(assignments.begin(), assignments.end(),
                    [&](const SnmpV3Credentials::Assignment& a) { return a.profile == profile.name; })) {
      users.push_back(SnmpV3Usm::Of(profile));
    }
  }
  SnmpMgrSetLocalUsers(users);
  applied_ = std::move(current);
}

bool TrapListener::Admits(ElementRegistry* registry, const uint8_t address[4], const std::string& user, int level) {
  const std::string dotted = Ipv4Text::Dotted(address);
  if (!registry->IsManaged(dotted)) return false;
  if (user.empty()) return true;
  const std::shared_ptr<const SnmpV3Credentials> credentials = SnmpV3CredentialStore::Instance().Current();
  const SnmpV3Profile* profile = credentials->ProfileFor(dotted);
  return profile != nullptr && profile->user == user && static_cast<int>(profile->level) <= level;
}

void TrapListener::DrainQueue() {
  for (;;) {
    ReceivedTrap received;
    if (!SnmpMgrGetTrap(&received.enterprise, &received.agentAddress, &received.genericTrap,
                        &received.specificTrap, &received.timeStamp, &received.bindings, &received.arrival)) {
      return;
    }
    if (stopping_.load()) return;
    try {
      // An address that is not four octets cannot be a managed element's.
      if (received.agentAddress.length != 4 || received.agentAddress.stream == nullptr) continue;
      const uint8_t* octets = received.agentAddress.stream;
      const std::string address = Ipv4Text::Dotted(octets);
      if (!registry_->IsManaged(address)) continue;
      // An element not yet bound retries its recognition now.
      registry_->TrapArrivedFrom(address);
      TrapStatistics::Instance().receivedFrom.Add(address);
      if (!traps_.Note(address)) continue;

      std::unique_ptr<TrapMessage> message(Allocated(new (std::nothrow) TrapMessage()));
      message->SetEnterprise(received.enterprise.ids, static_cast<int32_t>(received.enterprise.idLength));
      const int32_t agent[4] = {octets[0], octets[1], octets[2], octets[3]};
      message->SetAgentAddress(agent);
      message->SetGenericTrap(received.genericTrap);
      message->SetSpecificTrap(received.specificTrap);
      message->SetTimeStamp(received.timeStamp);
      for (uint32_t i = 0; i < received.bindings.len; ++i) {
        message->AddBinding(ConvertBinding(received.bindings.list[i]));
      }
      // Logged now; the statuses are refreshed on the refresh thread, which
      // spaces the passes.
      if (log_->LogTrap(message.release(), received.arrival)) refresher_.Request(address);
    } catch (OrlaException* e) {
      // Already logged by its constructor; go on with the next trap.
      std::unique_ptr<OrlaException> owned(e);
    } catch (const std::exception&) {
      // Out of memory in a standard container: this trap is lost, the
      // listener goes on.
    }
  }
}

}  // namespace orla
