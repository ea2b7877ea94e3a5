#include "sml_wear.h"

#include <map>
#include <optional>

#include "plugins/smlib/sml_library.h"
#include "plugins/smlib/sml_values.h"
#include "platform/snmpmgr/snmp_api.h"

namespace orla {

namespace {

namespace p = plugin;

// A UINT64 column value in either encoding the libraries use.
std::optional<uint64_t> Counter(const AsnAny& value) {
  if (value.asnType != ASN_OCTETSTRING) return std::nullopt;
  uint64_t number = 0;
  if (!SmlValues::ParseUint64(value.asnValue.string.stream, value.asnValue.string.length, &number)) return std::nullopt;
  return number;
}

class Writer {
 public:
  Writer(KorDeviceSample* samples, int32_t capacity) : samples_(samples), capacity_(capacity) {}
  void Add(int32_t part, uint32_t index, int32_t kind, std::optional<uint64_t> value) {
    if (count_ >= capacity_) return;
    samples_[count_++] = {part, static_cast<int32_t>(index), kind, value.has_value() ? 1 : 0, value.value_or(0)};
  }
  int32_t Count() const { return count_; }

 private:
  KorDeviceSample* samples_;
  int32_t capacity_;
  int32_t count_ = 0;
};

constexpr int32_t kLocationSlot = 2;  // storageMediaLocation-LocationType slot(2)
constexpr int32_t kTrue = 1;          // UBool and plain boolean true(1)
constexpr int32_t kFalse = 2;

}  // namespace

int32_t SmlWear::Read(SmlLibrary& library, KorDeviceSample* samples, int32_t capacity) {
  Writer out(samples, capacity);
  const std::pair<const char*, int32_t> counters[] = {
      {"6.2.1.7", p::kDriveMounts}, {"6.2.1.9", p::kDrivePowerOnHours}, {"6.2.1.10", p::kDriveTotalPowerOnHours}};
  for (const auto& [column, kind] : counters) {
    library.Walk(column, [&](uint32_t drive, const AsnAny& value) { out.Add(p::kPartDrive, drive, kind, Counter(value)); });
  }
  library.Walk("6.2.1.6", [&](uint32_t drive, const AsnAny& value) {
    const int32_t flag = SmlLibrary::Integer(value, 0);
    out.Add(p::kPartDrive, drive, p::kDriveNeedsCleaning,
            flag == kTrue ? std::optional<uint64_t>(1) : flag == kFalse ? std::optional<uint64_t>(0) : std::nullopt);
  });
  library.Walk("15.2.1.6", [&](uint32_t port, const AsnAny& value) {
    const int32_t status = SmlLibrary::Integer(value, -1);
    out.Add(p::kPartPort, port, p::kPortOperationalStatus,
            status >= 0 ? std::optional<uint64_t>(static_cast<uint64_t>(status)) : std::nullopt);
  });
  // Slots and cartridges: the location table's type, presence and cleaner
  // columns, one walk each.
  std::map<uint32_t, int32_t> type, present, cleaner;
  library.Walk("13.3.1.3", [&](uint32_t i, const AsnAny& v) { type[i] = SmlLibrary::Integer(v, 0); });
  if (!type.empty()) {
    library.Walk("13.3.1.10", [&](uint32_t i, const AsnAny& v) { present[i] = SmlLibrary::Integer(v, 0); });
    library.Walk("13.3.1.17", [&](uint32_t i, const AsnAny& v) { cleaner[i] = SmlLibrary::Integer(v, 0); });
    uint64_t slots = 0, used = 0, cleaning = 0;
    for (const auto& [location, kind] : type) {
      const bool full = present.count(location) != 0 && present[location] == kTrue;
      if (kind == kLocationSlot) {
        ++slots;
        if (full) ++used;
      }
      if (full && cleaner.count(location) != 0 && cleaner[location] == kTrue) ++cleaning;
    }
    out.Add(p::kPartDevice, 0, p::kDeviceSlots, slots);
    out.Add(p::kPartDevice, 0, p::kDeviceSlotsUsed, used);
    if (!cleaner.empty()) out.Add(p::kPartDevice, 0, p::kDeviceCleaningCartridges, cleaning);
  }
  return out.Count();
}

}  // namespace orla
