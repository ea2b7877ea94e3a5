#include "agent/devices/device_counter_kind.h"

#include "agent/devices/plugin/device_plugin.h"

namespace orla {

namespace {

namespace p = plugin;

constexpr DeviceCounterKind::Info kKinds[] = {
    {p::kPortErrors, "errors", "errors", "Errors the device counts on the port, all kinds.", true, false},
    {p::kPortCrcErrors, "crc_errors", "CRC errors", "Frames received with a bad CRC.", true, true},
    {p::kPortLinkFailures, "link_failures", "link failures", "Link failures.", true, true},
    {p::kPortLossOfSync, "loss_of_sync", "losses of sync", "Losses of synchronization.", true, true},
    {p::kPortLossOfSignal, "loss_of_signal", "losses of signal", "Losses of signal.", true, true},
    {p::kPortInvalidTxWords, "invalid_tx_words", "invalid transmission words", "Invalid transmission words.", true,
     true},
    {p::kPortPrimitiveSeqErrors, "primitive_sequence_errors", "primitive sequence errors",
     "Primitive sequence protocol errors.", true, true},
    {p::kPortClass3Discards, "class3_discards", "class 3 discards", "Class 3 frames discarded.", true, true},
    {p::kPortLinkResets, "link_resets", "link resets", "Link resets.", true, true},
    {p::kPortTxFrames, "tx_frames", "frames sent", "Frames sent.", true, false},
    {p::kPortRxFrames, "rx_frames", "frames received", "Frames received.", true, false},
    {p::kPortTxOctets, "tx_octets", "octets sent", "Octets sent.", true, false},
    {p::kPortRxOctets, "rx_octets", "octets received", "Octets received.", true, false},
    {p::kDriveMounts, "mounts", "mounts", "Media mounts of the drive (data and cleaning).", true, false},
    {p::kDrivePowerOnHours, "power_on_hours", "hours powered on",
     "Hours the drive has been powered on since its last power cycle.", false, false},
    {p::kDriveTotalPowerOnHours, "total_power_on_hours", "power-on hours",
     "Hours the drive has been powered on in its life.", true, false},
    {p::kDriveNeedsCleaning, "needs_cleaning", "needs cleaning", "1 while the drive asks to be cleaned.", false,
     false},
    {p::kPortOperationalStatus, "operational_status", "operational status",
     "The library FC port's operational status as the device reports it (2 ok).", false, false},
    {p::kDeviceSlots, "slots", "slots", "Storage slots of the library.", false, false},
    {p::kDeviceSlotsUsed, "slots_used", "slots in use", "Storage slots holding a cartridge.", false, false},
    {p::kDeviceCleaningCartridges, "cleaning_cartridges", "cleaning cartridges",
     "Cleaning cartridges in the library.", false, false},
};

}  // namespace

const DeviceCounterKind::Info* DeviceCounterKind::Find(int32_t kind) {
  for (const Info& info : kKinds) {
    if (info.kind == kind) return &info;
  }
  return nullptr;
}

const DeviceCounterKind::Info* DeviceCounterKind::All(int* count) {
  *count = static_cast<int>(sizeof(kKinds) / sizeof(kKinds[0]));
  return kKinds;
}

}  // namespace orla
