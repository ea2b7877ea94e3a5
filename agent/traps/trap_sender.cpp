#include "agent/traps/trap_sender.h"

#include <sys/time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <memory>
#include <optional>

#include "agent/core/agent_host.h"
#include "agent/core/error_codes.h"
#include "agent/core/event_log.h"
#include "agent/core/object_list.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_snapshot.h"
#include "agent/devices/element_registry.h"
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
#include "platform/sync/clock.h"
#include "platform/sysinfo/system_info.h"
#include "platform/text/string_printf.h"
#include "platform/net/ipv4_text.h"

namespace orla {

namespace {

const uint32_t kEnterprise[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2};
const uint32_t kSysName[] = {1, 3, 6, 1, 2, 1, 1, 5};
const uint32_t kNotificationText[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 1};
const uint32_t kStateCode[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 2};
const uint32_t kChangeText[] = {1, 3, 6, 1, 4, 1, 4413, 132, 2, 3};
const char kChangeTextValue[] = "A FibreChannel interconnect device has changed state.";

// The record's fixed values, written unchanged for the consoles that read it.
constexpr int32_t kRecordMark = -3;
constexpr uint16_t kRecordConstant2 = 2;
constexpr uint16_t kRecordConstant1 = 1;
constexpr uint32_t kRecordConstant3 = 3;
constexpr uint32_t kRecordConstant7 = 7;
constexpr size_t kHeaderSize = 44;
constexpr size_t kTextsOffset = 72;

const char* const kGenericMessages[] = {
    "A Fibre device has performed a cold start.",
    "A Fibre device has performed a warm start.",
    "A network interface has gone down on a fibre device.",
    "A network interface has come up on a fibre device.",
    "An unauthorized SNMP message was received by a fibre device.",
    "EGP loss detected by a fibre device.",
};

void Put16(std::vector<uint8_t>* out, size_t at, uint16_t v) {
  (*out)[at] = static_cast<uint8_t>(v);
  (*out)[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>* out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

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

// Fills a text field from one of the registry's by-address texts: none
// when the address is no longer managed.
void Fill(EventTextField* field, const std::optional<std::string>& text) {
  if (text.has_value()) {
    field->SetText(*text);
  } else {
    field->ClearText();
  }
}

// How the events page names a received trap: the generic trap's name, or
// for an enterprise-specific one the notification identifier SNMPv2 gives
// it (enterprise, 0, specific number; RFC 3584).
std::string TrapIdentity(const TrapMessage& trap) {
  static const char* const kGenericNames[] = {"coldStart", "warmStart", "linkDown",
                                              "linkUp", "authenticationFailure", "egpNeighborLoss"};
  const int32_t generic = trap.GetGenericTrap();
  if (generic >= 0 && generic <= 5) return kGenericNames[generic];
  const uint32_t* ids = nullptr;
  const int32_t count = trap.GetEnterprise(&ids);
  std::string text;
  for (int32_t i = 0; ids != nullptr && i < count; ++i) text += StringPrintf(".%u", ids[i]);
  return text + StringPrintf(".0.%d", trap.GetSpecificTrap());
}

}  // namespace

std::atomic<TrapSender*> TrapSender::instance_{nullptr};

TrapSender::TrapSender(TrapDestinationList* destinations, NotificationSender* notifications)
    : destinations_(destinations), notifications_(notifications), osVersion_(kTypeOsVersion),
      timeStamp_(kTypeTimeStamp) {
  const std::string version = AgentOsVersion();
  osVersion_.SetText(version == "No OS version information available" ? version
                                                                      : AgentOsName() + " " + version);
}

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

std::string TrapSender::TimeStampText(const LocalTime& t, int32_t biasMinutes) {
  const int32_t magnitude = biasMinutes < 0 ? -biasMinutes : biasMinutes;
  const std::string zone =
      StringPrintf(biasMinutes < 0 ? "+%.2d%.2d" : "-%.2d%.2d", magnitude / 60, magnitude % 60);
  return StringPrintf("%.4d%.2d%.2d%.2d%.2d%.2d,%.2d%s", t.year, t.month, t.day, t.hour, t.minute, t.second,
                      t.milliseconds / 10, zone.c_str());
}

std::string TrapSender::CurrentTimeStampText() { return TimeStampTextAt(Clock::System()->WallNow()); }

std::string TrapSender::TimeStampTextAt(std::chrono::system_clock::time_point moment) {
  const auto sinceEpoch = std::chrono::duration_cast<std::chrono::microseconds>(moment.time_since_epoch()).count();
  timeval now{};
  now.tv_sec = static_cast<time_t>(sinceEpoch / 1000000);
  now.tv_usec = static_cast<suseconds_t>(sinceEpoch % 1000000);
  tzset();
  std::tm local{};
  const time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  LocalTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.milliseconds = static_cast<int>(now.tv_usec / 1000);
  // The offset in force at that moment, daylight saving time included:
  // `tm_gmtoff` is seconds east of UTC, the bias is minutes west of it.
  return TimeStampText(t, static_cast<int32_t>(-local.tm_gmtoff / 60));
}

std::vector<uint8_t> TrapSender::ComposeRecord(uint32_t sequence, int32_t majorClass, int32_t minorClass,
                                               const EventTextField& timeStamp,
                                               const EventTextField* const texts[6], const uint8_t* eventData,
                                               size_t eventLength) {
  const size_t padded = (eventLength + 3) & ~static_cast<size_t>(3);
  std::vector<uint8_t> record(kHeaderSize, 0);
  timeStamp.SerializeTo(&record);
  // The time stamp field is 28 bytes; the texts start at 72 whatever it held.
  record.resize(kTextsOffset, 0);
  for (int i = 0; i < 6; ++i) texts[i]->SerializeTo(&record);
  const size_t dataOffset = record.size();
  record.insert(record.end(), eventData, eventData + eventLength);
  record.resize(dataOffset + padded, 0);

  Put32(&record, 0, static_cast<uint32_t>(kRecordMark));
  Put32(&record, 4, static_cast<uint32_t>(dataOffset));
  Put32(&record, 8, static_cast<uint32_t>(record.size()));
  Put16(&record, 12, kRecordConstant2);
  Put16(&record, 14, kRecordConstant1);
  Put32(&record, 16, kRecordConstant3);
  Put16(&record, 20, static_cast<uint16_t>(majorClass));
  Put16(&record, 22, static_cast<uint16_t>(minorClass));
  Put32(&record, 24, sequence);
  Put32(&record, 40, kRecordConstant7);
  return record;
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

void TrapSender::LogReceivedTrap(TrapMessage* trap) {
  if (!LogTrap(trap, Clock::System()->WallNow())) return;
  // The pass has logged its exception itself.
  if (ElementRegistry* registry = registry_.load(std::memory_order_acquire)) {
    OrlaException::Discard([&] { registry->UpdateAllStatus(); });
  }
}

bool TrapSender::LogTrap(TrapMessage* trap, std::chrono::system_clock::time_point arrival) {
  std::unique_ptr<TrapMessage> owned(trap);
  if (!owned) return false;
  ElementRegistry* registry = registry_.load(std::memory_order_acquire);
  if (registry == nullptr) return false;

  const int32_t* agent = owned->GetAgentAddress();
  const std::string address =
      agent != nullptr ? Ipv4Text::Dotted(agent) : std::string();
  // One picture of the elements for the whole trap; the entry (and the
  // plug-in it holds) stays valid even if the element is removed meanwhile.
  const std::shared_ptr<const ElementSnapshot> snapshot = registry->Snapshot();
  const ElementSnapshot::Entry* element = snapshot->Find(address);

  std::vector<uint8_t> data(kEventDataSize, 0);
  std::vector<char> message(kMessageSize, 0);
  int32_t length;
  int32_t shownSeverity = -1;
  const int32_t generic = owned->GetGenericTrap();
  if (generic >= 0 && generic <= 5) {
    data[0] = static_cast<uint8_t>(generic);
    length = 2;
    std::strcpy(message.data(), kGenericMessages[generic]);
  } else if (generic == 6) {
    length =
        element != nullptr ? element->DeliverTrap(owned.get(), data.data(), message.data(), &shownSeverity) : -1;
    // A plug-in cannot claim more event data than its buffer holds, and its
    // text ends inside the message buffer.
    if (length > static_cast<int32_t>(kEventDataSize)) length = static_cast<int32_t>(kEventDataSize);
    message[kMessageSize - 1] = '\0';
  } else {
    // No generic trap number, or one SNMPv1 does not define: nothing
    // describes it, so it is not logged.
    length = -1;
  }
  if (length < 0) return false;
  if (generic == 6) TrapStatistics::Instance().handled.fetch_add(1, std::memory_order_relaxed);
  EventOrigin origin;
  origin.kind = "trap";
  origin.address = address;
  origin.trap = TrapIdentity(*owned);
  if (element != nullptr) origin.element = element->record.name;
  // Logged as the WARNING the record's entry always is; the console shows
  // the severity the plug-in read from the trap.
  origin.shownSeverity = shownSeverity;
  owned.reset();

  timeStamp_.SetText(TimeStampTextAt(arrival));
  // Class codes as binding (or a later pass) read them; FF FF when the
  // address is not managed or the plug-in never answered them.
  int32_t majorClass = -1;
  int32_t minorClass = -1;
  if (element != nullptr) {
    const std::shared_ptr<const ElementStatusCell> status = element->Status();
    if (status->ClassCodesKnown()) {
      majorClass = status->majorClass;
      minorClass = status->minorClass;
    }
  }
  EventTextField worldWideName(kTypeWorldWideName);
  EventTextField worldWideNameAgain(kTypeWorldWideNameAgain);
  EventTextField elementName(kTypeElementName);
  EventTextField description(kTypeDescription);
  EventTextField firmwareVersion(kTypeFirmwareVersion);
  if (element != nullptr) {
    const ElementRecord& r = element->record;
    Fill(&worldWideName, r.worldWideName);
    Fill(&worldWideNameAgain, r.worldWideName);
    Fill(&elementName, r.name);
    Fill(&description, r.ModelText());
    Fill(&firmwareVersion, r.firmwareVersion);
  }

  const EventTextField* const texts[6] = {&osVersion_, &worldWideName, &elementName,
                                          &worldWideNameAgain, &description, &firmwareVersion};
  // Only the answered bytes are event data; the record pads them with zero
  // bytes, whatever a plug-in left behind them in its buffer.
  const std::vector<uint8_t> record = ComposeRecord(sequence_.load(), majorClass, minorClass, timeStamp_, texts,
                                                    data.data(), static_cast<size_t>(length));
  sequence_.fetch_add(1);
  EventLog::Write(EventLog::kWarning, message.data(), record.data(), record.size(), origin);
  return true;
}

}  // namespace orla
