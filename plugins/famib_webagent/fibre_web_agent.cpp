#include "fibre_web_agent.h"

#include <memory>
#include <optional>

#include "agent/core/orla_exception.h"
#include "agent/snmp/snmp_session.h"
#include "plugins/webagent_kit/device_request.h"
#include "fibre_device_reader.h"
#include "fibre_page.h"

namespace orla {

namespace {

using Unit = FibreDeviceReader::Unit;

constexpr char kRoot[] = "/webagent/Fibre/";

// A contact or location text the device can take: at most 79 characters,
// none of them a control character.
bool IsDisplayText(const std::string& text) {
  if (text.size() > FibreWebAgent::kMaxText) return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

// Applies a posted contact and location change; the notice tells how it went.
FibrePage::Notice ApplyChange(const DeviceRequest& request, SnmpSession* getSession) {
  const std::optional<std::string> unitKey = request.Field("unit");
  const std::optional<std::string> contact = request.Field("contact");
  const std::optional<std::string> location = request.Field("location");
  if (!unitKey || (!contact && !location)) return {"The form did not name a unit and a new contact or location.", true};
  if ((contact && !IsDisplayText(*contact)) || (location && !IsDisplayText(*location))) {
    return {"Contact and location may hold at most 79 characters each, on one line.", true};
  }
  if (request.SetCommunity().empty()) {
    return {"No change was made: the agent gave no SNMP set community for this device.", true};
  }
  FibreDeviceReader reader(getSession);
  Unit unit;
  if (!reader.FindUnit(*unitKey, &unit)) return {"No change was made: the device has no such unit.", true};
  std::unique_ptr<SnmpSession> setSession = request.OpenSession(request.SetCommunity());
  FibreDeviceReader writer(setSession.get());
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    if (contact && *contact != unit.contact) writer.SetContact(unit, *contact);
    if (location && *location != unit.location) writer.SetLocation(unit, *location);
  })) {
    if (DevicePage::IsSilence(failed->Code())) {
      return {"The device did not answer the change (it may not accept the set community).", true};
    }
    return {"The device refused the change: " + failed->Message(), true};
  }
  return {"Contact and location saved.", false};
}

}  // namespace

DeviceReply FibreWebAgent::Build(const DeviceRequest& request) {
  if (std::optional<DeviceReply> refused = DeviceReply::Foreign(request)) return *refused;
  FibrePage page(request.Device(), request.Machine());
  page.SetMayChange(request.MayChange());
  std::string name = request.Page();
  if (name.empty()) name = "index.html";
  if (name != "index.html" && name != "status.html" && name != "ports.html" && name != "events.html") {
    return DeviceReply::NotFound(request, page);
  }
  if (request.IsPost() && name != "index.html") {
    return {405, page.Message("Not allowed", "Changes are posted to the overview page only.")};
  }
  if (std::optional<DeviceReply> refused = DeviceReply::Unreadable(request, page)) return *refused;

  std::optional<FibrePage::Notice> notice;
  if (request.IsPost()) {
    if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
      std::unique_ptr<SnmpSession> session = request.OpenSession(request.Community());
      notice = ApplyChange(request, session.get());
    })) {
      ReadCache::Shared().Drop(request.Machine());
      return {200, page.Failure(failed->Code(), failed->Message())};
    }
    // What viewers were shown may no longer be what the device holds.
    ReadCache::Shared().Drop(request.Machine());
  }
  const Kind kind = name == "ports.html" ? Kind::kPorts : name == "events.html" ? Kind::kEvents : Kind::kUnits;
  const std::shared_ptr<const Reading> reading =
      ReadCache::Shared().Get(request.Machine(), request.Community(), kind,
                              [&request, kind] { return Read(request, kind); });
  if (reading->errorCode != 0) return {200, page.Failure(reading->errorCode, reading->errorMessage)};
  if (reading->units.empty()) {
    return {200, page.Message("No Fibre Alliance MIB units",
                              "The device at " + FibrePage::Escape(request.Machine()) +
                                  " answers, but reports no Fibre Alliance MIB connectivity units.")};
  }
  if (name == "status.html") return {200, page.Status(reading->units, reading->hasPorts, reading->hasEvents)};
  if (name == "ports.html") return {200, page.Ports(reading->ports, reading->hasEvents)};
  if (name == "events.html") return {200, page.Events(reading->events, reading->hasPorts)};
  return {200, page.Overview(reading->units, reading->ports, reading->hasPorts, reading->hasEvents, notice)};
}

FibreWebAgent::Reading FibreWebAgent::Read(const DeviceRequest& request, Kind kind) {
  return ReadCache::Made([&](Reading* reading) {
    std::unique_ptr<SnmpSession> session = request.OpenSession(request.Community());
    FibreDeviceReader reader(session.get());
    reading->units = reader.Units();
    for (const Unit& unit : reading->units) {
      reading->hasPorts = reading->hasPorts || reader.HasPorts(unit);
      reading->hasEvents = reading->hasEvents || reader.HasEvents(unit);
      // The overview names the ports behind a unit's warning or failure.
      const bool troubled = unit.status == 4 || unit.status == 5;
      if (kind == Kind::kPorts || (kind == Kind::kUnits && troubled && reader.HasPorts(unit))) {
        reading->ports.emplace_back(unit, reader.Ports(unit));
      }
      if (kind == Kind::kEvents) reading->events.emplace_back(unit, reader.Events(unit));
    }
  });
}

uint32_t FibreWebAgent::Answer(EXTENSION_CONTROL_BLOCK* ecb) {
  return DeviceReply::Answer(ecb, [ecb] { return Build(DeviceRequest(ecb, kRoot)); });
}

}  // namespace orla
