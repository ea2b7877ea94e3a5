#include "agent/traps/trap_sender.h"

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <memory>

#include "agent/core/agent_host.h"
#include "agent/core/error_codes.h"
#include "agent/core/object_list.h"
#include "agent/core/orla_exception.h"
#include "agent/snmp/snmp_binding.h"
#include "agent/snmp/snmp_integer.h"
#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_octet_string.h"
#include "agent/snmp/trap_message.h"
#include "agent/traps/notification_sender.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/traps/trap_destination.h"
#include "agent/traps/trap_destination_list.h"
#include "agent/traps/trap_statistics.h"
#include "platform/sysinfo/system_info.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

const uint32_t kEnterprise[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2};
const uint32_t kSysName[] = {1, 3, 6, 1, 2, 1, 1, 5};
const uint32_t kNotificationText[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 1};
const uint32_t kStateCode[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 2};
const uint32_t kChangeText[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 3};
const char kChangeTextValue[] = "A FibreChannel interconnect device has changed state.";

SnmpObjectId* NewName(const uint32_t* ids, int32_t count) {
  auto* name = new SnmpObjectId(ids, count);
  if (!name->IsAllocated()) {
    delete name;
    throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
  }
  return name;
}

SnmpOctetString* NewText(const char* text) {
  auto* value = new SnmpOctetString(text);
  if (!value->IsAllocated()) {
    delete value;
    throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
  }
  return value;
}

template <size_t N>
void AddBinding(TrapMessage* trap, const uint32_t (&name)[N], SnmpValue* value) {
  std::unique_ptr<SnmpValue> owned(value);
  SnmpObjectId* id = NewName(name, static_cast<int32_t>(N));
  trap->AddBinding(new SnmpBinding(owned.release(), id));
}

}  // namespace

std::atomic<TrapSender*> TrapSender::instance_{nullptr};

TrapSender::TrapSender(TrapDestinationList* destinations, NotificationSender* notifications)
    : destinations_(destinations), notifications_(notifications) {}

TrapSender* TrapSender::Instance() { return instance_.load(std::memory_order_acquire); }

void TrapSender::SetInstance(TrapSender* sender) { instance_.store(sender, std::memory_order_release); }

int32_t TrapSender::StateCode(char overallStatus) {
  switch (overallStatus) {
    case '0': return 2;
    case '1': return 3;
    case '2': return 4;
    default: return 1;
  }
}

std::string TrapSender::AgentOsName() { return SystemInfo::OsName(); }

std::string TrapSender::AgentOsVersion() {
  std::string release, build;
  if (!SystemInfo::OsRelease(&release, &build)) return "No OS version information available";
  int numbers[3] = {0, 0, 0};
  SystemInfo::ParseRelease(release, &numbers[0], &numbers[1], &numbers[2]);
  return StringPrintf("version %d.%d build %d %s", numbers[0], numbers[1], numbers[2], build.c_str());
}

void TrapSender::NotifyStatusChange(const StatusChange& change) {
  // The start-up's first pass sends nothing: the peers learn the status
  // from the changes that follow.
  if (!change.afterLoad) return;
  // The registry hands changes over one at a time with the overall status
  // each leaves: queued in that order, the traps go out in it.
  const int32_t state = StateCode(change.overall);
  sendQueue_.Post([this, name = change.name, state] {
    try {
      SendStatusTrap(name, state);
    } catch (OrlaException* e) {
      // Logged by its constructor (2013: the agent's host is unknown).
      std::unique_ptr<OrlaException> owned(e);
    } catch (const std::exception&) {
      // No memory for this trap; the next change sends its own.
    }
  });
}

SnmpNotification TrapSender::StatusNotification(const std::string& hostName, const std::string& text,
                                                int32_t state) {
  // The SNMPv2 form of the SNMPv1 trap (RFC 3584): enterprise, 0, specific
  // trap; the same four variables; the enterprise as snmpTrapEnterprise.0.
  const std::vector<uint32_t> enterprise(std::begin(kEnterprise), std::end(kEnterprise));
  SnmpNotification n;
  n.trapOid = enterprise;
  n.trapOid.push_back(0);
  n.trapOid.push_back(2);
  n.enterprise = enterprise;
  const auto variable = [&n](const auto& name) -> SnmpNotification::Variable& {
    n.variables.emplace_back();
    n.variables.back().name.assign(std::begin(name), std::end(name));
    return n.variables.back();
  };
  variable(kSysName).text = hostName;
  variable(kNotificationText).text = text;
  SnmpNotification::Variable& code = variable(kStateCode);
  code.isInteger = true;
  code.number = state;
  variable(kChangeText).text = kChangeTextValue;
  return n;
}

void TrapSender::SendStatusTrap(const std::string& text, int32_t state) {
  std::unique_ptr<ObjectList> copy(destinations_ != nullptr ? destinations_->Copy() : nullptr);
  // In v3-only mode the hosts of client.ini get no SNMPv1 trap (it carries
  // a community).
  const bool toTrapHosts =
      copy != nullptr && copy->Count() > 0 &&
      !NotificationSender::SkipForV3Only(SnmpV3CredentialStore::Instance().Current()->V3Only(), &skippingTrapHosts_,
                                         "the SNMPv1 traps to the trap hosts of client.ini");
  if (!toTrapHosts && notifications_ == nullptr) return;

  const std::string hostName = SystemInfo::ComputerName();
  if (hostName.empty()) throw new OrlaException(kErrHostInfo, 0, kMsgHostInfo);
  // The SNMPv2c/SNMPv3 targets get the same facts, whatever the trap hosts.
  if (notifications_ != nullptr) notifications_->Send(StatusNotification(hostName, text, state));
  if (!toTrapHosts) return;
  const std::string address = AgentHost::Address();
  int32_t octets[4] = {0, 0, 0, 0};
  if (std::sscanf(address.c_str(), "%d.%d.%d.%d", &octets[0], &octets[1], &octets[2], &octets[3]) != 4) {
    throw new OrlaException(kErrHostInfo, 0, kMsgHostInfo);
  }

  TrapMessage trap;
  trap.SetVersion(0);
  trap.SetGenericTrap(6);
  trap.SetSpecificTrap(2);
  trap.SetCommunity("sorrel");
  trap.SetEnterprise(kEnterprise, static_cast<int32_t>(std::size(kEnterprise)));
  trap.SetAgentAddress(octets);
  trap.SetTimeStamp(0);
  AddBinding(&trap, kSysName, NewText(hostName.c_str()));
  AddBinding(&trap, kNotificationText, NewText(text.c_str()));
  AddBinding(&trap, kStateCode, new SnmpInteger(state));
  AddBinding(&trap, kChangeText, NewText(kChangeTextValue));

  for (int32_t i = 0; i < copy->Count(); ++i) {
    const char* destination = static_cast<TrapDestination*>(copy->Get(i))->Text();
    if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
      trap.SendTo(destination);
      TrapStatistics::Instance().sentTo.Add(destination);
    })) {
      // Logged by its constructor; the other destinations still get the trap.
      TrapStatistics::Instance().failedFor.Add(destination);
    }
  }
}

}  // namespace orla
