#include "library_device_reader.h"

#include <map>

#include "plugins/smlib/sml_library.h"
#include "plugins/smlib/sml_values.h"
#include "platform/snmpmgr/snmp_api.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

using Texts = std::map<uint32_t, std::string>;
using Numbers = std::map<uint32_t, int32_t>;

// A 64-bit counter in either of its encodings; plain SNMP numbers too.
std::optional<uint64_t> Counter(const AsnAny& value) {
  if (value.asnType == ASN_OCTETSTRING) {
    uint64_t number = 0;
    if (SmlValues::ParseUint64(value.asnValue.string.stream, value.asnValue.string.length, &number)) return number;
    return std::nullopt;
  }
  if (value.asnType == ASN_INTEGER && value.asnValue.number >= 0) return static_cast<uint64_t>(value.asnValue.number);
  if (value.asnType == ASN_COUNTER32 || value.asnType == ASN_GAUGE32 || value.asnType == ASN_UNSIGNED32) {
    return value.asnValue.unsigned32;
  }
  return std::nullopt;
}

template <typename Map>
typename Map::mapped_type Of(const Map& map, uint32_t key, typename Map::mapped_type missing) {
  const auto it = map.find(key);
  return it == map.end() ? missing : it->second;
}

}  // namespace

LibraryDeviceReader::Library LibraryDeviceReader::Read() {
  SmlLibrary sml(session_);
  auto texts = [&](const char* column) {
    Texts out;
    sml.Walk(column, [&](uint32_t i, const AsnAny& v) {
      const std::string text = SmlLibrary::Text(v);
      out[i] = text == "deprecated" ? std::string() : text;
    });
    return out;
  };
  auto numbers = [&](const char* column) {
    Numbers out;
    sml.Walk(column, [&](uint32_t i, const AsnAny& v) { out[i] = SmlLibrary::Integer(v, -1); });
    return out;
  };

  Library lib;
  lib.name = sml.Scalar("3.5.0");
  lib.product = sml.Scalar("3.1.0");
  lib.serial = sml.Scalar("3.2.0");
  lib.vendor = sml.Scalar("3.3.0");
  lib.version = sml.Scalar("3.4.0");
  lib.model = sml.Scalar("4.2.0");
  lib.chassisSerial = sml.Scalar("4.3.0");
  lib.system = sml.Scalar("10.1.0");
  lib.mibVersion = sml.Scalar("1.0");
  lib.systemStatus = sml.ScalarNumber("10.2.0", -1);
  lib.trapsEnabled = sml.ScalarNumber("16.1.0", -1);
  lib.mediaCount = sml.ScalarNumber("13.2.0", -1);
  lib.status = sml.Status(&lib.reason);

  // Frames.
  const Texts frameNames = texts("4.10.1.9"), frameModels = texts("4.10.1.3"), frameSerials = texts("4.10.1.4");
  const Numbers frameLocked = numbers("4.10.1.7"), frameBreach = numbers("4.10.1.6"), frameType = numbers("4.10.1.11");
  sml.Walk("4.10.1.10", [&](uint32_t i, const AsnAny& v) {
    lib.frames.push_back({i, Of(frameNames, i, ""), Of(frameModels, i, ""), Of(frameSerials, i, ""),
                          Of(frameType, i, -1), SmlLibrary::Integer(v, -1), Of(frameLocked, i, -1),
                          Of(frameBreach, i, -1)});
  });

  // Packages, firmware and SCSI controllers: what the drive, changer and FC
  // port rows point at.
  const Texts packageModels = texts("8.2.1.3"), packageSerials = texts("8.2.1.4");
  std::map<uint32_t, uint32_t> packageOfDrive;
  sml.Walk("8.2.1.5", [&](uint32_t i, const AsnAny& v) {
    const int32_t drive = SmlLibrary::Integer(v, 0);
    if (drive > 0 && !packageOfDrive.count(static_cast<uint32_t>(drive))) packageOfDrive[static_cast<uint32_t>(drive)] = i;
  });
  const Texts firmware = texts("9.2.1.3");
  const Texts controllerNames = texts("12.2.1.3");
  const Numbers controllerChanger = numbers("12.2.1.7"), controllerDrive = numbers("12.2.1.8");

  // FC ports, each with the drive or changer behind its controller.
  const Texts portNames = texts("15.2.1.3"), portWwpns = texts("15.2.1.7");
  const Numbers portStatus = numbers("15.2.1.6");
  std::map<uint32_t, std::vector<std::string>> portsOfDrive;
  sml.Walk("15.2.1.8", [&](uint32_t i, const AsnAny& v) {
    const uint32_t controller = static_cast<uint32_t>(SmlLibrary::Integer(v, 0));
    FcPort port{i, Of(portNames, i, ""), Of(portWwpns, i, ""), "", Of(portStatus, i, -1)};
    const int32_t drive = Of(controllerDrive, controller, 0);
    const int32_t changer = Of(controllerChanger, controller, 0);
    if (drive > 0) {
      port.behind = StringPrintf("Drive %d", drive);
      portsOfDrive[static_cast<uint32_t>(drive)].push_back(
          port.wwpn + " (" + SmlValues::OperationalText(port.status) + ")");
    } else if (changer > 0) {
      port.behind = StringPrintf("Changer %d", changer);
    }
    lib.fcPorts.push_back(std::move(port));
  });

  // Drives.
  const Texts driveNames = texts("6.2.1.3"), driveIds = texts("6.2.1.8");
  const Numbers driveType = numbers("6.2.1.2"), driveAvailability = numbers("6.2.1.5"),
                driveCleaning = numbers("6.2.1.6"), driveStatus = numbers("6.2.1.11"),
                driveFirmware = numbers("6.2.1.13");
  std::map<uint32_t, std::optional<uint64_t>> mounts, hours, totalHours;
  sml.Walk("6.2.1.7", [&](uint32_t i, const AsnAny& v) { mounts[i] = Counter(v); });
  sml.Walk("6.2.1.9", [&](uint32_t i, const AsnAny& v) { hours[i] = Counter(v); });
  sml.Walk("6.2.1.10", [&](uint32_t i, const AsnAny& v) { totalHours[i] = Counter(v); });
  sml.Walk("6.2.1.1", [&](uint32_t i, const AsnAny&) {
    Drive d;
    d.index = i;
    const auto package = packageOfDrive.find(i);
    const std::string packageText =
        package == packageOfDrive.end()
            ? std::string()
            : SmlValues::CollapseBlanks(Of(packageModels, package->second, "") + " " +
                                        Of(packageSerials, package->second, ""));
    std::string controllerText;
    for (const auto& [controller, drive] : controllerDrive) {
      if (drive == static_cast<int32_t>(i) && controllerText.empty()) controllerText = Of(controllerNames, controller, "");
    }
    d.deviceId = Of(driveIds, i, "");
    d.name = Of(driveNames, i, "");
    if (d.name.empty()) d.name = packageText;
    if (d.name.empty()) d.name = controllerText;
    if (d.name.empty()) d.name = d.deviceId;
    d.serial = package == packageOfDrive.end() ? std::string() : Of(packageSerials, package->second, "");
    const int32_t firmwareRow = Of(driveFirmware, i, 0);
    if (firmwareRow > 0) d.firmware = Of(firmware, static_cast<uint32_t>(firmwareRow), "");
    d.type = Of(driveType, i, -1);
    d.availability = Of(driveAvailability, i, -1);
    d.status = Of(driveStatus, i, -1);
    d.needsCleaning = Of(driveCleaning, i, -1);
    d.mounts = Of(mounts, i, std::nullopt);
    d.powerOnHours = Of(hours, i, std::nullopt);
    d.totalPowerOnHours = Of(totalHours, i, std::nullopt);
    d.ports = Of(portsOfDrive, i, {});
    lib.drives.push_back(std::move(d));
  });

  // Changers.
  const Texts changerNames = texts("11.2.1.4"), changerDescriptions = texts("11.2.1.6"), changerIds = texts("11.2.1.2");
  const Numbers changerFlip = numbers("11.2.1.3"), changerAvailability = numbers("11.2.1.8"),
                changerStatus = numbers("11.2.1.9");
  sml.Walk("11.2.1.1", [&](uint32_t i, const AsnAny&) {
    lib.changers.push_back({i, Of(changerNames, i, ""), Of(changerDescriptions, i, ""), Of(changerIds, i, ""),
                            Of(changerAvailability, i, -1), Of(changerStatus, i, -1), Of(changerFlip, i, -1)});
  });

  // Storage locations by type, with the cleaning cartridges present.
  const Numbers present = numbers("13.3.1.10"), cleaner = numbers("13.3.1.17");
  const Texts labels = texts("13.3.1.19");
  sml.Walk("13.3.1.3", [&](uint32_t i, const AsnAny& v) {
    const int32_t type = SmlLibrary::Integer(v, 0);
    Slots* slots = nullptr;
    for (Slots& s : lib.slots) {
      if (s.type == type) slots = &s;
    }
    if (slots == nullptr) slots = &lib.slots.emplace_back(Slots{type, 0, 0});
    ++slots->total;
    if (Of(present, i, 2) != 1) return;
    ++slots->occupied;
    if (Of(cleaner, i, 0) == 1) lib.cleaners.push_back({i, type, Of(labels, i, "")});
  });

  // Import/export ports with the cartridge in their location.
  const Texts ieNames = texts("14.2.1.4");
  const Numbers ieExtended = numbers("14.2.1.3"), ieLocation = numbers("14.2.1.7");
  sml.Walk("14.2.1.1", [&](uint32_t i, const AsnAny&) {
    IePort port{i, Of(ieNames, i, ""), Of(ieExtended, i, -1), false, ""};
    const int32_t location = Of(ieLocation, i, 0);
    if (location > 0 && Of(present, static_cast<uint32_t>(location), 2) == 1) {
      port.present = true;
      port.label = Of(labels, static_cast<uint32_t>(location), "");
    }
    lib.iePorts.push_back(std::move(port));
  });

  const Texts hosts = texts("16.7.1.3");
  const Numbers ports = numbers("16.7.1.4");
  for (const auto& [i, host] : hosts) lib.trapDestinations.push_back({host, Of(ports, i, -1)});
  return lib;
}

}  // namespace orla
