#include "agent/history/history_layout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <tuple>

#include "agent/devices/plugin/device_plugin.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

namespace p = plugin;

constexpr unsigned long kDay = 86400;
constexpr unsigned long kHour = 3600;

// Each kept kind: its part, its short name in the file, whether the rate is
// kept (a counter) or the value (a gauge, or lifetime hours, shown as they
// stand), and how a chart shows it.
struct Kept {
  int32_t part;
  int32_t kind;
  const char* code;
  bool rate;
  HistoryLayout::Shown shown;
};

constexpr Kept kKept[] = {
    {p::kPartPort, p::kPortCrcErrors, "crc", true, {"errors/h", 3600}},
    {p::kPartPort, p::kPortLinkFailures, "linkfail", true, {"errors/h", 3600}},
    {p::kPartPort, p::kPortLossOfSync, "sync", true, {"errors/h", 3600}},
    {p::kPartPort, p::kPortLossOfSignal, "signal", true, {"errors/h", 3600}},
    {p::kPartPort, p::kPortInvalidTxWords, "txword", true, {"errors/h", 3600}},
    {p::kPartPort, p::kPortPrimitiveSeqErrors, "primseq", true, {"errors/h", 3600}},
    {p::kPartPort, p::kPortClass3Discards, "c3disc", true, {"errors/h", 3600}},
    {p::kPartPort, p::kPortLinkResets, "linkrst", true, {"errors/h", 3600}},
    {p::kPartPort, p::kPortTxFrames, "txframe", true, {"frames/s", 1}},
    {p::kPartPort, p::kPortRxFrames, "rxframe", true, {"frames/s", 1}},
    {p::kPartPort, p::kPortTxOctets, "txbyte", true, {"bytes/s", 1}},
    {p::kPartPort, p::kPortRxOctets, "rxbyte", true, {"bytes/s", 1}},
    {p::kPartDrive, p::kDriveMounts, "mounts", true, {"mounts/day", 86400}},
    {p::kPartDrive, p::kDrivePowerOnHours, "hours", false, {"h", 1}},
    {p::kPartDrive, p::kDriveTotalPowerOnHours, "lifehrs", false, {"h", 1}},
    {p::kPartDevice, p::kDeviceSlots, "slots", false, {"slots", 1}},
    {p::kPartDevice, p::kDeviceSlotsUsed, "used", false, {"slots", 1}},
    {p::kPartDevice, p::kDeviceCleaningCartridges, "cleaning", false, {"cartridges", 1}},
};

const Kept* FindKept(int32_t part, int32_t kind) {
  for (const Kept& k : kKept) {
    if (k.part == part && k.kind == kind) return &k;
  }
  return nullptr;
}

char PartLetter(int32_t part) { return part == p::kPartPort ? 'p' : part == p::kPartDrive ? 'd' : 'e'; }

// A data source name is at most 19 characters.
constexpr size_t kNameLimit = 19;

}  // namespace

std::vector<HistoryLayout::Source> HistoryLayout::For(const DeviceSamples& samples) {
  std::vector<Source> sources;
  for (const DeviceSamples::Sample& s : samples.samples) {
    const Kept* kept = FindKept(s.part, s.kind);
    if (kept == nullptr || s.index < 0) continue;
    Source source{s.part, s.index, s.kind, StringPrintf("%c%d_%s", PartLetter(s.part), s.index, kept->code)};
    if (source.name.size() <= kNameLimit) sources.push_back(std::move(source));
  }
  const auto key = [](const Source& s) { return std::make_tuple(s.part, s.index, s.kind); };
  std::sort(sources.begin(), sources.end(), [&](const Source& a, const Source& b) { return key(a) < key(b); });
  sources.erase(std::unique(sources.begin(), sources.end(),
                            [&](const Source& a, const Source& b) { return key(a) == key(b); }),
                sources.end());
  return sources;
}

std::optional<HistoryLayout::Source> HistoryLayout::FromName(const std::string& name) {
  if (name.size() < 4) return std::nullopt;
  const char letter = name[0];
  const int32_t part = letter == 'p' ? p::kPartPort : letter == 'd' ? p::kPartDrive : letter == 'e' ? p::kPartDevice : 0;
  char* end = nullptr;
  const long index = std::strtol(name.c_str() + 1, &end, 10);
  if (part == 0 || end == name.c_str() + 1 || *end != '_' || index < 0) return std::nullopt;
  for (const Kept& k : kKept) {
    if (k.part == part && std::string(end + 1) == k.code) return Source{part, static_cast<int32_t>(index), k.kind, name};
  }
  return std::nullopt;
}

std::optional<double> HistoryLayout::Value(const Source& source, const DeviceSamples::Sample& sample) {
  const Kept* kept = FindKept(source.part, source.kind);
  if (kept == nullptr) return std::nullopt;
  if (kept->rate) return sample.perSecond;
  if (!sample.value) return std::nullopt;
  return static_cast<double>(*sample.value);
}

HistoryLayout::Shown HistoryLayout::ShownAs(const Source& source) {
  const Kept* kept = FindKept(source.part, source.kind);
  return kept != nullptr ? kept->shown : Shown{"", 1};
}

std::vector<HistoryLayout::Archive> HistoryLayout::Archives(unsigned long step) {
  step = std::max(1UL, step);
  const unsigned long perHour = std::max(1UL, kHour / step);
  const unsigned long perDay = std::max(1UL, kDay / step);
  return {{1, std::max(1UL, kDay / step)}, {perHour, 24 * 31}, {perDay, 731}};
}

std::optional<HistoryLayout::Range> HistoryLayout::RangeNamed(const std::string& name) {
  if (name == "day") return Range{static_cast<int64_t>(kDay), 0};
  if (name == "week") return Range{7 * static_cast<int64_t>(kDay), kHour};
  if (name == "month") return Range{31 * static_cast<int64_t>(kDay), kHour};
  if (name == "year") return Range{365 * static_cast<int64_t>(kDay), kDay};
  return std::nullopt;
}

}  // namespace orla
