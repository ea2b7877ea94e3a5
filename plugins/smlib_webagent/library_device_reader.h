#pragma once
// What the library device pages read from a tape library over one SNMP
// session: its identity, the rolled-up status with its reason (the plug-in's
// own SmlLibrary::Status), frames, drives (with their firmware, serial and
// FC ports found through the package, firmware, controller and FC port
// tables), changers, the storage locations counted by type with the
// cleaning cartridges, the import/export ports, the FC ports and the trap
// destinations.
//
// Tables are read column by column with SmlLibrary::Walk, so a column the
// library lacks stays empty (a number -1, a text ""). Walks are bounded by
// SmlLibrary. SNMP failures (no answer, time-out) pass out as the session's
// OrlaException pointers.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orla {

class SnmpSession;

class LibraryDeviceReader {
 public:
  struct Frame {
    uint32_t index = 0;
    std::string name, model, serial;
    int32_t packageType = -1, status = -1, locked = -1, breach = -1;
  };
  struct Drive {
    uint32_t index = 0;
    std::string name, firmware, serial, deviceId;
    int32_t type = -1, availability = -1, status = -1, needsCleaning = -1;
    std::optional<uint64_t> mounts, powerOnHours, totalPowerOnHours;
    std::vector<std::string> ports;  // "WWPN (status)" of each FC port behind it
  };
  struct Changer {
    uint32_t index = 0;
    std::string name, description, deviceId;
    int32_t availability = -1, status = -1, mediaFlip = -1;
  };
  // The storage locations of one LocationType.
  struct Slots {
    int32_t type = 0;
    size_t total = 0, occupied = 0;
  };
  struct Cleaner {
    uint32_t location = 0;
    int32_t type = 0;  // the location's LocationType
    std::string label;
  };
  struct IePort {
    uint32_t index = 0;
    std::string name;
    int32_t extended = -1;
    bool present = false;
    std::string label;
  };
  struct FcPort {
    uint32_t index = 0;
    std::string name, wwpn, behind;  // behind: "Drive 2", "Changer 1" or ""
    int32_t status = -1;
  };
  struct TrapDestination {
    std::string host;
    int32_t port = -1;
  };
  struct Library {
    std::string name, vendor, product, version, serial, model, chassisSerial, system, mibVersion;
    int32_t systemStatus = -1, trapsEnabled = -1, mediaCount = -1;
    int32_t status = 3;  // the agent's status: 0 ok, 1 degraded, 2 failed, 3 unknown
    std::string reason;
    std::vector<Frame> frames;
    std::vector<Drive> drives;
    std::vector<Changer> changers;
    std::vector<Slots> slots;  // by LocationType, in the order the types are first met
    std::vector<Cleaner> cleaners;
    std::vector<IePort> iePorts;
    std::vector<FcPort> fcPorts;
    std::vector<TrapDestination> trapDestinations;
  };

  explicit LibraryDeviceReader(SnmpSession* session) : session_(session) {}

  Library Read();

 private:
  SnmpSession* session_;
};

}  // namespace orla
