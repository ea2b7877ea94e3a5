#include "agent/traps/received_trap_log.h"

#include <sys/time.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <optional>

#include "agent/core/event_log.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_snapshot.h"
#include "agent/devices/element_registry.h"
#include "agent/snmp/trap_message.h"
#include "agent/traps/trap_sender.h"
#include "agent/traps/trap_statistics.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"
#include "platform/net/ipv4_text.h"

namespace orla {

namespace {

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

ReceivedTrapLog::ReceivedTrapLog(ElementRegistry* registry)
    : registry_(registry), osVersion_(kTypeOsVersion), timeStamp_(kTypeTimeStamp) {
  const std::string version = TrapSender::AgentOsVersion();
  osVersion_.SetText(version == "No OS version information available" ? version
                                                                      : TrapSender::AgentOsName() + " " + version);
}

std::string ReceivedTrapLog::TimeStampText(const LocalTime& t, int32_t biasMinutes) {
  const int32_t magnitude = biasMinutes < 0 ? -biasMinutes : biasMinutes;
  const std::string zone =
      StringPrintf(biasMinutes < 0 ? "+%.2d%.2d" : "-%.2d%.2d", magnitude / 60, magnitude % 60);
  return StringPrintf("%.4d%.2d%.2d%.2d%.2d%.2d,%.2d%s", t.year, t.month, t.day, t.hour, t.minute, t.second,
                      t.milliseconds / 10, zone.c_str());
}

std::string ReceivedTrapLog::CurrentTimeStampText() { return TimeStampTextAt(Clock::System()->WallNow()); }

std::string ReceivedTrapLog::TimeStampTextAt(std::chrono::system_clock::time_point moment) {
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

std::vector<uint8_t> ReceivedTrapLog::ComposeRecord(uint32_t sequence, int32_t majorClass, int32_t minorClass,
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

void ReceivedTrapLog::LogReceivedTrap(TrapMessage* trap) {
  if (!LogTrap(trap, Clock::System()->WallNow())) return;
  // The pass has logged its exception itself.
  OrlaException::Discard([this] { registry_->UpdateAllStatus(); });
}

bool ReceivedTrapLog::LogTrap(TrapMessage* trap, std::chrono::system_clock::time_point arrival) {
  std::unique_ptr<TrapMessage> owned(trap);
  if (!owned) return false;
  ElementRegistry* const registry = registry_;
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
